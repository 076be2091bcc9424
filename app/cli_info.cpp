// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli.h"
#include "app/systemservices.h"
#include "platform/powersource.h"
#include "platform/processor.h"
#include "results/energysummary.h"
#include "sysinfo/batteryinfo.h"
#include "sysinfo/infotext.h"
#include "sysinfo/processorcount.h"
#include "sysinfo/processorinfo.h"

#include <QTextStream>
#include <cstdio>

namespace ampero {

int runInfo(const CliOptions& options)
{
    QString error;
    const std::unique_ptr<SystemServices> system
        = makeSystemServices(systemOptionsFrom(SystemOptions::Mode::Info, options.powerSource), &error);
    if (!system) {
        std::fprintf(stderr, "ampero: %s\n", qPrintable(error));
        return 2;
    }

    MachineInfo info;
    info.power = system->power->status();
    info.batteryHealthPercent = batteryHealthPercent(info.power.energyFullWh, info.power.energyFullDesignWh);
    info.powerBackend = system->power->backendName();
    info.battery = system->batteryInfo();
    info.brand = cpuBrandString(*system->processor);
    info.clockMhz = measureCpuClock(*system->processor);
    info.processorCount = countProcessors();

    QTextStream out(stdout);
    out << infoText(info);
    out.flush();
    return 0;
}

} // namespace ampero
