// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/startup.h"

#include "app/guiprogram.h"
#include "app/screenshottour.h"
#include "app/systemservices.h"
#include "core/logging.h"
#include "session/sessionports.h"
#include "sysinfo/processorcount.h"
#include "sysinfo/processorinfo.h"
#include "ui/uMain.h"
#include "ui/uTestProcess.h"

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLocale>
#include <QTimer>
#include <cstdio>

namespace ampero {

StartupSteps defaultStartupSteps()
{
    StartupSteps s;
    s.getBatteryInfo = [] {};
    s.initProcessorUsage = [](TfMain&, int) {};
    s.cpuBrandString = [] { return QStringLiteral("Unknown"); };
    s.measureCpuClock = [] { return 0.0; };
    s.powerCheck = [] {};
    return s;
}

StartupResult formCreate(TfMain& window, const StartupSteps& steps)
{
    StartupResult r;
    // 2. ReadVersionInfo.
    r.version = readVersionInfo();
    window.setVersionInfo(r.version);
    // 3. Battery identity and capacity.
    if (steps.getBatteryInfo)
        steps.getBatteryInfo();
    // 4. Titles. The program's title is the main window's caption only: as
    // the application's display name, Qt would append it to every other
    // window's title on the screen ("About... — Orvex Ampero 1.1").
    window.setWindowTitle(applicationTitle(r.version));
    // 5, 6. Processor count, usage sampler and bars.
    const int n = GetProcessorCount();
    if (steps.initProcessorUsage)
        steps.initProcessorUsage(window, n);
    // 7. CPUUsagTimer runs from now to the end.
    window.cpuUsagTimer()->start();
    // 8. Processor name, leading spaces removed; the clock label follows it.
    QString brand = steps.cpuBrandString ? steps.cpuBrandString() : QString();
    window.setCpuName(cpuNameCaption(brand));
    // 9. Processor clock.
    window.setCpuSpeedText(clockText(steps.measureCpuClock ? steps.measureCpuClock() : 0.0));
    // 10. Power check.
    if (steps.powerCheck)
        steps.powerCheck();
    // 12. No zooming or panning until results are read.
    window.setInteractive(false);
    return r;
}

int runGui(const CliOptions& options)
{
    QElapsedTimer sinceStart;
    sinceStart.start();

    QString error;
    const std::unique_ptr<SystemServices> system
        = makeSystemServices(systemOptionsFrom(SystemOptions::Mode::Windows, options.powerSource), &error);
    if (!system) {
        std::fprintf(stderr, "ampero: %s\n", qPrintable(error));
        return 2;
    }

    GuiProgram program(system->gui(), options.positional);
    TfMain& fMain = program.mainWindow();

    // AMPERO_STARTUP_MARK: say when the window first shows, for measuring
    // start-up time (startup_bench reads it from standard error).
    if (qEnvironmentVariableIsSet("AMPERO_STARTUP_MARK")) {
        QObject::connect(&fMain, &TfMain::firstShown, &fMain, [&sinceStart] {
            qCInfo(lcApp, "main window shown after %lld ms", static_cast<long long>(sinceStart.elapsed()));
        });
    }
    const QString shotDir = qEnvironmentVariable("AMPERO_SCREENSHOT_DIR");
    if (!shotDir.isEmpty())
        QObject::connect(&fMain, &TfMain::firstShown, &fMain, [&] {
            QTimer::singleShot(
                200, &fMain, [&] { runScreenshotTour(fMain, program.testingWindow(), shotDir); });
        });

    fMain.show();
    return QApplication::exec();
}

} // namespace ampero
