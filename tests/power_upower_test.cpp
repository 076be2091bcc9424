// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/dbus/upowerpowersource.h"
#include "support/upowermock.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace ampero;

namespace {

class UPowerMock : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!test::UPowerMockBus::haveDaemon())
            GTEST_SKIP() << "dbus-daemon is not installed";
        ASSERT_NO_FATAL_FAILURE(m_mock.startBus());
        ASSERT_NO_FATAL_FAILURE(m_mock.startMock());
    }
    void TearDown() override { m_mock.stop(); }

    void setDisplay(const QString& name, const QVariant& value) { m_mock.setDisplay(name, value); }
    void setOnBattery(bool on) { m_mock.setOnBattery(on); }
    void setUpDischargingBattery(double percent, double energyFull, double energyRate, qlonglong timeToEmpty)
    {
        m_mock.addDischargingBattery(percent, energyFull, energyRate, timeToEmpty);
    }
    void stopMock() { m_mock.stopMock(); }

    test::UPowerMockBus m_mock { QStringLiteral("ampero-upower-test") };
};

TEST_F(UPowerMock, MachineWithoutBatteryIsOnAcWithUnknownLevel)
{
    UPowerPowerSource source(m_mock.bus());
    EXPECT_TRUE(source.available());
    EXPECT_FALSE(source.findsPowerSupply());
    const PowerStatus s = source.status();
    EXPECT_EQ(s.acLineStatus, PowerStatus::AcOnline);
    EXPECT_EQ(s.batteryLifePercent, PowerStatus::Unknown8);
    EXPECT_EQ(s.batteryLifeTime, PowerStatus::UnknownTime);
    EXPECT_EQ(s.batteryFullLifeTime, PowerStatus::UnknownTime);
}

TEST_F(UPowerMock, OnBatteryReportsLevelAndTimes)
{
    setUpDischargingBattery(30.4, 50.0, 10.0, 5400);
    UPowerPowerSource source(m_mock.bus());
    EXPECT_TRUE(source.findsPowerSupply());
    const PowerStatus s = source.status();
    EXPECT_EQ(s.acLineStatus, PowerStatus::AcOffline);
    EXPECT_EQ(s.batteryLifePercent, 30);
    EXPECT_EQ(s.batteryLifeTime, 5400u);
    EXPECT_EQ(s.batteryFullLifeTime, 18000u); // 50 Wh / 10 W = 5 h

    struct Row {
        double percent;
        int level;
    };
    for (const Row& row : { Row { 30.5, 31 }, Row { 0.49, 0 }, Row { 99.5, 100 }, Row { 100.0, 100 } }) {
        setDisplay(QStringLiteral("Percentage"), row.percent);
        EXPECT_EQ(source.status().batteryLifePercent, row.level) << row.percent;
    }

    // Unknown times: TimeToEmpty 0, no rate.
    setDisplay(QStringLiteral("TimeToEmpty"), qlonglong(0));
    setDisplay(QStringLiteral("EnergyRate"), 0.0);
    EXPECT_EQ(source.status().batteryLifeTime, PowerStatus::UnknownTime);
    EXPECT_EQ(source.status().batteryFullLifeTime, PowerStatus::UnknownTime);
}

TEST_F(UPowerMock, PluggingAcIsSeenAndSignalled)
{
    setUpDischargingBattery(80.0, 50.0, 10.0, 3600);
    UPowerPowerSource source(m_mock.bus());
    QSignalSpy spy(&source, &PowerSource::powerChanged);
    ASSERT_EQ(source.status().acLineStatus, PowerStatus::AcOffline);

    setOnBattery(false);
    setDisplay(QStringLiteral("State"), 1u); // charging
    QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 1, 10000);
    const PowerStatus s = source.status();
    EXPECT_EQ(s.acLineStatus, PowerStatus::AcOnline);
    EXPECT_EQ(s.batteryLifePercent, 80);
    EXPECT_EQ(s.batteryLifeTime, PowerStatus::UnknownTime) << "no remaining time while charging";
    EXPECT_EQ(s.batteryFullLifeTime, PowerStatus::UnknownTime);
}

TEST_F(UPowerMock, SignalsLevelChangesButNotEnergyUpdates)
{
    setUpDischargingBattery(80.0, 50.0, 10.0, 3600);
    UPowerPowerSource source(m_mock.bus());
    QSignalSpy spy(&source, &PowerSource::powerChanged);

    // UPower updates energy and rate often; the level stays 80.
    setDisplay(QStringLiteral("Energy"), 39.9);
    setDisplay(QStringLiteral("EnergyRate"), 9.0);
    setDisplay(QStringLiteral("Percentage"), 79.0);
    QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 1, 10000);
    setDisplay(QStringLiteral("Percentage"), 78.0);
    QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 2, 10000);
    // Signals arrive in order: had the energy updates counted, we would be at 4 by now.
    QTest::qWait(200);
    EXPECT_EQ(spy.count(), 2);
    EXPECT_EQ(source.status().batteryLifePercent, 78);
}

TEST_F(UPowerMock, ServiceGoingAwayMakesEverythingUnknown)
{
    setUpDischargingBattery(55.0, 50.0, 10.0, 3600);
    UPowerPowerSource source(m_mock.bus());
    QSignalSpy spy(&source, &PowerSource::powerChanged);
    stopMock();
    QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 1, 10000);
    EXPECT_FALSE(source.available());
    const PowerStatus s = source.status();
    EXPECT_EQ(s.acLineStatus, PowerStatus::Unknown8);
    EXPECT_EQ(s.batteryLifePercent, PowerStatus::Unknown8);
}

TEST_F(UPowerMock, AnnouncesAResumeWithoutAnyChange)
{
    setUpDischargingBattery(55.0, 50.0, 10.0, 3600);
    UPowerPowerSource source(m_mock.bus());
    int64_t suspendedMs = 0;
    source.setSuspendedTimeSource([&] { return suspendedMs; });
    QSignalSpy spy(&source, &PowerSource::powerChanged);
    EXPECT_FALSE(source.checkForResume());
    suspendedMs = 30000;
    EXPECT_TRUE(source.checkForResume());
    EXPECT_FALSE(source.checkForResume());
    EXPECT_EQ(spy.count(), 1);
    EXPECT_EQ(source.status().batteryLifePercent, 55);
}

TEST(UPowerPowerSource, DisconnectedBusReportsUnknown)
{
    UPowerPowerSource source(QDBusConnection::connectToBus(
        QStringLiteral("unix:path=/nonexistent/bus"), QStringLiteral("ampero-no-bus")));
    EXPECT_FALSE(source.available());
    EXPECT_FALSE(source.findsPowerSupply());
    EXPECT_EQ(source.status(), PowerStatus {});
    QDBusConnection::disconnectFromBus(QStringLiteral("ampero-no-bus"));
}

} // namespace
