// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "platform/batteryidentity.h"

#include <QString>
#include <cstdint>
#include <optional>

namespace ampero {

// The battery's identity and capacity, read once at start-up.
struct BatteryInfo {
    QString name;
    QString manufacturer;
    BatteryChemistry chemistry = BatteryChemistry::Unknown;
    // mWh, the larger of design and full-charge capacity, cut to the 32 bits
    // the results file keeps; empty when neither is known or both read 0.
    std::optional<uint32_t> capacityMwh;
    std::optional<uint64_t> designVoltageMv; // mV; empty when unknown or read as 0
    QString serial; // empty when unknown; the history keeps only a hash of it
    std::optional<uint64_t> cycleCount; // charge cycles; empty when unknown

    friend bool operator==(const BatteryInfo&, const BatteryInfo&) = default;
};

// Both texts empty, the chemistry and all figures unknown.
void clearBatteryInfo(BatteryInfo& info);

// The battery's record from the portable battery source, then, when no
// capacity came from it, the capacities of the general source. A figure the
// source does not give stays empty. When a source that is asked has no
// battery, the whole record is empty. Never fails.
BatteryInfo combinedBatteryInfo(BatteryIdentitySource& portable, BatteryIdentitySource& general);

// Human name of a chemistry ("Lithium-ion", ...; "Unknown").
QString chemistryName(BatteryChemistry chemistry);

} // namespace ampero
