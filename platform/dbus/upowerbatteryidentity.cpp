// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/dbus/upowerbatteryidentity.h"

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

// Wh as an integer number of mWh; null for missing, 0 or absurd values.
QVariant milli(const QVariantMap& props, const QString& key)
{
    const auto it = props.constFind(key);
    if (it == props.constEnd())
        return {};
    bool ok = false;
    const double v = it->toDouble(&ok);
    if (!ok || !std::isfinite(v) || v <= 0.0 || v > 4.0e12)
        return {};
    return QVariant::fromValue<qulonglong>(static_cast<qulonglong>(std::llround(v * 1000.0)));
}

// voltage_min_design (µV) of the power supply nativePath names, as mV; null
// when there is no such device or attribute.
QVariant designVoltage(const QString& sysfs, const QString& nativePath)
{
    QString dir;
    if (!nativePath.isEmpty() && !nativePath.contains(QLatin1Char('/')))
        dir = sysfs + QStringLiteral("/class/power_supply/") + nativePath;
    else if (nativePath.startsWith(QLatin1String("/sys/")))
        dir = sysfs + nativePath.mid(4);
    else
        return {}; // no kernel device behind it (a Bluetooth battery, say)
    QFile f(dir + QStringLiteral("/voltage_min_design"));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    bool ok = false;
    const qulonglong uv = f.read(64).trimmed().toULongLong(&ok);
    if (!ok || uv == 0 || uv > 4'000'000'000'000ull)
        return {};
    return QVariant::fromValue<qulonglong>((uv + 500) / 1000);
}

QVariant text(const QVariantMap& props, const QString& key)
{
    const auto it = props.constFind(key);
    if (it == props.constEnd())
        return {};
    return QVariant(it->toString());
}

} // namespace

UPowerBatteryIdentity::UPowerBatteryIdentity(const QDBusConnection& bus, int timeoutMs, QString sysfs)
    : m_bus(bus)
    , m_timeoutMs(timeoutMs)
    , m_sysfs(std::move(sysfs))
{
}

uint16_t UPowerBatteryIdentity::chemistryFromTechnology(uint32_t technology)
{
    switch (technology) {
    case 1:
        return 6; // lithium ion
    case 2:
        return 8; // lithium polymer
    case 3:
        return 1; // lithium iron phosphate: other
    case 4:
        return 3; // lead acid
    case 5:
        return 4; // nickel cadmium
    case 6:
        return 5; // nickel metal hydride
    default:
        return 2; // unknown
    }
}

std::optional<BatteryProperties> UPowerBatteryIdentity::firstBattery()
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
        if (props.value(QStringLiteral("Type")).toUInt() != KindBattery)
            continue;
        // A battery that does not power the system (a peripheral's) is not ours.
        if (props.contains(QStringLiteral("PowerSupply"))
            && !props.value(QStringLiteral("PowerSupply")).toBool())
            continue;

        BatteryProperties out;
        out.append({ QStringLiteral("Name"), text(props, QStringLiteral("Model")) });
        out.append({ QStringLiteral("Manufacturer"), text(props, QStringLiteral("Vendor")) });
        const auto tech = props.constFind(QStringLiteral("Technology"));
        out.append({ QStringLiteral("Chemistry"),
            tech == props.constEnd() ? QVariant()
                                     : QVariant::fromValue<uint>(chemistryFromTechnology(tech->toUInt())) });
        out.append({ QStringLiteral("DesignCapacity"), milli(props, QStringLiteral("EnergyFullDesign")) });
        out.append({ QStringLiteral("FullChargeCapacity"), milli(props, QStringLiteral("EnergyFull")) });
        out.append({ QStringLiteral("DesignVoltage"),
            designVoltage(m_sysfs, props.value(QStringLiteral("NativePath")).toString()) });
        return out;
    }
    return std::nullopt;
}

} // namespace ampero
