// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QList>
#include <QString>
#include <QVariant>
#include <optional>

namespace ampero {

// One named property of a battery as the system describes it. An invalid
// (null) QVariant stands for a property the system reports as unknown.
struct BatteryProperty {
    QString name;
    QVariant value;
};
using BatteryProperties = QList<BatteryProperty>;

// One source of battery identity: the properties of the first battery it
// knows, in the order it gives them, under these names and units:
//   "Name", "Manufacturer"           text
//   "Chemistry"                      code: 1 other, 2 unknown, 3 lead acid,
//                                    4 nickel cadmium, 5 nickel metal hydride,
//                                    6 lithium ion, 7 zinc air, 8 lithium polymer
//   "DesignCapacity", "FullChargeCapacity"   mWh, integer
//   "DesignVoltage"                  mV, integer
// A source need not give every property. std::nullopt when the source
// cannot be reached or knows no battery.
class BatteryIdentitySource {
public:
    virtual ~BatteryIdentitySource() = default;
    virtual std::optional<BatteryProperties> firstBattery() = 0;
};

// A source that answers what it is told, for tests.
class FakeBatteryIdentity final : public BatteryIdentitySource {
public:
    std::optional<BatteryProperties> firstBattery() override
    {
        ++calls;
        return battery;
    }
    std::optional<BatteryProperties> battery;
    int calls = 0;
};

} // namespace ampero
