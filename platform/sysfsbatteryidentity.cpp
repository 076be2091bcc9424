// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/sysfsbatteryidentity.h"

#include "platform/kernelfile.h"

#include <QDir>

namespace ampero {

namespace {

// Never blocks: a FIFO or anything else that is not a regular file reads as empty.
QByteArray readAttribute(const QString& dir, const char* name)
{
    return readKernelFile(dir + QLatin1Char('/') + QLatin1String(name)).value_or(QByteArray()).trimmed();
}

// A whole, non-negative number as the kernel writes one; a NUL byte or any
// other stray character makes it unknown.
std::optional<qulonglong> readNumber(const QString& dir, const char* name)
{
    const auto bytes = readKernelFile(dir + QLatin1Char('/') + QLatin1String(name));
    const auto v = bytes ? parseKernelNumber(*bytes) : std::nullopt;
    if (!v || *v < 0)
        return std::nullopt;
    return static_cast<qulonglong>(*v);
}

// energy_<what> in µWh, else charge_<what> (µAh) × voltage_min_design (µV), as mWh.
std::optional<uint64_t> capacityMwh(const QString& dir, const char* energy, const char* charge)
{
    if (const auto uwh = readNumber(dir, energy))
        return *uwh / 1000u;
    const auto uah = readNumber(dir, charge);
    const auto uv = readNumber(dir, "voltage_min_design");
    if (!uah || !uv)
        return std::nullopt;
    // µAh × µV = 10^-12 Wh; kept in long double so no product overflows.
    const long double mwh = static_cast<long double>(*uah) * static_cast<long double>(*uv) / 1e9L;
    if (mwh >= 1.8e19L)
        return std::nullopt;
    return static_cast<uint64_t>(mwh);
}

} // namespace

SysfsBatteryIdentity::SysfsBatteryIdentity(QString folder)
    : m_folder(std::move(folder))
{
}

std::optional<BatteryIdentity> SysfsBatteryIdentity::firstBattery()
{
    const QDir dir(m_folder);
    const QStringList names = dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::System, QDir::Name);
    for (const QString& name : names) {
        const QString path = dir.filePath(name);
        if (readAttribute(path, "type") != "Battery")
            continue;
        if (readAttribute(path, "scope") == "Device" || readAttribute(path, "present") == "0")
            continue; // a mouse's or headset's battery, or an empty bay
        BatteryIdentity battery;
        battery.designCapacityMwh = capacityMwh(path, "energy_full_design", "charge_full_design");
        battery.fullChargeCapacityMwh = capacityMwh(path, "energy_full", "charge_full");
        battery.serial = QString::fromUtf8(readAttribute(path, "serial_number"));
        battery.cycleCount = readNumber(path, "cycle_count");
        return battery;
    }
    return std::nullopt;
}

} // namespace ampero
