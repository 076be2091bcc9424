// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/dbus/upowerbatteryidentity.h"

#include "platform/dbus/dbusservice.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QFile>
#include <cmath>

namespace ampero {

namespace {

const QString Service = QStringLiteral("org.freedesktop.UPower");
const QString DeviceInterface = QStringLiteral("org.freedesktop.UPower.Device");

constexpr uint32_t KindBattery = 2;

// Wh as an integer number of mWh; empty for missing, 0 or absurd values and
// for a value that is not a double, as the power source reads it too.
std::optional<uint64_t> milli(const QVariantMap& props, const QString& key)
{
    const double v = typed<double>(props.value(key)).value_or(0);
    if (!std::isfinite(v) || v <= 0.0 || v > 4.0e12)
        return std::nullopt;
    return static_cast<uint64_t>(std::llround(v * 1000.0));
}

// voltage_min_design (µV) of the power supply nativePath names, as mV; empty
// when there is no such device or attribute.
std::optional<uint64_t> designVoltage(const QString& sysfs, const QString& nativePath)
{
    QString dir;
    if (!nativePath.isEmpty() && !nativePath.contains(QLatin1Char('/')))
        dir = sysfs + QStringLiteral("/class/power_supply/") + nativePath;
    else if (nativePath.startsWith(QLatin1String("/sys/")))
        dir = sysfs + nativePath.mid(4);
    else
        return std::nullopt; // no kernel device behind it (a Bluetooth battery, say)
    QFile f(dir + QStringLiteral("/voltage_min_design"));
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    bool ok = false;
    const qulonglong uv = f.read(64).trimmed().toULongLong(&ok);
    if (!ok || uv == 0 || uv > 4'000'000'000'000ull)
        return std::nullopt;
    return (uv + 500) / 1000;
}

} // namespace

UPowerBatteryIdentity::UPowerBatteryIdentity(const QDBusConnection& bus, int timeoutMs, QString sysfs)
    : m_bus(bus)
    , m_timeoutMs(timeoutMs)
    , m_sysfs(std::move(sysfs))
{
}

BatteryChemistry UPowerBatteryIdentity::chemistryFromTechnology(uint32_t technology)
{
    switch (technology) {
    case 1:
        return BatteryChemistry::LithiumIon;
    case 2:
        return BatteryChemistry::LithiumPolymer;
    case 3:
        return BatteryChemistry::LithiumIronPhosphate;
    case 4:
        return BatteryChemistry::LeadAcid;
    case 5:
        return BatteryChemistry::NickelCadmium;
    case 6:
        return BatteryChemistry::NickelMetalHydride;
    default:
        return BatteryChemistry::Unknown;
    }
}

std::optional<BatteryIdentity> UPowerBatteryIdentity::firstBattery()
{
    if (!m_bus.isConnected())
        return std::nullopt;
    const QDBusMessage enumerate = QDBusMessage::createMethodCall(
        Service, QStringLiteral("/org/freedesktop/UPower"), Service, QStringLiteral("EnumerateDevices"));
    const QDBusMessage devices = m_bus.call(enumerate, QDBus::Block, m_timeoutMs);
    if (devices.type() != QDBusMessage::ReplyMessage || devices.signature() != QLatin1String("ao"))
        return std::nullopt;
    QList<QDBusObjectPath> paths;
    const QVariant arg = devices.arguments().constFirst();
    if (arg.canConvert<QDBusArgument>())
        arg.value<QDBusArgument>() >> paths;
    else
        paths = qdbus_cast<QList<QDBusObjectPath>>(arg);

    for (const QDBusObjectPath& path : paths) {
        QDBusMessage getAll = QDBusMessage::createMethodCall(Service, path.path(),
            QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("GetAll"));
        getAll << DeviceInterface;
        const QDBusMessage reply = m_bus.call(getAll, QDBus::Block, m_timeoutMs);
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
            continue;
        QVariantMap props;
        const QVariant p = reply.arguments().constFirst();
        if (p.canConvert<QDBusArgument>())
            p.value<QDBusArgument>() >> props;
        else
            props = p.toMap();
        // The rule of the power source: a battery that does not power the
        // system (a peripheral's) or is not in its bay is none of ours, and a
        // value of another type than UPower gives it is unknown.
        if (typed<uint>(props.value(QStringLiteral("Type"))) != KindBattery
            || typed<bool>(props.value(QStringLiteral("PowerSupply"))) != true
            || typed<bool>(props.value(QStringLiteral("IsPresent"))) != true)
            continue;
        const auto text = [&](const char* key) {
            return typed<QString>(props.value(QLatin1String(key))).value_or(QString());
        };

        BatteryIdentity out;
        out.name = text("Model");
        out.manufacturer = text("Vendor");
        out.chemistry
            = chemistryFromTechnology(typed<uint>(props.value(QStringLiteral("Technology"))).value_or(0));
        out.designCapacityMwh = milli(props, QStringLiteral("EnergyFullDesign"));
        out.fullChargeCapacityMwh = milli(props, QStringLiteral("EnergyFull"));
        out.designVoltageMv = designVoltage(m_sysfs, text("NativePath"));
        out.serial = text("Serial");
        // -1 where the battery does not count its cycles.
        if (const auto cycles = typed<int>(props.value(QStringLiteral("ChargeCycles")));
            cycles && *cycles >= 0)
            out.cycleCount = static_cast<uint64_t>(*cycles);
        return out;
    }
    return std::nullopt;
}

} // namespace ampero
