// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A private D-Bus daemon with python3-dbusmock's UPower template on it, so
// the UPower backends meet real D-Bus traffic without touching the machine's
// system bus. The real upowerd (support/upowertestbed.h) is the reference
// for what UPower says; this mock serves what the daemon cannot be made to
// do: hang with its name on the bus, answer with values of the wrong type,
// or stand on the system bus for the whole of a process.
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTest>
#include <csignal>
#include <gtest/gtest.h>
#include <memory>

namespace ampero::test {

class UPowerMockBus {
public:
    static inline const QString Service = QStringLiteral("org.freedesktop.UPower");
    static inline const QString ManagerPath = QStringLiteral("/org/freedesktop/UPower");
    static inline const QString DisplayPath = QStringLiteral("/org/freedesktop/UPower/devices/DisplayDevice");
    static inline const QString DeviceIface = QStringLiteral("org.freedesktop.UPower.Device");

    explicit UPowerMockBus(const QString& connectionName)
        : m_busName(connectionName)
    {
    }
    ~UPowerMockBus() { stop(); }

    static bool haveDaemon()
    {
        return !QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty();
    }

    // Starts the bus daemon and connects to it. Use with ASSERT_NO_FATAL_FAILURE.
    void startBus()
    {
        m_daemon.start(QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")),
            { QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1") });
        ASSERT_TRUE(m_daemon.waitForStarted());
        while (!m_daemon.canReadLine())
            ASSERT_TRUE(m_daemon.waitForReadyRead(10000)) << "dbus-daemon printed no address";
        m_address = QString::fromUtf8(m_daemon.readLine().trimmed());
        ASSERT_FALSE(m_address.isEmpty());
        m_bus = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(m_address, m_busName));
        ASSERT_TRUE(m_bus->isConnected()) << m_bus->lastError().message().toStdString();
    }

    // Starts the mock service; parameters is the template's JSON dictionary.
    void startMock(const QString& parameters = QStringLiteral("{\"OnBattery\": false}"))
    {
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_address);
        m_mock.setProcessEnvironment(env);
        m_mock.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_mock.start(QStringLiteral("/usr/bin/python3"),
            { QStringLiteral("-m"), QStringLiteral("dbusmock"), QStringLiteral("--template"),
                QStringLiteral("upower"), QStringLiteral("--session"), QStringLiteral("-p"), parameters });
        ASSERT_TRUE(m_mock.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(m_bus->interface()->isServiceRegistered(Service).value(), 20000);
    }

    // Stops or continues the mock process: stopped, it keeps its name on the
    // bus but answers nothing, like a hung daemon.
    void pauseMock(bool paused)
    {
        if (m_mock.state() != QProcess::NotRunning)
            ::kill(static_cast<pid_t>(m_mock.processId()), paused ? SIGSTOP : SIGCONT);
    }

    void stopMock()
    {
        if (m_mock.state() == QProcess::NotRunning)
            return;
        pauseMock(false);
        m_mock.terminate();
        if (!m_mock.waitForFinished(5000)) {
            m_mock.kill();
            m_mock.waitForFinished();
        }
    }

    void stop()
    {
        stopMock();
        m_bus.reset();
        QDBusConnection::disconnectFromBus(m_busName);
        if (m_daemon.state() != QProcess::NotRunning) {
            m_daemon.kill();
            m_daemon.waitForFinished();
        }
    }

    // Calls the mock and returns its reply; a failed call fails the test.
    QDBusMessage call(
        const QString& path, const QString& iface, const QString& method, const QVariantList& args)
    {
        QDBusMessage msg = QDBusMessage::createMethodCall(Service, path, iface, method);
        msg.setArguments(args);
        const QDBusMessage reply = m_bus->call(msg, QDBus::Block, 10000);
        EXPECT_NE(reply.type(), QDBusMessage::ErrorMessage)
            << method.toStdString() << ": " << reply.errorMessage().toStdString();
        return reply;
    }

    void setProperty(const QString& path, const QString& iface, const QString& name, const QVariant& value)
    {
        call(path, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Set"),
            { iface, name, QVariant::fromValue(QDBusVariant(value)) });
    }

    void setOnBattery(bool on) { setProperty(ManagerPath, Service, QStringLiteral("OnBattery"), on); }
    void setDisplay(const QString& name, const QVariant& value)
    {
        setProperty(DisplayPath, DeviceIface, name, value);
    }

    // A discharging battery at percent, as UPower shows one (energies in Wh, rate in W).
    void addDischargingBattery(double percent, double energyFull, double energyRate, qlonglong timeToEmpty)
    {
        call(ManagerPath, QStringLiteral("org.freedesktop.DBus.Mock"),
            QStringLiteral("AddDischargingBattery"),
            { QStringLiteral("mock_BAT"), QStringLiteral("Mock Battery"), percent, timeToEmpty });
        call(ManagerPath, QStringLiteral("org.freedesktop.DBus.Mock"), QStringLiteral("SetupDisplayDevice"),
            { 2u, 2u, percent, energyFull * percent / 100.0, energyFull, energyRate, timeToEmpty,
                qlonglong(0), true, QStringLiteral("battery-good-symbolic"), 1u });
        setOnBattery(true);
    }

    // The property reads (Get and GetAll) the mock served since the last
    // call, from its log on standard output. A mark of our own, a Get the
    // mock logs and then refuses, tells where the log of the calls so far
    // ends. The mock serves a Get by a GetAll of its own, which it logs too.
    int takePropertyReads()
    {
        const QString mark = QStringLiteral("ampero.LogMark.%1").arg(++m_marks);
        QDBusMessage msg = QDBusMessage::createMethodCall(
            Service, ManagerPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
        msg.setArguments({ QStringLiteral("ampero.LogMark"), QString::number(m_marks) });
        m_bus->call(msg, QDBus::Block, 10000);
        int reads = 0;
        for (;;) {
            while (!m_mock.canReadLine()) {
                if (!m_mock.waitForReadyRead(10000)) {
                    ADD_FAILURE() << "the mock logged no mark";
                    return -1;
                }
            }
            const QString line = QString::fromUtf8(m_mock.readLine());
            const bool get = line.contains(QLatin1String(" Get "));
            const bool getAll = line.contains(QLatin1String(" GetAll "));
            const bool ownGetAll = getAll && m_afterGet;
            m_afterGet = get;
            if (line.contains(mark))
                return reads;
            if (get || (getAll && !ownGetAll))
                ++reads;
        }
    }

    QDBusConnection& bus() { return *m_bus; }
    const QString& address() const { return m_address; }

private:
    QProcess m_daemon;
    QProcess m_mock;
    QString m_address;
    QString m_busName;
    std::unique_ptr<QDBusConnection> m_bus;
    int m_marks = 0;
    bool m_afterGet = false;
};

} // namespace ampero::test
