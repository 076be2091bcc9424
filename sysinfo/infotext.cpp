// SPDX-License-Identifier: GPL-3.0-or-later
#include "sysinfo/infotext.h"

#include "core/figuretext.h"
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
    line("Level", percentText(p.level ? std::optional<double>(*p.level) : std::nullopt));
    line("Forecast", p.timeLeft ? elapsedTimeTextSeconds(p.timeLeft->count()) : phrase("unknown"));
    line("Energy now", wattHoursText(p.energyWh));
    line("Energy full", wattHoursText(p.energyFullWh));
    line("Energy full design", wattHoursText(p.energyFullDesignWh));
    line("Battery health", percentText(info.batteryHealthPercent));
    line("Power now", wattsText(p.powerW));

    const BatteryInfo& b = info.battery;
    line("Battery name", orUnknown(b.name));
    line("Battery manufacturer", orUnknown(b.manufacturer));
    line("Battery chemistry",
        b.chemistry == BatteryChemistry::Unknown ? phrase("unknown") : chemistryName(b.chemistry));
    const auto thousandth = [](const auto& milli) {
        return milli ? std::optional<double>(static_cast<double>(*milli) / 1000.0) : std::nullopt;
    };
    line("Battery capacity", wattHoursText(thousandth(b.capacityMwh)));
    line("Battery design voltage", voltsText(thousandth(b.designVoltageMv)));

    line("Processor", orUnknown(cpuNameCaption(info.brand).trimmed()));
    QString clock = clockText(info.clockMhz, locale);
    line("Processor clock", clock.mid(1, clock.size() - 2)); // without the parentheses
    line("Processors", QString::number(info.processorCount));
    line("Power backend", info.powerBackend);
    return out;
}

} // namespace ampero
