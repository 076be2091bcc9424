// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The real upowerd on a private bus of its own, over kernel power supplies
// that umockdev simulates. The test writes the devices' sysfs attributes and
// sends uevents while the code under test listens to the daemon, as it would
// on a laptop. The work is done by upowertestbed.py, run under
// umockdev-wrapper and driven over its stdin; every testbed has its own bus,
// testbed folder and daemon, so tests can run in parallel.
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTest>
#include <QVariantMap>
#include <gtest/gtest.h>
#include <iostream>
#include <memory>

#ifndef AMPERO_SOURCE_DIR
#error "AMPERO_SOURCE_DIR must name the source tree"
#endif

namespace ampero::test {

// The attributes of one kernel power supply (/sys/class/power_supply/NAME),
// by their kernel names and in the kernel's units: µWh, µW, µAh, µA, µV,
// percent. Readings the tests do not name are absent, as on a machine whose
// driver does not give them; tests insert more as they need them.
using SupplyAttributes = QVariantMap;

// A value in the kernel's micro-units (µWh from Wh, µV from V, ...).
inline QString micro(double units)
{
    return QString::number(qRound64(units * 1e6));
}

// A laptop battery that counts energy (most ACPI batteries).
inline SupplyAttributes energyBattery(
    double nowWh, double fullWh, double powerW, const QString& status = QStringLiteral("Discharging"))
{
    return { { QStringLiteral("type"), QStringLiteral("Battery") }, { QStringLiteral("present"), 1 },
        { QStringLiteral("status"), status }, { QStringLiteral("energy_now"), micro(nowWh) },
        { QStringLiteral("energy_full"), micro(fullWh) },
        { QStringLiteral("energy_full_design"), micro(fullWh) },
        { QStringLiteral("power_now"), micro(powerW) }, { QStringLiteral("voltage_now"), micro(12.0) } };
}

// A laptop battery that counts charge; the daemon turns charge into energy
// with the design voltage.
inline SupplyAttributes chargeBattery(double nowAh, double fullAh, double currentA, double designV,
    const QString& status = QStringLiteral("Discharging"))
{
    return { { QStringLiteral("type"), QStringLiteral("Battery") }, { QStringLiteral("present"), 1 },
        { QStringLiteral("status"), status }, { QStringLiteral("charge_now"), micro(nowAh) },
        { QStringLiteral("charge_full"), micro(fullAh) },
        { QStringLiteral("charge_full_design"), micro(fullAh) },
        { QStringLiteral("current_now"), micro(currentA) },
        { QStringLiteral("voltage_min_design"), micro(designV) },
        { QStringLiteral("voltage_now"), micro(designV * 1.1) } };
}

// A mains adapter, plugged in or not.
inline SupplyAttributes mainsAdapter(bool online)
{
    return { { QStringLiteral("type"), QStringLiteral("Mains") },
        { QStringLiteral("online"), online ? 1 : 0 } };
}

// The battery of a device the laptop does not run on (a wireless mouse):
// the kernel marks it with scope "Device".
inline SupplyAttributes peripheralBattery(int percent)
{
    return { { QStringLiteral("type"), QStringLiteral("Battery") },
        { QStringLiteral("scope"), QStringLiteral("Device") }, { QStringLiteral("present"), 1 },
        { QStringLiteral("status"), QStringLiteral("Discharging") }, { QStringLiteral("capacity"), percent },
        { QStringLiteral("model_name"), QStringLiteral("Wireless Mouse") } };
}

class UPowerTestbed {
public:
    static inline const QString Service = QStringLiteral("org.freedesktop.UPower");

    UPowerTestbed()
        : m_busName(QStringLiteral("upowertestbed-%1").arg(++s_count))
    {
    }
    ~UPowerTestbed() { stop(); }
    UPowerTestbed(const UPowerTestbed&) = delete;
    UPowerTestbed& operator=(const UPowerTestbed&) = delete;

    // Why the testbed cannot run on this machine; empty when it can.
    static QString missingTool()
    {
        for (const char* tool : { "umockdev-wrapper", "dbus-daemon" })
            if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
                return QStringLiteral("%1 is not installed (packages umockdev, dbus)")
                    .arg(QLatin1String(tool));
        if (!QFile::exists(QStringLiteral("/usr/bin/python3")))
            return QStringLiteral("/usr/bin/python3 is not installed");
        return {};
    }

    // Makes the testbed and the bus, without devices or daemon. When a
    // piece is missing, skipReason() tells which and nothing runs. Use
    // with ASSERT_NO_FATAL_FAILURE.
    void start()
    {
        m_skip = missingTool();
        if (!m_skip.isEmpty())
            return;
        m_helper.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_helper.start(QStandardPaths::findExecutable(QStringLiteral("umockdev-wrapper")),
            { QStringLiteral("/usr/bin/python3"),
                QStringLiteral(AMPERO_SOURCE_DIR "/tests/support/upowertestbed.py") });
        ASSERT_TRUE(m_helper.waitForStarted()) << m_helper.errorString().toStdString();
        const QJsonObject hello = readReply();
        if (hello.contains(QLatin1String("skip"))) {
            m_skip = hello.value(QLatin1String("skip")).toString();
            return;
        }
        m_address = hello.value(QLatin1String("bus")).toString();
        m_root = hello.value(QLatin1String("root")).toString();
        m_work = hello.value(QLatin1String("work")).toString();
        ASSERT_FALSE(m_address.isEmpty()) << "the testbed gave no bus address";
        m_bus = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(m_address, m_busName));
        ASSERT_TRUE(m_bus->isConnected()) << m_bus->lastError().message().toStdString();
    }

    const QString& skipReason() const { return m_skip; }

    // Adds /sys/class/power_supply/name; a running daemon learns of it by a uevent.
    void add(const QString& name, const SupplyAttributes& attrs)
    {
        command({ { QStringLiteral("op"), QStringLiteral("add") }, { QStringLiteral("name"), name },
            { QStringLiteral("attrs"), QJsonObject::fromVariantMap(attrs) } });
    }
    // Writes attributes and sends a "change" uevent (none when uevent is false).
    void set(const QString& name, const SupplyAttributes& attrs, bool uevent = true)
    {
        command({ { QStringLiteral("op"), QStringLiteral("set") }, { QStringLiteral("name"), name },
            { QStringLiteral("attrs"), QJsonObject::fromVariantMap(attrs) },
            { QStringLiteral("uevent"), uevent } });
    }
    // Sends "change" uevents for name, rate a second for that long, each
    // after writing the next of values to attribute.
    void burst(
        const QString& name, double seconds, int rate, const QString& attribute, const QStringList& values)
    {
        command({ { QStringLiteral("op"), QStringLiteral("burst") }, { QStringLiteral("name"), name },
            { QStringLiteral("seconds"), seconds }, { QStringLiteral("rate"), rate },
            { QStringLiteral("attr"), attribute },
            { QStringLiteral("values"), QJsonArray::fromStringList(values) } });
    }
    void remove(const QString& name)
    {
        command({ { QStringLiteral("op"), QStringLiteral("remove") }, { QStringLiteral("name"), name } });
    }

    // Starts upowerd over the devices added so far and waits until it holds
    // its name on the bus (it enumerates the devices before). Use with
    // ASSERT_NO_FATAL_FAILURE.
    void startDaemon()
    {
        command({ { QStringLiteral("op"), QStringLiteral("start") } });
        ASSERT_TRUE(QTest::qWaitFor([this] { return daemonAnswers(); }, 20000))
            << "upowerd did not appear on the bus\n"
            << daemonLog().toStdString();
    }
    void stopDaemon() { command({ { QStringLiteral("op"), QStringLiteral("stop") } }); }
    bool daemonAnswers() const { return m_bus && m_bus->interface()->isServiceRegistered(Service).value(); }

    QDBusConnection& bus() { return *m_bus; }
    const QString& address() const { return m_address; }
    // The testbed folder: UMOCKDEV_DIR for a program run over it, and the
    // root of its sysfs tree (ROOT/sys/class/power_supply/NAME).
    const QString& root() const { return m_root; }
    QString sysfs() const { return m_root + QStringLiteral("/sys"); }

    // An environment whose system bus is the testbed's.
    QProcessEnvironment programEnvironment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), m_address);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.remove(QStringLiteral("AMPERO_POWER_SOURCE"));
        return env;
    }
    // Makes proc run program under umockdev-wrapper, so that it sees the
    // testbed's devices in /sys as the daemon does.
    void runOverTestbed(QProcess& proc, const QString& program, const QStringList& args) const
    {
        QProcessEnvironment env = programEnvironment();
        env.insert(QStringLiteral("UMOCKDEV_DIR"), m_root);
        proc.setProcessEnvironment(env);
        proc.setProgram(QStandardPaths::findExecutable(QStringLiteral("umockdev-wrapper")));
        proc.setArguments(QStringList { program } + args);
    }

    QString daemonLog() const
    {
        QFile f(m_work + QStringLiteral("/upowerd.log"));
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }

    void stop()
    {
        m_bus.reset();
        QDBusConnection::disconnectFromBus(m_busName);
        if (m_helper.state() == QProcess::NotRunning)
            return;
        m_helper.closeWriteChannel(); // the helper stops the daemon and the bus and cleans up
        if (!m_helper.waitForFinished(20000)) {
            m_helper.kill();
            m_helper.waitForFinished();
        }
    }

private:
    QJsonObject readReply()
    {
        QElapsedTimer timer;
        timer.start();
        while (!m_helper.canReadLine()) {
            const qint64 left = 20000 - timer.elapsed();
            if (left <= 0 || !m_helper.waitForReadyRead(static_cast<int>(left))) {
                ADD_FAILURE() << "the testbed helper did not answer";
                return {};
            }
        }
        return QJsonDocument::fromJson(m_helper.readLine()).object();
    }

    QJsonObject command(const QJsonObject& cmd)
    {
        m_helper.write(QJsonDocument(cmd).toJson(QJsonDocument::Compact) + '\n');
        const QJsonObject reply = readReply();
        EXPECT_TRUE(reply.value(QLatin1String("ok")).toBool())
            << QJsonDocument(cmd).toJson(QJsonDocument::Compact).toStdString() << ": "
            << reply.value(QLatin1String("error")).toString().toStdString();
        return reply;
    }

    static inline int s_count = 0;
    QString m_busName;
    QProcess m_helper;
    QString m_skip;
    QString m_address;
    QString m_root;
    QString m_work;
    std::unique_ptr<QDBusConnection> m_bus;
};

// A test with its own testbed, skipped with the reason when the tools are
// missing; a failed test prints the daemon's log.
class UPowerDaemonTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(bed.start());
        if (!bed.skipReason().isEmpty())
            GTEST_SKIP() << "no upowerd testbed: " << bed.skipReason().toStdString();
    }
    void TearDown() override
    {
        if (HasFailure())
            std::cerr << "--- upowerd log ---\n" << bed.daemonLog().toStdString() << "--- end of log ---\n";
        bed.stop();
    }

    UPowerTestbed bed;
};

} // namespace ampero::test
