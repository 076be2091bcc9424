// Battery identity through UPower, against python3-dbusmock's upower template
// on a private bus that this test starts and stops.
#include "platform/dbus/upowerbatteryidentity.h"
#include "platform/sysfsbatteryidentity.h"
#include "support/testutil.h"
#include "sysinfo/batteryinfo.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

using namespace ampero;

namespace
{

const QString UPower = QStringLiteral("org.freedesktop.UPower");
const QString UPowerPath = QStringLiteral("/org/freedesktop/UPower");
const QString MockInterface = QStringLiteral("org.freedesktop.DBus.Mock");
const QString DeviceInterface = QStringLiteral("org.freedesktop.UPower.Device");

class UPowerMock : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_bus.start(QStringLiteral("dbus-daemon"),
            { QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1") });
        ASSERT_TRUE(m_bus.waitForStarted(5000)) << "dbus-daemon is not installed";
        QElapsedTimer t;
        t.start();
        while (!m_bus.canReadLine() && t.elapsed() < 5000)
            m_bus.waitForReadyRead(100);
        m_address = QString::fromUtf8(m_bus.readLine().trimmed());
        ASSERT_FALSE(m_address.isEmpty());
        m_name = QStringLiteral("upowermock%1").arg(++s_count);
        m_conn = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(m_address, m_name));
        ASSERT_TRUE(m_conn->isConnected());
    }

    void TearDown() override
    {
        stopMock();
        m_conn.reset();
        QDBusConnection::disconnectFromBus(m_name);
        m_bus.terminate();
        m_bus.waitForFinished(5000);
    }

    // Starts the upower template and waits until its name is on the bus.
    void startMock()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), m_address);
        m_mock.setProcessEnvironment(env);
        m_mock.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_mock.start(QStringLiteral("/usr/bin/python3"),
            { QStringLiteral("-m"), QStringLiteral("dbusmock"), QStringLiteral("--system"),
                QStringLiteral("--template"), QStringLiteral("upower") });
        ASSERT_TRUE(m_mock.waitForStarted(5000));
        QElapsedTimer t;
        t.start();
        while (!m_conn->interface()->isServiceRegistered(UPower) && t.elapsed() < 15000)
            QThread::msleep(50);
        ASSERT_TRUE(m_conn->interface()->isServiceRegistered(UPower)) << "dbusmock did not start";
    }

    void stopMock()
    {
        if (m_mock.state() == QProcess::NotRunning)
            return;
        m_mock.terminate();
        m_mock.waitForFinished(5000);
    }

    QDBusMessage call(
        const QString& path, const QString& iface, const QString& method, const QVariantList& args)
    {
        QDBusMessage m = QDBusMessage::createMethodCall(UPower, path, iface, method);
        m.setArguments(args);
        QDBusMessage reply = m_conn->call(m, QDBus::Block, 10000);
        EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage)
            << method.toStdString() << ": " << reply.errorMessage().toStdString();
        return reply;
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
        call(path, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Set"),
            { DeviceInterface, name, QVariant::fromValue(QDBusVariant(value)) });
    }

    QDBusConnection& bus() { return *m_conn; }

private:
    static inline int s_count = 0;
    QProcess m_bus;
    QProcess m_mock;
    QString m_address;
    QString m_name;
    std::unique_ptr<QDBusConnection> m_conn;
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
