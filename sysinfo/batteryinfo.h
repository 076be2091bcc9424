// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "platform/batteryidentity.h"

#include <QString>
#include <cstdint>

namespace ampero {

// The battery's identity and capacity, read once at start-up.
struct BatteryInfo {
    QString Name;
    QString Manufacturer;
    uint16_t Chemistry = 0; // code, see BatteryIdentitySource
    uint32_t Capacity = 0; // mWh, the larger of design and full-charge capacity
    uint64_t DesignVoltage = 0; // mV

    friend bool operator==(const BatteryInfo&, const BatteryInfo&) = default;
};

// Both texts empty, all numbers 0.
void EmptyBatteryInfo(BatteryInfo& info);

// The battery's record from the portable battery source, then, when no
// capacity came from it, the capacities of the general source. A property
// that is null or does not convert is skipped and its field stays empty.
// When a source that is asked has no battery, the whole record is empty.
// Never fails.
BatteryInfo GetBatteryInfo(BatteryIdentitySource& portable, BatteryIdentitySource& general);

// Human name of a chemistry code ("Lithium-ion", ...); "Unknown" for codes
// without one.
QString chemistryName(uint16_t code);

} // namespace ampero
