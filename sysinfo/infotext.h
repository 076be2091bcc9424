// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "platform/powersource.h"
#include "sysinfo/batteryinfo.h"

#include <QLocale>
#include <QString>
#include <optional>

namespace ampero {

// Everything the program knows of this machine, as collected for a report.
struct MachineInfo {
    PowerStatus power;
    std::optional<double> batteryHealthPercent; // full energy in % of the design energy
    QString powerBackend;
    BatteryInfo battery;
    QString brand; // as cpuBrandString gives it
    double clockMhz = 0;
    int processorCount = 0;
};

// One "Key: value" line per item, each ending in "\n":
// Power source, Level, Forecast, Energy now, Energy full, Energy full design,
// Battery health, Power now, Battery name, Battery manufacturer,
// Battery chemistry, Battery capacity, Battery design voltage, Processor,
// Processor clock, Processors, Power backend.
QString infoText(const MachineInfo& info, const QLocale& locale = QLocale());

} // namespace ampero
