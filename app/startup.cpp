// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/startup.h"

#include "app/backends.h"
#include "app/guiprogram.h"
#include "app/screenshottour.h"
#include "platform/clock.h"
#include "platform/dbus/logindevents.h"
#include "platform/dbus/logindinhibitor.h"
#include "platform/dbus/screensaverstate.h"
#include "platform/dbus/upowerbatteryidentity.h"
#include "platform/linuxprocessor.h"
#include "platform/net/qthttpclient.h"
#include "platform/procstattimes.h"
#include "platform/sysfsbatteryidentity.h"
#include "session/sessionports.h"
#include "session/uThread.h"
#include "sysinfo/processorcount.h"
#include "sysinfo/processorinfo.h"
#include "ui/desktopurlopener.h"
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
    std::unique_ptr<PowerSource> power = createPowerSource(options.powerSource, &error);
    if (!power) {
        std::fprintf(stderr, "ampero: %s\n", qPrintable(error));
        return 2;
    }

    // The system's services.
    SystemClock clock;
    DesktopUrlOpener urlOpener;
    LinuxProcessor processor;
    ProcStatTimes processorTimes;
    UPowerBatteryIdentity upowerBattery;
    SysfsBatteryIdentity sysfsBattery;
    LogindEvents systemEvents;
    LogindInhibitor inhibitor;
    QtHttpClient http;
    CpuLoadWorkers load;
    ScreenSaverState screen;
    GuiServices services;
    services.power = power.get();
    services.clock = &clock;
    services.urlOpener = &urlOpener;
    services.processor = &processor;
    services.processorTimes = &processorTimes;
    // A simulated battery answers for its own identity.
    BatteryIdentitySource* ownBattery = ownBatteryIdentity(*power);
    services.portableBattery = ownBattery ? ownBattery : &upowerBattery;
    services.generalBattery = ownBattery ? ownBattery : &sysfsBattery;
    services.systemEvents = &systemEvents;
    services.inhibitor = &inhibitor;
    services.http = &http;
    services.load = &load;
    services.screen = &screen;

    GuiProgram program(services, options.positional);
    TfMain& fMain = program.mainWindow();

    // AMPERO_STARTUP_MARK: say on stderr when the window first shows, for
    // measuring start-up time.
    if (qEnvironmentVariableIsSet("AMPERO_STARTUP_MARK")) {
        QObject::connect(&fMain, &TfMain::firstShown, &fMain, [&sinceStart] {
            std::fprintf(stderr, "ampero: main window shown after %lld ms\n",
                static_cast<long long>(sinceStart.elapsed()));
            std::fflush(stderr);
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
