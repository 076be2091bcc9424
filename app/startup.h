// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "app/cli.h"
#include "ui/versioninfo.h"

#include <QChar>
#include <QString>
#include <functional>

namespace ampero {

class MainWindow;

// The start-up steps that belong to other parts of the program, each a plain
// function the start-up sequence calls in its place. The defaults give
// neutral results (no battery identity, no usage bars, "Unknown" processor,
// a clock of 0 MHz); plug the real ones in here.
struct StartupSteps {
    // Reads the battery's identity and capacity.
    std::function<void()> readBatteryInfo;
    // Given the processor count n: sets up the usage sampler and n usage bars.
    std::function<void(MainWindow& window, int processorCount)> setUpProcessorUsage;
    // The processor's brand string.
    std::function<QString()> cpuBrandString;
    // The measured processor clock in MHz (takes about 100 ms). Called on a
    // thread of its own once the window has shown.
    std::function<double()> measureCpuClock;
    // The start-up power check: the power labels, and the test actions
    // enabled or greyed.
    std::function<void()> powerCheck;
};
StartupSteps defaultStartupSteps();

struct StartupResult {
    VersionInfo version;
};

// The start-up sequence of the main window: version, battery, caption,
// processor usage, name, the power check; zooming off. The processor clock
// is measured once the window shows, and its label filled in when known.
StartupResult prepareMainWindow(MainWindow& window, const StartupSteps& steps);

// Creates the main window and the testing window, runs start-up and the event
// loop until the main window closes. Returns the exit status.
int runGui(const CliOptions& options);

} // namespace ampero
