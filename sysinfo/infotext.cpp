// SPDX-License-Identifier: GPL-3.0-or-later
#include "sysinfo/infotext.h"

#include "core/phrases.h"
#include "core/timetext.h"
#include "sysinfo/processorinfo.h"

#include <QCoreApplication>

namespace ampero {

namespace {

QString orUnknown(const QString& s)
{
    return s.isEmpty() ? phrase("unknown") : s;
}

QString figure(std::optional<double> value, const char* unit, const QLocale& locale)
{
    return value ? locale.toString(*value, 'f', 2) + QLatin1Char(' ') + QLatin1String(unit)
                 : phrase("unknown");
}

} // namespace

QString infoText(const MachineInfo& info, const QLocale& locale)
{
    QString out;
    auto line = [&out](const char* key, const QString& value) {
        out += QLatin1String(key) + QStringLiteral(": ") + value + QLatin1Char('\n');
    };

    const PowerStatus& p = info.power;
    line("Power source",
        p.line == PowerLine::Battery     ? phrase("powered by battery")
            : p.line == PowerLine::Mains ? phrase("powered by AC")
                                         : phrase("unknown"));
    line("Level", p.level ? QString::number(*p.level) + QLatin1Char('%') : phrase("unknown"));
    line("Forecast", p.timeLeft ? elapsedTimeTextSeconds(p.timeLeft->count()) : phrase("unknown"));
    line("Energy now", figure(p.energyWh, "Wh", locale));
    line("Energy full", figure(p.energyFullWh, "Wh", locale));
    line("Energy full design", figure(p.energyFullDesignWh, "Wh", locale));
    const auto& health = info.batteryHealthPercent;
    line("Battery health", health ? locale.toString(*health, 'f', 1) + QLatin1Char('%') : phrase("unknown"));
    line("Power now", figure(p.powerW, "W", locale));

    const BatteryInfo& b = info.battery;
    line("Battery name", orUnknown(b.name));
    line("Battery manufacturer", orUnknown(b.manufacturer));
    line("Battery chemistry",
        b.chemistry == BatteryChemistry::Unknown ? phrase("unknown") : chemistryName(b.chemistry));
    line("Battery capacity",
        b.capacityMwh ? QString::number(*b.capacityMwh) + QStringLiteral(" mWh") : phrase("unknown"));
    line("Battery design voltage",
        b.designVoltageMv ? QString::number(*b.designVoltageMv) + QStringLiteral(" mV") : phrase("unknown"));

    line("Processor", orUnknown(cpuNameCaption(info.brand).trimmed()));
    QString clock = clockText(info.clockMhz, locale);
    line("Processor clock", clock.mid(1, clock.size() - 2)); // without the parentheses
    line("Processors", QString::number(info.processorCount));
    line("Power backend", info.powerBackend);
    return out;
}

} // namespace ampero
