// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/kernelfile.h"
#include "platform/sysfspowersource.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <cctype>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <sys/stat.h>
#include <vector>

using namespace ampero;

namespace {

using Attributes = std::map<std::string, std::string>;

struct Supply {
    std::string name;
    Attributes attributes;
};

// Writes a power-supply folder as the kernel lays it out: one folder per
// supply, one file per attribute, each value ending in a newline.
void writeSupply(const QString& root, const Supply& s)
{
    const QString dir = root + QLatin1Char('/') + QString::fromStdString(s.name);
    ASSERT_TRUE(QDir().mkpath(dir));
    for (const auto& [key, value] : s.attributes) {
        QFile f(dir + QLatin1Char('/') + QString::fromStdString(key));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(QByteArray::fromStdString(value + "\n"));
    }
}

void writeTree(const QString& root, const std::vector<Supply>& supplies)
{
    for (const auto& s : supplies)
        writeSupply(root, s);
}

Supply mains(bool online)
{
    return { "AC", { { "type", "Mains" }, { "online", online ? "1" : "0" } } };
}

Supply energyBattery(const std::string& name, long long now, long long full, long long power,
    const std::string& status = "Discharging")
{
    return { name,
        { { "type", "Battery" }, { "scope", "System" }, { "present", "1" }, { "status", status },
            { "energy_now", std::to_string(now) }, { "energy_full", std::to_string(full) },
            { "power_now", std::to_string(power) } } };
}

using namespace std::chrono_literals;
using namespace std::string_literals;
constexpr PowerLine B = PowerLine::Battery;
constexpr PowerLine M = PowerLine::Mains;
constexpr std::nullopt_t N = std::nullopt;

// The four figures every tree gives; the energy figures have tests of their own.
struct Expected {
    PowerLine line;
    std::optional<int> level;
    std::optional<std::chrono::seconds> timeLeft;
    std::optional<std::chrono::seconds> fullLifeTime;
};

struct TreeCase {
    const char* name;
    std::vector<Supply> supplies;
    Expected expected;
};

void PrintTo(const TreeCase& c, std::ostream* os)
{
    *os << c.name;
}

class SysfsTree : public ::testing::TestWithParam<TreeCase> { };

TEST_P(SysfsTree, ReportsCombinedStatus)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    writeTree(dir.path(), GetParam().supplies);
    SysfsPowerSource source(dir.path(), 0);
    const PowerStatus s = source.status();
    const Expected& e = GetParam().expected;
    EXPECT_EQ(s.line, e.line);
    EXPECT_EQ(s.level, e.level);
    EXPECT_EQ(s.timeLeft, e.timeLeft);
    EXPECT_EQ(s.fullLifeTime, e.fullLifeTime);
}

// The battery with one attribute set to value, and a capacity of 37 %.
Supply withCapacity(Supply s, const std::string& key, const std::string& value)
{
    s.attributes[key] = value;
    s.attributes.emplace("capacity", "37");
    return s;
}

// Energies in µWh, powers in µW, charges in µAh, currents in µA, voltages in µV.
const TreeCase kTrees[] = {
    { "OneBatteryOnBattery", { mains(false), energyBattery("BAT0", 30000000, 60000000, 10000000) },
        { B, 50, 10800s, 21600s } },
    { "OneBatteryKernelTimeToEmptyWins",
        { mains(false),
            { "BAT0",
                { { "type", "Battery" }, { "status", "Discharging" }, { "energy_now", "30000000" },
                    { "energy_full", "60000000" }, { "power_now", "10000000" },
                    { "time_to_empty_now", "5000" } } } },
        { B, 50, 5000s, 21600s } },
    { "TwoBatteriesCombinedByEnergyNotByAverage",
        { mains(false), energyBattery("BAT0", 45000000, 50000000, 5000000),
            energyBattery("BAT1", 5000000, 20000000, 5000000) },
        { B, 71, 18000s, 25200s } },
    { "ChargeOnlyBatteryUsesDesignVoltage",
        { mains(false),
            { "BAT0",
                { { "type", "Battery" }, { "status", "Discharging" }, { "charge_now", "2000000" },
                    { "charge_full", "4000000" }, { "current_now", "1000000" },
                    { "voltage_min_design", "11100000" }, { "voltage_now", "12400000" } } } },
        { B, 50, 7200s, 14400s } },
    { "ChargeBatteryWeighedWithEnergyBattery",
        // BAT1: 2 Ah at a design 10 V = 20 Wh full and 20 Wh left; voltage_now
        // (5 V) would weigh it half as much and give 33 %.
        { mains(false), energyBattery("BAT0", 0, 20000000, 0),
            { "BAT1",
                { { "type", "Battery" }, { "status", "Discharging" }, { "charge_now", "2000000" },
                    { "charge_full", "2000000" }, { "voltage_min_design", "10000000" },
                    { "voltage_now", "5000000" } } } },
        { B, 50, N, N } },
    { "PeripheralBatterySkipped",
        { mains(false), energyBattery("BAT0", 40000000, 50000000, 0),
            { "hidpp_battery_0",
                { { "type", "Battery" }, { "scope", "Device" }, { "status", "Discharging" },
                    { "capacity", "5" } } } },
        { B, 80, N, N } },
    { "AbsentBatterySkipped",
        { mains(false), energyBattery("BAT0", 40000000, 50000000, 0),
            { "BAT1",
                { { "type", "Battery" }, { "present", "0" }, { "energy_now", "0" },
                    { "energy_full", "50000000" } } } },
        { B, 80, N, N } },
    { "NoSupplyAtAll", {}, { M, N, N, N } },
    { "NoBatteryMainsOnline", { mains(true) }, { M, N, N, N } },
    { "OnlyPeripheral",
        { { "hid-mouse", { { "type", "Battery" }, { "scope", "Device" }, { "capacity", "60" } } } },
        { M, N, N, N } },
    { "AcOnlineChargingHasNoTimes",
        { mains(true), energyBattery("BAT0", 30000000, 60000000, 10000000, "Charging") }, { M, 50, N, N } },
    { "UsbLineOnline",
        { { "ucsi-source-psy-1", { { "type", "USB" }, { "online", "1" } } }, mains(false),
            energyBattery("BAT0", 30000000, 60000000, 0, "Charging") },
        { M, 50, N, N } },
    { "NoLineSupplyBatteryDischarging", { energyBattery("BAT0", 30000000, 60000000, 10000000) },
        { B, 50, 10800s, 21600s } },
    { "NoLineSupplyBatteryFull", { energyBattery("BAT0", 60000000, 60000000, 0, "Full") }, { M, 100, N, N } },
    { "NoLineSupplyUnknownState", { energyBattery("BAT0", 60000000, 60000000, 0, "Unknown") },
        { PowerLine::Unknown, 100, N, N } },
    { "CapacityOnlyBattery",
        { mains(false),
            { "BAT0", { { "type", "Battery" }, { "status", "Discharging" }, { "capacity", "42" } } } },
        { B, 42, N, N } },
    { "GarbageEnergyFallsBackToCapacity",
        { mains(false),
            { "BAT0",
                { { "type", "Battery" }, { "status", "Discharging" }, { "energy_now", "lots" },
                    { "energy_full", "60000000" }, { "capacity", "37" } } } },
        { B, 37, N, N } },
    { "NulByteInANumberIsNoNumber",
        { mains(false), withCapacity(energyBattery("BAT0", 0, 60000000, 0), "energy_now", "4000\0000"s) },
        { B, 37, N, N } },
    { "RoundsHalfUp", { mains(false), energyBattery("BAT0", 4950000, 10000000, 0) }, { B, 50, N, N } },
    { "RoundsDown", { mains(false), energyBattery("BAT0", 4940000, 10000000, 0) }, { B, 49, N, N } },
    { "OverfullClampedTo100", { mains(false), energyBattery("BAT0", 61000000, 60000000, 0) },
        { B, 100, N, N } },
    // Times too long for any battery (here some 5700 years) are unknown.
    { "TimeToEmptyBeyond64BitsOneMicrowatt",
        { mains(false),
            withCapacity(
                energyBattery("BAT0", 30000000, 60000000, 1), "time_to_empty_now", "9223372036854775808") },
        { B, 50, N, N } },
    { "NegativeCurrentDriversCountAsDraw",
        { mains(false), energyBattery("BAT0", 30000000, 60000000, -10000000) }, { B, 50, 10800s, 21600s } },
};

INSTANTIATE_TEST_SUITE_P(Trees, SysfsTree, ::testing::ValuesIn(kTrees),
    [](const auto& info) { return std::string(info.param.name); });

// The battery's own figures in watt-hours, watts and volts; -1 for unknown.
struct EnergyCase {
    const char* name;
    std::vector<Supply> supplies;
    double energyWh, fullWh, designWh, powerW, voltageV;
};

void PrintTo(const EnergyCase& c, std::ostream* os)
{
    *os << c.name;
}

Supply withAttributes(Supply s, const Attributes& more)
{
    for (const auto& [key, value] : more)
        s.attributes[key] = value;
    return s;
}

Supply chargeBattery(
    const std::string& name, long long now, long long full, long long design, long long current)
{
    return { name,
        { { "type", "Battery" }, { "status", "Discharging" }, { "charge_now", std::to_string(now) },
            { "charge_full", std::to_string(full) }, { "charge_full_design", std::to_string(design) },
            { "current_now", std::to_string(current) }, { "voltage_min_design", "11100000" },
            { "voltage_now", "12000000" } } };
}

const EnergyCase kEnergyTrees[] = {
    { "EnergyBattery",
        { mains(false),
            withAttributes(energyBattery("BAT0", 30000000, 45000000, 12500000),
                { { "energy_full_design", "50000000" }, { "voltage_now", "11800000" } }) },
        30, 45, 50, 12.5, 11.8 },
    // Charge, design charge and current all turn into energy and power
    // through the design voltage, as the level does; the voltage now is
    // reported as it is.
    { "ChargeBatteryThroughDesignVoltage",
        { mains(false), chargeBattery("BAT0", 2000000, 4000000, 5000000, 1000000) }, 22.2, 44.4, 55.5, 11.1,
        12.0 },
    { "TwoBatteriesAddUpVoltageIsTheMean",
        { mains(false),
            withAttributes(energyBattery("BAT0", 10000000, 20000000, 5000000),
                { { "energy_full_design", "25000000" }, { "voltage_now", "11000000" } }),
            chargeBattery("BAT1", 1000000, 2000000, 2000000, 500000) },
        21.1, 42.2, 47.2, 10.55, 11.5 },
    // One battery without a design energy or a voltage makes the sum unknown.
    { "OneBatteryLackingFiguresMakesThemUnknown",
        { mains(false),
            withAttributes(
                energyBattery("BAT0", 10000000, 20000000, 5000000), { { "voltage_now", "11000000" } }),
            energyBattery("BAT1", 10000000, 20000000, 5000000) },
        20, 40, -1, 10, -1 },
    { "OnMainsNoPowerDrawn",
        { mains(true),
            withAttributes(energyBattery("BAT0", 30000000, 45000000, 12500000, "Charging"),
                { { "energy_full_design", "50000000" } }) },
        30, 45, 50, -1, -1 },
    { "CapacityOnlyBatteryHasNoFigures",
        { mains(false),
            { "BAT0", { { "type", "Battery" }, { "status", "Discharging" }, { "capacity", "42" } } } },
        -1, -1, -1, -1, -1 },
};

class SysfsEnergyTree : public ::testing::TestWithParam<EnergyCase> { };

TEST_P(SysfsEnergyTree, ReportsTheBatterysOwnFigures)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    writeTree(dir.path(), GetParam().supplies);
    SysfsPowerSource source(dir.path(), 0);
    const PowerStatus s = source.status();
    const EnergyCase& e = GetParam();
    const auto expectFigure = [](const std::optional<double>& got, double want, const char* what) {
        if (want < 0) {
            EXPECT_FALSE(got.has_value()) << what << " should be unknown";
        } else {
            ASSERT_TRUE(got.has_value()) << what << " should be known";
            EXPECT_NEAR(*got, want, 1e-9) << what;
        }
    };
    expectFigure(s.energyWh, e.energyWh, "energy");
    expectFigure(s.energyFullWh, e.fullWh, "full energy");
    expectFigure(s.energyFullDesignWh, e.designWh, "design energy");
    expectFigure(s.powerW, e.powerW, "power");
    expectFigure(s.voltageV, e.voltageV, "voltage");
}

INSTANTIATE_TEST_SUITE_P(Trees, SysfsEnergyTree, ::testing::ValuesIn(kEnergyTrees),
    [](const auto& info) { return std::string(info.param.name); });

// The supply as the kernel also writes it: every attribute in its uevent file.
Supply asUevent(const Supply& s)
{
    std::string text = "POWER_SUPPLY_NAME=" + s.name;
    for (const auto& [key, value] : s.attributes) {
        std::string upper = key;
        for (char& c : upper)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        text += "\nPOWER_SUPPLY_" + upper + "=" + value;
    }
    return { s.name, { { "uevent", text } } };
}

TEST(SysfsPowerSource, UeventGivesWhatTheAttributeFilesGive)
{
    const auto expectSame = [](const char* name, const std::vector<Supply>& supplies) {
        QTemporaryDir files, uevents;
        writeTree(files.path(), supplies);
        for (const auto& s : supplies)
            writeSupply(uevents.path(), asUevent(s));
        EXPECT_TRUE(
            SysfsPowerSource(uevents.path(), 0).status() == SysfsPowerSource(files.path(), 0).status())
            << name;
    };
    for (const auto& c : kTrees)
        expectSame(c.name, c.supplies);
    for (const auto& c : kEnergyTrees)
        expectSame(c.name, c.supplies);
}

// Older kernels leave the type out of the uevent; a test tree may hold
// anything there.
TEST(SysfsPowerSource, UeventLackingTheFiguresOrOddFallsBackToTheFiles)
{
    QTemporaryDir dir;
    writeTree(dir.path(),
        { withAttributes(energyBattery("BAT0", 30000000, 60000000, 10000000),
              { { "uevent",
                  "POWER_SUPPLY_NAME=BAT0\nPOWER_SUPPLY_TYPE=Battery\nPOWER_SUPPLY_STATUS=Charging" } }),
            withAttributes(
                energyBattery("BAT1", 10000000, 20000000, 0), { { "uevent", "POWER_SUPPLY_NAME=BAT1" } }),
            energyBattery("BAT2", 20000000, 20000000, 0) });
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir.filePath(QStringLiteral("BAT2/uevent"))).constData(), 0600), 0);
    const PowerStatus s = SysfsPowerSource(dir.path(), 0).status();
    EXPECT_EQ(s.line, PowerLine::Battery);
    EXPECT_EQ(s.level, 60);
    EXPECT_EQ(s.batteries->size(), 3);
}

TEST(SysfsPowerSource, FindsPowerSupplyOnlyForSystemBatteriesAndLines)
{
    QTemporaryDir empty, peripheral, line, battery;
    writeTree(peripheral.path(),
        { { "hid-mouse", { { "type", "Battery" }, { "scope", "Device" }, { "capacity", "60" } } } });
    writeTree(line.path(), { mains(true) });
    writeTree(battery.path(), { energyBattery("BAT0", 1, 2, 0) });
    EXPECT_FALSE(SysfsPowerSource(empty.path(), 0).findsPowerSupply());
    EXPECT_FALSE(SysfsPowerSource(peripheral.path(), 0).findsPowerSupply());
    EXPECT_FALSE(SysfsPowerSource(empty.path() + QStringLiteral("/missing"), 0).findsPowerSupply());
    EXPECT_TRUE(SysfsPowerSource(line.path(), 0).findsPowerSupply());
    EXPECT_TRUE(SysfsPowerSource(battery.path(), 0).findsPowerSupply());
}

// In /sys/class/power_supply every entry is a symbolic link to its device.
TEST(SysfsPowerSource, FollowsSymbolicLinksAsInSysfs)
{
    QTemporaryDir devices, root;
    writeTree(devices.path(), { mains(false), energyBattery("BAT0", 20000000, 40000000, 0) });
    ASSERT_TRUE(QFile::link(devices.filePath(QStringLiteral("AC")), root.filePath(QStringLiteral("AC"))));
    ASSERT_TRUE(QFile::link(devices.filePath(QStringLiteral("BAT0")), root.filePath(QStringLiteral("BAT0"))));
    const PowerStatus s = SysfsPowerSource(root.path(), 0).status();
    EXPECT_EQ(s.line, PowerLine::Battery);
    EXPECT_EQ(s.level, 50);
}

TEST(SysfsPowerSource, StatusIsTheLastReading)
{
    QTemporaryDir dir;
    writeTree(dir.path(), { mains(false), energyBattery("BAT0", 30000000, 60000000, 0) });
    SysfsPowerSource source(dir.path(), 0);
    EXPECT_EQ(source.status().level, 50);
    writeTree(dir.path(), { energyBattery("BAT0", 15000000, 60000000, 0) });
    EXPECT_EQ(source.status().level, 50) << "not read again";
    EXPECT_EQ(source.refresh().level, 25);
    EXPECT_EQ(source.status().level, 25);
}

TEST(SysfsPowerSource, SignalsOncePerRealChangeOfLineOrLevel)
{
    QTemporaryDir dir;
    writeTree(dir.path(), { mains(false), energyBattery("BAT0", 30000000, 60000000, 10000000) });
    SysfsPowerSource source(dir.path(), 0);
    QSignalSpy spy(&source, &PowerSource::powerChanged);

    EXPECT_FALSE(source.checkForChange());
    EXPECT_EQ(spy.count(), 0) << "nothing changed";

    // A new draw changes the times but not the power state.
    writeTree(dir.path(), { energyBattery("BAT0", 30000000, 60000000, 7000000) });
    EXPECT_FALSE(source.checkForChange());
    EXPECT_EQ(spy.count(), 0) << "only the times changed";

    writeTree(dir.path(), { energyBattery("BAT0", 29000000, 60000000, 7000000) });
    EXPECT_TRUE(source.checkForChange());
    EXPECT_EQ(spy.count(), 1) << "level 50 -> 48";
    EXPECT_FALSE(source.checkForChange());
    EXPECT_EQ(spy.count(), 1) << "same level read twice";

    writeTree(dir.path(), { mains(true) });
    EXPECT_TRUE(source.checkForChange());
    EXPECT_EQ(spy.count(), 2) << "AC plugged in";

    writeTree(dir.path(), { mains(false) });
    EXPECT_TRUE(source.checkForChange());
    EXPECT_EQ(spy.count(), 3) << "AC unplugged";

    // A new battery at the same level: the set of batteries changed.
    writeTree(dir.path(), { energyBattery("BAT1", 29000000, 60000000, 7000000) });
    EXPECT_TRUE(source.checkForChange());
    EXPECT_EQ(source.status().level, 48);
    EXPECT_EQ(source.status().batteries, QStringList({ QStringLiteral("BAT0"), QStringLiteral("BAT1") }));
}

TEST(SysfsPowerSource, TimerComparesReadingsByItself)
{
    QTemporaryDir dir;
    writeTree(dir.path(), { mains(false), energyBattery("BAT0", 30000000, 60000000, 0) });
    SysfsPowerSource source(dir.path(), 20);
    QSignalSpy spy(&source, &PowerSource::powerChanged);
    QTest::qWait(100);
    EXPECT_EQ(spy.count(), 0);
    writeTree(dir.path(), { energyBattery("BAT0", 24000000, 60000000, 0) });
    EXPECT_TRUE(QTest::qWaitFor([&] { return spy.count() == 1; }, 5000));
    EXPECT_EQ(source.status().level, 40);
}

// The polls keep the folders they found for a while, and still see
// batteries come and go.
TEST(SysfsPowerSource, PollsFindBatteriesThatComeAndGo)
{
    QTemporaryDir dir;
    writeTree(dir.path(), { mains(false), energyBattery("BAT0", 30000000, 60000000, 0) });
    SysfsPowerSource source(dir.path(), 10);
    int64_t nowMs = 0;
    source.setMonotonicTimeSource([&] { return nowMs; });
    const auto batteriesAre = [&](const char* names) {
        return QTest::qWaitFor(
            [&] { return source.status().batteries->join(QLatin1Char(' ')) == QLatin1String(names); }, 5000);
    };
    writeTree(dir.path(), { energyBattery("BAT1", 30000000, 60000000, 0) });
    nowMs += SysfsPowerSource::ListingIntervalMs;
    EXPECT_TRUE(batteriesAre("BAT0 BAT1"));
    // A battery swapped for another: the one that went tells to look again.
    ASSERT_TRUE(QDir(dir.filePath(QStringLiteral("BAT0"))).removeRecursively());
    writeTree(dir.path(), { energyBattery("BAT2", 30000000, 60000000, 0) });
    EXPECT_TRUE(batteriesAre("BAT1 BAT2"));
}

} // namespace

namespace {

TEST(SysfsPowerSource, AnnouncesAResumeOnceEvenWithoutChange)
{
    QTemporaryDir dir;
    writeTree(dir.path(), { mains(false), energyBattery("BAT0", 30000000, 60000000, 0) });
    SysfsPowerSource source(dir.path(), 0);
    int64_t suspendedMs = 5000;
    source.setSuspendedTimeSource([&] { return suspendedMs; });
    QSignalSpy spy(&source, &PowerSource::powerChanged);

    suspendedMs += 999; // clock rounding, not a sleep
    EXPECT_FALSE(source.checkForChange());
    suspendedMs += 60000; // a minute asleep
    EXPECT_TRUE(source.checkForChange());
    EXPECT_FALSE(source.checkForChange());
    // A sleep during which the level fell: one notice, not two.
    suspendedMs += 60000;
    writeTree(dir.path(), { energyBattery("BAT0", 20000000, 60000000, 0) });
    EXPECT_TRUE(source.checkForChange());
    EXPECT_FALSE(source.checkForChange());
    EXPECT_EQ(spy.count(), 2);
}

} // namespace

TEST(PowerStatus, TimesTooLongToCountAreUnknownNotCapped)
{
    EXPECT_EQ(PowerStatus::secondsFrom(4294967294.0), std::chrono::seconds(4294967294));
    EXPECT_EQ(PowerStatus::secondsFrom(4294967295.0), std::nullopt);
    EXPECT_EQ(PowerStatus::secondsFrom(1e19), std::nullopt);
    EXPECT_EQ(PowerStatus::secondsFrom(0.0), std::nullopt);
}

// A FIFO holds an open or a read for ever: such an attribute is unknown.
TEST(SysfsPowerSource, FifoAttributesReadAsUnknown)
{
    QTemporaryDir dir;
    writeTree(dir.path(),
        { mains(false),
            { "BAT0", { { "type", "Battery" }, { "energy_full", "60000000" }, { "capacity", "37" } } },
            { "BAT1", { { "capacity", "90" } } } });
    for (const char* fifo : { "BAT0/energy_now", "BAT1/type" }) // each would hold a read for ever
        ASSERT_EQ(::mkfifo(QFile::encodeName(dir.filePath(QLatin1String(fifo))).constData(), 0600), 0);
    const PowerStatus s = SysfsPowerSource(dir.path(), 0).status();
    EXPECT_EQ(s.level, 37);
    EXPECT_FALSE(s.energyWh);
}

TEST(KernelNumber, OnlySignDigitsAndOneNewline)
{
    const std::pair<std::string, std::optional<qint64>> cases[]
        = { { "4000\n", 4000 }, { "-12\n", -12 }, { "+7", 7 }, { "9223372036854775807\n", INT64_MAX },
              { "-9223372036854775808", INT64_MIN }, { "9223372036854775808\n", N }, { "4000\0000\n"s, N },
              { "", N }, { "-\n", N }, { " 42\n", N }, { "42\n\n", N }, { "4.5\n", N }, { "0x10", N } };
    for (const auto& [text, want] : cases)
        EXPECT_EQ(parseKernelNumber(QByteArrayView(text.data(), qsizetype(text.size()))), want) << text;
}
