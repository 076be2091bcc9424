// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/startup.h"

#include "app/guiprogram.h"
#include "app/screenshottour.h"
#include "app/systemservices.h"
#include "core/logging.h"
#include "session/sessionports.h"
#include "sysinfo/processorcount.h"
#include "sysinfo/processorinfo.h"
#include "ui/mainwindow.h"
#include "ui/testprogressdialog.h"

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLocale>
#include <QTimer>
#include <cstdio>
#include <thread>

namespace ampero {

namespace {

// Measures the processor clock on a thread of its own (the measurement
// sleeps about 100 ms) and fills in the window's clock label when it is
// known. A child of the window: going away with it, it waits for the
// measurement to end first.
class ClockMeasurement final : public QObject {
public:
    ClockMeasurement(MainWindow& window, std::function<double()> measure)
        : QObject(&window)
    {
        setObjectName(QStringLiteral("clockMeasurement"));
        m_thread = std::thread([this, measure = std::move(measure)] {
            const double mhz = measure();
            QMetaObject::invokeMethod(
                this, [this, mhz] { static_cast<MainWindow*>(parent())->setCpuSpeedText(clockText(mhz)); },
                Qt::QueuedConnection);
        });
    }
    ~ClockMeasurement() override { m_thread.join(); }
    ClockMeasurement(const ClockMeasurement&) = delete;
    ClockMeasurement& operator=(const ClockMeasurement&) = delete;

private:
    std::thread m_thread;
};

} // namespace

StartupSteps defaultStartupSteps()
{
    StartupSteps s;
    s.readBatteryInfo = [] {};
    s.setUpProcessorUsage = [](MainWindow&, int) {};
    s.cpuBrandString = [] { return QStringLiteral("Unknown"); };
    s.measureCpuClock = [] { return 0.0; };
    s.powerCheck = [] {};
    return s;
}

StartupResult prepareMainWindow(MainWindow& window, const StartupSteps& steps)
{
    StartupResult r;
    // The version texts, for the caption and the about window.
    r.version = readVersionInfo();
    window.setVersionInfo(r.version);
    // The battery's identity and capacity.
    if (steps.readBatteryInfo)
        steps.readBatteryInfo();
    // The caption. The program's title is the main window's caption only: as
    // the application's display name, Qt would append it to every other
    // window's title on the screen ("About... — Orvex Ampero 1.1").
    window.setWindowTitle(applicationTitle(r.version));
    // The processor count, the usage sampler and one usage bar per processor.
    const int n = countProcessors();
    if (steps.setUpProcessorUsage)
        steps.setUpProcessorUsage(window, n);
    // The usage timer runs from now to the end.
    window.usageTimer()->start();
    // The processor's name, leading spaces removed; the clock label follows it.
    QString brand = steps.cpuBrandString ? steps.cpuBrandString() : QString();
    window.setCpuName(cpuNameCaption(brand));
    // The processor clock, measured once: once the window shows, without
    // holding it up. Its label stays empty until then.
    window.setCpuSpeedText(QString());
    const std::function<double()> measure
        = steps.measureCpuClock ? steps.measureCpuClock : [] { return 0.0; };
    if (window.isVisible())
        new ClockMeasurement(window, measure);
    else
        QObject::connect(
            &window, &MainWindow::firstShown, &window,
            [&window, measure] { new ClockMeasurement(window, measure); }, Qt::SingleShotConnection);
    // The power check: the labels and whether a test may start.
    if (steps.powerCheck)
        steps.powerCheck();
    // No zooming or panning until results are read.
    window.setInteractive(false);
    return r;
}

int runGui(const CliOptions& options)
{
    QElapsedTimer sinceStart;
    sinceStart.start();

    QString error;
    SystemOptions systemOptions = systemOptionsFrom(SystemOptions::Mode::Gui, options.powerSource);
    systemOptions.databaseUrl = options.database;
    const std::unique_ptr<SystemServices> system = makeSystemServices(systemOptions, &error);
    if (!system) {
        std::fprintf(stderr, "ampero: %s\n", qPrintable(error));
        return 2;
    }

    GuiProgram program(system->gui(), options.positional);
    MainWindow& mainWindow = program.mainWindow();

    // AMPERO_STARTUP_MARK: say when the window first shows, for measuring
    // start-up time (startup_bench reads it from standard error).
    if (qEnvironmentVariableIsSet("AMPERO_STARTUP_MARK")) {
        QObject::connect(&mainWindow, &MainWindow::firstShown, &mainWindow, [&sinceStart] {
            qCInfo(lcApp, "main window shown after %lld ms", static_cast<long long>(sinceStart.elapsed()));
        });
    }
    const QString shotDir = qEnvironmentVariable("AMPERO_SCREENSHOT_DIR");
    if (!shotDir.isEmpty())
        applyScreenshotLook();
    if (!shotDir.isEmpty())
        QObject::connect(&mainWindow, &MainWindow::firstShown, &mainWindow, [&] {
            QTimer::singleShot(
                200, &mainWindow, [&] { runScreenshotTour(mainWindow, program.testingWindow(), shotDir); });
        });

    mainWindow.show();
    return QApplication::exec();
}

} // namespace ampero
