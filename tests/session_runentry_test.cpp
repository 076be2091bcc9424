// SPDX-License-Identifier: GPL-3.0-or-later
#include "session/runentry.h"
#include "support/testutil.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace ampero;

namespace {

// A reader of desktop entries written for these tests alone, following the
// Desktop Entry rules step by step: the string escapes of the value, then %%
// to %, then the Exec quoting (double quotes group, and inside them a
// backslash before " ` $ \ stands for that character).
QStringList launcherArguments(const QByteArray& entry)
{
    QString exec;
    for (const QByteArray& rawLine : entry.split('\n')) {
        if (!rawLine.startsWith("Exec="))
            continue;
        const QString v = QString::fromUtf8(rawLine.mid(5));
        for (int i = 0; i < v.size(); ++i) {
            if (v[i] != u'\\') {
                exec += v[i];
                continue;
            }
            const QChar n = v[++i];
            exec += n == u'n' ? QChar(u'\n')
                : n == u't'   ? QChar(u'\t')
                : n == u'r'   ? QChar(u'\r')
                : n == u's'   ? QChar(u' ')
                              : n;
        }
    }
    exec.replace(QStringLiteral("%%"), QStringLiteral("%"));
    QStringList args;
    QString cur;
    bool quoted = false, any = false;
    for (int i = 0; i < exec.size(); ++i) {
        const QChar c = exec[i];
        if (quoted) {
            if (c == u'"')
                quoted = false;
            else if (c == u'\\' && QStringLiteral("\"`$\\").contains(exec[i + 1]))
                cur += exec[++i];
            else
                cur += c;
        } else if (c == u'"') {
            quoted = any = true;
        } else if (c == u' ') {
            if (any)
                args << cur;
            cur.clear();
            any = false;
        } else {
            cur += c;
            any = true;
        }
    }
    if (any)
        args << cur;
    return args;
}

struct PathCase {
    const char* name;
    const char* path;
};

const PathCase PathCases[] = {
    { "blanks", "/home/user/My Documents/battery results.apr" },
    { "double_quotes", "/tmp/say \"hello\".apr" },
    { "single_quote", "/tmp/it's.apr" },
    { "backslashes", "/tmp/back\\slash\\\\double.apr" },
    { "trailing_backslash", "/tmp/dir\\" },
    { "dollar", "/tmp/$HOME/${PATH}.apr" },
    { "backticks", "/tmp/`touch /tmp/pwned`.apr" },
    { "command_substitution", "/tmp/$(rm -rf ~).apr" },
    { "percent_codes", "/tmp/100%/%f %u %%.apr" },
    { "newline", "/tmp/two\nlines.apr" },
    { "tab_and_cr", "/tmp/a\tb\rc.apr" },
    { "leading_blank", " /tmp/lead.apr" },
    { "semicolon_and_pipes", "/tmp/a;b|c&d>e<f.apr" },
    { "non_ascii", "/tmp/Ergebnisse für Jürgen.apr" },
    { "not_utf8", "/tmp/bad\xff\xfe name.apr" },
    { "latin1_folder", "/home/j\xfcrgen/run.apr" },
};

// The results file an Exec argument names, as bytes.
QByteArray namedFile(const QString& argument)
{
    return resultsFileFromArgument(argument.toUtf8());
}

// The file a path names: relative ones from the current folder.
QByteArray absolute(const QByteArray& path)
{
    return path.startsWith('/') ? path : QFile::encodeName(QDir::currentPath()) + '/' + path;
}

// Only unreserved characters, "/" and %XX: nothing any launcher quotes.
bool plainUrl(const QString& argument)
{
    static const QRegularExpression plain(QStringLiteral("^file:///([A-Za-z0-9._~/-]|%[0-9A-F]{2})*$"));
    return plain.match(argument).hasMatch();
}

class ExecQuoting : public testing::TestWithParam<PathCase> { };

TEST_P(ExecQuoting, EntryStartsTheProgramWithExactlyThePath)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray path(GetParam().path);
    const QString exe = QStringLiteral("/opt/Bench Tools/$bin/ampero");
    QString error;
    ASSERT_TRUE(
        writeRunEntry(QStringLiteral("Orvex Ampero"), runCommand(exe, path), true, &error, dir.path()))
        << error.toStdString();
    const QByteArray entry = test::readFile(dir.filePath(QStringLiteral("orvex-ampero-once.desktop")));

    // The Exec value stays on one line whatever the path holds.
    int execLines = 0;
    for (const QByteArray& line : entry.split('\n'))
        execLines += line.startsWith("Exec=") ? 1 : 0;
    EXPECT_EQ(execLines, 1);

    const QStringList args = launcherArguments(entry);
    ASSERT_EQ(args.size(), 2);
    EXPECT_EQ(args[0], exe);
    EXPECT_TRUE(plainUrl(args[1])) << args[1].toStdString();
    EXPECT_EQ(namedFile(args[1]), absolute(path));

    // The program's own reader agrees, whether the start names the URL or the path.
    EXPECT_TRUE(removeRunOnceEntryIfStartedFromIt(args[1], dir.path()));
}

INSTANTIATE_TEST_SUITE_P(Paths, ExecQuoting, testing::ValuesIn(PathCases),
    [](const auto& info) { return std::string(info.param.name); });

// GLib's launcher reads the entry as the desktop will at login: the started
// program must receive the path byte for byte.
TEST(ExecQuotingWithGio, GioLaunchPassesThePathUnchanged)
{
    const QString gio = QStandardPaths::findExecutable(QStringLiteral("gio"));
    if (gio.isEmpty())
        GTEST_SKIP() << "gio is not installed";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString script = dir.filePath(QStringLiteral("dump args.sh"));
    {
        QFile f(script);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("#!/bin/sh\nprintf '%s' \"$#\" > \"$DUMP_TO.count\"\n"
                "printf '%s' \"$1\" > \"$DUMP_TO.tmp\" && mv \"$DUMP_TO.tmp\" \"$DUMP_TO\"\n");
        f.close();
        f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    for (const PathCase& c : PathCases) {
        SCOPED_TRACE(c.name);
        const QByteArray path(c.path);
        ASSERT_TRUE(writeRunEntry(
            QStringLiteral("Orvex Ampero"), runCommand(script, path), true, nullptr, dir.path()));
        const QString out = dir.filePath(QStringLiteral("out-%1").arg(QString::fromLatin1(c.name)));
        QProcess launch;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DUMP_TO"), out);
        launch.setProcessEnvironment(env);
        launch.start(
            gio, { QStringLiteral("launch"), dir.filePath(QStringLiteral("orvex-ampero-once.desktop")) });
        ASSERT_TRUE(launch.waitForFinished(10000));
        EXPECT_EQ(launch.exitCode(), 0) << launch.readAllStandardError().toStdString();
        EXPECT_TRUE(QTest::qWaitFor([&] { return QFileInfo::exists(out); }, 5000));
        EXPECT_EQ(
            namedFile(QString::fromUtf8(test::readFile(out))).toStdString(), absolute(path).toStdString());
        EXPECT_EQ(test::readFile(out + QStringLiteral(".count")), QByteArray("1"));
    }
}

// The words of a systemd ExecStart= line: double quotes group (with
// backslash escapes inside), "%%" is one "%", a leading ":" or "-" is a flag.
QStringList systemdExecWords(QString line)
{
    while (!line.isEmpty() && QStringLiteral(":-@+!").contains(line.front()))
        line.remove(0, 1);
    QStringList words;
    QString cur;
    bool quoted = false, any = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (c == u'%' && i + 1 < line.size() && line[i + 1] == u'%') {
            cur += u'%';
            ++i;
            any = true;
        } else if (quoted && c == u'\\' && i + 1 < line.size()) {
            cur += line[++i];
        } else if (c == u'"') {
            quoted = !quoted;
            any = true;
        } else if (c == u' ' && !quoted) {
            if (any)
                words << cur;
            cur.clear();
            any = false;
        } else {
            cur += c;
            any = true;
        }
    }
    if (any)
        words << cur;
    return words;
}

// GNOME and KDE on systemd start autostart entries through systemd's
// generator, which reads Exec lines its own way: every path still reaches
// the program, and no entry is dropped.
TEST(ExecQuotingWithGio, SystemdAutostartGeneratorPassesThePathUnchanged)
{
    const QString generator
        = QStringLiteral("/usr/lib/systemd/user-generators/systemd-xdg-autostart-generator");
    if (!QFileInfo(generator).isExecutable())
        GTEST_SKIP() << "systemd's autostart generator is not installed";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // The generator checks that the program exists.
    const QString program = test::writeFile(dir, QStringLiteral("Bench Tools $x"), "#!/bin/sh\n");
    QFile(program).setPermissions(QFile::ReadOwner | QFile::ExeOwner);
    for (const PathCase& c : PathCases) {
        SCOPED_TRACE(c.name);
        const QByteArray path(c.path);
        const QString config = dir.filePath(QStringLiteral("config-%1").arg(QString::fromLatin1(c.name)));
        const QString units = dir.filePath(QStringLiteral("units-%1").arg(QString::fromLatin1(c.name)));
        ASSERT_TRUE(QDir().mkpath(units));
        ASSERT_TRUE(writeRunEntry(QStringLiteral("Orvex Ampero"), runCommand(program, path), true, nullptr,
            config + QStringLiteral("/autostart")));
        QProcess run;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
        env.insert(QStringLiteral("XDG_CONFIG_DIRS"), dir.filePath(QStringLiteral("none")));
        run.setProcessEnvironment(env);
        run.start(generator, { units, units, units });
        ASSERT_TRUE(run.waitForFinished(10000));
        const QStringList made = QDir(units).entryList({ QStringLiteral("*.service") }, QDir::Files);
        ASSERT_EQ(made.size(), 1) << run.readAllStandardError().toStdString();
        QString execStart;
        for (const QByteArray& line : test::readFile(units + u'/' + made[0]).split('\n'))
            if (line.startsWith("ExecStart="))
                execStart = QString::fromUtf8(line.mid(10));
        const QStringList words = systemdExecWords(execStart);
        ASSERT_EQ(words.size(), 2) << execStart.toStdString();
        EXPECT_EQ(words[0], program);
        EXPECT_EQ(namedFile(words[1]).toStdString(), absolute(path).toStdString());
    }
}

TEST(RunEntryFile, HoldsTheTitleTheQuotedProgramAndTheFileAsAUrl)
{
    QTemporaryDir dir;
    ASSERT_TRUE(writeRunEntry(QStringLiteral("Orvex Ampero"),
        runCommand(
            QStringLiteral("/opt/Bench Tools/bench"), QStringLiteral("/home/User/My Documents/results.apr")),
        true, nullptr, dir.path()));
    EXPECT_EQ(test::readFile(dir.filePath(QStringLiteral("orvex-ampero-once.desktop"))),
        QByteArray("[Desktop Entry]\n"
                   "Type=Application\n"
                   "Name=Orvex Ampero\n"
                   "Exec=\"/opt/Bench Tools/bench\" file:///home/User/My%%20Documents/results.apr\n"
                   "Terminal=false\n"
                   "NoDisplay=true\n"
                   "X-Orvex-Ampero-RunOnce=true\n"));
}

TEST(RunEntryFile, LastingEntryIsASeparateFileThatStartUpLeavesAlone)
{
    QTemporaryDir dir;
    const QString cmd = runCommand(QStringLiteral("/usr/bin/ampero"), QStringLiteral("/tmp/r.apr"));
    ASSERT_TRUE(writeRunEntry(QStringLiteral("Orvex Ampero"), cmd, false, nullptr, dir.path()));
    const QString lasting = dir.filePath(QStringLiteral("orvex-ampero.desktop"));
    ASSERT_TRUE(QFileInfo::exists(lasting));
    EXPECT_FALSE(test::readFile(lasting).contains("RunOnce"));
    EXPECT_FALSE(removeRunOnceEntryIfStartedFromIt(QStringLiteral("/tmp/r.apr"), dir.path()));
    EXPECT_TRUE(QFileInfo::exists(lasting));
}

TEST(RunEntryFile, WritingAgainReplacesTheEntry)
{
    QTemporaryDir dir;
    ASSERT_TRUE(writeRunEntry(
        QStringLiteral("Orvex Ampero"), QStringLiteral("\"/a\" \"/old.apr\""), true, nullptr, dir.path()));
    ASSERT_TRUE(writeRunEntry(
        QStringLiteral("Orvex Ampero"), QStringLiteral("\"/a\" \"/new.apr\""), true, nullptr, dir.path()));
    const QByteArray entry = test::readFile(dir.filePath(QStringLiteral("orvex-ampero-once.desktop")));
    EXPECT_TRUE(entry.contains("/new.apr"));
    EXPECT_FALSE(entry.contains("/old.apr"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 1);
}

TEST(RunEntryFile, UnwritableDirectoryIsAnErrorAndWritesNothing)
{
    QTemporaryDir dir;
    // A regular file where the directory should be: fails even for root.
    const QString blocker = test::writeFile(dir, QStringLiteral("config"), "not a directory");
    QString error;
    EXPECT_FALSE(writeRunEntry(QStringLiteral("Orvex Ampero"), QStringLiteral("\"/a\" \"/b\""), true, &error,
        blocker + QStringLiteral("/autostart")));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(test::readFile(blocker), QByteArray("not a directory"));
}

TEST(RunEntryStartUp, RemovesTheEntryOnlyForTheStartItMade)
{
    QTemporaryDir dir;
    const QString path = QStringLiteral("/tmp/my \"results\".apr");
    const QString entry = dir.filePath(QStringLiteral("orvex-ampero-once.desktop"));
    struct Row {
        const char* name;
        QString argument;
        bool removed;
    };
    const Row rows[] = {
        { "no_argument", QString(), false },
        { "another_file", QStringLiteral("/tmp/other.apr"), false },
        { "unquoted_variant", QStringLiteral("/tmp/my results.apr"), false },
        { "same_file_as_url", QStringLiteral("file:///tmp/my%20%22results%22.apr"), true },
    };
    ASSERT_TRUE(writeRunEntry(QStringLiteral("Orvex Ampero"),
        runCommand(QStringLiteral("/usr/bin/ampero"), path), true, nullptr, dir.path()));
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(removeRunOnceEntryIfStartedFromIt(r.argument, dir.path()), r.removed);
        EXPECT_EQ(QFileInfo::exists(entry), !r.removed);
    }
    EXPECT_FALSE(removeRunOnceEntryIfStartedFromIt(path, dir.path())) << "nothing left to remove";
    ASSERT_TRUE(writeRunEntry(QStringLiteral("Orvex Ampero"),
        runCommand(QStringLiteral("/usr/bin/ampero"), path), true, nullptr, dir.path()));
    EXPECT_TRUE(removeRunOnceEntryIfStartedFromIt(path, dir.path())) << "the path itself names it too";
}

TEST(RunEntryNames, FileNamesAndDirectory)
{
    EXPECT_EQ(
        runEntryFileName(QStringLiteral("Orvex Ampero"), true), QStringLiteral("orvex-ampero-once.desktop"));
    EXPECT_EQ(
        runEntryFileName(QStringLiteral("Orvex Ampero"), false), QStringLiteral("orvex-ampero.desktop"));
    EXPECT_EQ(
        runEntryFileName(QStringLiteral("../../etc/passwd"), false), QStringLiteral("etc-passwd.desktop"));

    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", "/srv/conf");
    EXPECT_EQ(autostartDirectory(), QStringLiteral("/srv/conf/autostart"));
    qputenv("XDG_CONFIG_HOME", "relative/conf");
    EXPECT_EQ(autostartDirectory(), QDir::homePath() + QStringLiteral("/.config/autostart"));
    qunsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(autostartDirectory(), QDir::homePath() + QStringLiteral("/.config/autostart"));
    if (!saved.isNull())
        qputenv("XDG_CONFIG_HOME", saved);
}

TEST(RunEntryNames, OwnExecutableIsThisTestBinary)
{
    EXPECT_EQ(QFileInfo(ownExecutablePath()).canonicalFilePath(),
        QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath());
}

// The program started by the entry, as the desktop starts it at login, takes
// the entry away again.
TEST(RunEntryProgram, ProgramStartedFromTheEntryRemovesIt)
{
    AMPERO_REQUIRE_PROGRAM();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString results = test::writeFile(dir, QStringLiteral("my \"battery\" test.apr"),
        "\x03"
        "APR");
    const QString autostart = dir.filePath(QStringLiteral("config/autostart"));
    ASSERT_TRUE(writeRunEntry(
        QStringLiteral("Orvex Ampero"), runCommand(test::amperoBinary(), results), true, nullptr, autostart));
    const QString entry = autostart + QStringLiteral("/orvex-ampero-once.desktop");
    const QStringList args = launcherArguments(test::readFile(entry));
    ASSERT_EQ(args.size(), 2);

    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    program.setProcessEnvironment(env);
    program.start(args.at(0), args.mid(1));
    ASSERT_TRUE(program.waitForStarted(10000));
    (void)QTest::qWaitFor(
        [&] { return !QFileInfo::exists(entry) || program.state() != QProcess::Running; }, 15000);
    EXPECT_FALSE(QFileInfo::exists(entry));
    program.kill();
    program.waitForFinished(5000);
}

} // namespace
