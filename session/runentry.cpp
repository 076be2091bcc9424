// SPDX-License-Identifier: GPL-3.0-or-later
#include "session/runentry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cctype>
#include <climits>
#include <unistd.h>

namespace ampero {

QString ownExecutablePath()
{
    char buf[PATH_MAX + 1];
    const ssize_t n = ::readlink("/proc/self/exe", buf, PATH_MAX);
    if (n <= 0)
        return QString();
    QString path = QFile::decodeName(QByteArray(buf, static_cast<int>(n)));
    // A program file replaced while it runs (an upgrade during a test) reads
    // as "PATH (deleted)"; the new file at PATH is the one to start.
    const QString deleted = QStringLiteral(" (deleted)");
    if (path.endsWith(deleted) && !QFileInfo::exists(path))
        path.chop(deleted.size());
    return path;
}

QString autostartDirectory()
{
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/autostart");
}

QString runEntryFileName(const QString& name, bool once)
{
    QString stem;
    for (const QChar c : name.toLower()) {
        if ((c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9'))
            stem += c;
        else if (!stem.endsWith(u'-'))
            stem += u'-';
    }
    while (stem.endsWith(u'-'))
        stem.chop(1);
    while (stem.startsWith(u'-'))
        stem.remove(0, 1);
    if (stem.isEmpty())
        stem = QStringLiteral("entry");
    return stem + (once ? QStringLiteral("-once.desktop") : QStringLiteral(".desktop"));
}

QString runEntryPath(const QString& name, bool once, const QString& directory)
{
    const QString dir = directory.isEmpty() ? autostartDirectory() : directory;
    return dir + u'/' + runEntryFileName(name, once);
}

QString quoteExecArgument(const QString& argument)
{
    QString out;
    out.reserve(argument.size() + 8);
    out += u'"';
    for (const QChar c : argument) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            out += u'\\';
        if (c == u'%')
            out += u'%';
        out += c;
    }
    out += u'"';
    return out;
}

QString resultsFileUrl(const QByteArray& file)
{
    // A URL names an absolute path; a relative one is taken from here.
    const QByteArray path = file.startsWith('/') ? file : QFile::encodeName(QDir::currentPath()) + '/' + file;
    QByteArray url = "file://";
    static const char hex[] = "0123456789ABCDEF";
    for (const char ch : path) {
        const auto c = static_cast<unsigned char>(ch);
        const bool unreserved = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')
            || c == '-' || c == '.' || c == '_' || c == '~' || c == '/';
        if (unreserved) {
            url += ch;
        } else {
            url += '%';
            url += hex[c >> 4];
            url += hex[c & 0xF];
        }
    }
    return QString::fromLatin1(url);
}

QByteArray resultsFileFromArgument(const QByteArray& argument)
{
    if (!argument.startsWith("file://"))
        return argument;
    QByteArray rest = argument.mid(7);
    if (rest.startsWith("localhost/"))
        rest = rest.mid(9);
    if (!rest.startsWith('/'))
        return argument; // a host of its own: not a local file, taken as a path
    return QByteArray::fromPercentEncoding(rest);
}

bool isMalformedFileUrl(const QByteArray& argument)
{
    if (!argument.startsWith("file://"))
        return false;
    const auto hex = [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; };
    for (qsizetype i = 7; i < argument.size(); ++i)
        if (argument[i] == '%'
            && (i + 2 >= argument.size() || !hex(argument[i + 1]) || !hex(argument[i + 2])))
            return true;
    return false;
}

QString runCommand(const QString& executable, const QByteArray& resultsFile)
{
    // The URL needs no quotes; its "%" is written "%%", as every "%" of an
    // Exec line that is no field code.
    QString url = resultsFileUrl(resultsFile);
    url.replace(u'%', QStringLiteral("%%"));
    return quoteExecArgument(executable) + u' ' + url;
}

QString runCommand(const QString& executable, const QString& resultsPath)
{
    return runCommand(executable, QFile::encodeName(resultsPath));
}

QString escapeDesktopString(const QString& value)
{
    QString out;
    out.reserve(value.size() + 8);
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c == u'\\')
            out += QStringLiteral("\\\\");
        else if (c == u'\n')
            out += QStringLiteral("\\n");
        else if (c == u'\t')
            out += QStringLiteral("\\t");
        else if (c == u'\r')
            out += QStringLiteral("\\r");
        else if (c == u' ' && i == 0)
            out += QStringLiteral("\\s");
        else
            out += c;
    }
    return out;
}

QString unescapeDesktopString(const QString& value)
{
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c != u'\\' || i + 1 == value.size()) {
            out += c;
            continue;
        }
        const QChar n = value.at(++i);
        if (n == u's')
            out += u' ';
        else if (n == u'n')
            out += u'\n';
        else if (n == u't')
            out += u'\t';
        else if (n == u'r')
            out += u'\r';
        else if (n == u'\\')
            out += u'\\';
        else {
            out += c;
            out += n;
        }
    }
    return out;
}

namespace {
// Reads a double-quoted argument whose opening quote is at line[i], adding its
// text to current; i ends on the closing quote. Inside quotes a backslash
// escapes only ", `, $ and itself. False when the quote is never closed.
bool readQuoted(const QString& line, qsizetype& i, QString& current)
{
    for (++i; i < line.size(); ++i) {
        const QChar q = line.at(i);
        if (q == u'"')
            return true;
        const QChar n = i + 1 < line.size() ? line.at(i + 1) : QChar();
        if (q == u'\\' && (n == u'"' || n == u'`' || n == u'$' || n == u'\\')) {
            current += n;
            ++i;
            continue;
        }
        current += q;
    }
    return false;
}
} // namespace

QStringList parseExecLine(const QString& exec)
{
    // Field codes first, on the whole line, as launchers expand them.
    QString line;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        if (exec.at(i) == u'%' && i + 1 < exec.size()) {
            if (exec.at(++i) == u'%')
                line += u'%';
            continue; // a field code with nothing to give
        }
        line += exec.at(i);
    }

    QStringList args;
    QString current;
    bool inArgument = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line.at(i);
        if (c == u' ' || c == u'\t' || c == u'\n') {
            if (inArgument)
                args << current;
            current.clear();
            inArgument = false;
        } else if (c == u'"') {
            inArgument = true;
            if (!readQuoted(line, i, current))
                return {};
        } else if (c == u'\\' && i + 1 < line.size()) {
            inArgument = true;
            current += line.at(++i);
        } else {
            inArgument = true;
            current += c;
        }
    }
    if (inArgument)
        args << current;
    return args;
}

bool writeRunEntry(
    const QString& name, const QString& command, bool once, QString* error, const QString& directory)
{
    const QString dir = directory.isEmpty() ? autostartDirectory() : directory;
    auto fail = [error](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    if (!QDir().mkpath(dir))
        return fail(QStringLiteral("cannot create %1").arg(dir));

    QByteArray text = "[Desktop Entry]\nType=Application\n";
    text += "Name=" + escapeDesktopString(name).toUtf8() + '\n';
    text += "Exec=" + escapeDesktopString(command).toUtf8() + '\n';
    text += "Terminal=false\nNoDisplay=true\n";
    if (once)
        text += "X-Orvex-Ampero-RunOnce=true\n";

    // Written beside the final name and renamed over it, so a session that
    // ends halfway leaves either the old entry or the new one, never half.
    QSaveFile file(dir + u'/' + runEntryFileName(name, once));
    if (!file.open(QIODevice::WriteOnly))
        return fail(file.errorString());
    if (file.write(text) != text.size())
        return fail(file.errorString());
    if (!file.commit())
        return fail(file.errorString());
    return true;
}

bool removeRunOnceEntryIfStartedFromIt(const QString& firstArgument, const QString& directory)
{
    if (firstArgument.isEmpty())
        return false;
    const QString path = runEntryPath(QString::fromLatin1(RunEntryName), true, directory);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;

    QString exec;
    bool inMainGroup = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(u'[')) {
            inMainGroup = line == QStringLiteral("[Desktop Entry]");
        } else if (inMainGroup && line.startsWith(QStringLiteral("Exec"))) {
            const qsizetype eq = line.indexOf(u'=');
            if (eq > 0 && line.left(eq).trimmed() == QStringLiteral("Exec")) {
                exec = unescapeDesktopString(line.mid(eq + 1).trimmed());
                break;
            }
        }
    }
    file.close();

    // The entry names the file as a URL; a start may name it either way.
    const QStringList args = parseExecLine(exec);
    if (args.size() < 2
        || resultsFileFromArgument(QFile::encodeName(args.at(1)))
            != resultsFileFromArgument(QFile::encodeName(firstArgument)))
        return false;
    return QFile::remove(path);
}

} // namespace ampero
