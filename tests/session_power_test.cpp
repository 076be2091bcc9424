// SPDX-License-Identifier: GPL-3.0-or-later
// The power watcher's three checks and the notices that trigger it.
#include "platform/clock.h"
#include "platform/fakepowersource.h"
#include "platform/systemevents.h"
#include "session/powerwatcher.h"
#include "session/resumemonitor.h"
#include "support/powercases.h"
#include "support/sessionfakes.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace ampero;
using namespace ampero::test;

namespace {

PowerStatus status(PowerLine line, std::optional<int> level)
{
    PowerStatus s;
    s.line = line;
    s.level = level;
    return s;
}

class WatcherTest : public ::testing::Test {
protected:
    WatcherTest()
        : watcher(view, testing, power, clock, state)
    {
    }

    // Changes the battery without a power notice.
    void setQuietly(const PowerStatus& s)
    {
        power.blockSignals(true);
        power.setStatus(s);
        power.blockSignals(false);
    }

    FakeMainView view;
    FakeTestingWindow testing;
    FakePowerSource power;
    FakeClock clock;
    SessionState state;
    PowerWatcher watcher;
};

class StartupCheck : public WatcherTest, public ::testing::WithParamInterface<CheckCase> { };

TEST_P(StartupCheck, Shows)
{
    const CheckCase& c = GetParam();
    setQuietly(status(c.line, c.level));
    watcher.startupCheck();
    EXPECT_EQ(view.mode, c.mode);
    EXPECT_EQ(view.level, c.levelText);
    EXPECT_EQ(view.action, c.action);
    EXPECT_EQ(view.testsEnabled, c.enabled);
    EXPECT_EQ(view.enableCalls, 1);
}

INSTANTIATE_TEST_SUITE_P(Power, StartupCheck, ::testing::ValuesIn(kStartupChecks),
    [](const auto& info) { return checkCaseName(info.param); });

TEST_F(WatcherTest, BroadcastOnAcWithoutTest)
{
    view.level = "57%";
    power.setStatus(status(PowerLine::Mains, 57)); // emits powerChanged
    EXPECT_EQ(view.mode, "powered by AC");
    EXPECT_EQ(view.level, "0%");
    EXPECT_EQ(view.action, "testing disabled");
    EXPECT_FALSE(view.testsEnabled);
}

TEST_F(WatcherTest, BroadcastOnBatteryDuringTestRewritesLabelsButNotTheAction)
{
    power.setStatus(status(PowerLine::Battery, 50));
    state.mode = TestMode::Normal;
    state.lastTickMs = clock.gapNowMs();
    testing.showing = true;
    view.action = "testing...";
    clock.advanceMs(30000); // the battery branch has no gap guard
    power.setLevel(8);
    EXPECT_EQ(view.level, "8%");
    EXPECT_EQ(view.action, "testing...");
    EXPECT_FALSE(view.testsEnabled);
    EXPECT_TRUE(testing.showing);
}

struct GuardCase {
    const char* name;
    int64_t sinceSampleMs;
    bool acts;
    friend void PrintTo(const GuardCase& c, std::ostream* os) { *os << c.name; }
};

class BroadcastGuard : public WatcherTest, public ::testing::WithParamInterface<GuardCase> { };

TEST_P(BroadcastGuard, AcDuringTest)
{
    power.setStatus(status(PowerLine::Battery, 60));
    state.mode = TestMode::Fast;
    state.lastTickMs = clock.gapNowMs();
    testing.showing = true;
    view.action = "testing...";
    view.level = "60%";
    view.mode = "powered by battery";
    clock.advanceMs(GetParam().sinceSampleMs);
    power.setLine(PowerLine::Mains);
    if (GetParam().acts) {
        EXPECT_FALSE(testing.showing);
        EXPECT_EQ(view.mode, "powered by AC");
        EXPECT_EQ(view.level, "0%");
        EXPECT_EQ(view.action, "testing disabled");
    } else {
        EXPECT_TRUE(testing.showing);
        EXPECT_EQ(view.mode, "powered by battery");
        EXPECT_EQ(view.level, "60%");
        EXPECT_EQ(view.action, "testing...");
    }
}

INSTANTIATE_TEST_SUITE_P(Power, BroadcastGuard,
    ::testing::Values(GuardCase { "FourSecondsOld", 4000, true }, GuardCase { "JustUnderFive", 4999, true },
        GuardCase { "FiveSecondsOld", 5000, false }, GuardCase { "SixSecondsOld", 6000, false }),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(WatcherTest, GuardIgnoresWallClock)
{
    power.setStatus(status(PowerLine::Battery, 60));
    state.mode = TestMode::Normal;
    state.lastTickMs = clock.gapNowMs();
    testing.showing = true;
    clock.advanceMs(1000);
    clock.stepWallClockMs(3600000); // daylight saving: not a sleep
    power.setLine(PowerLine::Mains);
    EXPECT_FALSE(testing.showing);
}

TEST_F(WatcherTest, AfterResultsKeepsActionText)
{
    view.action = "testing completed";
    power.setStatus(status(PowerLine::Battery, 50));
    view.action = "testing completed";
    view.testsEnabled = false;
    watcher.afterResultsCheck();
    EXPECT_EQ(view.level, "50%");
    EXPECT_TRUE(view.testsEnabled);
    EXPECT_EQ(view.action, "testing completed");

    power.setStatus(status(PowerLine::Mains, 50));
    view.action = "testing completed";
    view.level = "49%";
    testing.showing = true;
    watcher.afterResultsCheck();
    EXPECT_EQ(view.mode, "powered by AC");
    EXPECT_EQ(view.level, "49%");
    EXPECT_EQ(view.action, "testing completed");
    EXPECT_FALSE(view.testsEnabled);
    EXPECT_TRUE(testing.showing); // only the broadcast closes it
}

TEST_F(WatcherTest, ResumeNoticeRunsTheBroadcastRule)
{
    FakeSystemEvents events;
    watcher.watchResume(&events);
    EXPECT_EQ(watcher.findChild<ResumeMonitor*>(), nullptr);
    setQuietly(status(PowerLine::Mains, 70));

    events.emitSleep(true); // going to sleep: nothing
    EXPECT_EQ(view.mode, "BettaryModeLabel");
    events.emitSleep(false);
    EXPECT_EQ(view.mode, "powered by AC");
    EXPECT_EQ(view.action, "testing disabled");
    EXPECT_EQ(view.enableCalls, 1) << "one check per resume";
}

TEST_F(WatcherTest, WithoutResumeNoticesTheClocksAreCompared)
{
    watcher.watchResume(nullptr);
    auto* detector = watcher.findChild<ResumeMonitor*>();
    ASSERT_NE(detector, nullptr);
    setQuietly(status(PowerLine::Mains, 70));
    Q_EMIT detector->resumed();
    EXPECT_EQ(view.mode, "powered by AC");
}

TEST(ResumeMonitor, NoticesTimeSpentAsleep)
{
    int64_t boot = 1000000, mono = 500000;
    ResumeMonitor detector([&] { return boot; }, [&] { return mono; });
    QSignalSpy spy(&detector, &ResumeMonitor::resumed);

    boot += 1000;
    mono += 1000; // awake: both run
    EXPECT_FALSE(detector.check());
    boot += 999; // a lead too short to be a sleep
    EXPECT_FALSE(detector.check());
    boot += 30000; // thirty seconds suspended
    mono += 5;
    EXPECT_TRUE(detector.check());
    EXPECT_EQ(spy.count(), 1);
    boot += 1000;
    mono += 1000;
    EXPECT_FALSE(detector.check()); // the lead is counted once
    EXPECT_EQ(spy.count(), 1);
}

} // namespace
