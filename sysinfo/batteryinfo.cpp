// SPDX-License-Identifier: GPL-3.0-or-later
#include "sysinfo/batteryinfo.h"

namespace ampero {

namespace {

void takeCapacity(BatteryInfo& info, std::optional<uint64_t> mwh)
{
    if (!mwh)
        return;
    // A value beyond 32 bits keeps its low ones, as the results file does.
    const auto low = static_cast<uint32_t>(*mwh & 0xFFFFFFFFu);
    if (low > info.capacityMwh.value_or(0))
        info.capacityMwh = low;
}

} // namespace

void clearBatteryInfo(BatteryInfo& info)
{
    info = BatteryInfo {};
}

BatteryInfo combinedBatteryInfo(BatteryIdentitySource& portable, BatteryIdentitySource& general)
{
    const std::optional<BatteryIdentity> first = portable.firstBattery();
    if (!first)
        return {};
    BatteryInfo info;
    info.name = first->name;
    info.manufacturer = first->manufacturer;
    info.chemistry = first->chemistry;
    info.serial = first->serial;
    info.cycleCount = first->cycleCount;
    takeCapacity(info, first->designCapacityMwh);
    takeCapacity(info, first->fullChargeCapacityMwh);
    if (first->designVoltageMv && *first->designVoltageMv != 0)
        info.designVoltageMv = first->designVoltageMv;
    if (info.capacityMwh)
        return info;
    const std::optional<BatteryIdentity> second = general.firstBattery();
    if (!second)
        return {};
    takeCapacity(info, second->designCapacityMwh);
    takeCapacity(info, second->fullChargeCapacityMwh);
    return info;
}

QString chemistryName(BatteryChemistry chemistry)
{
    switch (chemistry) {
    case BatteryChemistry::LithiumIon:
        return QStringLiteral("Lithium-ion");
    case BatteryChemistry::LithiumPolymer:
        return QStringLiteral("Lithium Polymer");
    case BatteryChemistry::LithiumIronPhosphate:
        return QStringLiteral("Lithium Iron Phosphate");
    case BatteryChemistry::LeadAcid:
        return QStringLiteral("Lead Acid");
    case BatteryChemistry::NickelCadmium:
        return QStringLiteral("Nickel Cadmium");
    case BatteryChemistry::NickelMetalHydride:
        return QStringLiteral("Nickel Metal Hydride");
    case BatteryChemistry::Unknown:
        break;
    }
    return QStringLiteral("Unknown");
}

} // namespace ampero
