// SPDX-License-Identifier: GPL-3.0-or-later
// The test session controller driven tick by tick with fake windows, a fake
// battery and a fake clock.
#include "platform/clock.h"
#include "platform/fakepowersource.h"
#include "platform/systemevents.h"
#include "results/resultsformat.h"
#include "session/testsession.h"
#include "support/sessionfakes.h"
#include "support/testutil.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cerrno>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

using namespace ampero;
using namespace ampero::test;

AMPERO_TEST_PRELOAD_FAULT_SHIM()

namespace {

constexpr double Second = kDayPerSecond;

PowerStatus onBattery(int level)
{
    PowerStatus s;
    s.line = PowerLine::Battery;
    s.level = level;
    s.timeLeft = std::chrono::seconds(5400);
    s.fullLifeTime = std::chrono::seconds(7200);
    return s;
}

class SessionTest : public ::testing::Test {
protected:
    SessionTest()
        : power(onBattery(80))
        , session(view, chart, dialogs, testing, power, clock, load)
    {
        dialogs.path = dir.filePath(QStringLiteral("run.apr"));
        session.setBatteryCapacity(48000);
        session.setMeasureCpuClock([this] { return mhz; });
        session.setShowResultsWindow([this](const QString& path, const std::function<void()>& closed) {
            shownResults << path;
            closed();
        });
    }

    void start(TestMode mode) { session.startTest(mode); }

    // The timer fires; what it queued (the results window) runs after it.
    void tick()
    {
        session.onTick();
        QCoreApplication::sendPostedEvents();
    }

    // One second passes, the battery shows level, the timer fires.
    void tickAt(std::optional<int> level, int64_t ms = 1000)
    {
        clock.advanceMs(ms);
        power.setLevel(level);
        tick();
    }

    ResultsData fileData()
    {
        const auto r = readResultsFile(dialogs.path->toStdString());
        EXPECT_TRUE(r.ok()) << r.describe();
        return r.data;
    }

    std::vector<uint8_t> samples() { return fileData().samples; }

    QTemporaryDir dir;
    FakeMainView view;
    FakeChart chart;
    FakeDialogs dialogs;
    FakeTestingWindow testing;
    FakePowerSource power;
    FakeClock clock;
    FakeLoad load;
    double mhz = 2000.0;
    QStringList shownResults;
    TestSession session;
};

TEST_F(SessionTest, FastTestEndsAtTheTickAfterTheThirdChange)
{
    start(TestMode::Fast);
    ASSERT_EQ(testing.opened, 1);
    EXPECT_EQ(view.action, "testing...");
    EXPECT_EQ(view.timer, "0:00:00");
    EXPECT_EQ(view.cpuSpeed, "(2000.00 MHz)");

    const std::vector<int> levels { 80, 80, 79, 79, 78, 77 };
    const QStringList timers { "0:00:00", "0:00:01", "0:00:02", "0:00:03", "0:00:04", "0:00:05" };
    for (std::size_t i = 0; i < levels.size(); ++i) {
        tickAt(levels[i]);
        EXPECT_EQ(view.timer, timers[static_cast<int>(i)]) << "tick " << i;
        EXPECT_EQ(view.level, QString::number(levels[i]) + "%");
    }
    EXPECT_EQ(session.state().levelChangeCount, 3);
    EXPECT_EQ(session.state().mode, TestMode::Fast);
    ASSERT_EQ(chart.samples.size(), 6);
    EXPECT_EQ(chart.samples.first(), QPointF(0, 80));

    tickAt(76); // ends the test, no seventh sample
    EXPECT_EQ(session.state().mode, TestMode::None);
    EXPECT_EQ(chart.samples.size(), 6);
    EXPECT_EQ(view.action, "testing completed");
    EXPECT_EQ(view.level, "76%"); // the after-results re-check shows the battery
    EXPECT_EQ(shownResults, QStringList { *dialogs.path });
    EXPECT_FALSE(testing.showing);
    EXPECT_FALSE(session.testTimerActive());

    const ResultsData d = fileData();
    EXPECT_EQ(d.mode, 1);
    EXPECT_EQ(d.noLoad, 1);
    EXPECT_EQ(d.forecast, 7200u);
    EXPECT_EQ(d.samples, (std::vector<uint8_t> { 80, 80, 79, 79, 78, 77 }));
    ASSERT_TRUE(d.hasLevelChangeTimes);
    EXPECT_DOUBLE_EQ(d.levelChangeTimes[0], 2 * Second);
    EXPECT_DOUBLE_EQ(d.levelChangeTimes[1], 4 * Second);
    EXPECT_DOUBLE_EQ(d.levelChangeTimes[2], 5 * Second);
    EXPECT_EQ(d.capacity, 48000u);
    // Six seconds at 2000 MHz without load.
    EXPECT_EQ(d.workCount, 12000000000u);
}

TEST_F(SessionTest, HeaderBytesOnDisk)
{
    view.noLoad = false;
    auto s = onBattery(90);
    s.fullLifeTime = std::nullopt;
    s.timeLeft = std::chrono::seconds(0x01020304);
    power.setStatus(s);
    start(TestMode::Normal);
    EXPECT_EQ(readFile(*dialogs.path), bytes({ 0x03, 'A', 'P', 'R', 2, 0, 0x04, 0x03, 0x02, 0x01 }));
}

TEST_F(SessionTest, ForecastTheFieldCannotHoldIsStoredAsUnknown)
{
    auto s = onBattery(90);
    s.fullLifeTime = std::chrono::seconds(0xFFFFFFFFll); // one past the largest storable forecast
    power.setStatus(s);
    start(TestMode::Normal);
    EXPECT_EQ(readFile(*dialogs.path), bytes({ 0x03, 'A', 'P', 'R', 2, 1, 0xFF, 0xFF, 0xFF, 0xFF }));
    EXPECT_EQ(forecastField(std::chrono::seconds(0xFFFFFFFEll)), 0xFFFFFFFEu);
}

TEST_F(SessionTest, RisingLevelCountsAsChange)
{
    start(TestMode::Fast);
    for (int level : { 50, 51, 52, 53 })
        tickAt(level);
    EXPECT_EQ(session.state().levelChangeCount, 3);
    tickAt(53);
    EXPECT_EQ(session.state().mode, TestMode::None);
    const ResultsData d = fileData();
    EXPECT_EQ(d.samples, (std::vector<uint8_t> { 50, 51, 52, 53 }));
    EXPECT_DOUBLE_EQ(d.levelChangeTimes[0], 1 * Second);
    EXPECT_DOUBLE_EQ(d.levelChangeTimes[2], 3 * Second);
}

TEST_F(SessionTest, FastTestWithoutChangesRunsUntilCancelled)
{
    start(TestMode::Fast);
    for (int i = 0; i < 600; ++i)
        tickAt(64);
    EXPECT_EQ(session.state().mode, TestMode::Fast);
    EXPECT_EQ(view.timer, "0:09:59");

    clock.advanceMs(400);
    testing.closeWindow(); // Cancel between two ticks
    tickAt(64, 600);
    EXPECT_EQ(session.state().mode, TestMode::None);
    EXPECT_EQ(view.action, "testing interrupted");
    EXPECT_TRUE(shownResults.isEmpty());
    const ResultsData d = fileData();
    EXPECT_EQ(d.samples.size(), 600u);
    EXPECT_TRUE(d.hasLevelChangeTimes);
    EXPECT_EQ(d.levelChangeTimes, (std::array<double, 3> { 0, 0, 0 }));
}

TEST_F(SessionTest, NormalTestKeepsOnlyThreeChangesAndStoresNone)
{
    start(TestMode::Normal);
    for (int i = 0; i < 50; ++i)
        tickAt(i % 2 ? 70 : 71);
    EXPECT_EQ(session.state().levelChangeCount, 3);
    EXPECT_DOUBLE_EQ(session.state().levelChangeTimes[2], 3 * Second);
    EXPECT_EQ(session.state().mode, TestMode::Normal);

    testing.closeWindow();
    tick();
    EXPECT_EQ(session.state().mode, TestMode::None);
    const ResultsData d = fileData();
    EXPECT_EQ(d.mode, 2);
    EXPECT_EQ(d.samples.size(), 50u);
    EXPECT_FALSE(d.hasLevelChangeTimes);
}

struct GapCase {
    friend void PrintTo(const GapCase& c, std::ostream* os) { *os << c.name; }
    const char* name;
    int64_t sleepMs;
    bool ends;
};

class GapTest : public SessionTest, public ::testing::WithParamInterface<GapCase> { };

// The machine sleeps between two ticks at 10 %: a gap of 5 s ends the test.
TEST_P(GapTest, SleepBetweenTicks)
{
    start(TestMode::Normal);
    tickAt(10);
    tickAt(10);
    clock.advanceMs(500);
    clock.sleepMs(GetParam().sleepMs);
    tickAt(10, 500);
    EXPECT_EQ(session.state().mode == TestMode::None, GetParam().ends);
    EXPECT_EQ(samples().size(), GetParam().ends ? 2u : 3u);
    EXPECT_EQ(shownResults.size(), GetParam().ends ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Session, GapTest,
    ::testing::Values(GapCase { "FourPointNineSeconds", 3900, false },
        GapCase { "JustUnderFive", 3999, false }, GapCase { "FiveSeconds", 4000, true },
        GapCase { "AnHour", 3600000, true }),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SessionTest, WallClockStepsNeverEndATest)
{
    start(TestMode::Normal);
    tickAt(80);
    clock.stepWallClockMs(-3600000); // clock set back an hour
    tickAt(80);
    clock.stepWallClockMs(3600000); // daylight saving starts
    tickAt(80);
    clock.stepWallClockMs(kMsPerDay); // NTP step of a day
    tickAt(80);
    EXPECT_EQ(session.state().mode, TestMode::Normal);
    const ResultsData d = fileData(); // still open: no Terminator yet
    EXPECT_FALSE(d.complete);
    EXPECT_EQ(d.samples.size(), 4u);
}

// A late tick fills the seconds it missed with the last level; only a stall
// of over a minute ends the test, as interrupted.
TEST_F(SessionTest, StallIsFilledNotTakenForASleep)
{
    int announced = 0;
    QObject::connect(&session, &TestSession::sampleTaken, &session, [&] { ++announced; });
    start(TestMode::Normal);
    tickAt(80);
    tickAt(79);
    tickAt(78, 4000); // a 3-second stall
    tickAt(77, 7000); // a 6-second stall, with no time spent suspended
    EXPECT_EQ(samples(), (std::vector<uint8_t> { 80, 79, 79, 79, 79, 78, 78, 78, 78, 78, 78, 78, 77 }));
    EXPECT_EQ(announced, 4); // filled samples get no companion lines
    EXPECT_DOUBLE_EQ(session.state().elapsed, 13 * Second);

    tickAt(77, 61000);
    EXPECT_EQ(view.action, "testing interrupted");
    EXPECT_EQ(dialogs.errors, QStringList { "the program stood still for 61 seconds" });
    EXPECT_EQ(fileData().samples.size(), 13u);
}

// A suspend above 10 % is a closed lid, not an empty battery; the system's
// sleep notice counts as a sleep even when the clocks do not show one.
TEST_F(SessionTest, SuspendAboveTenPercentInterrupts)
{
    FakeSystemEvents events;
    session.powerWatcher().watchResume(&events);
    for (const int run : { 0, 1, 2 }) {
        dialogs.errors.clear();
        dialogs.path = dir.filePath(QString::number(run));
        start(TestMode::Normal);
        if (run > 0)
            tickAt(60);
        if (run == 2) {
            events.emitSleep(true);
            clock.advanceMs(6000);
        } else {
            clock.sleepMs(6000);
        }
        tick();
        EXPECT_EQ(view.action, "testing interrupted");
        EXPECT_EQ(dialogs.errors.value(0),
            run ? "the machine was suspended at 60%" : "the machine was suspended before the first sample");
    }
}

TEST_F(SessionTest, StopTestWithoutTestWritesNothingAndKeepsLabels)
{
    session.stopTest();
    EXPECT_EQ(view.action, "idle");
    EXPECT_EQ(view.level, "0%");
    EXPECT_TRUE(view.actions.isEmpty());
    EXPECT_FALSE(QFile::exists(*dialogs.path));
    EXPECT_EQ(load.stops, 0);
}

TEST_F(SessionTest, AcConnectedDuringTestInterruptsIt)
{
    start(TestMode::Normal);
    tickAt(80);
    tickAt(79);
    clock.advanceMs(500);
    power.setLine(PowerLine::Mains); // power notice half a second after a sample
    EXPECT_FALSE(testing.showing);
    EXPECT_EQ(view.mode, "powered by AC");
    EXPECT_EQ(view.level, "0%");
    EXPECT_EQ(view.action, "testing disabled");
    EXPECT_FALSE(view.testsEnabled);

    tickAt(79, 500);
    EXPECT_EQ(session.state().mode, TestMode::None);
    EXPECT_EQ(view.action, "testing interrupted");
    EXPECT_TRUE(shownResults.isEmpty());
    const ResultsData d = fileData();
    EXPECT_TRUE(d.complete);
    EXPECT_EQ(d.samples, (std::vector<uint8_t> { 80, 79 }));
}

TEST_F(SessionTest, ResumeOnAcEndsTestWithResults)
{
    start(TestMode::Normal);
    tickAt(10);
    tickAt(8);
    clock.sleepMs(6000);
    power.setLine(PowerLine::Mains); // notice right after the resume: ignored
    EXPECT_TRUE(testing.showing);
    EXPECT_EQ(view.mode, "powered by battery");
    EXPECT_EQ(view.level, "8%");

    tick();
    EXPECT_EQ(session.state().mode, TestMode::None);
    EXPECT_EQ(shownResults.size(), 1);
    // The re-check after the results: mode and tests, but the level and
    // the action stay as the test left them.
    EXPECT_EQ(view.mode, "powered by AC");
    EXPECT_FALSE(view.testsEnabled);
    EXPECT_EQ(view.action, "testing completed");
    EXPECT_EQ(view.level, "8%");
    EXPECT_EQ(fileData().samples, (std::vector<uint8_t> { 10, 8 }));
}

TEST_F(SessionTest, UnknownLevelIsNeverWritten)
{
    start(TestMode::Fast);
    tickAt(std::nullopt); // nothing known yet: no sample, time does not advance
    tickAt(std::nullopt);
    EXPECT_TRUE(chart.samples.isEmpty());
    EXPECT_EQ(session.state().elapsed, 0.0);
    tickAt(std::nullopt, 4000); // unknown ticks still count as ticks: no gap end
    EXPECT_EQ(session.state().mode, TestMode::Fast);

    tickAt(80);
    tickAt(std::nullopt); // repeats 80
    tickAt(79);
    EXPECT_EQ(view.timer, "0:00:02");
    EXPECT_EQ(session.state().levelChangeCount, 1);
    testing.closeWindow();
    tick();
    EXPECT_EQ(fileData().samples, (std::vector<uint8_t> { 80, 80, 79 }));
}

TEST_F(SessionTest, CancelledDialogsChangeNothing)
{
    dialogs.confirm = false;
    start(TestMode::Fast);
    EXPECT_EQ(dialogs.modeText, "fast");
    EXPECT_EQ(dialogs.loadText, "none");
    dialogs.confirm = true;
    const auto path = dialogs.path;
    dialogs.path.reset();
    view.noLoad = false;
    start(TestMode::Normal);
    EXPECT_EQ(dialogs.modeText, "normal");
    EXPECT_EQ(dialogs.loadText, "full");
    EXPECT_EQ(testing.opened, 0);
    EXPECT_EQ(session.state().mode, TestMode::None);
    EXPECT_FALSE(session.loadTimerActive());
    EXPECT_FALSE(QFile::exists(*path));
    EXPECT_TRUE(view.actions.isEmpty());
}

TEST_F(SessionTest, FailedStartRollsBack)
{
    view.noLoad = false;
    dialogs.path = dir.filePath(QStringLiteral("missing/run.apr"));
    start(TestMode::Normal);
    EXPECT_EQ(session.state().mode, TestMode::None);
    EXPECT_FALSE(session.loadTimerActive());
    EXPECT_FALSE(session.testTimerActive());
    EXPECT_EQ(testing.opened, 0);
    ASSERT_EQ(dialogs.errors.size(), 1);
    EXPECT_TRUE(dialogs.errors[0].contains("missing/run.apr")) << dialogs.errors[0].toStdString();
    EXPECT_TRUE(dialogs.errors[0].contains("No such file or directory")) << dialogs.errors[0].toStdString();
    EXPECT_TRUE(view.actions.isEmpty());
}

// A full disk at the header: no test, the error shown, and no empty file left.
TEST_F(SessionTest, FailedHeaderWriteRollsBack)
{
    if (!FaultInjection::active())
        GTEST_SKIP() << "the fault shim is not preloaded";
    FaultInjection fault(QFile::encodeName(*dialogs.path), 0);
    start(TestMode::Fast);
    EXPECT_EQ(session.state().mode, TestMode::None);
    EXPECT_EQ(testing.opened, 0);
    ASSERT_EQ(dialogs.errors.size(), 1);
    EXPECT_TRUE(dialogs.errors[0].contains("No space left on device")) << dialogs.errors[0].toStdString();
    EXPECT_FALSE(QFile::exists(*dialogs.path));
}

// Whether any descriptor of this process refers to path.
bool fileIsOpen(const QString& path)
{
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QString& fd : fds.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
        char target[4096];
        const ssize_t n = ::readlink(qPrintable(fds.filePath(fd)), target, sizeof target);
        if (n > 0 && QString::fromLocal8Bit(target, n) == path)
            return true;
    }
    return false;
}

// A sample that cannot be written ends the test at once as failed: the error
// once, "testing interrupted", no results window, and a file that reads as
// incomplete with the samples written before.
TEST_F(SessionTest, FailedSampleWriteEndsTheTestAtOnceAsFailed)
{
    // The file may grow to 12 bytes: the header and two samples.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old {};
    getrlimit(RLIMIT_FSIZE, &old);
    std::vector<TestSession::End> ends;
    QObject::connect(
        &session, &TestSession::testEnded, &session, [&](TestSession::End how) { ends.push_back(how); });
    start(TestMode::Normal);
    EXPECT_TRUE(fileIsOpen(*dialogs.path));
    rlimit small = old;
    small.rlim_cur = 12;
    setrlimit(RLIMIT_FSIZE, &small);
    tickAt(80);
    tickAt(80);
    tickAt(79); // cannot be written
    setrlimit(RLIMIT_FSIZE, &old);

    ASSERT_EQ(dialogs.errors.size(), 1);
    EXPECT_TRUE(dialogs.errors[0].contains("File too large")) << dialogs.errors[0].toStdString();
    EXPECT_EQ(ends, std::vector<TestSession::End> { TestSession::End::Failed });
    EXPECT_EQ(session.state().mode, TestMode::None);
    EXPECT_FALSE(session.testTimerActive());
    EXPECT_EQ(view.action, "testing interrupted");
    EXPECT_FALSE(testing.showing);
    EXPECT_TRUE(shownResults.isEmpty());
    EXPECT_FALSE(fileIsOpen(*dialogs.path));
    EXPECT_EQ(readFile(*dialogs.path), bytes({ 0x03, 'A', 'P', 'R', 2, 1, 0x20, 0x1C, 0, 0, 80, 80 }));
    EXPECT_FALSE(fileData().complete);
    tickAt(79);
    EXPECT_EQ(dialogs.errors.size(), 1) << "nothing more after the end";
}

// A trailer that does not fit or a flush that fails at a regular end is no
// regular end: no results window, the error shown, the file incomplete.
TEST_F(SessionTest, FailedTrailerOrFlushAtTheEndIsNoRegularEnd)
{
    if (!FaultInjection::active())
        GTEST_SKIP() << "the fault shim is not preloaded";
    for (const int syncErrno : { 0, EIO }) {
        SCOPED_TRACE(syncErrno ? "fdatasync fails" : "disk full at the Terminator");
        dialogs.errors.clear();
        std::vector<TestSession::End> ends;
        const auto c = QObject::connect(
            &session, &TestSession::testEnded, &session, [&](TestSession::End how) { ends.push_back(how); });
        start(TestMode::Fast);
        for (int level : { 80, 79, 78, 77 })
            tickAt(level);
        {
            FaultInjection fault(QFile::encodeName(*dialogs.path), syncErrno ? -1 : 14, syncErrno);
            tickAt(76); // the regular end
        }
        QObject::disconnect(c);
        EXPECT_EQ(ends, std::vector<TestSession::End> { TestSession::End::Failed });
        ASSERT_EQ(dialogs.errors.size(), 1);
        EXPECT_TRUE(dialogs.errors[0].contains(syncErrno ? "Input/output error" : "No space left on device"))
            << dialogs.errors[0].toStdString();
        EXPECT_TRUE(shownResults.isEmpty());
        EXPECT_EQ(view.action, "testing interrupted");
        EXPECT_EQ(session.state().mode, TestMode::None);
        const ResultsData d = fileData();
        EXPECT_FALSE(d.complete);
        EXPECT_EQ(d.samples.size(), 4u);
    }
}

// The charger may go in while the start window or the save dialog is open:
// readiness is checked again before the file is made, and nothing starts.
TEST_F(SessionTest, PowerIsCheckedAgainWhenTheDialogsClose)
{
    struct Row {
        const char* name;
        PowerStatus status;
        const char* error;
        const char* action;
    };
    PowerStatus ac = onBattery(80);
    ac.line = PowerLine::Mains;
    const Row rows[] = {
        { "charger in", ac, "testing disabled (on AC power)", "testing disabled" },
        { "battery fell below 10 %", onBattery(9), "not ready for test (battery below 10%)",
            "not ready for test (battery below 10%)" },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        power.setStatus(onBattery(80));
        dialogs.errors.clear();
        dialogs.whileAsking = [&] { power.setStatus(row.status); };
        start(TestMode::Normal);
        EXPECT_EQ(session.state().mode, TestMode::None);
        EXPECT_FALSE(session.testTimerActive());
        EXPECT_EQ(testing.opened, 0);
        EXPECT_FALSE(QFile::exists(*dialogs.path));
        EXPECT_EQ(dialogs.errors, QStringList { QString::fromLatin1(row.error) });
        EXPECT_EQ(view.action, QString::fromLatin1(row.action));
        EXPECT_FALSE(view.testsEnabled);
    }
}

// A name the save dialog shows with U+FFFD stands for bytes it could not
// show; writing it would make another file. It is refused.
TEST_F(SessionTest, NameThatCannotBeWrittenAsShownIsRefused)
{
    dialogs.path = dir.filePath(QStringLiteral("bad\uFFFD.apr"));
    start(TestMode::Fast);
    EXPECT_EQ(session.state().mode, TestMode::None);
    EXPECT_EQ(testing.opened, 0);
    ASSERT_EQ(dialogs.errors.size(), 1);
    EXPECT_TRUE(dialogs.errors[0].contains("cannot be written as it is shown"))
        << dialogs.errors[0].toStdString();
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
}

// The locks follow testEnded, which comes before the results window opens:
// nothing holds the machine while the user looks at the results.
TEST_F(SessionTest, TestEndsBeforeTheResultsWindowOpens)
{
    bool ended = false;
    bool endedBeforeResults = false;
    std::function<void()> closeResults;
    QObject::connect(&session, &TestSession::testEnded, &session, [&] { ended = true; });
    session.setShowResultsWindow([&](const QString&, const std::function<void()>& closed) {
        endedBeforeResults = ended;
        closeResults = closed;
    });
    start(TestMode::Fast);
    for (int level : { 80, 79, 78, 77 })
        tickAt(level);
    // The tick that ends the test returns before the results window opens.
    clock.advanceMs(1000);
    session.onTick();
    EXPECT_TRUE(ended);
    EXPECT_FALSE(closeResults) << "opened from inside the tick";
    QCoreApplication::sendPostedEvents();
    ASSERT_TRUE(closeResults);
    EXPECT_TRUE(endedBeforeResults);
    EXPECT_EQ(session.state().mode, TestMode::Fast) << "a session end now still names the file";
    closeResults();
    EXPECT_EQ(session.state().mode, TestMode::None);
}

TEST_F(SessionTest, LoadWorkCountIsTheWorkersSum)
{
    view.noLoad = false;
    load.total = 4294967296ull + 5;
    start(TestMode::Normal);
    EXPECT_TRUE(session.loadTimerActive());
    session.startLoad();
    EXPECT_FALSE(session.loadTimerActive());
    EXPECT_TRUE(session.state().loadActive);
    tickAt(80);
    testing.closeWindow();
    tick();
    EXPECT_FALSE(session.state().loadActive);
    EXPECT_EQ(load.stops, 1);
    const ResultsData d = fileData();
    EXPECT_EQ(d.noLoad, 0);
    EXPECT_EQ(d.workCount, 4294967301u);
}

TEST_F(SessionTest, FailedLoadStartCountsAsNoLoad)
{
    view.noLoad = false;
    load.startSucceeds = false;
    mhz = 1000.0;
    start(TestMode::Normal);
    session.startLoad();
    EXPECT_FALSE(session.state().loadActive);
    tickAt(80);
    tickAt(80);
    testing.closeWindow();
    tick();
    EXPECT_EQ(load.stops, 0);
    EXPECT_EQ(fileData().workCount, 2000000000u);
}

TEST_F(SessionTest, LoadIsArmedOnlyWithLoadAndNoWorkersRunning)
{
    start(TestMode::Normal); // "No load CPU" checked
    EXPECT_FALSE(session.loadTimerActive());
    testing.closeWindow();
    tick();

    session.toggleNoLoad();
    EXPECT_FALSE(view.noLoad);
    start(TestMode::Normal);
    EXPECT_TRUE(session.loadTimerActive());
    // The test is cancelled before the load started: the pending start is dropped.
    testing.closeWindow();
    tick();
    EXPECT_FALSE(session.loadTimerActive());
    EXPECT_EQ(load.starts, 0);
}

TEST_F(SessionTest, HourWithoutLoadAtOneGigahertz)
{
    mhz = 1000.0;
    start(TestMode::Normal);
    for (int i = 0; i < 3600; ++i)
        tickAt(90);
    EXPECT_EQ(view.timer, "0:59:59");
    testing.closeWindow();
    tick();
    EXPECT_EQ(fileData().workCount, 3600000000000u);
}

struct WorkCase {
    friend void PrintTo(const WorkCase& c, std::ostream* os) { *os << c.name; }
    const char* name;
    double mhz;
    double days;
    uint64_t expected;
};

class WorkCountTest : public ::testing::TestWithParam<WorkCase> { };

TEST_P(WorkCountTest, Estimate)
{
    EXPECT_EQ(estimatedWorkCount(GetParam().mhz, GetParam().days), GetParam().expected);
}

// 1e6 x 86400 = 2^13 x 10546875, so a clock of k x 2^-14 MHz over one day
// gives exactly k x 10546875 / 2 cycles.
INSTANTIATE_TEST_SUITE_P(Session, WorkCountTest,
    ::testing::Values(WorkCase { "HalfRoundsUpToEven", 1.0 / 16384, 1.0, 5273438 },
        WorkCase { "HalfRoundsDownToEven", 3.0 / 16384, 1.0, 15820312 },
        WorkCase { "OneSecondAt1000MHz", 1000.0, Second, 1000000000 },
        WorkCase { "UnknownClock", 0.0, 1.0, 0 }, WorkCase { "NegativeClock", -5.0, 1.0, 0 },
        WorkCase { "NoSamples", 3000.0, 0.0, 0 }),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
