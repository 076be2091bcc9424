// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "platform/batteryidentity.h"

#include <QDBusConnection>

namespace ampero {

// The first battery that UPower (org.freedesktop.UPower on the given bus)
// enumerates: a device of type battery that powers the system. Gives
//   "Name" <- Model, "Manufacturer" <- Vendor,
//   "Chemistry" <- Technology (UPower's codes mapped to the chemistry codes),
//   "DesignCapacity" <- EnergyFullDesign, "FullChargeCapacity" <- EnergyFull
//   (Wh as mWh, rounded), "DesignVoltage" <- Voltage (V as mV, rounded).
// A property the device lacks, and an energy or voltage of 0 (UPower's
// "unknown"), is given as null.
class UPowerBatteryIdentity final : public BatteryIdentitySource {
public:
    explicit UPowerBatteryIdentity(
        const QDBusConnection& bus = QDBusConnection::systemBus(), int timeoutMs = 5000);
    std::optional<BatteryProperties> firstBattery() override;

    // UPower's Technology value as a chemistry code.
    static uint16_t chemistryFromTechnology(uint32_t technology);

private:
    QDBusConnection m_bus;
    int m_timeoutMs;
};

} // namespace ampero
