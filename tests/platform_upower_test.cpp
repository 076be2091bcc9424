// SPDX-License-Identifier: GPL-3.0-or-later
// The UPower backends where UPower misbehaves, which the real daemon of
// platform_upowerd_test cannot be made to do: a mock (python3-dbusmock) that
// hangs or answers with values of the wrong type, and no bus at all.
#include "platform/dbus/upowerbatteryidentity.h"
#include "platform/dbus/upowerpowersource.h"
#include "support/upowermock.h"

#include <QDBusConnection>
#include <QElapsedTimer>
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
        m_mock.addDischargingBattery(55.0, 50.0, 10.0, 3600);
    }
    void TearDown() override { m_mock.stop(); }

    test::UPowerMockBus m_mock { QStringLiteral("ampero-upower-test") };
};

TEST_F(UPowerMock, HungDaemonCostsSecondsNotTheProgram)
{
    UPowerPowerSource source(m_mock.bus());
    ASSERT_EQ(source.refresh().level, 55);
    m_mock.pauseMock(true);

    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(source.refresh().level, 55) << "the last reading is kept for a while";
    EXPECT_FALSE(UPowerBatteryIdentity(m_mock.bus(), 1000).firstBattery());
    // Two calls of at most a few seconds each, not D-Bus's 25 seconds apiece.
    EXPECT_LT(timer.elapsed(), 10000);
    timer.restart(); // a notice's reading waits for no answer
    source.checkForChange();
    QTest::qWait(500);
    EXPECT_TRUE(source.readPending());
    EXPECT_LT(timer.elapsed(), 1500);
    m_mock.pauseMock(false);
    m_mock.setDisplay(QStringLiteral("Percentage"), 54.0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return source.status().level == 54; }, 10000));
}

// A burst of notices costs a few readings, not one for each.
TEST_F(UPowerMock, BurstOfNoticesCostsAFewReadings)
{
    UPowerPowerSource source(m_mock.bus());
    m_mock.call(test::UPowerMockBus::ManagerPath, QStringLiteral("org.freedesktop.DBus.Mock"),
        QStringLiteral("AddMethod"),
        { test::UPowerMockBus::Service, QStringLiteral("Burst"), QStringLiteral("u"), QString(),
            QStringLiteral("for i in range(args[0]): self.EmitSignal('org.freedesktop.DBus.Properties', "
                           "'PropertiesChanged', 'sa{sv}as', ['org.freedesktop.UPower', {}, []])") });
    m_mock.setDisplay(QStringLiteral("Percentage"), 54.0);
    m_mock.takePropertyReads();
    const QDBusPendingCall burst = m_mock.bus().asyncCall(
        QDBusMessage::createMethodCall(test::UPowerMockBus::Service, test::UPowerMockBus::ManagerPath,
            test::UPowerMockBus::Service, QStringLiteral("Burst"))
            << 10000u,
        60000);
    ASSERT_TRUE(QTest::qWaitFor([&] { return burst.isFinished() && !source.readPending(); }, 60000));
    EXPECT_EQ(source.status().level, 54);
    EXPECT_LE(m_mock.takePropertyReads(), 3 * 10) << "ten readings of three calls for 10,000 notices";
}

TEST_F(UPowerMock, ValuesOfTheWrongTypeAreUnknown)
{
    UPowerPowerSource source(m_mock.bus());
    ASSERT_EQ(source.refresh().line, PowerLine::Battery);

    // A level as text is no level; the line is still read.
    m_mock.setDisplay(QStringLiteral("Percentage"), QStringLiteral("80"));
    m_mock.setDisplay(QStringLiteral("TimeToEmpty"), 3600.0);
    PowerStatus s = source.refresh();
    EXPECT_EQ(s.line, PowerLine::Battery);
    EXPECT_EQ(s.level, std::nullopt);
    EXPECT_EQ(s.timeLeft, std::nullopt);
    EXPECT_EQ(s.fullLifeTime, std::chrono::seconds(18000)); // EnergyFull and EnergyRate are still good

    // OnBattery as text: neither on battery nor on AC.
    m_mock.setProperty(test::UPowerMockBus::ManagerPath, test::UPowerMockBus::Service,
        QStringLiteral("OnBattery"), QStringLiteral("yes"));
    EXPECT_EQ(source.refresh(), PowerStatus {});

    // A device list that is no list of object paths finds no battery.
    m_mock.call(test::UPowerMockBus::ManagerPath, QStringLiteral("org.freedesktop.DBus.Mock"),
        QStringLiteral("AddMethod"),
        { test::UPowerMockBus::Service, QStringLiteral("EnumerateDevices"), QString(), QStringLiteral("s"),
            QStringLiteral("ret = '/org/freedesktop/UPower/devices/battery_mock_BAT'") });
    EXPECT_FALSE(source.findsPowerSupply());
    EXPECT_FALSE(UPowerBatteryIdentity(m_mock.bus()).firstBattery());
}

// Energy, full energy and rate come from the DisplayDevice; the design
// energy and the voltage, which UPower does not sum there, from the battery.
TEST_F(UPowerMock, EnergyFiguresFromDisplayDeviceAndBattery)
{
    UPowerPowerSource source(m_mock.bus());
    PowerStatus s = source.refresh();
    EXPECT_EQ(s.energyWh, 27.5);
    EXPECT_EQ(s.energyFullWh, 50.0);
    EXPECT_EQ(s.powerW, 10.0);
    EXPECT_EQ(s.energyFullDesignWh, std::nullopt) << "the mock battery has none";
    EXPECT_EQ(s.voltageV, std::nullopt);

    const QString battery = QStringLiteral("/org/freedesktop/UPower/devices/mock_BAT");
    for (const auto& [name, value] : { std::pair { "EnergyFullDesign", 56.0 }, { "Voltage", 11.9 } })
        m_mock.call(battery, QStringLiteral("org.freedesktop.DBus.Mock"), QStringLiteral("AddProperty"),
            { test::UPowerMockBus::DeviceIface, QString::fromLatin1(name),
                QVariant::fromValue(QDBusVariant(value)) });
    s = source.refresh();
    EXPECT_EQ(s.energyFullDesignWh, 56.0);
    EXPECT_EQ(s.voltageV, 11.9);

    // On mains nothing is drawn from the battery; its energy stays known.
    m_mock.setDisplay(QStringLiteral("State"), 1u);
    m_mock.setOnBattery(false);
    s = source.refresh();
    EXPECT_EQ(s.powerW, std::nullopt);
    EXPECT_EQ(s.energyWh, 27.5);
}

// The identity reads the battery by the power source's rule: a value of
// another type than UPower's is unknown, an empty bay counts for nothing.
TEST_F(UPowerMock, IdentityAndPowerSourceReadTheBatteryAlike)
{
    const QString battery = QStringLiteral("/org/freedesktop/UPower/devices/mock_BAT");
    m_mock.call(battery, QStringLiteral("org.freedesktop.DBus.Mock"), QStringLiteral("AddProperty"),
        { test::UPowerMockBus::DeviceIface, QStringLiteral("EnergyFullDesign"),
            QVariant::fromValue(QDBusVariant(0.0)) });
    const struct {
        const char* name;
        QVariant value;
        std::optional<uint64_t> designMwh; // the identity's; unknown to the power source too when empty
        bool counts;
    } rows[] = { { "EnergyFullDesign", 55.0, 55000, true },
        { "EnergyFullDesign", QStringLiteral("55"), std::nullopt, true },
        { "IsPresent", false, std::nullopt, false } };
    for (const auto& row : rows) {
        m_mock.setProperty(battery, test::UPowerMockBus::DeviceIface, QLatin1String(row.name), row.value);
        SCOPED_TRACE(row.value.toString().toStdString());
        const auto identity = UPowerBatteryIdentity(m_mock.bus()).firstBattery();
        ASSERT_EQ(identity.has_value(), row.counts);
        EXPECT_EQ(identity ? identity->designCapacityMwh : std::nullopt, row.designMwh);
        EXPECT_EQ(UPowerPowerSource(m_mock.bus()).status().energyFullDesignWh.has_value(),
            row.designMwh.has_value());
    }
}

TEST(UPowerBatteryIdentity, NoServiceOnTheBus)
{
    if (!test::UPowerMockBus::haveDaemon())
        GTEST_SKIP() << "dbus-daemon is not installed";
    test::UPowerMockBus empty(QStringLiteral("ampero-upower-empty"));
    ASSERT_NO_FATAL_FAILURE(empty.startBus());
    EXPECT_FALSE(UPowerBatteryIdentity(empty.bus(), 2000).firstBattery());
    UPowerBatteryIdentity disconnected(QDBusConnection(QStringLiteral("never-connected")));
    EXPECT_FALSE(disconnected.firstBattery());
}

TEST(UPowerBatteryIdentity, TechnologyMapsToChemistry)
{
    using enum BatteryChemistry;
    const struct {
        uint32_t technology;
        BatteryChemistry chemistry;
    } rows[] = { { 0, Unknown }, { 1, LithiumIon }, { 2, LithiumPolymer }, { 3, LithiumIronPhosphate },
        { 4, LeadAcid }, { 5, NickelCadmium }, { 6, NickelMetalHydride }, { 77, Unknown } };
    for (const auto& r : rows)
        EXPECT_EQ(UPowerBatteryIdentity::chemistryFromTechnology(r.technology), r.chemistry) << r.technology;
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
