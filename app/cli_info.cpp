// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/backends.h"
#include "app/cli.h"
#include "platform/dbus/upowerbatteryidentity.h"
#include "platform/linuxprocessor.h"
#include "platform/sysfsbatteryidentity.h"
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
    std::unique_ptr<PowerSource> power = createPowerSource(options.powerSource, &error);
    if (!power) {
        std::fprintf(stderr, "ampero: %s\n", qPrintable(error));
        return 2;
    }
    UPowerBatteryIdentity upower;
    SysfsBatteryIdentity sysfs;
    LinuxProcessor processor;

    MachineInfo info;
    info.power = power->status();
    info.batteryHealthPercent = batteryHealthPercent(info.power.energyFullWh, info.power.energyFullDesignWh);
    info.powerBackend = power->backendName();
    BatteryIdentitySource* ownBattery = ownBatteryIdentity(*power);
    GetBatteryInfo(info.battery, ownBattery ? *ownBattery : upower, ownBattery ? *ownBattery : sysfs);
    info.brand = GetCpuBrandString(processor);
    info.clockMhz = MeasureCpuClock(processor);
    info.processorCount = GetProcessorCount();

    QTextStream out(stdout);
    out << infoText(info);
    out.flush();
    return 0;
}

} // namespace ampero
