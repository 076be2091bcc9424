// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/sysfsbatteryidentity.h"
#include "support/testutil.h"
#include "sysinfo/batteryinfo.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace ampero;

namespace {

BatteryInfo run(const std::optional<BatteryIdentity>& portable, const std::optional<BatteryIdentity>& general,
    int* generalCalls = nullptr)
{
    FakeBatteryIdentity p, g;
    p.battery = portable;
    g.battery = general;
    const BatteryInfo info = combinedBatteryInfo(p, g);
    if (generalCalls)
        *generalCalls = g.calls;
    return info;
}

BatteryIdentity capacities(std::optional<uint64_t> design, std::optional<uint64_t> full)
{
    BatteryIdentity b;
    b.designCapacityMwh = design;
    b.fullChargeCapacityMwh = full;
    return b;
}

} // namespace

TEST(BatteryInfoRules, FullPortableBattery)
{
    int generalCalls = -1;
    const BatteryInfo info = run(BatteryIdentity { QStringLiteral("DELL 5YHR4"), QStringLiteral("SMP"),
                                     BatteryChemistry::LithiumIon, 48000, 41000, 11400, {}, {} },
        std::nullopt, &generalCalls);
    EXPECT_EQ(info.name, QStringLiteral("DELL 5YHR4"));
    EXPECT_EQ(info.manufacturer, QStringLiteral("SMP"));
    EXPECT_EQ(info.chemistry, BatteryChemistry::LithiumIon);
    EXPECT_EQ(info.capacityMwh, 48000u);
    EXPECT_EQ(info.designVoltageMv, 11400u);
    EXPECT_EQ(generalCalls, 0);
}

TEST(BatteryInfoRules, CapacityIsTheLargerValue)
{
    const struct {
        const char* what;
        std::optional<uint64_t> design, full;
        std::optional<uint32_t> capacity;
    } rows[] = {
        { "design larger", 48000, 41000, 48000 },
        { "design 0", 0, 41000, 41000 },
        { "full larger", 41000, 52000, 52000 },
        { "64-bit value keeps its low 32 bits", 0x100000000ull + 5, 3, 5 },
        { "one unknown", std::nullopt, 41000, 41000 },
        { "both 0", 0, 0, std::nullopt },
    };
    for (const auto& r : rows)
        EXPECT_EQ(run(capacities(r.design, r.full), std::nullopt).capacityMwh, r.capacity) << r.what;
}

TEST(BatteryInfoRules, UnknownCapacitiesFallThroughToTheGeneralBattery)
{
    int generalCalls = 0;
    BatteryIdentity portable;
    portable.name = QStringLiteral("BAT0");
    BatteryIdentity general = capacities(std::nullopt, 52000);
    general.name = QStringLiteral("ignored");
    general.designVoltageMv = 9;
    const BatteryInfo info = run(portable, general, &generalCalls);
    EXPECT_EQ(generalCalls, 1);
    EXPECT_EQ(info.capacityMwh, 52000u);
    EXPECT_EQ(info.name, QStringLiteral("BAT0")); // texts from the first phase stay
    EXPECT_EQ(info.designVoltageMv, std::nullopt); // only capacities are taken from the second
}

TEST(BatteryInfoRules, FailuresEmptyTheRecord)
{
    int generalCalls = -1;
    EXPECT_EQ(run(std::nullopt, capacities(std::nullopt, 52000), &generalCalls), BatteryInfo {});
    EXPECT_EQ(generalCalls, 0); // no portable battery: the general one is not asked

    // Phase 1 texts are discarded when the general battery is missing too.
    EXPECT_EQ(run(BatteryIdentity { QStringLiteral("BAT0"), QStringLiteral("SMP"),
                      BatteryChemistry::LithiumIon, std::nullopt, std::nullopt, std::nullopt, {}, {} },
                  std::nullopt),
        BatteryInfo {});
}

TEST(BatteryInfoRules, EveryChemistryHasItsOwnName)
{
    const BatteryChemistry all[] = { BatteryChemistry::Unknown, BatteryChemistry::LithiumIon,
        BatteryChemistry::LithiumPolymer, BatteryChemistry::LithiumIronPhosphate, BatteryChemistry::LeadAcid,
        BatteryChemistry::NickelCadmium, BatteryChemistry::NickelMetalHydride };
    QStringList names;
    for (const BatteryChemistry c : all)
        names << chemistryName(c);
    EXPECT_EQ(names.removeDuplicates(), 0) << names.join(QLatin1Char(',')).toStdString();
    EXPECT_EQ(chemistryName(BatteryChemistry::LithiumIon), QStringLiteral("Lithium-ion"));
    EXPECT_EQ(chemistryName(BatteryChemistry::Unknown), QStringLiteral("Unknown"));
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
        none.battery = BatteryIdentity {};
        const BatteryInfo info = combinedBatteryInfo(none, sysfs);
        EXPECT_EQ(info.capacityMwh, 48000u);
    }
    {
        QTemporaryDir root;
        // 4400 mAh at 11.1 V is 48840 mWh; the full charge 3900 mAh is 43290 mWh.
        supply(root, QStringLiteral("BAT1"),
            { { "type", "Battery" }, { "charge_full_design", "4400000" }, { "charge_full", "3900000" },
                { "voltage_min_design", "11100000" } });
        const auto p = SysfsBatteryIdentity(root.path()).firstBattery();
        ASSERT_TRUE(p);
        EXPECT_EQ(p->designCapacityMwh, 48840u);
        EXPECT_EQ(p->fullChargeCapacityMwh, 43290u);
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
        // An empty bay counts for nothing: the identity is the next battery's.
        QTemporaryDir root;
        supply(root, QStringLiteral("BAT0"),
            { { "type", "Battery" }, { "present", "0" }, { "energy_full_design", "90000000" } });
        supply(root, QStringLiteral("BAT1"),
            { { "type", "Battery" }, { "present", "1" }, { "energy_full_design", "48000000" } });
        const auto p = SysfsBatteryIdentity(root.path()).firstBattery();
        ASSERT_TRUE(p);
        EXPECT_EQ(p->designCapacityMwh, 48000u);
    }
    {
        QTemporaryDir root;
        // Garbage, a NUL byte inside a number and a FIFO are unknown; the
        // FIFO must not block the read.
        supply(root, QStringLiteral("BAT0"),
            { { "type", "Battery" }, { "energy_full", "garbage" },
                { "energy_full_design",
                    QByteArray("4000\0"
                               "000",
                        8) } });
        ASSERT_EQ(
            ::mkfifo(QFile::encodeName(root.filePath(QStringLiteral("BAT0/model_name"))).constData(), 0600),
            0);
        const auto p = SysfsBatteryIdentity(root.path()).firstBattery();
        ASSERT_TRUE(p);
        EXPECT_FALSE(p->designCapacityMwh);
        EXPECT_FALSE(p->fullChargeCapacityMwh);
        EXPECT_TRUE(p->name.isEmpty());
    }
    EXPECT_FALSE(SysfsBatteryIdentity(QStringLiteral("/nonexistent/power_supply")).firstBattery());
}
