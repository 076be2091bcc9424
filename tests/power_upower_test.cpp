#include "platform/dbus/upowerpowersource.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <gtest/gtest.h>

using namespace ampero;

namespace {

const QString Service = QStringLiteral("org.freedesktop.UPower");
const QString ManagerPath = QStringLiteral("/org/freedesktop/UPower");
const QString DisplayPath = QStringLiteral("/org/freedesktop/UPower/devices/DisplayDevice");
const QString DeviceIface = QStringLiteral("org.freedesktop.UPower.Device");

// A private bus with a mock UPower on it (python3-dbusmock's upower
// template), so the backend is tested against real D-Bus traffic without
// touching the machine's system bus.
class UPowerMock : public ::testing::Test {
protected:
    void SetUp() override
    {
        const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        if (daemon.isEmpty())
            GTEST_SKIP() << "dbus-daemon is not installed";
        m_daemon.start(daemon, {QStringLiteral("--session"), QStringLiteral("--nofork"),
                                QStringLiteral("--print-address=1")});
        ASSERT_TRUE(m_daemon.waitForStarted());
        while (!m_daemon.canReadLine())
            ASSERT_TRUE(m_daemon.waitForReadyRead(10000)) << "dbus-daemon printed no address";
        m_address = QString::fromUtf8(m_daemon.readLine().trimmed());
        ASSERT_FALSE(m_address.isEmpty());

        m_bus = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(m_address, m_busName));
        ASSERT_TRUE(m_bus->isConnected()) << m_bus->lastError().message().toStdString();
        startMock(QStringLiteral("{\"OnBattery\": false}"));
    }

    void TearDown() override
    {
        stopMock();
        m_bus.reset();
        QDBusConnection::disconnectFromBus(m_busName);
        if (m_daemon.state() != QProcess::NotRunning) {
            m_daemon.kill();
            m_daemon.waitForFinished();
        }
    }

    void startMock(const QString& parameters)
    {
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_address);
        m_mock.setProcessEnvironment(env);
        m_mock.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_mock.start(QStringLiteral("/usr/bin/python3"),
                     {QStringLiteral("-m"), QStringLiteral("dbusmock"), QStringLiteral("--template"),
                      QStringLiteral("upower"), QStringLiteral("--session"), QStringLiteral("-p"), parameters});
        ASSERT_TRUE(m_mock.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(m_bus->interface()->isServiceRegistered(Service).value(), 20000);
    }

    void stopMock()
    {
        if (m_mock.state() != QProcess::NotRunning) {
            m_mock.terminate();
            if (!m_mock.waitForFinished(5000)) {
                m_mock.kill();
                m_mock.waitForFinished();
            }
        }
    }

    void callMock(const QString& path, const QString& iface, const QString& method, const QVariantList& args)
    {
        QDBusMessage msg = QDBusMessage::createMethodCall(Service, path, iface, method);
        msg.setArguments(args);
        const QDBusMessage reply = m_bus->call(msg);
        ASSERT_NE(reply.type(), QDBusMessage::ErrorMessage) << reply.errorMessage().toStdString();
    }

    void setProperty(const QString& path, const QString& iface, const QString& name, const QVariant& value)
    {
        callMock(path, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Set"),
                 {iface, name, QVariant::fromValue(QDBusVariant(value))});
    }

    void setOnBattery(bool on) { setProperty(ManagerPath, Service, QStringLiteral("OnBattery"), on); }
    void setDisplay(const QString& name, const QVariant& value) { setProperty(DisplayPath, DeviceIface, name, value); }

    // A discharging battery at percent, as UPower shows one.
    void setUpDischargingBattery(double percent, double energyFull, double energyRate, qlonglong timeToEmpty)
    {
        callMock(ManagerPath, QStringLiteral("org.freedesktop.DBus.Mock"), QStringLiteral("AddDischargingBattery"),
                 {QStringLiteral("mock_BAT"), QStringLiteral("Mock Battery"), percent, timeToEmpty});
        callMock(ManagerPath, QStringLiteral("org.freedesktop.DBus.Mock"), QStringLiteral("SetupDisplayDevice"),
                 {2u, 2u, percent, energyFull * percent / 100.0, energyFull, energyRate, timeToEmpty, qlonglong(0),
                  true, QStringLiteral("battery-good-symbolic"), 1u});
        setOnBattery(true);
    }

    QProcess m_daemon;
    QProcess m_mock;
    QString m_address;
    const QString m_busName = QStringLiteral("ampero-upower-test");
    std::unique_ptr<QDBusConnection> m_bus;
};

TEST_F(UPowerMock, MachineWithoutBatteryIsOnAcWithUnknownLevel)
{
    UPowerPowerSource source(*m_bus);
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
    UPowerPowerSource source(*m_bus);
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
    for (const Row& row : {Row{30.5, 31}, Row{0.49, 0}, Row{99.5, 100}, Row{100.0, 100}}) {
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
    UPowerPowerSource source(*m_bus);
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
    UPowerPowerSource source(*m_bus);
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
    UPowerPowerSource source(*m_bus);
    QSignalSpy spy(&source, &PowerSource::powerChanged);
    stopMock();
    QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 1, 10000);
    EXPECT_FALSE(source.available());
    const PowerStatus s = source.status();
    EXPECT_EQ(s.acLineStatus, PowerStatus::Unknown8);
    EXPECT_EQ(s.batteryLifePercent, PowerStatus::Unknown8);
}

TEST(UPowerPowerSource, DisconnectedBusReportsUnknown)
{
    UPowerPowerSource source(QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/bus"),
                                                           QStringLiteral("ampero-no-bus")));
    EXPECT_FALSE(source.available());
    EXPECT_FALSE(source.findsPowerSupply());
    EXPECT_EQ(source.status(), PowerStatus{});
    QDBusConnection::disconnectFromBus(QStringLiteral("ampero-no-bus"));
}

} // namespace
