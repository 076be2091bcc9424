// SPDX-License-Identifier: GPL-3.0-or-later
#include "sysinfo/batteryinfo.h"

#include <QMetaType>

namespace ampero {

namespace {

// The value as text; false for null.
bool toText(const QVariant& v, QString* out)
{
    if (!v.isValid() || v.isNull())
        return false;
    if (!v.canConvert<QString>())
        return false;
    *out = v.toString();
    return true;
}

// The value as a signed 64-bit integer: integers as they are, texts as
// decimal numbers; false for null, fractions and anything else.
bool toInt64(const QVariant& v, int64_t* out)
{
    if (!v.isValid() || v.isNull())
        return false;
    bool ok = false;
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::SChar:
        *out = v.toLongLong(&ok);
        return ok;
    case QMetaType::UInt:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
    case QMetaType::UShort:
    case QMetaType::UChar: {
        const qulonglong u = v.toULongLong(&ok);
        *out = static_cast<int64_t>(u);
        return ok;
    }
    case QMetaType::QString:
    case QMetaType::QByteArray: {
        const QString s = v.toString().trimmed();
        *out = s.toLongLong(&ok);
        if (!ok)
            *out = static_cast<int64_t>(s.toULongLong(&ok));
        return ok;
    }
    default:
        return false;
    }
}

bool toUInt64(const QVariant& v, uint64_t* out)
{
    if (v.typeId() == QMetaType::QString || v.typeId() == QMetaType::QByteArray) {
        bool ok = false;
        const qulonglong u = v.toString().trimmed().toULongLong(&ok);
        if (ok) {
            *out = u;
            return true;
        }
    }
    int64_t s = 0;
    if (!toInt64(v, &s))
        return false;
    *out = static_cast<uint64_t>(s);
    return true;
}

void takeCapacity(BatteryInfo& info, const QVariant& value)
{
    int64_t x = 0;
    if (!toInt64(value, &x))
        return;
    const auto low = static_cast<uint32_t>(static_cast<uint64_t>(x) & 0xFFFFFFFFu);
    if (low > info.Capacity)
        info.Capacity = low;
}

void takePortable(BatteryInfo& info, const BatteryProperty& p)
{
    if (p.name == QLatin1String("Name")) {
        toText(p.value, &info.Name);
    } else if (p.name == QLatin1String("Manufacturer")) {
        toText(p.value, &info.Manufacturer);
    } else if (p.name == QLatin1String("Chemistry")) {
        int64_t c = 0;
        if (toInt64(p.value, &c))
            info.Chemistry = static_cast<uint16_t>(static_cast<uint64_t>(c) & 0xFFFFu);
    } else if (p.name == QLatin1String("DesignCapacity") || p.name == QLatin1String("FullChargeCapacity")) {
        takeCapacity(info, p.value);
    } else if (p.name == QLatin1String("DesignVoltage")) {
        toUInt64(p.value, &info.DesignVoltage);
    }
}

} // namespace

void EmptyBatteryInfo(BatteryInfo& info)
{
    info.Name.clear();
    info.Manufacturer.clear();
    info.Chemistry = 0;
    info.Capacity = 0;
    info.DesignVoltage = 0;
}

BatteryInfo GetBatteryInfo(BatteryIdentitySource& portable, BatteryIdentitySource& general)
{
    BatteryInfo info;
    const std::optional<BatteryProperties> first = portable.firstBattery();
    if (!first)
        return {};
    for (const BatteryProperty& p : *first)
        takePortable(info, p);
    if (info.Capacity != 0)
        return info;
    const std::optional<BatteryProperties> second = general.firstBattery();
    if (!second)
        return {};
    for (const BatteryProperty& p : *second)
        if (p.name == QLatin1String("DesignCapacity") || p.name == QLatin1String("FullChargeCapacity"))
            takeCapacity(info, p.value);
    return info;
}

QString chemistryName(uint16_t code)
{
    switch (code) {
    case 1:
        return QStringLiteral("Other");
    case 3:
        return QStringLiteral("Lead Acid");
    case 4:
        return QStringLiteral("Nickel Cadmium");
    case 5:
        return QStringLiteral("Nickel Metal Hydride");
    case 6:
        return QStringLiteral("Lithium-ion");
    case 7:
        return QStringLiteral("Zinc air");
    case 8:
        return QStringLiteral("Lithium Polymer");
    default:
        return QStringLiteral("Unknown");
    }
}

} // namespace ampero
