// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/simpowersource.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace ampero;

namespace {

TEST(SimPowerSource, StartsFullOnBatteryWithForecastFromRate)
{
    auto clock = std::make_shared<FakeClock>();
    SimPowerSource sim(clock, 3, 0);
    const PowerStatus s = sim.status();
    EXPECT_EQ(s.acLineStatus, PowerStatus::AcOffline);
    EXPECT_EQ(s.batteryLifePercent, 100);
    EXPECT_EQ(s.batteryLifeTime, 300u);
    EXPECT_EQ(s.batteryFullLifeTime, 300u);
    EXPECT_EQ(sim.backendName(), QStringLiteral("sim"));
}

TEST(SimPowerSource, LosesOnePercentEveryPeriodAndSignalsEachLevel)
{
    auto clock = std::make_shared<FakeClock>();
    SimPowerSource sim(clock, 2, 0);
    QSignalSpy spy(&sim, &PowerSource::powerChanged);

    struct Step {
        int64_t advanceMs;
        int level;
        uint32_t lifeTime;
        int notices;
    };
    const Step steps[] = {
        { 1999, 100, 198, 0 }, // 200 s less 1.999 s, whole seconds
        { 1, 99, 198, 1 }, // exactly one period
        { 500, 99, 197, 1 }, // halfway through a percent: no new level
        { 1500, 98, 196, 2 }, { 6000, 95, 190, 3 }, // three percents at once: one notice
        { 190000, 0, 0, 4 }, // empty
        { 60000, 0, 0, 4 }, // stays empty
    };
    for (const auto& step : steps) {
        clock->advanceMs(step.advanceMs);
        sim.checkForChange();
        const PowerStatus s = sim.status();
        EXPECT_EQ(s.batteryLifePercent, step.level) << "after +" << step.advanceMs << " ms";
        EXPECT_EQ(s.batteryLifeTime, step.lifeTime) << "after +" << step.advanceMs << " ms";
        EXPECT_EQ(spy.count(), step.notices) << "after +" << step.advanceMs << " ms";
        EXPECT_EQ(s.acLineStatus, PowerStatus::AcOffline);
    }
}

TEST(SimPowerSource, WallClockStepsDoNotMoveTheLevel)
{
    auto clock = std::make_shared<FakeClock>();
    SimPowerSource sim(clock, 1, 0);
    clock->stepWallClockMs(-3600000);
    clock->stepWallClockMs(7200000);
    EXPECT_EQ(sim.refresh().batteryLifePercent, 100);
    clock->sleepMs(10000); // a suspend counts as time on battery
    EXPECT_EQ(sim.refresh().batteryLifePercent, 90);
}

TEST(SimPowerSource, NonPositiveRateIsRaisedToOneSecond)
{
    auto clock = std::make_shared<FakeClock>();
    SimPowerSource sim(clock, 0, 0);
    EXPECT_EQ(sim.secondsPerPercent(), 1);
    clock->advanceMs(1000);
    EXPECT_EQ(sim.refresh().batteryLifePercent, 99);
}

} // namespace

TEST(SimPowerSource, WakesOncePerPercentNotEveryPollInterval)
{
    auto clock = std::make_shared<FakeClock>();
    SimPowerSource sim(clock, 2, 250);
    struct Step {
        int64_t advanceMs;
        int earliest, latest; // the next look, in ms from now
    };
    const Step steps[] = {
        { 0, 1900, 2110 }, // a whole period ahead, not 250 ms (a coarse timer may add 5 %)
        { 1500, 400, 530 }, // the rest of the period
        { 400, 200, 265 }, // due in 101 ms, but no sooner than the interval
        { 196100, 1900, 2110 } // the last percent
    };
    for (const auto& step : steps) {
        clock->advanceMs(step.advanceMs);
        sim.checkForChange();
        EXPECT_GE(sim.nextCheckInMs(), step.earliest) << "after +" << step.advanceMs << " ms";
        EXPECT_LE(sim.nextCheckInMs(), step.latest) << "after +" << step.advanceMs << " ms";
    }
    clock->advanceMs(2000);
    sim.checkForChange();
    EXPECT_EQ(sim.status().batteryLifePercent, 0);
    EXPECT_EQ(sim.nextCheckInMs(), -1) << "empty: nothing left to look for";
}
