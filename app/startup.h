// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "app/cli.h"
#include "ui/versioninfo.h"

#include <QChar>
#include <QString>
#include <functional>

namespace ampero {

class TfMain;

// The start-up steps that belong to other parts of the program, each a plain
// function the start-up sequence calls in its place. The defaults give
// neutral results (no battery identity, no usage bars, "Unknown" processor,
// a clock of 0 MHz); plug the real ones in here.
struct StartupSteps {
    // Step 3: battery identity and capacity.
    std::function<void()> getBatteryInfo;
    // Steps 5 and 6: processor count n, usage sampler set up, n usage bars.
    std::function<void(TfMain& window, int processorCount)> initProcessorUsage;
    // Step 8: the processor's brand string.
    std::function<QString()> cpuBrandString;
    // Step 9: the measured processor clock in MHz (takes about 100 ms).
    std::function<double()> measureCpuClock;
    // Step 10: the start-up power check (labels and InitializeTests).
    std::function<void()> powerCheck;
};
StartupSteps defaultStartupSteps();

struct StartupResult {
    VersionInfo version;
};

// FormCreate: the start-up sequence of the main window, in its order.
StartupResult formCreate(TfMain& window, const StartupSteps& steps);

// Creates the main window and the testing window, runs start-up and the event
// loop until the main window closes. Returns the exit status.
int runGui(const CliOptions& options);

} // namespace ampero
