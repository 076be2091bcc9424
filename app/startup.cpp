#include "app/startup.h"

#include "app/backends.h"
#include "app/screenshottour.h"
#include "session/sessionports.h"
#include "sysinfo/processorcount.h"
#include "app/sessionendglue.h"
#include "platform/clock.h"
#include "platform/dbus/logindevents.h"
#include "platform/dbus/logindinhibitor.h"
#include "platform/dbus/upowerbatteryidentity.h"
#include "platform/linuxprocessor.h"
#include "platform/net/qthttpclient.h"
#include "platform/procstattimes.h"
#include "platform/sysfsbatteryidentity.h"
#include "session/sessionend.h"
#include "session/testsession.h"
#include "session/uThread.h"
#include "sysinfo/batteryinfo.h"
#include "sysinfo/processorinfo.h"
#include "sysinfo/usagedisplay.h"
#include "ui/desktopurlopener.h"
#include "ui/resultsshow.h"
#include "ui/uMain.h"
#include "ui/uTestProcess.h"
#include "ui/updatemessages.h"
#include "ui/usagebars.h"
#include "ui/widgetsessiondialogs.h"
#include "web/updatecheck.h"

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLocale>
#include <QTimer>
#include <cstdio>

namespace ampero {

TimeFormatSettings makeTimeFormatSettings()
{
    return {QStringLiteral("h:mm:ss"), QStringLiteral("h:mm:ss"), QLatin1Char(':')};
}

StartupSteps defaultStartupSteps()
{
    StartupSteps s;
    s.getBatteryInfo = [] {};
    s.initProcessorUsage = [](TfMain&, int) {};
    s.cpuBrandString = [] { return QStringLiteral("Unknown"); };
    s.measureCpuClock = [] { return 0.0; };
    s.powerCheck = [] {};
    s.resetSession = [] {};
    return s;
}

StartupResult formCreate(TfMain& window, const StartupSteps& steps)
{
    StartupResult r;
    // 1. The program's own time format.
    r.timeFormat = makeTimeFormatSettings();
    // 2. ReadVersionInfo.
    r.version = readVersionInfo();
    window.setVersionInfo(r.version);
    // 3. Battery identity and capacity.
    if (steps.getBatteryInfo)
        steps.getBatteryInfo();
    // 4. Titles.
    const QString title = applicationTitle(r.version);
    QGuiApplication::setApplicationDisplayName(title);
    window.setWindowTitle(title);
    // 5, 6. Processor count, usage sampler and bars.
    const int n = GetProcessorCount();
    if (steps.initProcessorUsage)
        steps.initProcessorUsage(window, n);
    // 7. CPUUsagTimer runs from now to the end.
    window.cpuUsagTimer()->start();
    // 8. Processor name, leading spaces removed; the clock label follows it.
    QString brand = steps.cpuBrandString ? steps.cpuBrandString() : QString();
    qsizetype lead = 0;
    while (lead < brand.size() && brand.at(lead) == QLatin1Char(' '))
        ++lead;
    window.setCpuName(brand.mid(lead));
    // 9. Processor clock.
    window.setCpuSpeedText(clockText(steps.measureCpuClock ? steps.measureCpuClock() : 0.0));
    // 10. Power check.
    if (steps.powerCheck)
        steps.powerCheck();
    // 11, 13. Session state reset.
    if (steps.resetSession)
        steps.resetSession();
    // 12. No zooming or panning until results are read.
    window.setInteractive(false);
    return r;
}

int runGui(const CliOptions& options)
{
    QElapsedTimer sinceStart;
    sinceStart.start();
    QGuiApplication::setApplicationDisplayName(QStringLiteral("Orvex Ampero"));

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

    // The main window and the testing window live for the whole run.
    TfMain fMain(&urlOpener);
    TfTestProcess fTestProcess(&fMain);
    fTestProcess.hide();
    WidgetSessionDialogs dialogs(&fMain);
    TestSession session(fMain, fMain, dialogs, fTestProcess, *power, clock, load);
    const auto saveGraph = [&fMain] { fMain.Action1Execute(); };
    session.setMeasureCpuClock([&processor] { return MeasureCpuClock(processor); });
    session.setShowResultsWindow([&](const QString& path) {
        showResultsWindow(path, fMain, &fMain, urlOpener, saveGraph);
    });

    std::unique_ptr<UsageMeter> usageMeter;
    std::unique_ptr<UsageBars> usageBars;
    StartupSteps steps;
    steps.getBatteryInfo = [&] {
        GetBatteryInfo(BatteryInfo, upowerBattery, sysfsBattery);
        session.setBatteryCapacity(BatteryInfo.Capacity);
    };
    steps.initProcessorUsage = [&](TfMain& window, int n) {
        usageMeter = std::make_unique<UsageMeter>(processorTimes, n);
        usageMeter->start();
        if (n > 0)
            usageBars = std::make_unique<UsageBars>(window.findChild<QWidget*>(QStringLiteral("GroupBox3")),
                                                    window.findChild<QLabel*>(QStringLiteral("CPUUsageLabel")), n);
    };
    steps.cpuBrandString = [&processor] { return GetCpuBrandString(processor); };
    steps.measureCpuClock = [&processor] { return MeasureCpuClock(processor); };
    steps.powerCheck = [&session] { session.powerWatcher().startupCheck(); };
    steps.resetSession = [] {}; // the session starts idle: no test, no load
    formCreate(fMain, steps);

    // CPUUsagTimer: the usage bars once a second.
    QObject::connect(&fMain, &TfMain::cpuUsagTimerFired, &fMain, [&] {
        if (!usageMeter || !usageBars)
            return;
        if (const auto display = usageMeter->tick())
            usageBars->show(*display);
    });

    // Power notices and resumes run the broadcast rule.
    session.powerWatcher().watchResume(&systemEvents);

    // The menu.
    QObject::connect(&fMain, &TfMain::startTestRequested, &session,
                     [&session](int tag) { session.StartFastTestExecute(tag); });
    UpdateMessages updateMessages(&fMain);
    WebActions web(http, updateMessages, urlOpener);
    QObject::connect(&fMain, &TfMain::helpRequested, &fMain, [&web] { web.Action4Execute(); });
    QObject::connect(&fMain, &TfMain::checkUpdatesRequested, &fMain, [&web] { web.Action5Execute(); });

    // A results file named on the command line opens once the window is up.
    ResultsOnStart resultsOnStart(*fMain.loadResultsTimer(), fMain, &fMain, urlOpener, saveGraph);
    QObject::connect(&fMain, &TfMain::loadResultsTimerFired, &resultsOnStart,
                     [&resultsOnStart] { resultsOnStart.loadResultsTimerTimer(); });

    // The end of the session during a test: complete the file and come back
    // with its results at the next login.
    SessionEnd sessionEnd({[&session] { return session.state().TestMode != 0; },
                           [&session] { return session.state().ResultsPath; },
                           [&session] { session.StopTest(); }},
                          {}, &inhibitor, &systemEvents);
    QObject::connect(&session, &TestSession::testStarted, &sessionEnd, &SessionEnd::testStarted);
    QObject::connect(&session, &TestSession::testEnded, &sessionEnd, [&sessionEnd] { sessionEnd.testEnded(); });
    SessionEndGlue sessionEndGlue(sessionEnd, qobject_cast<QGuiApplication*>(QCoreApplication::instance()));

    // AMPERO_STARTUP_MARK: say on stderr when the window first shows, for
    // measuring start-up time.
    if (qEnvironmentVariableIsSet("AMPERO_STARTUP_MARK")) {
        QObject::connect(&fMain, &TfMain::firstShown, &fMain, [&sinceStart] {
            std::fprintf(stderr, "ampero: main window shown after %lld ms\n", static_cast<long long>(sinceStart.elapsed()));
            std::fflush(stderr);
        });
    }
    const QString shotDir = qEnvironmentVariable("AMPERO_SCREENSHOT_DIR");
    QObject::connect(&fMain, &TfMain::firstShown, &fMain, [&] {
        resultsOnStart.formShow(options.positional);
        if (!shotDir.isEmpty())
            QTimer::singleShot(200, &fMain, [&] { runScreenshotTour(fMain, fTestProcess, shotDir); });
    });

    fMain.show();
    return QApplication::exec();
}

} // namespace ampero
