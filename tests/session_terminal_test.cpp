// SPDX-License-Identifier: GPL-3.0-or-later
// The terminal test mode: in process on a simulated battery, and end to end
// through the built program.
#include "app/batteryhistory.h"
#include "app/report.h"
#include "app/terminaltest.h"
#include "platform/fakepowersource.h"
#include "platform/screenbrightness.h"
#include "results/evaluation.h"
#include "results/resultsformat.h"
#include "results/runsummary.h"
#include "support/sessionfakes.h"
#include "support/testutil.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <csignal>
#include <dirent.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

using namespace ampero;
using namespace ampero::test;

namespace {

// A battery that loses one percent every msPerPercent while the event loop runs.
class SimBattery final : public PowerSource {
public:
    SimBattery(int level, int msPerPercent)
    {
        m_value.line = PowerLine::Battery;
        m_value.level = level;
        m_value.fullLifeTime = std::chrono::seconds(3600);
        update(m_value);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            if (m_value.level > 0)
                m_value.level = *m_value.level - 1;
            update(m_value);
        });
        m_timer.start(msPerPercent);
    }
    QString backendName() const override { return QStringLiteral("sim"); }
    void plugIn()
    {
        m_value.line = PowerLine::Mains;
        update(m_value);
    }

protected:
    PowerStatus read() override { return m_value; }

private:
    PowerStatus m_value;
    QTimer m_timer;
};

// What a run printed on its two streams.
struct Captured {
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    ~Captured()
    {
        std::fclose(out);
        std::fclose(err);
    }
    static QString read(std::FILE* f)
    {
        std::fflush(f);
        std::rewind(f);
        QByteArray all;
        char buf[4096];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
            all.append(buf, static_cast<qsizetype>(n));
        return QString::fromUtf8(all);
    }
    QStringList outLines() { return read(out).split('\n', Qt::SkipEmptyParts); }
    QString errText() { return read(err); }
};

class TerminalTest : public ::testing::Test {
protected:
    CliOptions options(const char* mode)
    {
        CliOptions o;
        o.runMode = QString::fromLatin1(mode);
        o.noLoad = true;
        o.output = QFile::encodeName(dir.filePath(QStringLiteral("term.apr")));
        return o;
    }
    ResultsData fileData(const QByteArray& path)
    {
        const auto r = readResultsFile(path.toStdString());
        EXPECT_TRUE(r.ok()) << r.describe();
        return r.data;
    }

    QTemporaryDir dir;
    Captured io;
};

TEST_F(TerminalTest, FastRunEndsByItselfWithCompleteFile)
{
    SimBattery battery(60, 1000);
    TerminalTestServices services;
    QByteArray printed;
    services.printResults = [&](const QByteArray& path, std::FILE*) { printed = path; };
    const CliOptions o = options("fast");
    const int rc = runTerminalTestOn(o, battery, io.out, io.err, services);
    EXPECT_EQ(rc, 0) << io.errText().toStdString();
    EXPECT_EQ(printed, o.output); // the results are printed after a regular end
    const QStringList lines = io.outLines();
    ASSERT_GE(lines.size(), 5);
    EXPECT_TRUE(lines.first().startsWith("testing... (fast, no load CPU): ")) << lines.first().toStdString();
    EXPECT_TRUE(lines[1].startsWith("0:00:00  level ")) << lines[1].toStdString();
    EXPECT_EQ(lines[lines.size() - 2], "testing completed");
    EXPECT_EQ(lines.last().toUtf8(), o.output);

    const ResultsData d = fileData(o.output);
    EXPECT_TRUE(d.complete);
    EXPECT_EQ(d.mode, 1);
    EXPECT_EQ(d.noLoad, 1);
    EXPECT_EQ(d.forecast, 3600u);
    ASSERT_TRUE(d.hasLevelChangeTimes);
    EXPECT_GT(d.levelChangeTimes[2], d.levelChangeTimes[1]);
    EXPECT_GE(d.samples.size(), 4u);
    EXPECT_LE(d.samples.size(), 10u);
    // One progress line per sample.
    EXPECT_EQ(static_cast<std::size_t>(lines.size()), d.samples.size() + 3);
}

TEST_F(TerminalTest, WorkloadRunWritesNoLoadAndNamesItselfInTheCompanion)
{
    CliOptions o = options("fast");
    o.workload = QStringLiteral("both");
    SimBattery battery(60, 400);
    EXPECT_EQ(runTerminalTestOn(o, battery, io.out, io.err), 2); // not a workload
    o.workload = QStringLiteral("video");
    EXPECT_EQ(runTerminalTestOn(o, battery, io.out, io.err), 2); // not with --no-load
    o.noLoad = false;
    ASSERT_EQ(runTerminalTestOn(o, battery, io.out, io.err), 0) << io.errText().toStdString();

    // A reader without the companion sees a run without load and no mark.
    const ResultsData d = fileData(o.output);
    EXPECT_EQ(d.noLoad, 1);
    EXPECT_EQ(d.workCount, 0u);
    const ResultsEvaluation e = evaluateResultsFileAt(o.output);
    EXPECT_EQ(loadText(e), "Video (workloads v1), processor part only");
    EXPECT_FALSE(onTimeText(e).isEmpty());
    EXPECT_TRUE(workDoneText(e).contains(" units (")) << workDoneText(e).toStdString();
    const QJsonObject json = QJsonDocument::fromJson(reportJson(QStringLiteral("x"), e)).object();
    EXPECT_EQ(json.value("workload").toString(), "video");
    const QJsonObject setup = json.value("setup").toObject();
    EXPECT_EQ(setup.value("workload_version").toInt(), WorkloadSetVersion);
    EXPECT_GT(setup.value("workload_units_done").toDouble(), 0);
    EXPECT_GT(setup.value("workload_on_time_share").toDouble(), 0);
}

// --brightness: a bad value or a screen the session cannot set starts no
// test; a held brightness is put back and named in the companion, the
// report and its JSON.
TEST_F(TerminalTest, BrightnessHeldDuringTheRunIsPutBackAndNamedInTheResults)
{
    SimBattery battery(60, 400);
    FakeScreenBrightness screen;
    TerminalTestServices services;
    services.brightness = &screen;
    services.brightnessStateFile = dir.filePath(QStringLiteral("brightness-to-restore"));
    CliOptions o = options("fast");
    for (const char* bad : { "0", "101", "half", "-5" }) {
        o.brightness = QString::fromLatin1(bad);
        EXPECT_EQ(runTerminalTestOn(o, battery, io.out, io.err, services), 2) << bad;
    }
    EXPECT_TRUE(io.errText().contains("--brightness takes a whole percentage")) << io.errText().toStdString();
    o.brightness = QStringLiteral("40");
    screen.refusal = QStringLiteral("Your session has no seat, refusing.");
    EXPECT_EQ(runTerminalTestOn(o, battery, io.out, io.err, services), 2);
    EXPECT_TRUE(io.errText().contains("no seat")) << io.errText().toStdString();
    EXPECT_FALSE(QFile::exists(QFile::decodeName(o.output)));

    screen.refusal.clear();
    ASSERT_EQ(runTerminalTestOn(o, battery, io.out, io.err, services), 0) << io.errText().toStdString();
    EXPECT_EQ(screen.sets, (QList<int> { 40, 60 }));
    EXPECT_FALSE(QFile::exists(services.brightnessStateFile));
    const ResultsEvaluation e = evaluateResultsFileAt(o.output);
    EXPECT_EQ(brightnessSetText(e), "40% (raw 40 of 100)");
    const QJsonObject json = QJsonDocument::fromJson(reportJson(QStringLiteral("x"), e)).object();
    const QJsonObject held = json.value("brightness_set").toObject();
    EXPECT_EQ(held.value("percent").toInt(), 40);
    EXPECT_EQ(held.value("raw").toInt(), 40);
    EXPECT_EQ(held.value("max").toInt(), 100);
    EXPECT_EQ(json.value("setup").toObject().value("brightness_set").toObject(), held);
    const QList<ComparisonRow> rows = comparisonRows({ summarizeRun(QStringLiteral("x"), e) });
    const auto row = std::find_if(
        rows.begin(), rows.end(), [](const ComparisonRow& r) { return r.label == "Brightness set"; });
    ASSERT_NE(row, rows.end());
    EXPECT_EQ(row->values, QStringList { "40% (raw 40 of 100)" });
}

// The test runs on the application's one event loop: the progress lines,
// printed from the ticks, and the results, printed after the last tick, are
// all written at loop level 1, never from a loop nested in another.
TEST_F(TerminalTest, TicksRunOnTheOneEventLoop)
{
    SimBattery battery(60, 1000);
    QList<int> tickLevels;
    cookie_io_functions_t writer {};
    writer.write = [](void* levels, const char* data, std::size_t size) -> ssize_t {
        if (QByteArray(data, static_cast<qsizetype>(size)).contains(" level "))
            static_cast<QList<int>*>(levels)->append(QThread::currentThread()->loopLevel());
        return static_cast<ssize_t>(size);
    };
    std::FILE* out = fopencookie(&tickLevels, "w", writer);
    ASSERT_NE(out, nullptr);
    TerminalTestServices services;
    int resultsLevel = -1;
    services.printResults
        = [&](const QByteArray&, std::FILE*) { resultsLevel = QThread::currentThread()->loopLevel(); };
    EXPECT_EQ(runTerminalTestOn(options("fast"), battery, out, io.err, services), 0);
    std::fclose(out);
    ASSERT_GE(tickLevels.size(), 4);
    EXPECT_EQ(tickLevels, QList<int>(tickLevels.size(), 1));
    EXPECT_EQ(resultsLevel, 1);
}

TEST_F(TerminalTest, SigtermCompletesTheFile)
{
    SimBattery battery(80, 60000);
    FakeLoad load;
    load.total = 123456789012ull;
    TerminalTestServices services;
    services.load = &load;
    CliOptions o = options("normal");
    o.noLoad = false;
    QObject guard; // the signal is sent only while this test runs
    QTimer::singleShot(2500, &guard, [] { std::raise(SIGTERM); });
    const int rc = runTerminalTestOn(o, battery, io.out, io.err, services);
    EXPECT_EQ(rc, 1);
    const QStringList lines = io.outLines();
    ASSERT_GE(lines.size(), 2);
    EXPECT_EQ(lines[lines.size() - 2], "testing interrupted");
    const ResultsData d = fileData(o.output);
    EXPECT_TRUE(d.complete);
    EXPECT_EQ(d.mode, 2);
    EXPECT_EQ(d.noLoad, 0);
    EXPECT_FALSE(d.samples.empty());
    EXPECT_EQ(d.workCount, 123456789012ull);
    EXPECT_EQ(load.starts, 1);
    EXPECT_EQ(load.stops, 1);
}

TEST_F(TerminalTest, AcConnectedInterrupts)
{
    SimBattery battery(80, 60000);
    const CliOptions o = options("normal");
    QTimer::singleShot(1500, &battery, [&] { battery.plugIn(); });
    EXPECT_EQ(runTerminalTestOn(o, battery, io.out, io.err), 1);
    EXPECT_TRUE(fileData(o.output).complete);
}

// A second battery mid-test (49 -> 66 %) is no level change: the test ends
// as interrupted, saying why.
TEST_F(TerminalTest, BatteryThatAppearsInterruptsWithTheReason)
{
    FakePowerSource battery;
    battery.setLine(PowerLine::Battery);
    battery.setLevel(49);
    battery.setBatteries(QStringList { QStringLiteral("BAT0") });
    QTimer::singleShot(1500, &battery, [&] {
        battery.setBatteries(QStringList { QStringLiteral("BAT0"), QStringLiteral("BAT1") });
        battery.setLevel(66);
    });
    QTimer::singleShot(4000, &battery, [&] { battery.setLine(PowerLine::Mains); }); // if nothing else ends it
    const CliOptions o = options("fast");
    EXPECT_EQ(runTerminalTestOn(o, battery, io.out, io.err), 1);
    EXPECT_TRUE(io.errText().contains(QStringLiteral("set of batteries changed from BAT0 to BAT0, BAT1.")));
    EXPECT_EQ(fileData(o.output).samples.back(), 49) << "no sample of the new set";
    EXPECT_EQ(io.outLines().value(io.outLines().size() - 2), QStringLiteral("testing interrupted"));
}

// A companion that cannot be written (a folder at its name) is said once on
// standard error; the test goes on and completes its results file.
TEST_F(TerminalTest, CompanionThatCannotBeWrittenIsSaidOnce)
{
    SimBattery battery(80, 60000);
    const CliOptions o = options("normal");
    ASSERT_TRUE(QDir().mkdir(QFile::decodeName(o.output) + QStringLiteral(".jsonl")));
    QTimer::singleShot(2500, &battery, [&] { battery.plugIn(); });
    EXPECT_EQ(runTerminalTestOn(o, battery, io.out, io.err), 1);
    EXPECT_EQ(io.errText(),
        QStringLiteral(
            "ampero: the companion file could not be written: cannot create %1.jsonl: Is a directory\n")
            .arg(QFile::decodeName(o.output)));
    EXPECT_GE(fileData(o.output).samples.size(), 2u);
}

TEST_F(TerminalTest, StallIsFilledAndTheLastLineIsTheEnd)
{
    // The process stops for 5.5 s in the middle of a normal test, as after
    // SIGSTOP and SIGCONT. That is no sleep: the next tick fills the seconds
    // it missed and the test goes on, until the charger comes. A battery
    // notice that falls due in the stall changes nothing of the last lines.
    PowerStatus s;
    s.line = PowerLine::Battery;
    s.level = 80;
    FakePowerSource battery(s);
    QObject guard; // the timers belong to this test only
    QTimer::singleShot(2500, Qt::PreciseTimer, &guard, [] { QThread::msleep(5500); });
    QTimer::singleShot(3300, Qt::PreciseTimer, &guard, [&battery] { battery.setLevel(79); });
    QTimer::singleShot(9500, Qt::PreciseTimer, &guard, [&battery] { battery.setLine(PowerLine::Mains); });
    const CliOptions o = options("normal");
    EXPECT_EQ(runTerminalTestOn(o, battery, io.out, io.err), 1) << io.errText().toStdString();
    const QStringList lines = io.outLines();
    ASSERT_GE(lines.size(), 2);
    EXPECT_EQ(lines[lines.size() - 2], "testing interrupted");
    EXPECT_EQ(lines.last(), o.output);
    EXPECT_GE(fileData(o.output).samples.size(), 8u); // one a second, the stall filled
}

struct RefusalCase {
    const char* name;
    const char* mode;
    bool withOutput;
    PowerLine line;
    std::optional<int> level;
    const char* message;
    friend void PrintTo(const RefusalCase& c, std::ostream* os) { *os << c.name; }
};

class TerminalRefusal : public TerminalTest, public ::testing::WithParamInterface<RefusalCase> { };

TEST_P(TerminalRefusal, ExitsWithTwo)
{
    const RefusalCase& c = GetParam();
    PowerStatus s;
    s.line = c.line;
    s.level = c.level;
    FakePowerSource power(s);
    CliOptions o = options(c.mode);
    if (!c.withOutput)
        o.output.clear();
    EXPECT_EQ(runTerminalTestOn(o, power, io.out, io.err), 2);
    EXPECT_EQ(io.errText(), QString::fromUtf8(c.message) + '\n');
    EXPECT_TRUE(io.outLines().isEmpty());
    EXPECT_FALSE(QFile::exists(QFile::decodeName(o.output)));
}

INSTANTIATE_TEST_SUITE_P(Terminal, TerminalRefusal,
    ::testing::Values(
        RefusalCase { "OnAc", "fast", true, PowerLine::Mains, 90, "ampero: testing disabled (on AC power)" },
        RefusalCase { "LineUnknown", "normal", true, PowerLine::Unknown, 90,
            "ampero: testing disabled (power source unknown)" },
        RefusalCase { "LowBattery", "fast", true, PowerLine::Battery, 9,
            "ampero: not ready for test (battery below 10%)" },
        RefusalCase { "LevelUnknown", "fast", true, PowerLine::Battery, std::nullopt,
            "ampero: not ready for test (battery level unknown)" },
        RefusalCase { "BadMode", "quick", true, PowerLine::Battery, 90,
            "ampero: --run takes \"fast\" or \"normal\", not \"quick\"" },
        RefusalCase { "NoOutput", "fast", false, PowerLine::Battery, 90,
            "ampero: --run needs --output FILE, the results file to write" }),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(TerminalTest, UnwritableOutputRefuses)
{
    PowerStatus s;
    s.line = PowerLine::Battery;
    s.level = 80;
    FakePowerSource power(s);
    CliOptions o = options("fast");
    o.output = QFile::encodeName(dir.filePath(QStringLiteral("no/such/dir/x.apr")));
    EXPECT_EQ(runTerminalTestOn(o, power, io.out, io.err), 2);
    EXPECT_TRUE(
        io.errText().startsWith(QStringLiteral("ampero: cannot create ") + QString::fromUtf8(o.output)))
        << io.errText().toStdString();
}

// The built program on its simulated battery ("sim:N" loses 1 % every N
// seconds). Skipped while the program refuses that power source.
class TerminalProgram : public ::testing::Test {
protected:
    void startRun(const QStringList& args)
    {
        proc.setProgram(amperoBinary());
        proc.setArguments(args);
        proc.start();
        ASSERT_TRUE(proc.waitForStarted());
    }
    bool refused() { return proc.exitStatus() == QProcess::NormalExit && proc.exitCode() == 2; }
    QTemporaryDir dir;
    QProcess proc;
};

TEST_F(TerminalProgram, FastRunOnSimulatedBattery)
{
    const QString out = dir.filePath(QStringLiteral("fast.apr"));
    startRun({ "--run", "fast", "--no-load", "--power-source", "sim:1", "--output", out });
    ASSERT_TRUE(proc.waitForFinished(20000));
    if (refused())
        GTEST_SKIP() << "sim:1 refused: " << proc.readAllStandardError().toStdString();
    EXPECT_EQ(proc.exitCode(), 0) << proc.readAllStandardError().toStdString();
    const QStringList lines = QString::fromUtf8(proc.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_EQ(lines.last(), out);
    const auto r = readResultsFile(out.toStdString());
    ASSERT_TRUE(r.ok()) << r.describe();
    EXPECT_TRUE(r.data.complete);
    EXPECT_EQ(r.data.mode, 1);
    EXPECT_TRUE(r.data.hasLevelChangeTimes);
    EXPECT_LE(r.data.samples.size(), 10u);
}

TEST_F(TerminalProgram, SigtermDuringNormalRun)
{
    const QString out = dir.filePath(QStringLiteral("normal.apr"));
    startRun({ "--run", "normal", "--power-source", "sim:60", "--output", out });
    // Wait for the first progress line, then stop the run.
    const bool running = QTest::qWaitFor(
        [&] { return proc.state() != QProcess::Running || proc.peek(4096).count('\n') >= 2; }, 10000);
    ASSERT_TRUE(running);
    if (proc.state() != QProcess::Running && refused())
        GTEST_SKIP() << "sim:60 refused: " << proc.readAllStandardError().toStdString();
    proc.terminate(); // SIGTERM
    ASSERT_TRUE(proc.waitForFinished(10000));
    EXPECT_EQ(proc.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(proc.exitCode(), 1);
    const auto r = readResultsFile(out.toStdString());
    ASSERT_TRUE(r.ok()) << r.describe();
    EXPECT_TRUE(r.data.complete);
    EXPECT_EQ(r.data.mode, 2);
}

// A shell runs the program, so that a test can close its output, preload the
// fault shim, or name a file with bytes that are not text.
struct ShellRun {
    int exitCode = -1;
    QByteArray out, err;
};

ShellRun runShell(const QString& dir, const QByteArray& script, const QStringList& env = {}, int ms = 30000)
{
    QProcess p;
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    e.insert(QStringLiteral("AMPERO"), amperoBinary());
    for (const QString& kv : env)
        e.insert(kv.section(u'=', 0, 0), kv.section(u'=', 1));
    p.setProcessEnvironment(e);
    p.setWorkingDirectory(dir);
    p.start(QStringLiteral("/bin/bash"), { QStringLiteral("-c"), QString::fromLatin1(script) });
    ShellRun r;
    if (!p.waitForFinished(ms)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

// SIGHUP (the terminal closed, an SSH link dropped) completes the file, as
// SIGTERM does, and exits 1.
TEST_F(TerminalProgram, SighupCompletesTheFile)
{
    const QString out = dir.filePath(QStringLiteral("hup.apr"));
    startRun({ "--run", "normal", "--no-load", "--power-source", "sim:60", "--output", out });
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return proc.state() != QProcess::Running || proc.peek(4096).count('\n') >= 2; }, 10000));
    if (proc.state() != QProcess::Running && refused())
        GTEST_SKIP() << "sim:60 refused: " << proc.readAllStandardError().toStdString();
    ::kill(static_cast<pid_t>(proc.processId()), SIGHUP);
    ASSERT_TRUE(proc.waitForFinished(10000));
    EXPECT_EQ(proc.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(proc.exitCode(), 1);
    const auto r = readResultsFile(out.toStdString());
    ASSERT_TRUE(r.ok()) << r.describe();
    EXPECT_TRUE(r.data.complete);
    EXPECT_FALSE(r.data.samples.empty());
}

// kill -9 in the middle of a test: the results file and its companion both
// read, the companion with every second but perhaps the last.
TEST_F(TerminalProgram, KillLeavesAReadableCompanion)
{
    const QString out = dir.filePath(QStringLiteral("killed.apr"));
    startRun({ "--run", "normal", "--no-load", "--power-source", "sim:60", "--output", out });
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return proc.state() != QProcess::Running || proc.peek(4096).count('\n') >= 4; }, 10000));
    if (proc.state() != QProcess::Running && refused())
        GTEST_SKIP() << "sim:60 refused: " << proc.readAllStandardError().toStdString();
    proc.kill();
    ASSERT_TRUE(proc.waitForFinished(10000));
    const ResultsEvaluation e = evaluateResultsFile(out);
    ASSERT_TRUE(e.ok) << e.failure.toStdString();
    EXPECT_FALSE(e.complete);
    ASSERT_TRUE(e.hasCompanion) << e.companionProblem.toStdString();
    ASSERT_GE(e.sampleCount, 2);
    EXPECT_GE(static_cast<qint64>(e.energySamples->size()), e.sampleCount - 1);
    EXPECT_EQ(e.energySamples->front().level, e.firstLevel);
    EXPECT_FALSE(e.setup.value(QStringLiteral("program_version")).toString().isEmpty());
}

// `| head -n 2` closes the output after two lines: the test runs to its
// regular end all the same, completes its file and exits 0.
TEST_F(TerminalProgram, ClosedOutputDoesNotEndTheTest)
{
    const ShellRun r = runShell(dir.path(),
        "\"$AMPERO\" --run fast --no-load --power-source sim:1 --output piped.apr | head -n 2 >/dev/null;"
        " echo \"${PIPESTATUS[0]}\"");
    EXPECT_EQ(r.out.trimmed(), "0") << r.err.toStdString();
    const auto file = readResultsFile(dir.filePath(QStringLiteral("piped.apr")).toStdString());
    ASSERT_TRUE(file.ok()) << file.describe();
    EXPECT_TRUE(file.data.complete);
    EXPECT_TRUE(file.data.hasLevelChangeTimes);
}

// A write that fails ends the test at once as failed: one line says why, the
// exit status is 4, and the report calls the file incomplete. Neither a full
// disk during the test nor a failing flush at its stop passes for success.
TEST_F(TerminalProgram, WriteFailuresEndTheTestWithExitFour)
{
    const QString shim = faultShimPath();
    if (shim.isEmpty())
        GTEST_SKIP() << "the fault shim was not built";
    const struct {
        const char* name;
        const char* mode;
        QString fault;
        const char* says;
    } rows[] = {
        { "disk full after two samples", "normal", QStringLiteral("AMPERO_FAULT_WRITE_LIMIT=12"),
            "No space left on device" },
        { "fdatasync fails at the stop", "fast", QStringLiteral("AMPERO_FAULT_SYNC_ERRNO=5"),
            "Input/output error" },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const QByteArray name = QByteArray(row.mode) + "-fault.apr";
        const ShellRun r = runShell(dir.path(),
            "exec \"$AMPERO\" --run " + QByteArray(row.mode) + " --no-load --power-source sim:1 --output "
                + name,
            { QStringLiteral("LD_PRELOAD=") + shim,
                QStringLiteral("AMPERO_FAULT_TARGET=/") + QString::fromLatin1(name), row.fault });
        EXPECT_EQ(r.exitCode, 4) << r.err.toStdString();
        EXPECT_EQ(r.err.count('\n'), 1) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(row.says)) << r.err.toStdString();
        EXPECT_TRUE(r.out.contains("testing interrupted\n")) << r.out.toStdString();

        const ShellRun report = runShell(dir.path(), "exec \"$AMPERO\" --report " + name);
        EXPECT_EQ(report.exitCode, 0) << report.err.toStdString();
        EXPECT_TRUE(report.out.contains("The file is incomplete")) << report.out.toStdString();
    }
    // The full disk took the third sample: the file holds the two before it.
    const auto full = readResultsFile(dir.filePath(QStringLiteral("normal-fault.apr")).toStdString());
    ASSERT_TRUE(full.ok()) << full.describe();
    EXPECT_EQ(full.data.samples.size(), 2u);
}

// Two tests on one file: the second is refused before it truncates anything,
// and the first runs on and completes its own file.
TEST_F(TerminalProgram, SecondTestOnTheSameFileIsRefused)
{
    const QString out = dir.filePath(QStringLiteral("shared.apr"));
    startRun({ "--run", "normal", "--no-load", "--power-source", "sim:60", "--output", out });
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return proc.state() != QProcess::Running || proc.peek(4096).count('\n') >= 3; }, 10000));
    if (proc.state() != QProcess::Running && refused())
        GTEST_SKIP() << "sim:60 refused";
    const QByteArray before = readFile(out);

    QProcess second;
    second.start(amperoBinary(), { "--run", "fast", "--power-source", "sim:60", "--output", out });
    ASSERT_TRUE(second.waitForFinished(10000));
    EXPECT_EQ(second.exitCode(), 2);
    EXPECT_TRUE(second.readAllStandardError().contains("another test is writing this file"));
    EXPECT_TRUE(readFile(out).startsWith(before)) << "nothing of the first test's data was lost";

    proc.terminate();
    ASSERT_TRUE(proc.waitForFinished(10000));
    EXPECT_EQ(proc.exitCode(), 1);
    const auto r = readResultsFile(out.toStdString());
    ASSERT_TRUE(r.ok()) << r.describe();
    EXPECT_TRUE(r.data.complete);
    EXPECT_EQ(r.data.mode, 2);
    EXPECT_GE(r.data.samples.size(), 2u);
}

// Nothing at the companion's name is opened or followed: a FIFO holds
// nothing up, the targets of links stay as they were, and each test leaves
// a companion of its own.
TEST_F(TerminalProgram, NothingAtTheCompanionsNameIsFollowed)
{
    const ShellRun r = runShell(dir.path(),
        "echo keep >precious; mkfifo f.apr.jsonl; ln -s precious s.apr.jsonl; ln -s made d.apr.jsonl;"
        " ln precious h.apr.jsonl; for n in f s d h; do timeout -s KILL 20 \"$AMPERO\" --run fast --no-load"
        " --power-source sim:1 --output $n.apr >/dev/null & done; wait; cat precious; ls; for n in f s d h;"
        " do \"$AMPERO\" --export-csv $n.apr | head -n 1; done",
        {}, 60000);
    EXPECT_EQ(r.out.toStdString(),
        "keep\nd.apr\nd.apr.jsonl\nf.apr\nf.apr.jsonl\nh.apr\nh.apr.jsonl\nprecious\ns.apr\ns.apr.jsonl\n"
            + QByteArray("elapsed_seconds,level,energy_wh,power_w,voltage_v\n").repeated(4).toStdString());
}

// What can never make a test, or names no file, is refused before anything
// starts, with exit 2 and one line why: an output that is not a regular
// file, a malformed file:// URL, an empty or ambiguous power source.
TEST_F(TerminalProgram, RefusedBeforeTheTestStarts)
{
    const char* const rows[][2] = {
        { "sim:1 --output /dev/null", "cannot create /dev/null: not a regular file" },
        { "sim:1 --output fifo.apr", "fifo.apr: not a regular file" },
        { "sim:1 --output file:///tmp/f%ZZ1.apr", "malformed file URL: file:///tmp/f%ZZ1.apr" },
        { "'' --output x.apr", "--power-source needs a backend: upower, sysfs[:DIR] or sim[:N]" },
        { "sim:capacity=5,capacity=6 --output x.apr", "\"capacity\" is given twice." },
    };
    for (const auto& row : rows) {
        const ShellRun r = runShell(dir.path(),
            "test -p fifo.apr || mkfifo fifo.apr; timeout -s KILL 9 \"$AMPERO\" --run fast --power-source "
                + QByteArray(row[0]) + "; echo $?; ls");
        EXPECT_EQ(r.out.toStdString(), "2\nfifo.apr\n") << row[0];
        EXPECT_TRUE(r.err.startsWith("ampero: ") && r.err.endsWith(QByteArray(row[1]).append('\n'))
            && r.err.count('\n') == 1)
            << r.err.toStdString();
    }
}

// A file name is bytes: --output writes exactly the name it was given, and
// --report and --export-csv read it back, by name and as a file:// URL.
TEST_F(TerminalProgram, FileNamesThatAreNotUtf8AreKeptAsBytes)
{
    const ShellRun run = runShell(dir.path(),
        "exec \"$AMPERO\" --run fast --no-load --power-source sim:1 --output $'bad\\xff\\xfe.apr'");
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.endsWith("/bad\xff\xfe.apr\n")) << run.out.toStdString();
    QStringList names;
    bool exact = false;
    if (DIR* d = ::opendir(QFile::encodeName(dir.path()).constData())) {
        while (const dirent* e = ::readdir(d))
            exact = exact || QByteArray(e->d_name) == "bad\xff\xfe.apr";
        ::closedir(d);
    }
    EXPECT_TRUE(exact) << "the file has the very bytes it was given";
    EXPECT_TRUE(readCompanionFile(QFile::encodeName(dir.path()) + "/bad\xff\xfe.apr.jsonl").ok);

    for (const QByteArray& arg :
        { QByteArray("$'bad\\xff\\xfe.apr'"), QByteArray("\"file://$PWD/bad%FF%FE.apr\"") }) {
        SCOPED_TRACE(arg.toStdString());
        const ShellRun report = runShell(dir.path(), "exec \"$AMPERO\" --report " + arg);
        EXPECT_EQ(report.exitCode, 0) << report.err.toStdString();
        EXPECT_TRUE(report.out.contains("Test mode: fast")) << report.out.toStdString();
        const ShellRun csv = runShell(dir.path(), "exec \"$AMPERO\" --export-csv " + arg);
        EXPECT_EQ(csv.exitCode, 0) << csv.err.toStdString();
        // The companion beside it was found under the same bytes.
        EXPECT_TRUE(csv.out.startsWith("elapsed_seconds,level,energy_wh,power_w,voltage_v\n0,"))
            << csv.out.toStdString();
    }
}

} // namespace

TEST_F(TerminalTest, BrokenHistoryNeitherStopsTheTestNorLosesTheRun)
{
    // A store that is no database: the test runs to its end, its file is
    // complete, and the run waits for the history in the pending list.
    const QString data = dir.filePath(QStringLiteral("data"));
    ASSERT_TRUE(QDir().mkpath(data));
    writeFile(dir, QStringLiteral("data/history.sqlite"), QByteArray(4096, 'x'));
    HistoryConfig config;
    config.localFile = data + QStringLiteral("/history.sqlite");
    config.pendingFile = data + QStringLiteral("/history-pending");
    config.fallbackIdFile = data + QStringLiteral("/installation-id");
    QStringList warnings;
    History history(config, describeRun, [&](const QString& w) { warnings << w; });
    SimBattery battery(60, 1000);
    TerminalTestServices services;
    services.recordRun = [&](const QByteArray& path) { history.recordRun(path); };
    const CliOptions o = options("fast");
    EXPECT_EQ(runTerminalTestOn(o, battery, io.out, io.err, services), 0);
    EXPECT_TRUE(fileData(o.output).complete);
    EXPECT_FALSE(warnings.isEmpty());
    EXPECT_EQ(readFile(config.pendingFile), o.output + '\n');

    ASSERT_TRUE(QFile::remove(config.localFile));
    History later(config, describeRun, [](const QString&) {});
    ASSERT_TRUE(later.reader());
    const QList<HistoryRun> runs = later.reader()->runs(QString());
    ASSERT_EQ(runs.size(), 1);
    EXPECT_EQ(runs.first().mode, "fast");
    EXPECT_FALSE(runs.first().report.contains("term.apr")); // the report without its path
    EXPECT_EQ(runs.first().path, QFile::decodeName(o.output));
}
