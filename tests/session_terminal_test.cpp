// SPDX-License-Identifier: GPL-3.0-or-later
// The terminal test mode: in process on a simulated battery, and end to end
// through the built program.
#include "app/terminaltest.h"
#include "platform/fakepowersource.h"
#include "results/resultsformat.h"
#include "session_fakes.h"
#include "support/testutil.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <csignal>
#include <gtest/gtest.h>

using namespace ampero;
using namespace ampero::test;

namespace {

// A battery that loses one percent every msPerPercent while the event loop runs.
class SimBattery final : public PowerSource {
public:
    SimBattery(uint8_t level, int msPerPercent)
    {
        m_status.acLineStatus = PowerStatus::AcOffline;
        m_status.batteryLifePercent = level;
        m_status.batteryFullLifeTime = 3600;
        connect(&m_timer, &QTimer::timeout, this, [this] {
            if (m_status.batteryLifePercent > 0)
                --m_status.batteryLifePercent;
            Q_EMIT powerChanged();
        });
        m_timer.start(msPerPercent);
    }
    PowerStatus status() override { return m_status; }
    QString backendName() const override { return QStringLiteral("sim"); }
    void plugIn()
    {
        m_status.acLineStatus = PowerStatus::AcOnline;
        Q_EMIT powerChanged();
    }

private:
    PowerStatus m_status;
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
        o.output = dir.filePath(QStringLiteral("term.apr"));
        return o;
    }
    ResultsData fileData(const QString& path)
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
    QString printed;
    services.printResults = [&](const QString& path, std::FILE*) { printed = path; };
    const CliOptions o = options("fast");
    const int rc = runTerminalTestOn(o, battery, io.out, io.err, services);
    EXPECT_EQ(rc, 0) << io.errText().toStdString();
    EXPECT_EQ(printed, o.output); // the results are printed after a regular end
    const QStringList lines = io.outLines();
    ASSERT_GE(lines.size(), 5);
    EXPECT_TRUE(lines.first().startsWith("testing... (fast, no load CPU): ")) << lines.first().toStdString();
    EXPECT_TRUE(lines[1].startsWith("0:00:00  level ")) << lines[1].toStdString();
    EXPECT_EQ(lines[lines.size() - 2], "testing completed");
    EXPECT_EQ(lines.last(), o.output);

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

TEST_F(TerminalTest, LastLineIsTheEndEvenWithAPowerNoticeAfterAGapEnd)
{
    // The process stops for 5.5 s in the middle of a normal test, as after
    // SIGSTOP and SIGCONT. Both the next tick and a battery notice fall due
    // while it stands still and are handled one after the other when it goes
    // on: the tick finds the gap and ends the test, then the notice comes.
    PowerStatus s;
    s.acLineStatus = PowerStatus::AcOffline;
    s.batteryLifePercent = 80;
    FakePowerSource battery(s);
    QObject guard; // the timers belong to this test only
    QTimer::singleShot(2500, Qt::PreciseTimer, &guard, [] { QThread::msleep(5500); });
    QTimer::singleShot(3300, Qt::PreciseTimer, &guard, [&battery] { battery.setLevel(79); });
    const CliOptions o = options("normal");
    EXPECT_EQ(runTerminalTestOn(o, battery, io.out, io.err), 0) << io.errText().toStdString();
    const QStringList lines = io.outLines();
    ASSERT_GE(lines.size(), 2);
    EXPECT_EQ(lines[lines.size() - 2], "testing completed");
    EXPECT_EQ(lines.last(), o.output);
}

struct RefusalCase {
    const char* name;
    const char* mode;
    bool withOutput;
    uint8_t ac;
    uint8_t level;
    const char* message;
    friend void PrintTo(const RefusalCase& c, std::ostream* os) { *os << c.name; }
};

class TerminalRefusal : public TerminalTest, public ::testing::WithParamInterface<RefusalCase> { };

TEST_P(TerminalRefusal, ExitsWithTwo)
{
    const RefusalCase& c = GetParam();
    PowerStatus s;
    s.acLineStatus = c.ac;
    s.batteryLifePercent = c.level;
    FakePowerSource power(s);
    CliOptions o = options(c.mode);
    if (!c.withOutput)
        o.output.clear();
    EXPECT_EQ(runTerminalTestOn(o, power, io.out, io.err), 2);
    EXPECT_EQ(io.errText(), QString::fromUtf8(c.message) + '\n');
    EXPECT_TRUE(io.outLines().isEmpty());
    EXPECT_FALSE(QFile::exists(o.output));
}

INSTANTIATE_TEST_SUITE_P(Terminal, TerminalRefusal,
    ::testing::Values(RefusalCase { "OnAc", "fast", true, 1, 90, "ampero: testing disabled (powered by AC)" },
        RefusalCase { "LineUnknown", "normal", true, 255, 90, "ampero: testing disabled (unknown)" },
        RefusalCase { "LowBattery", "fast", true, 0, 9, "ampero: not ready for test (battery at 9%)" },
        RefusalCase {
            "BadMode", "quick", true, 0, 90, "ampero: --run takes \"fast\" or \"normal\", not \"quick\"" },
        RefusalCase { "NoOutput", "fast", false, 0, 90,
            "ampero: --run needs --output FILE, the results file to write" }),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(TerminalTest, UnwritableOutputRefuses)
{
    PowerStatus s;
    s.acLineStatus = 0;
    s.batteryLifePercent = 80;
    FakePowerSource power(s);
    CliOptions o = options("fast");
    o.output = dir.filePath(QStringLiteral("no/such/dir/x.apr"));
    EXPECT_EQ(runTerminalTestOn(o, power, io.out, io.err), 2);
    EXPECT_TRUE(io.errText().startsWith("ampero: cannot create " + o.output)) << io.errText().toStdString();
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

} // namespace
