// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "platform/batteryidentity.h"

namespace ampero {

// The first battery (by directory name) among the kernel's power supplies in
// folder (normally /sys/class/power_supply) that powers the system: type
// "Battery", scope not "Device" and present not "0". Gives the design and full-charge
// capacities in mWh, from energy_full_design and energy_full (µWh), or from
// charge_full_design and charge_full (µAh) times voltage_min_design (µV); a
// value that is missing or unreadable is left empty.
class SysfsBatteryIdentity final : public BatteryIdentitySource {
public:
    explicit SysfsBatteryIdentity(QString folder = QStringLiteral("/sys/class/power_supply"));
    std::optional<BatteryIdentity> firstBattery() override;

private:
    QString m_folder;
};

} // namespace ampero
