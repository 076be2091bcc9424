// SPDX-License-Identifier: GPL-3.0-or-later
// The UPower backends and the program against the real upowerd, over kernel
// power supplies simulated by umockdev (see support/upowertestbed.h).
#include "platform/dbus/upowerbatteryidentity.h"
#include "platform/dbus/upowerpowersource.h"
#include "platform/sysfsbatteryidentity.h"
#include "results/resultsformat.h"
#include "support/testutil.h"
#include "support/upowertestbed.h"
#include "sysinfo/batteryinfo.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

using namespace ampero;
using namespace ampero::test;

namespace {

const QString Bat0 = QStringLiteral("BAT0");
const QString Bat1 = QStringLiteral("BAT1");
const QString Ac = QStringLiteral("AC");

class UPowerDaemon : public UPowerDaemonTest {
protected:
    // BAT0 discharging at 40 of 50 Wh, 8 W, and the adapter unplugged.
    void startOnBattery()
    {
        bed.add(Ac, mainsAdapter(false));
        bed.add(Bat0, energyBattery(40, 50, 8));
        ASSERT_NO_FATAL_FAILURE(bed.startDaemon());
    }

    // The battery identity as the program collects it at start-up.
    BatteryInfo batteryInfo()
    {
        UPowerBatteryIdentity upower(bed.bus(), 5000, bed.sysfs());
        SysfsBatteryIdentity sysfs(bed.sysfs() + QStringLiteral("/class/power_supply"));
        const BatteryInfo info = combinedBatteryInfo(upower, sysfs);
        return info;
    }

    // Runs the program with args and waits for its end (on its system bus
    // the testbed's daemon).
    void runProgram(QProcess& proc, const QStringList& args, int timeoutMs = 30000)
    {
        proc.setProcessEnvironment(bed.programEnvironment());
        proc.start(amperoBinary(), args);
        ASSERT_TRUE(proc.waitForStarted());
        ASSERT_TRUE(QTest::qWaitFor([&] { return proc.state() == QProcess::NotRunning; }, timeoutMs))
            << "still running; printed:\n"
            << proc.readAllStandardOutput().toStdString();
    }

    QTemporaryDir dir;
};

TEST_F(UPowerDaemon, EnergyBatteryGivesLevelAndTimes)
{
    ASSERT_NO_FATAL_FAILURE(startOnBattery());
    UPowerPowerSource source(bed.bus());
    EXPECT_TRUE(source.available());
    EXPECT_TRUE(source.findsPowerSupply());
    const PowerStatus s = source.status();
    EXPECT_EQ(s.line, PowerLine::Battery);
    EXPECT_EQ(s.level, 80);
    EXPECT_EQ(s.timeLeft, std::chrono::seconds(18000)); // 40 Wh at 8 W
    EXPECT_EQ(s.fullLifeTime, std::chrono::seconds(22500)); // 50 Wh at 8 W

    // The daemon's Percentage is a fraction; the level is its nearest percent.
    struct Row {
        double energyWh;
        int level;
    };
    for (const Row& row : { Row { 15.25, 31 }, Row { 15.2, 30 }, Row { 0.245, 0 }, Row { 49.75, 100 } }) {
        bed.set(Bat0, { { QStringLiteral("energy_now"), micro(row.energyWh) } });
        EXPECT_TRUE(QTest::qWaitFor([&] { return source.status().level == row.level; }, 5000))
            << row.energyWh << " Wh read as " << source.status().level.value_or(-1);
    }
}

TEST_F(UPowerDaemon, ChargeBatteryCountsWithTheDesignVoltage)
{
    bed.add(Ac, mainsAdapter(false));
    SupplyAttributes bat = chargeBattery(2.0, 4.0, 1.0, 11.1);
    bat.insert(QStringLiteral("model_name"), QStringLiteral("DELL 5YHR4"));
    bat.insert(QStringLiteral("manufacturer"), QStringLiteral("SMP"));
    bat.insert(QStringLiteral("technology"), QStringLiteral("Li-poly"));
    bed.add(Bat0, bat);
    ASSERT_NO_FATAL_FAILURE(bed.startDaemon());

    UPowerPowerSource source(bed.bus());
    const PowerStatus s = source.status();
    EXPECT_EQ(s.line, PowerLine::Battery);
    EXPECT_EQ(s.level, 50);
    EXPECT_EQ(s.timeLeft, std::chrono::seconds(7200)); // 2 Ah at 1 A
    EXPECT_EQ(s.fullLifeTime, std::chrono::seconds(14400));

    const BatteryInfo info = batteryInfo();
    EXPECT_EQ(info.name, QStringLiteral("DELL 5YHR4"));
    EXPECT_EQ(info.manufacturer, QStringLiteral("SMP"));
    EXPECT_EQ(info.chemistry, BatteryChemistry::LithiumPolymer);
    EXPECT_EQ(info.capacityMwh, 44400u); // 4 Ah at 11.1 V
    EXPECT_EQ(info.designVoltageMv, 11100u); // voltage_min_design, not the present 12.21 V
}

TEST_F(UPowerDaemon, TwoBatteriesCountAsOne)
{
    bed.add(Ac, mainsAdapter(false));
    bed.add(Bat0, energyBattery(40, 50, 8));
    bed.add(Bat1, energyBattery(5, 25, 2));
    ASSERT_NO_FATAL_FAILURE(bed.startDaemon());

    // UPower adds the energies up: 45 of 75 Wh is 60 %, not the 50 % that
    // averaging 80 % and 20 % would give; the rates add up to 10 W.
    UPowerPowerSource source(bed.bus());
    const PowerStatus s = source.status();
    EXPECT_EQ(s.level, 60);
    EXPECT_EQ(s.timeLeft, std::chrono::seconds(16200));
    EXPECT_EQ(s.fullLifeTime, std::chrono::seconds(27000));
    // The daemon sums energy and rate on its DisplayDevice; the design
    // energy and the voltage come from the two batteries.
    EXPECT_NEAR(s.energyWh.value_or(-1), 45.0, 1e-6);
    EXPECT_NEAR(s.energyFullWh.value_or(-1), 75.0, 1e-6);
    EXPECT_NEAR(s.energyFullDesignWh.value_or(-1), 75.0, 1e-6);
    EXPECT_NEAR(s.powerW.value_or(-1), 10.0, 1e-6);
    EXPECT_NEAR(s.voltageV.value_or(-1), 12.0, 1e-6);

    // The identity is that of the first battery.
    EXPECT_EQ(batteryInfo().capacityMwh, 50000u);
}

TEST_F(UPowerDaemon, PeripheralBatteryDoesNotCount)
{
    bed.add(QStringLiteral("hidpp_battery_0"), peripheralBattery(5));
    bed.add(Ac, mainsAdapter(true));
    ASSERT_NO_FATAL_FAILURE(bed.startDaemon());

    // A desktop on mains with a wireless mouse: no battery level of ours,
    // no battery identity.
    UPowerPowerSource source(bed.bus());
    PowerStatus s = source.status();
    EXPECT_EQ(s.line, PowerLine::Mains);
    EXPECT_EQ(s.level, std::nullopt);
    EXPECT_EQ(batteryInfo(), BatteryInfo {});

    // A laptop battery comes and the adapter goes: its level is the level.
    QSignalSpy spy(&source, &PowerSource::powerChanged);
    bed.add(Bat0, energyBattery(35, 50, 7));
    bed.set(Ac, mainsAdapter(false));
    ASSERT_TRUE(spy.wait(10000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return source.status().line == PowerLine::Battery; }, 5000));
    s = source.status();
    EXPECT_EQ(s.level, 70);
    EXPECT_EQ(s.timeLeft, std::chrono::seconds(18000));
    EXPECT_EQ(batteryInfo().capacityMwh, 50000u);
}

TEST_F(UPowerDaemon, BatteryWithoutRateHasUnknownTimes)
{
    bed.add(Ac, mainsAdapter(false));
    SupplyAttributes bat = energyBattery(30, 50, 0);
    bat.remove(QStringLiteral("power_now"));
    bed.add(Bat0, bat);
    ASSERT_NO_FATAL_FAILURE(bed.startDaemon());

    UPowerPowerSource source(bed.bus());
    const PowerStatus s = source.status();
    EXPECT_EQ(s.line, PowerLine::Battery);
    EXPECT_EQ(s.level, 60);
    EXPECT_EQ(s.timeLeft, std::nullopt);
    EXPECT_EQ(s.fullLifeTime, std::nullopt);
}

TEST_F(UPowerDaemon, BatteryKnowingOnlyItsPercentage)
{
    bed.add(Ac, mainsAdapter(false));
    bed.add(Bat0,
        { { QStringLiteral("type"), QStringLiteral("Battery") }, { QStringLiteral("present"), 1 },
            { QStringLiteral("status"), QStringLiteral("Discharging") }, { QStringLiteral("capacity"), 64 },
            { QStringLiteral("model_name"), QStringLiteral("Li-ion pack") } });
    ASSERT_NO_FATAL_FAILURE(bed.startDaemon());

    UPowerPowerSource source(bed.bus());
    const PowerStatus s = source.status();
    EXPECT_EQ(s.level, 64);
    EXPECT_EQ(s.timeLeft, std::nullopt);
    // No capacity from UPower nor from the kernel: the name stays, the capacity is unknown.
    const BatteryInfo info = batteryInfo();
    EXPECT_EQ(info.name, QStringLiteral("Li-ion pack"));
    EXPECT_EQ(info.capacityMwh, std::nullopt);
    EXPECT_EQ(info.designVoltageMv, std::nullopt);
}

TEST_F(UPowerDaemon, LevelChangeArrivesByTheDaemonsSignal)
{
    ASSERT_NO_FATAL_FAILURE(startOnBattery());
    // The backend has no polling of its own: what it announces comes from
    // the daemon's PropertiesChanged after the kernel's uevent.
    UPowerPowerSource source(bed.bus());
    QSignalSpy spy(&source, &PowerSource::powerChanged);

    // Energy and rate move all the time; within the same percent that is no change.
    bed.set(
        Bat0, { { QStringLiteral("energy_now"), micro(39.9) }, { QStringLiteral("power_now"), micro(7.5) } });
    bed.set(Bat0, { { QStringLiteral("energy_now"), micro(39.6) } }); // 79.2 %
    ASSERT_TRUE(spy.wait(10000));
    EXPECT_EQ(source.status().level, 79);
    bed.set(Bat0, { { QStringLiteral("energy_now"), micro(39.0) } });
    ASSERT_TRUE(spy.count() >= 2 || spy.wait(10000));
    QTest::qWait(300);
    EXPECT_EQ(spy.count(), 2) << "only the two level changes are announced";
    EXPECT_EQ(source.status().level, 78);
}

TEST_F(UPowerDaemon, DaemonGoneForGoodMakesEverythingUnknown)
{
    ASSERT_NO_FATAL_FAILURE(startOnBattery());
    UPowerPowerSource source(bed.bus());
    source.setGracePeriod(std::chrono::milliseconds(500));
    QSignalSpy spy(&source, &PowerSource::unavailable);
    bed.stopDaemon();
    ASSERT_TRUE(spy.count() >= 1 || spy.wait(10000));
    EXPECT_FALSE(source.available());
    EXPECT_EQ(source.status(), PowerStatus {});

    // Back again, it is read again.
    ASSERT_NO_FATAL_FAILURE(bed.startDaemon());
    EXPECT_TRUE(QTest::qWaitFor([&] { return source.status().level == 80; }, 5000));
}

TEST_F(UPowerDaemon, AnnouncesAResumeWithoutAnyChange)
{
    ASSERT_NO_FATAL_FAILURE(startOnBattery());
    UPowerPowerSource source(bed.bus());
    int64_t suspendedMs = 0;
    source.setSuspendedTimeSource([&] { return suspendedMs; });
    QSignalSpy spy(&source, &PowerSource::powerChanged);
    EXPECT_FALSE(source.checkForResume());
    suspendedMs = 30000;
    EXPECT_TRUE(source.checkForResume());
    EXPECT_FALSE(source.checkForResume());
    ASSERT_TRUE(spy.wait(5000));
    QTest::qWait(300);
    EXPECT_EQ(spy.count(), 1);
}

// The design voltage in --info comes from the kernel through the daemon's
// NativePath; the program runs over the testbed to see its /sys.
TEST_F(UPowerDaemon, InfoShowsTheDesignVoltageOrUnknown)
{
    bed.add(Ac, mainsAdapter(false));
    SupplyAttributes withDesign = energyBattery(40, 50, 8);
    withDesign.insert(QStringLiteral("voltage_min_design"), micro(11.4));
    bed.add(Bat0, withDesign);
    ASSERT_NO_FATAL_FAILURE(bed.startDaemon());

    QProcess proc;
    bed.runOverTestbed(proc, amperoBinary(), { QStringLiteral("--info") });
    proc.start();
    ASSERT_TRUE(proc.waitForFinished(30000));
    const QString out = QString::fromUtf8(proc.readAllStandardOutput());
    EXPECT_EQ(proc.exitCode(), 0) << proc.readAllStandardError().toStdString();
    EXPECT_TRUE(out.contains(QLatin1String("\nBattery design voltage: 11.40 V\n"))) << out.toStdString();
    EXPECT_TRUE(out.contains(QLatin1String("\nBattery capacity: 50.00 Wh\n"))) << out.toStdString();
    EXPECT_TRUE(out.contains(QLatin1String("\nLevel: 80%\n"))) << out.toStdString();
    EXPECT_EQ(batteryInfo().designVoltageMv, 11400u);

    // Without voltage_min_design the present 12 V is not taken for it.
    bed.stopDaemon();
    bed.remove(Bat0);
    bed.add(Bat0, energyBattery(40, 50, 8));
    ASSERT_NO_FATAL_FAILURE(bed.startDaemon());
    proc.start();
    ASSERT_TRUE(proc.waitForFinished(30000));
    const QString unknown = QString::fromUtf8(proc.readAllStandardOutput());
    EXPECT_TRUE(unknown.contains(QLatin1String("\nBattery design voltage: unknown\n")))
        << unknown.toStdString();
    EXPECT_EQ(batteryInfo().designVoltageMv, std::nullopt);
}

TEST_F(UPowerDaemon, WholeFastTestInTheTerminal)
{
    bed.add(Ac, mainsAdapter(false));
    SupplyAttributes bat = energyBattery(40, 50, 8);
    bat.insert(QStringLiteral("energy_full_design"), micro(60));
    bed.add(Bat0, bat);
    ASSERT_NO_FATAL_FAILURE(bed.startDaemon());

    // The battery loses 1 % a second while the program runs.
    double energy = 40;
    QTimer drain;
    QObject::connect(&drain, &QTimer::timeout, [&] {
        energy -= 0.5;
        bed.set(Bat0, { { QStringLiteral("energy_now"), micro(energy) } });
    });
    drain.start(1000);
    const QString out = dir.filePath(QStringLiteral("fast.apr"));
    QProcess proc;
    ASSERT_NO_FATAL_FAILURE(runProgram(proc,
        { QStringLiteral("--run"), QStringLiteral("fast"), QStringLiteral("--no-load"),
            QStringLiteral("--power-source"), QStringLiteral("upower"), QStringLiteral("--output"), out }));
    drain.stop();
    const QString printed = QString::fromUtf8(proc.readAllStandardOutput());
    EXPECT_EQ(proc.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(proc.exitCode(), 0) << printed.toStdString() << proc.readAllStandardError().toStdString();
    EXPECT_TRUE(printed.contains(QLatin1String("testing completed"))) << printed.toStdString();

    const auto r = readResultsFile(out.toStdString());
    ASSERT_TRUE(r.ok()) << r.describe();
    EXPECT_TRUE(r.data.complete);
    EXPECT_EQ(r.data.mode, 1);
    EXPECT_EQ(r.data.forecast, 22500u); // a full battery's time at the start: 50 Wh at 8 W
    EXPECT_EQ(r.data.capacity, 60000u); // the larger of design and full capacity
    ASSERT_TRUE(r.data.hasLevelChangeTimes);
    ASSERT_GE(r.data.samples.size(), 4u);
    EXPECT_LE(r.data.samples.front(), 80);
    EXPECT_GE(r.data.samples.front() - r.data.samples.back(), 3) << "three level changes";
}

TEST_F(UPowerDaemon, AcPluggedInInterruptsTheTest)
{
    ASSERT_NO_FATAL_FAILURE(startOnBattery());
    const QString out = dir.filePath(QStringLiteral("normal.apr"));
    QProcess proc;
    proc.setProcessEnvironment(bed.programEnvironment());
    proc.start(amperoBinary(),
        { QStringLiteral("--run"), QStringLiteral("normal"), QStringLiteral("--no-load"),
            QStringLiteral("--power-source"), QStringLiteral("upower"), QStringLiteral("--output"), out });
    ASSERT_TRUE(proc.waitForStarted());
    // Plugged in after the first two samples.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return proc.state() != QProcess::Running || proc.peek(4096).count('\n') >= 3; }, 15000));
    ASSERT_EQ(proc.state(), QProcess::Running) << proc.readAllStandardError().toStdString();
    bed.set(Bat0, { { QStringLiteral("status"), QStringLiteral("Charging") } }, false);
    bed.set(Ac, mainsAdapter(true));
    ASSERT_TRUE(QTest::qWaitFor([&] { return proc.state() == QProcess::NotRunning; }, 15000));
    const QString printed = QString::fromUtf8(proc.readAllStandardOutput());
    EXPECT_EQ(proc.exitCode(), 1) << printed.toStdString();
    EXPECT_TRUE(printed.contains(QLatin1String("testing interrupted"))) << printed.toStdString();
    const auto r = readResultsFile(out.toStdString());
    ASSERT_TRUE(r.ok()) << r.describe();
    EXPECT_TRUE(r.data.complete);
    EXPECT_EQ(r.data.mode, 2);
    EXPECT_GE(r.data.samples.size(), 2u);
}

// A burst of uevents is thousands of notices: the test goes on taking its
// samples, is not ended as by a sleep, and still ends at once when asked to.
TEST_F(UPowerDaemon, BurstOfUeventsDuringATest)
{
    ASSERT_NO_FATAL_FAILURE(startOnBattery());
    QProcess proc;
    proc.setProcessEnvironment(bed.programEnvironment());
    proc.start(amperoBinary(),
        { QStringLiteral("--run"), QStringLiteral("normal"), QStringLiteral("--no-load"),
            QStringLiteral("--power-source"), QStringLiteral("upower"), QStringLiteral("--output"),
            dir.filePath(QStringLiteral("burst.apr")) });
    ASSERT_TRUE(proc.waitForStarted());
    const auto lines = [&] { return proc.peek(1 << 20).count('\n'); };
    ASSERT_TRUE(QTest::qWaitFor([&] { return proc.state() != QProcess::Running || lines() >= 3; }, 15000));
    const qsizetype before = lines();
    bed.burst(Bat0, 5.0, 400, QStringLiteral("energy_now"), { micro(39.9), micro(39.8) });
    QTest::qWait(3000);
    ASSERT_EQ(proc.state(), QProcess::Running) << "the test ended:\n"
                                               << proc.readAllStandardOutput().toStdString();
    EXPECT_GE(lines() - before, 5) << "samples in 8 s";
    proc.terminate();
    ASSERT_TRUE(QTest::qWaitFor([&] { return proc.state() == QProcess::NotRunning; }, 3000));
    const QString printed = QString::fromUtf8(proc.readAllStandardOutput());
    EXPECT_EQ(proc.exitCode(), 1) << printed.toStdString();
    EXPECT_TRUE(printed.contains(QLatin1String("testing interrupted"))) << printed.toStdString();
}

} // namespace
