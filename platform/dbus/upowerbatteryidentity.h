// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "platform/batteryidentity.h"

#include <QDBusConnection>

namespace ampero {

// The first battery that UPower (org.freedesktop.UPower on the given bus)
// enumerates: a device of type battery that powers the system and is
// present. Gives
//   name <- Model, manufacturer <- Vendor, chemistry <- Technology,
//   design capacity <- EnergyFullDesign, full-charge capacity <- EnergyFull
//   (Wh as mWh, rounded).
// The design voltage comes from the kernel, as UPower does not export it: the
// attribute voltage_min_design (µV, given in mV, rounded) of the power
// supply that NativePath names (a name under class/power_supply, or a path
// under /sys); UPower's Voltage is the present voltage, not the design one.
// A property the device lacks or gives with another type than UPower's, an
// energy of 0 (UPower's "unknown") and a design voltage that cannot be read
// are left empty.
class UPowerBatteryIdentity final : public BatteryIdentitySource {
public:
    // sysfs is where the kernel's /sys is read (tests pass a simulated one).
    explicit UPowerBatteryIdentity(const QDBusConnection& bus = QDBusConnection::systemBus(),
        int timeoutMs = 5000, QString sysfs = QStringLiteral("/sys"));
    std::optional<BatteryIdentity> firstBattery() override;

    // UPower's Technology value as a chemistry.
    static BatteryChemistry chemistryFromTechnology(uint32_t technology);

private:
    QDBusConnection m_bus;
    int m_timeoutMs;
    QString m_sysfs;
};

} // namespace ampero
