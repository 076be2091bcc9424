// SPDX-License-Identifier: GPL-3.0-or-later
// Battery identity through UPower, against python3-dbusmock's upower template
// on a private bus that this test starts and stops.
#include "platform/dbus/upowerbatteryidentity.h"
#include "platform/sysfsbatteryidentity.h"
#include "support/testutil.h"
#include "support/upowermock.h"
#include "sysinfo/batteryinfo.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace ampero;

namespace {

const QString UPowerPath = QStringLiteral("/org/freedesktop/UPower");
const QString MockInterface = QStringLiteral("org.freedesktop.DBus.Mock");
const QString DeviceInterface = QStringLiteral("org.freedesktop.UPower.Device");

class UPowerMock : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!test::UPowerMockBus::haveDaemon())
            GTEST_SKIP() << "dbus-daemon is not installed";
        ASSERT_NO_FATAL_FAILURE(m_mock.startBus());
    }

    void startMock() { ASSERT_NO_FATAL_FAILURE(m_mock.startMock(QStringLiteral("{}"))); }

    QDBusMessage call(
        const QString& path, const QString& iface, const QString& method, const QVariantList& args)
    {
        return m_mock.call(path, iface, method, args);
    }

    // A discharging battery as the template makes it (Model and EnergyFull
    // 100 Wh only); returns its object path.
    QString addBattery(const QString& device, const QString& model)
    {
        const QDBusMessage r = call(UPowerPath, MockInterface, QStringLiteral("AddDischargingBattery"),
            { device, model, 80.0, QVariant::fromValue<qlonglong>(3600) });
        return r.arguments().value(0).toString();
    }

    void addProperties(const QString& path, const QVariantMap& props)
    {
        call(path, MockInterface, QStringLiteral("AddProperties"), { DeviceInterface, props });
    }

    void setProperty(const QString& path, const QString& name, const QVariant& value)
    {
        m_mock.setProperty(path, DeviceInterface, name, value);
    }

    QDBusConnection& bus() { return m_mock.bus(); }

private:
    static inline int s_count = 0;
    test::UPowerMockBus m_mock { QStringLiteral("upowerbattery%1").arg(++s_count) };
};

} // namespace

TEST_F(UPowerMock, FullBatteryGivesEveryField)
{
    startMock();
    call(UPowerPath, MockInterface, QStringLiteral("AddAC"),
        { QStringLiteral("mock_AC"), QStringLiteral("Mains") });
    const QString path = addBattery(QStringLiteral("mock_BAT"), QStringLiteral("5YHR4"));
    addProperties(path,
        { { QStringLiteral("Vendor"), QStringLiteral("SMP") },
            { QStringLiteral("Technology"), QVariant::fromValue<uint>(1) },
            { QStringLiteral("EnergyFullDesign"), 48.0 }, { QStringLiteral("Voltage"), 11.4 } });
    setProperty(path, QStringLiteral("EnergyFull"), 41.0);

    UPowerBatteryIdentity upower(bus());
    FakeBatteryIdentity general;
    TBatteryInfo info;
    GetBatteryInfo(info, upower, general);
    EXPECT_EQ(info.Name, QStringLiteral("5YHR4"));
    EXPECT_EQ(info.Manufacturer, QStringLiteral("SMP"));
    EXPECT_EQ(info.Chemistry, 6); // lithium ion
    EXPECT_EQ(info.Capacity, 48000u);
    EXPECT_EQ(info.DesignVoltage, 11400u);
    EXPECT_EQ(general.calls, 0);
}

TEST_F(UPowerMock, UnknownCapacitiesFallThroughToSysfs)
{
    startMock();
    const QString path = addBattery(QStringLiteral("mock_BAT"), QStringLiteral("Li-ion pack"));
    setProperty(path, QStringLiteral("EnergyFull"), 0.0); // UPower's "unknown"

    QTemporaryDir root;
    QDir(root.path()).mkpath(QStringLiteral("BAT0"));
    test::writeFile(root, QStringLiteral("BAT0/type"), "Battery\n");
    test::writeFile(root, QStringLiteral("BAT0/energy_full"), "52000000\n");

    UPowerBatteryIdentity upower(bus());
    SysfsBatteryIdentity sysfs(root.path());
    TBatteryInfo info;
    GetBatteryInfo(info, upower, sysfs);
    EXPECT_EQ(info.Capacity, 52000u);
    EXPECT_EQ(info.Name, QStringLiteral("Li-ion pack"));
    EXPECT_TRUE(info.Manufacturer.isEmpty()); // no Vendor on the device
    EXPECT_EQ(info.Chemistry, 0);

    // Without a battery in sysfs either, nothing is kept.
    SysfsBatteryIdentity none(root.filePath(QStringLiteral("missing")));
    TBatteryInfo empty;
    GetBatteryInfo(empty, upower, none);
    EXPECT_EQ(empty, TBatteryInfo {});
}

TEST_F(UPowerMock, NoBatteryGivesTheEmptyRecord)
{
    startMock();
    call(UPowerPath, MockInterface, QStringLiteral("AddAC"),
        { QStringLiteral("mock_AC"), QStringLiteral("Mains") });
    UPowerBatteryIdentity upower(bus());
    FakeBatteryIdentity general;
    general.battery = BatteryProperties { { QStringLiteral("FullChargeCapacity"), 52000 } };
    TBatteryInfo info;
    GetBatteryInfo(info, upower, general);
    EXPECT_EQ(info, TBatteryInfo {});
    EXPECT_EQ(general.calls, 0);
}

TEST_F(UPowerMock, NoServiceOnTheBus)
{
    UPowerBatteryIdentity upower(bus(), 2000);
    EXPECT_FALSE(upower.firstBattery());
    UPowerBatteryIdentity disconnected(QDBusConnection(QStringLiteral("never-connected")));
    EXPECT_FALSE(disconnected.firstBattery());
}

TEST(UPowerTechnology, MapsToChemistryCodes)
{
    const struct {
        uint32_t technology;
        uint16_t chemistry;
    } rows[] = { { 0, 2 }, { 1, 6 }, { 2, 8 }, { 3, 1 }, { 4, 3 }, { 5, 4 }, { 6, 5 }, { 77, 2 } };
    for (const auto& r : rows)
        EXPECT_EQ(UPowerBatteryIdentity::chemistryFromTechnology(r.technology), r.chemistry) << r.technology;
}
