// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/dbus/upowerpowersource.h"

#include "platform/dbus/dbusservice.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <cmath>
#include <optional>

namespace ampero {

namespace {
const QString Service = QStringLiteral("org.freedesktop.UPower");
const QString ManagerPath = QStringLiteral("/org/freedesktop/UPower");
const QString ManagerInterface = QStringLiteral("org.freedesktop.UPower");
const QString DisplayDevicePath = QStringLiteral("/org/freedesktop/UPower/devices/DisplayDevice");
const QString DeviceInterface = QStringLiteral("org.freedesktop.UPower.Device");
const QString PropertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
constexpr int ResumeCheckMs = 5000;
// A stuck service must not freeze the program for D-Bus's default 25 seconds.
constexpr int CallTimeoutMs = 2000;

// UPower's device states.
constexpr uint StateCharging = 1;
constexpr uint StateDischarging = 2;
constexpr uint StateFullyCharged = 4;
constexpr uint StatePendingDischarge = 6;
// UPower's device kind of a laptop battery.
constexpr uint KindBattery = 2;

QDBusMessage call(const QDBusConnection& bus, const QString& path, const QString& iface,
    const QString& method, const QVariantList& args = {})
{
    QDBusMessage msg = QDBusMessage::createMethodCall(Service, path, iface, method);
    msg.setArguments(args);
    return bus.call(msg, QDBus::Block, CallTimeoutMs);
}

// All properties of one interface; empty when the call fails.
QVariantMap getAll(const QDBusConnection& bus, const QString& path, const QString& iface)
{
    const QDBusMessage reply = call(bus, path, PropertiesInterface, QStringLiteral("GetAll"), { iface });
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return {};
    const QVariant arg = reply.arguments().constFirst();
    if (arg.canConvert<QDBusArgument>()) {
        QVariantMap map;
        arg.value<QDBusArgument>() >> map;
        return map;
    }
    return arg.toMap();
}

std::optional<QVariant> getOne(
    const QDBusConnection& bus, const QString& path, const QString& iface, const QString& name)
{
    const QDBusMessage reply = call(bus, path, PropertiesInterface, QStringLiteral("Get"), { iface, name });
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return std::nullopt;
    return reply.arguments().constFirst().value<QDBusVariant>().variant();
}

// The value when it has the D-Bus type UPower gives the property (b as
// bool, d as double, u as uint, x as qlonglong); nullopt for a value of any
// other type, which a malformed reply may carry.
template <typename T> std::optional<T> typed(const QVariant& value)
{
    if (value.metaType() != QMetaType::fromType<T>())
        return std::nullopt;
    return value.value<T>();
}

// A finite value above zero; UPower says 0 for what it does not know.
std::optional<double> positive(const QVariant& value)
{
    const auto v = typed<double>(value);
    if (v && *v > 0 && std::isfinite(*v))
        return v;
    return std::nullopt;
}

} // namespace

UPowerPowerSource::UPowerPowerSource(const QDBusConnection& bus, QObject* parent)
    : PowerSource(parent)
    , m_bus(bus)
{
    if (!m_bus.isConnected())
        return;
    // An empty path subscribes to the signal of every object of the service:
    // the manager (OnBattery), the DisplayDevice and each battery.
    m_bus.connect(Service, QString(), PropertiesInterface, QStringLiteral("PropertiesChanged"), this,
        SLOT(onPropertiesChanged(QString, QVariantMap, QStringList)));
    m_watcher.setConnection(m_bus);
    m_watcher.addWatchedService(Service);
    m_watcher.setWatchMode(QDBusServiceWatcher::WatchForOwnerChange);
    connect(
        &m_watcher, &QDBusServiceWatcher::serviceOwnerChanged, this, &UPowerPowerSource::onDevicesChanged);
    for (const char* signal : { "DeviceAdded", "DeviceRemoved" })
        m_bus.connect(
            Service, ManagerPath, ManagerInterface, QLatin1String(signal), this, SLOT(onDevicesChanged()));
    update(read());
    // A resume is looked for every five seconds on whole-second marks: it
    // is a rare event, and a check each second would wake the program once
    // more a second for the whole of a test.
    m_resumeTimer.setInterval(ResumeCheckMs);
    m_resumeTimer.setTimerType(Qt::VeryCoarseTimer);
    connect(&m_resumeTimer, &QTimer::timeout, this, &UPowerPowerSource::checkForResume);
    m_resumeTimer.start();
}

bool UPowerPowerSource::available() const
{
    return serviceRegistered(m_bus, Service);
}

bool UPowerPowerSource::findsPowerSupply() const
{
    if (!m_bus.isConnected())
        return false;
    const QDBusMessage reply = call(m_bus, ManagerPath, ManagerInterface, QStringLiteral("EnumerateDevices"));
    if (reply.type() != QDBusMessage::ReplyMessage || reply.signature() != QLatin1String("ao"))
        return false;
    QList<QDBusObjectPath> paths;
    reply.arguments().constFirst().value<QDBusArgument>() >> paths;
    return !paths.isEmpty();
}

PowerStatus UPowerPowerSource::read()
{
    PowerStatus s;
    if (!m_bus.isConnected())
        return s;
    const auto onBatteryValue = getOne(m_bus, ManagerPath, ManagerInterface, QStringLiteral("OnBattery"));
    const auto onBattery = onBatteryValue ? typed<bool>(*onBatteryValue) : std::nullopt;
    if (!onBattery)
        return s; // the service does not answer, or not sensibly: everything unknown
    s.line = *onBattery ? PowerLine::Battery : PowerLine::Mains;

    const QVariantMap dev = getAll(m_bus, DisplayDevicePath, DeviceInterface);
    if (typed<bool>(dev.value(QStringLiteral("IsPresent"))) != true)
        return s; // no battery: level unknown

    const auto percent = typed<double>(dev.value(QStringLiteral("Percentage")));
    if (percent && *percent >= 0 && std::isfinite(*percent))
        s.level = static_cast<int>(std::floor(std::min(*percent, 100.0) + 0.5));

    const uint state = typed<uint>(dev.value(QStringLiteral("State"))).value_or(0);
    const bool discharging = state == StateDischarging || state == StatePendingDischarge
        || (state != StateCharging && state != StateFullyCharged && *onBattery);
    if (discharging) {
        // TimeToEmpty of 0 means UPower does not know yet.
        s.timeLeft = PowerStatus::secondsFrom(
            static_cast<double>(typed<qlonglong>(dev.value(QStringLiteral("TimeToEmpty"))).value_or(0)));
        const double full = typed<double>(dev.value(QStringLiteral("EnergyFull"))).value_or(0);
        const double rate = typed<double>(dev.value(QStringLiteral("EnergyRate"))).value_or(0);
        if (full > 0 && rate > 0)
            s.fullLifeTime = PowerStatus::secondsFrom(full / rate * 3600.0);
        s.powerW = positive(dev.value(QStringLiteral("EnergyRate")));
    }
    s.energyFullWh = positive(dev.value(QStringLiteral("EnergyFull")));
    if (s.energyFullWh) {
        const auto energy = typed<double>(dev.value(QStringLiteral("Energy")));
        if (energy && *energy >= 0 && std::isfinite(*energy))
            s.energyWh = energy;
    }
    s.energyFullDesignWh = positive(dev.value(QStringLiteral("EnergyFullDesign")));
    s.voltageV = positive(dev.value(QStringLiteral("Voltage")));
    if (!s.energyFullDesignWh || !s.voltageV)
        readBatteries(s);
    return s;
}

void UPowerPowerSource::readBatteries(PowerStatus& s)
{
    // UPower's DisplayDevice sums energy, full energy and rate, not the
    // design energy and the voltage: those come from the system batteries.
    if (!m_batteryPaths) {
        const QDBusMessage reply
            = call(m_bus, ManagerPath, ManagerInterface, QStringLiteral("EnumerateDevices"));
        if (reply.type() != QDBusMessage::ReplyMessage || reply.signature() != QLatin1String("ao"))
            return;
        QList<QDBusObjectPath> paths;
        reply.arguments().constFirst().value<QDBusArgument>() >> paths;
        m_batteryPaths.emplace();
        for (const auto& path : paths)
            m_batteryPaths->append(path.path());
    }
    double design = 0, volts = 0;
    int batteries = 0;
    bool allDesign = true, allVolts = true;
    for (const QString& path : std::as_const(*m_batteryPaths)) {
        const QVariantMap dev = getAll(m_bus, path, DeviceInterface);
        if (typed<uint>(dev.value(QStringLiteral("Type"))) != KindBattery
            || typed<bool>(dev.value(QStringLiteral("PowerSupply"))) != true)
            continue; // a mouse, a line supply, or no answer
        ++batteries;
        const auto d = positive(dev.value(QStringLiteral("EnergyFullDesign")));
        const auto v = positive(dev.value(QStringLiteral("Voltage")));
        allDesign = allDesign && d;
        allVolts = allVolts && v;
        design += d.value_or(0);
        volts += v.value_or(0);
    }
    if (batteries == 0)
        return;
    if (!s.energyFullDesignWh && allDesign)
        s.energyFullDesignWh = design;
    if (!s.voltageV && allVolts)
        s.voltageV = volts / batteries;
}

void UPowerPowerSource::onDevicesChanged()
{
    m_batteryPaths.reset();
    checkForChange();
}

bool UPowerPowerSource::checkForChange()
{
    return update(read());
}

bool UPowerPowerSource::checkForResume()
{
    if (!resumedSinceLastLook())
        return false;
    return update(read(), Notice::Always);
}

void UPowerPowerSource::onPropertiesChanged(
    const QString& /*interface*/, const QVariantMap& /*changed*/, const QStringList& /*invalidated*/)
{
    checkForChange();
}

} // namespace ampero
