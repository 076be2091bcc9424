// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QString>
#include <cstdint>
#include <optional>

namespace ampero {

// What a battery's cells are made of.
enum class BatteryChemistry {
    Unknown,
    LithiumIon,
    LithiumPolymer,
    LithiumIronPhosphate,
    LeadAcid,
    NickelCadmium,
    NickelMetalHydride,
};

// One battery as the system describes it. An empty text or an empty figure
// is one the system does not give.
struct BatteryIdentity {
    QString name;
    QString manufacturer;
    BatteryChemistry chemistry = BatteryChemistry::Unknown;
    std::optional<uint64_t> designCapacityMwh;
    std::optional<uint64_t> fullChargeCapacityMwh;
    std::optional<uint64_t> designVoltageMv;
    // The serial number, for telling batteries apart in the history (which
    // keeps only a hash of it); the charge cycles counted so far.
    QString serial;
    std::optional<uint64_t> cycleCount;

    friend bool operator==(const BatteryIdentity&, const BatteryIdentity&) = default;
};

// One source of battery identity: the first battery it knows. std::nullopt
// when the source cannot be reached or knows no battery.
class BatteryIdentitySource {
public:
    virtual ~BatteryIdentitySource() = default;
    virtual std::optional<BatteryIdentity> firstBattery() = 0;
};

// A source that answers what it is told, for tests.
class FakeBatteryIdentity final : public BatteryIdentitySource {
public:
    std::optional<BatteryIdentity> firstBattery() override
    {
        ++calls;
        return battery;
    }
    std::optional<BatteryIdentity> battery;
    int calls = 0;
};

} // namespace ampero
