// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/sysfsbatteryidentity.h"
#include "support/testutil.h"
#include "sysinfo/batteryinfo.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace ampero;

namespace {

BatteryProperties props(std::initializer_list<std::pair<const char*, QVariant>> list)
{
    BatteryProperties out;
    for (const auto& [name, value] : list)
        out.append({ QLatin1String(name), value });
    return out;
}

BatteryInfo run(const std::optional<BatteryProperties>& portable,
    const std::optional<BatteryProperties>& general, int* generalCalls = nullptr)
{
    FakeBatteryIdentity p, g;
    p.battery = portable;
    g.battery = general;
    const BatteryInfo info = GetBatteryInfo(p, g);
    if (generalCalls)
        *generalCalls = g.calls;
    return info;
}

} // namespace

TEST(BatteryInfoRules, FullPortableBattery)
{
    int generalCalls = -1;
    const BatteryInfo info
        = run(props({ { "Name", QStringLiteral("DELL 5YHR4") }, { "Manufacturer", QStringLiteral("SMP") },
                  { "Chemistry", 6 }, { "DesignCapacity", 48000 }, { "FullChargeCapacity", 41000 },
                  { "DesignVoltage", QStringLiteral("11400") }, { "Status", QStringLiteral("OK") } }),
            std::nullopt, &generalCalls);
    EXPECT_EQ(info.Name, QStringLiteral("DELL 5YHR4"));
    EXPECT_EQ(info.Manufacturer, QStringLiteral("SMP"));
    EXPECT_EQ(info.Chemistry, 6);
    EXPECT_EQ(info.Capacity, 48000u);
    EXPECT_EQ(info.DesignVoltage, 11400u);
    EXPECT_EQ(generalCalls, 0);
}

TEST(BatteryInfoRules, CapacityIsTheLargerValue)
{
    const struct {
        const char* what;
        QVariant design, full;
        uint32_t capacity;
    } rows[] = {
        { "design larger", 48000, 41000, 48000 },
        { "design 0", 0, 41000, 41000 },
        { "full larger", 41000, 52000, 52000 },
        { "decimal text", QStringLiteral("48000"), QStringLiteral("41000"), 48000 },
        { "64-bit value keeps its low 32 bits", QVariant::fromValue<qulonglong>(0x100000000ull + 5), 3, 5 },
        { "negative reads as a large unsigned", -1, 41000, 0xFFFFFFFFu },
        { "one null", QVariant(), 41000, 41000 },
        { "a text that is not a number is skipped", QStringLiteral("lots"), 41000, 41000 },
    };
    for (const auto& r : rows) {
        const BatteryInfo info
            = run(props({ { "DesignCapacity", r.design }, { "FullChargeCapacity", r.full } }), std::nullopt);
        EXPECT_EQ(info.Capacity, r.capacity) << r.what;
    }
}

TEST(BatteryInfoRules, NullCapacitiesFallThroughToTheGeneralBattery)
{
    int generalCalls = 0;
    const BatteryInfo info = run(props({ { "Name", QStringLiteral("BAT0") }, { "DesignCapacity", QVariant() },
                                     { "FullChargeCapacity", QVariant() } }),
        props({ { "Name", QStringLiteral("ignored") }, { "FullChargeCapacity", 52000 },
            { "DesignVoltage", 9 } }),
        &generalCalls);
    EXPECT_EQ(generalCalls, 1);
    EXPECT_EQ(info.Capacity, 52000u);
    EXPECT_EQ(info.Name, QStringLiteral("BAT0")); // texts from the first phase stay
    EXPECT_EQ(info.DesignVoltage, 0u); // only capacities are taken from the second
}

TEST(BatteryInfoRules, NullNameStillCollectsTheRest)
{
    const BatteryInfo info = run(props({ { "Name", QVariant() }, { "Manufacturer", QStringLiteral("LGC") },
                                     { "DesignCapacity", 50000 } }),
        std::nullopt);
    EXPECT_TRUE(info.Name.isEmpty());
    EXPECT_EQ(info.Manufacturer, QStringLiteral("LGC"));
    EXPECT_EQ(info.Capacity, 50000u);
}

TEST(BatteryInfoRules, FailuresEmptyTheRecord)
{
    int generalCalls = -1;
    EXPECT_EQ(run(std::nullopt, props({ { "FullChargeCapacity", 52000 } }), &generalCalls), BatteryInfo {});
    EXPECT_EQ(generalCalls, 0); // no portable battery: the general one is not asked

    // Phase 1 texts are discarded when the general battery is missing too.
    EXPECT_EQ(run(props({ { "Name", QStringLiteral("BAT0") }, { "Manufacturer", QStringLiteral("SMP") } }),
                  std::nullopt),
        BatteryInfo {});
}

TEST(BatteryInfoRules, EmptyBatteryInfoClearsEverything)
{
    BatteryInfo info { QStringLiteral("a"), QStringLiteral("b"), 6, 48000, 11400 };
    EmptyBatteryInfo(info);
    EXPECT_EQ(info, BatteryInfo {});
    EXPECT_EQ(chemistryName(6), QStringLiteral("Lithium-ion"));
    EXPECT_EQ(chemistryName(99), QStringLiteral("Unknown"));
}

namespace {

// Writes one power supply folder with the given attribute files.
void supply(const QTemporaryDir& root, const QString& name,
    std::initializer_list<std::pair<const char*, QByteArray>> attrs)
{
    QDir(root.path()).mkpath(name);
    for (const auto& [file, value] : attrs)
        test::writeFile(root, name + QLatin1Char('/') + QLatin1String(file), value + '\n');
}

} // namespace

TEST(SysfsBatteryIdentity, EnergyAndChargeBatteries)
{
    {
        QTemporaryDir root;
        supply(root, QStringLiteral("AC"), { { "type", "Mains" }, { "online", "1" } });
        supply(root, QStringLiteral("BAT0"),
            { { "type", "Battery" }, { "energy_full_design", "48000000" }, { "energy_full", "41000000" } });
        SysfsBatteryIdentity sysfs(root.path());
        const auto p = sysfs.firstBattery();
        ASSERT_TRUE(p);
        FakeBatteryIdentity none;
        none.battery = BatteryProperties {};
        const BatteryInfo info = GetBatteryInfo(none, sysfs);
        EXPECT_EQ(info.Capacity, 48000u);
    }
    {
        QTemporaryDir root;
        // 4400 mAh at 11.1 V is 48840 mWh; the full charge 3900 mAh is 43290 mWh.
        supply(root, QStringLiteral("BAT1"),
            { { "type", "Battery" }, { "charge_full_design", "4400000" }, { "charge_full", "3900000" },
                { "voltage_min_design", "11100000" } });
        const auto p = SysfsBatteryIdentity(root.path()).firstBattery();
        ASSERT_TRUE(p);
        ASSERT_EQ(p->size(), 2);
        EXPECT_EQ(p->at(0).value.toULongLong(), 48840u);
        EXPECT_EQ(p->at(1).value.toULongLong(), 43290u);
    }
}

TEST(SysfsBatteryIdentity, WhichSupplyCounts)
{
    {
        QTemporaryDir root;
        supply(root, QStringLiteral("hidpp_battery_0"),
            { { "type", "Battery" }, { "scope", "Device" }, { "energy_full", "1000000" } });
        supply(root, QStringLiteral("AC"), { { "type", "Mains" } });
        EXPECT_FALSE(SysfsBatteryIdentity(root.path()).firstBattery())
            << "a mouse battery is not the laptop's";
    }
    {
        QTemporaryDir root;
        supply(root, QStringLiteral("BAT0"), { { "type", "Battery" }, { "energy_full", "garbage" } });
        const auto p = SysfsBatteryIdentity(root.path()).firstBattery();
        ASSERT_TRUE(p);
        EXPECT_FALSE(p->at(0).value.isValid());
        EXPECT_FALSE(p->at(1).value.isValid());
    }
    EXPECT_FALSE(SysfsBatteryIdentity(QStringLiteral("/nonexistent/power_supply")).firstBattery());
}
