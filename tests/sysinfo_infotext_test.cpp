// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/testutil.h"
#include "sysinfo/infotext.h"

#include <QProcess>
#include <gtest/gtest.h>

using namespace ampero;

TEST(InfoText, OneLinePerItem)
{
    MachineInfo m;
    m.power.line = PowerLine::Battery;
    m.power.level = 57;
    m.power.timeLeft = std::chrono::seconds(3 * 3600 + 5 * 60 + 9);
    m.power.energyWh = 26.4;
    m.power.energyFullWh = 46.3;
    m.power.energyFullDesignWh = 50.0;
    m.power.powerW = 8.456;
    m.batteryHealthPercent = 92.6;
    m.powerBackend = QStringLiteral("upower");
    m.battery = { QStringLiteral("5YHR4"), QStringLiteral("SMP"), BatteryChemistry::LithiumIon, 48000, 11400,
        {}, {} };
    m.brand = QStringLiteral("  Intel(R) Core(TM) i5") + QString(26, QChar(u'\0'));
    m.clockMhz = 2394.53;
    m.processorCount = 4;
    EXPECT_EQ(infoText(m, QLocale::c()).toStdString(),
        "Power source: powered by battery\n"
        "Level: 57%\n"
        "Forecast: 3:05:09\n"
        "Energy now: 26.40 Wh\n"
        "Energy full: 46.30 Wh\n"
        "Energy full design: 50.00 Wh\n"
        "Battery health: 93%\n"
        "Power now: 8.5 W\n"
        "Battery name: 5YHR4\n"
        "Battery manufacturer: SMP\n"
        "Battery chemistry: Lithium-ion\n"
        "Battery capacity: 48.00 Wh\n"
        "Battery design voltage: 11.40 V\n"
        "Processor: Intel(R) Core(TM) i5\n"
        "Processor clock: 2394.53 MHz\n"
        "Processors: 4\n"
        "Power backend: upower\n");
}

TEST(InfoText, UnknownValues)
{
    MachineInfo m;
    m.brand = QStringLiteral("Unknown");
    m.powerBackend = QStringLiteral("fake");
    m.processorCount = 1;
    EXPECT_EQ(infoText(m, QLocale(QLocale::German)).toStdString(),
        "Power source: unknown\n"
        "Level: unknown\n"
        "Forecast: unknown\n"
        "Energy now: unknown\n"
        "Energy full: unknown\n"
        "Energy full design: unknown\n"
        "Battery health: unknown\n"
        "Power now: unknown\n"
        "Battery name: unknown\n"
        "Battery manufacturer: unknown\n"
        "Battery chemistry: unknown\n"
        "Battery capacity: unknown\n"
        "Battery design voltage: unknown\n"
        "Processor: Unknown\n"
        "Processor clock: 0,00 MHz\n"
        "Processors: 1\n"
        "Power backend: fake\n");
}

// A simulated battery has an identity and energy figures of its own.
TEST(InfoCommand, SimulatedBatteryHasFigures)
{
    AMPERO_REQUIRE_PROGRAM();
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    p.setProcessEnvironment(env);
    p.start(test::amperoBinary(),
        { QStringLiteral("--info"), QStringLiteral("--power-source"),
            QStringLiteral("sim:30,capacity=60,health=90") });
    ASSERT_TRUE(p.waitForFinished(20000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    for (const char* line :
        { "Energy now: 54.00 Wh\n", "Energy full design: 60.00 Wh\n", "Battery health: 90%\n",
            "Power now: 64.8 W\n", "Battery capacity: 60.00 Wh\n", "Battery chemistry: Lithium-ion\n" })
        EXPECT_TRUE(out.contains(QLatin1String(line))) << line << out.toStdString();
}

TEST(InfoCommand, PrintsEveryKeyWithoutADisplay)
{
    AMPERO_REQUIRE_PROGRAM();
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb")); // would fail if a window were made
    env.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), QStringLiteral("unix:path=/nonexistent/bus"));
    p.setProcessEnvironment(env);
    p.start(test::amperoBinary(), { QStringLiteral("--info") });
    ASSERT_TRUE(p.waitForFinished(20000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    for (const char* key :
        { "Power source: ", "Level: ", "Forecast: ", "Energy now: ", "Energy full: ", "Energy full design: ",
            "Battery health: ", "Power now: ", "Battery name: ", "Battery manufacturer: ",
            "Battery chemistry: ", "Battery capacity: ", "Battery design voltage: ", "Processor: ",
            "Processor clock: ", "Processors: ", "Power backend: " })
        EXPECT_TRUE(
            out.contains(QLatin1String("\n") + QLatin1String(key)) || out.startsWith(QLatin1String(key)))
            << key << "\n"
            << out.toStdString();
    EXPECT_TRUE(out.contains(QLatin1String(" MHz\n")));
}

// The stand-in machine answers the same everywhere, whatever this one has.
TEST(InfoCommand, FakeSystemIsTheSameMachineEverywhere)
{
    AMPERO_REQUIRE_PROGRAM();
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("AMPERO_FAKE_SYSTEM"), QStringLiteral("1"));
    env.remove(QStringLiteral("AMPERO_POWER_SOURCE"));
    env.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), QStringLiteral("unix:path=/nonexistent/bus"));
    p.setProcessEnvironment(env);
    p.start(test::amperoBinary(), { QStringLiteral("--info") });
    ASSERT_TRUE(p.waitForFinished(20000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    for (const char* line : { "Battery name: Simulated battery\n", "Battery capacity: 50.00 Wh\n",
             "Processor: Fake Processor\n", "Processor clock: 2000.00 MHz\n", "Power backend: sim" })
        EXPECT_TRUE(out.contains(QLatin1String(line))) << line << "\n" << out.toStdString();
}
