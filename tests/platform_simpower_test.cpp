// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/simpowersource.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QVariantMap>
#include <gtest/gtest.h>
#include <numeric>
#include <vector>

using namespace ampero;

namespace {

TEST(SimPowerSource, StartsFullOnBatteryWithForecastFromRate)
{
    auto clock = std::make_shared<FakeClock>();
    SimPowerSource sim(clock, 3, 0);
    const PowerStatus s = sim.status();
    EXPECT_EQ(s.line, PowerLine::Battery);
    EXPECT_EQ(s.level, 100);
    EXPECT_EQ(s.timeLeft, std::chrono::seconds(300));
    EXPECT_EQ(s.fullLifeTime, std::chrono::seconds(300));
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
        int lifeTime;
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
        EXPECT_EQ(s.level, step.level) << "after +" << step.advanceMs << " ms";
        EXPECT_EQ(s.timeLeft, std::chrono::seconds(step.lifeTime)) << "after +" << step.advanceMs << " ms";
        EXPECT_EQ(spy.count(), step.notices) << "after +" << step.advanceMs << " ms";
        EXPECT_EQ(s.line, PowerLine::Battery);
    }
}

TEST(SimPowerSource, WallClockStepsDoNotMoveTheLevel)
{
    auto clock = std::make_shared<FakeClock>();
    SimPowerSource sim(clock, 1, 0);
    clock->stepWallClockMs(-3600000);
    clock->stepWallClockMs(7200000);
    EXPECT_EQ(sim.refresh().level, 100);
    clock->sleepMs(10000); // a suspend counts as time on battery
    EXPECT_EQ(sim.refresh().level, 90);
}

TEST(SimPowerSource, NonPositiveRateIsRaisedToOneSecond)
{
    auto clock = std::make_shared<FakeClock>();
    SimPowerSource sim(clock, 0, 0);
    EXPECT_EQ(sim.secondsPerPercent(), 1);
    clock->advanceMs(1000);
    EXPECT_EQ(sim.refresh().level, 99);
}

} // namespace

TEST(SimPowerSource, WakesWhenTheLevelChangesAndEveryTenSeconds)
{
    // A wake-up of its own each second would be one more wake-up of the
    // program in every second of a test: the simulated battery looks when
    // its level should change.
    auto clock = std::make_shared<FakeClock>();
    SimPowerSource sim(clock, 2, 250);
    struct Step {
        int64_t advanceMs;
        int earliest, latest; // the next look, in ms from now
    };
    const Step steps[] = {
        { 0, 1990, 2010 }, // the first percent goes in 2 s
        { 1500, 490, 510 }, // the rest of it
        { 400, 240, 260 }, // due in 101 ms, but no sooner than the interval
        { 196100, 1990, 2010 } // the last percent
    };
    for (const auto& step : steps) {
        clock->advanceMs(step.advanceMs);
        sim.checkForChange();
        EXPECT_GE(sim.nextCheckInMs(), step.earliest) << "after +" << step.advanceMs << " ms";
        EXPECT_LE(sim.nextCheckInMs(), step.latest) << "after +" << step.advanceMs << " ms";
    }
    clock->advanceMs(2000);
    sim.checkForChange();
    EXPECT_EQ(sim.status().level, 0);
    EXPECT_EQ(sim.nextCheckInMs(), -1) << "empty: nothing left to look for";

    // At a steady draw only the level changes; a varying draw is read again
    // every ten seconds.
    SimPowerSource steady(clock, 60, 250);
    EXPECT_GE(steady.nextCheckInMs(), 59990);
    SimBatterySettings noisy;
    noisy.secondsPerPercent = 60;
    noisy.noisePercent = 10;
    SimPowerSource varying(clock, noisy, {}, 250);
    EXPECT_GE(varying.nextCheckInMs(), SimPowerSource::ReadingRefreshMs - 10);
    EXPECT_LE(varying.nextCheckInMs(), SimPowerSource::ReadingRefreshMs);
}

namespace {

// Runs a simulated battery second by second to empty; the level of each second.
std::vector<int> levelsToEmpty(const SimBatterySettings& settings, const SimPowerSource::LoadProbe& load = {})
{
    auto clock = std::make_shared<FakeClock>();
    SimPowerSource sim(clock, settings, load, 0);
    std::vector<int> levels { sim.status().level.value_or(-1) };
    while (levels.back() > 0 && levels.size() < 1000000) {
        clock->advanceMs(1000);
        levels.push_back(sim.refresh().level.value_or(-1));
    }
    return levels;
}

// Seconds spent at each level, 100 first.
std::vector<int> secondsAtEachLevel(const std::vector<int>& levels)
{
    std::vector<int> at(101, 0);
    for (size_t i = 0; i + 1 < levels.size(); ++i)
        ++at[100 - levels[i]];
    return at;
}

TEST(SimPowerSource, EnergyFiguresAndIdentityOfTheDefaultBattery)
{
    auto clock = std::make_shared<FakeClock>();
    SimPowerSource sim(clock, 10, 0);
    PowerStatus s = sim.status();
    // 50 Wh over 1000 s: 180 W, and the energy reads as the level does.
    EXPECT_DOUBLE_EQ(*s.energyWh, 50.0);
    EXPECT_DOUBLE_EQ(*s.energyFullWh, 50.0);
    EXPECT_DOUBLE_EQ(*s.energyFullDesignWh, 50.0);
    EXPECT_DOUBLE_EQ(*s.powerW, 180.0);
    EXPECT_NEAR(*s.voltageV, 11.4 * 1.1, 1e-9);
    clock->advanceMs(250000);
    s = sim.refresh();
    EXPECT_EQ(s.level, 75);
    EXPECT_NEAR(*s.energyWh, 37.5, 1e-9);
    EXPECT_LT(*s.voltageV, 11.4 * 1.1);

    const auto identity = sim.firstBattery();
    ASSERT_TRUE(identity);
    EXPECT_EQ(identity->designCapacityMwh, 50000u);
    EXPECT_EQ(identity->designVoltageMv, 11400u);
    EXPECT_EQ(identity->chemistry, BatteryChemistry::LithiumIon);
    EXPECT_FALSE(identity->manufacturer.isEmpty());
}

// The shapes a fast test meets on real batteries, each with the same total
// time at the same base power.
TEST(SimPowerSource, CurveShapes)
{
    SimBatterySettings straight;
    straight.secondsPerPercent = 10;
    const auto plain = secondsAtEachLevel(levelsToEmpty(straight));
    EXPECT_EQ(plain[0], 10);
    EXPECT_EQ(plain[50], 10);
    EXPECT_EQ(plain[99], 10);

    SimBatterySettings plateau = straight;
    plateau.plateauPercent = 5; // 5 % of the energy: 50 s at 100 %
    const auto held = secondsAtEachLevel(levelsToEmpty(plateau));
    EXPECT_EQ(held[0], 60) << "the plateau and the first percent of the rest";
    EXPECT_EQ(std::accumulate(held.begin(), held.end(), 0), 1000) << "the same energy, the same time";

    SimBatterySettings end = straight;
    end.endFactor = 4; // the last 20 % pass four times faster
    const auto steep = secondsAtEachLevel(levelsToEmpty(end));
    EXPECT_EQ(std::accumulate(steep.begin(), steep.end(), 0), 1000);
    EXPECT_NEAR(steep[95] * 4, steep[10], 4);

    SimBatterySettings halfway = straight;
    halfway.halfwayFactor = 2; // twice the power for the second half
    const auto levels = levelsToEmpty(halfway);
    EXPECT_EQ(levels.size() - 1, 500u + 250u);

    SimBatterySettings noisy = straight;
    noisy.noisePercent = 20;
    noisy.seed = 7;
    const auto a = levelsToEmpty(noisy);
    EXPECT_EQ(a, levelsToEmpty(noisy)) << "the same seed, the same run";
    EXPECT_NEAR(double(a.size() - 1), 1000.0, 100.0);
    noisy.seed = 8;
    EXPECT_NE(a, levelsToEmpty(noisy));
}

TEST(SimPowerSource, BusyProcessorsRaiseThePower)
{
    SimBatterySettings s;
    s.baseW = 10;
    s.capacityWh = 1;
    s.loadW = 5;
    double busy = 0;
    auto clock = std::make_shared<FakeClock>();
    SimPowerSource sim(
        clock, s, [&busy] { return busy; }, 0);
    clock->advanceMs(1000);
    EXPECT_DOUBLE_EQ(*sim.refresh().powerW, 10.0);
    busy = 2;
    clock->advanceMs(1000);
    EXPECT_DOUBLE_EQ(*sim.refresh().powerW, 20.0);
    // 1 Wh at 10 W for 1 s and 20 W for 1 s; at 20 W the rest lasts 178.5 s.
    EXPECT_NEAR(*sim.status().energyWh, 1.0 - 30.0 / 3600, 1e-12);
    EXPECT_EQ(sim.status().timeLeft, std::chrono::seconds(178));
}

struct SettingsCase {
    const char* text;
    const char* errorPart; // nullptr: accepted
};

TEST(SimBatterySettings, ParsesSecondsAndKeysAndRefusesTheRest)
{
    const SettingsCase cases[] = {
        { "30", nullptr },
        { "30,capacity=45.5,health=88,load=4,noise=10,plateau=3,end=2,halfway=1.5,seed=9", nullptr },
        { " base = 12 , voltage=7.4", nullptr },
        { "0", "from 1 to 86400, not \"0\"" },
        { "", "not \"\"" },
        { "30,40", "needs the form key=value" },
        { "capacity=0", "\"capacity\" takes a number from 0.1 to 10000, not \"0\"" },
        { "noise=lots", "not \"lots\"" },
        { "plateau=60", "from 0 to 50" },
        { "base=0.0001", "from 0.001 to 10000" },
        { "base=0.001", nullptr },
        { "colour=blue", "has no setting \"colour\"" },
        { "seed=-1", "seed is a whole number" },
        { "30,base=10", "not both" },
        { "capacity=5,capacity=6", "setting \"capacity\" is given twice" },
        { "level=1,drain=idle", nullptr },
        { "level=101", "level is a whole number from 1 to 100, not \"101\"" },
        { "level=50.5", "not \"50.5\"" },
        { "drain=always", "drain is \"idle\" or \"test\", not \"always\"" },
    };
    for (const auto& c : cases) {
        QString error;
        const auto s = parseSimBatterySettings(QString::fromUtf8(c.text), &error);
        if (!c.errorPart) {
            EXPECT_TRUE(s) << c.text << ": " << error.toStdString();
        } else {
            EXPECT_FALSE(s) << c.text;
            EXPECT_TRUE(error.contains(QString::fromUtf8(c.errorPart)))
                << c.text << ": " << error.toStdString();
        }
    }
    const auto s
        = parseSimBatterySettings(QStringLiteral("30,capacity=45.5,health=88,load=4,seed=9"), nullptr);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->secondsPerPercent, 30);
    EXPECT_DOUBLE_EQ(s->fullWh(), 45.5 * 0.88);
    EXPECT_DOUBLE_EQ(s->loadW, 4.0);
    EXPECT_EQ(s->seed, 9u);
    EXPECT_DOUBLE_EQ(parseSimBatterySettings(QStringLiteral("base=12"), nullptr)->basePowerW(), 12.0);

    // The least draw on the largest battery lasts beyond any time a status holds.
    const auto longest = parseSimBatterySettings(QStringLiteral("base=0.001,capacity=10000"), nullptr);
    EXPECT_FALSE(SimPowerSource(std::make_shared<FakeClock>(), *longest, {}, 0).status().timeLeft);
}

// From the command line the battery holds its charge until a test starts,
// drains during it, holds again after it; empty, it says so once.
TEST(SimPowerSource, DrainsOnlyDuringTestsAndSaysOnceWhenEmpty)
{
    auto clock = std::make_shared<FakeClock>();
    SimPowerSource sim(clock, *parseSimBatterySettings(QStringLiteral("2,level=50"), nullptr), {}, 0);
    QSignalSpy emptied(&sim, &SimPowerSource::emptied);
    const auto levelAfter = [&](int64_t ms) {
        clock->advanceMs(ms);
        sim.checkForChange();
        return sim.status().level;
    };
    EXPECT_EQ(levelAfter(0), 50);
    EXPECT_EQ(levelAfter(600000), 50);
    sim.setDraining(true);
    EXPECT_EQ(levelAfter(40000), 30);
    sim.setDraining(false);
    EXPECT_EQ(levelAfter(600000), 30);
    sim.setDraining(true);
    EXPECT_EQ(levelAfter(60000), 0);
    EXPECT_EQ(levelAfter(60000), 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(emptied.count(), 1);

    // drain=idle: as a battery without a test, from the start.
    SimPowerSource idle(clock, *parseSimBatterySettings(QStringLiteral("1,drain=idle"), nullptr), {}, 0);
    idle.setDraining(false);
    clock->advanceMs(30000);
    idle.checkForChange();
    EXPECT_EQ(idle.status().level, 70);
}

} // namespace
