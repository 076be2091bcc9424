// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/guiprogram.h"

#include "app/sessionendtriggers.h"
#include "app/startup.h"
#include "core/phrases.h"
#include "platform/screenstate.h"
#include "results/energysummary.h"
#include "session/companionrecorder.h"
#include "session/sessionend.h"
#include "session/testsession.h"
#include "session/workloadrunner.h"
#include "sysinfo/batteryinfo.h"
#include "sysinfo/processorinfo.h"
#include "sysinfo/usagedisplay.h"
#include "ui/addressfallback.h"
#include "ui/busyanimation.h"
#include "ui/chartwidget.h"
#include "ui/mainwindow.h"
#include "ui/resultsopener.h"
#include "ui/runcomparison.h"
#include "ui/testprogressdialog.h"
#include "ui/updatemessages.h"
#include "ui/usagebars.h"
#include "ui/widgetsessiondialogs.h"
#include "ui/windowcover.h"
#include "web/updatecheck.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QStatusBar>
#include <QTimer>

namespace ampero {

struct GuiProgram::Parts {
    explicit Parts(const GuiServices& s)
        : services(s)
        , mainWindow(s.urlOpener)
        , progressDialog(&mainWindow)
        , dialogs(&mainWindow)
        , session(mainWindow, mainWindow, dialogs, progressDialog, *s.power, *s.clock, *s.load)
        , updateMessages(&mainWindow)
        , heldUpdateMessages(updateMessages)
        , web(*s.http, heldUpdateMessages, *s.urlOpener)
        , resultsOnStart(*mainWindow.loadResultsTimer(), mainWindow, &mainWindow, *s.urlOpener,
              [this] { mainWindow.saveChart(); })
        , sessionEnd({ [this] { return session.state().mode != TestMode::None; },
                         [this] { return session.state().resultsPath; }, [this] { session.stopTest(); } },
              {}, s.inhibitor, s.systemEvents)
        , sessionEndTriggers(sessionEnd, qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        , comparison(*mainWindow.chart(), &mainWindow)
        , companion(session, *s.power, s.machine)
    {
    }

    GuiServices services;
    MainWindow mainWindow;
    TestProgressDialog progressDialog;
    WidgetSessionDialogs dialogs;
    WorkloadRunner workloads; // before the session, which stops it at its end
    TestSession session;
    UpdateMessages updateMessages;
    HeldUpdatePrompts heldUpdateMessages;
    WebActions web;
    CommandLineResults resultsOnStart;
    SessionEnd sessionEnd;
    SessionEndTriggers sessionEndTriggers;
    RunComparison comparison;
    CompanionRecorder companion;
    std::unique_ptr<UsageMeter> usageMeter;
    std::unique_ptr<UsageBars> usageBars;
    std::unique_ptr<WindowCover> mainCover;
    bool usageTimerWasOn = false;
    bool usageTimerWaitsForTick = false;
    bool blanked = false;
    bool held = false;

    // The kept reading: no call to the backend.
    void showPowerFigures()
    {
        const PowerStatus& status = services.power->status();
        mainWindow.setPowerFigures(
            status.powerW, batteryHealthPercent(status.energyFullWh, status.energyFullDesignWh));
    }

    // With the screen blanked nobody sees the windows, so the program draws
    // nothing: the busy animation holds its frame, the chart queues its
    // points, the main window does not repaint and the usage bars are not
    // sampled. The same holds for the main window alone while other windows
    // cover it wholly (the animation watches its own window). The test itself
    // goes on exactly as before. When the windows can be seen again
    // everything is drawn once, as it stands.
    void screenBlanked(bool on)
    {
        blanked = on;
        progressDialog.animation()->setPaused(on);
        holdMainWindow(blanked || (mainCover && mainCover->covered()));
    }

    void holdMainWindow(bool on)
    {
        if (held == on)
            return;
        held = on;
        mainWindow.chart()->setDeferringPoints(on);
        QTimer* usage = mainWindow.usageTimer();
        if (on) {
            usageTimerWasOn = usage->isActive() || usageTimerWaitsForTick;
            usageTimerWaitsForTick = false;
            usage->stop();
        } else if (usageTimerWasOn) {
            if (usageMeter)
                usageMeter->start(); // usage from now on, not over the hold
            // During a test it starts again with the test's next tick, to
            // share that wake-up as it did before.
            if (session.state().mode != TestMode::None)
                usageTimerWaitsForTick = true;
            else
                usage->start();
        }
        mainWindow.setUpdatesEnabled(!on);
    }

    // Help... and Check for updates...
    void connectHelpMenu()
    {
        Parts& p = *this;
        // A desktop with no browser gets the address to open by hand.
        QObject::connect(&mainWindow, &MainWindow::helpRequested, &mainWindow, [&p] {
            openOrShowAddress(
                *p.services.urlOpener, QUrl(helpPageUrl(), QUrl::StrictMode), helpPageUrl(), &p.mainWindow);
        });
        QObject::connect(
            &mainWindow, &MainWindow::checkUpdatesRequested, &mainWindow, [&p] { p.web.checkForUpdates(); });
        p.web.onCheckingChanged([&p](bool checking) { p.mainWindow.setUpdateCheckEnabled(!checking); });
        // The update check's answer waits while a test runs, and opens once it is
        // over: after its results window, if one shows.
        QObject::connect(
            &p.session, &TestSession::testStarted, &mainWindow, [&p] { p.heldUpdateMessages.setHeld(true); });
        QObject::connect(&p.session, &TestSession::testEnded, &mainWindow, [&p] {
            QTimer::singleShot(0, &p.mainWindow, [&p] {
                if (p.session.state().mode == TestMode::None)
                    p.heldUpdateMessages.setHeld(false);
            });
        });
        QObject::connect(&p.session, &TestSession::resultsClosed, &mainWindow,
            [&p] { p.heldUpdateMessages.setHeld(false); });
    }

    void tickTaken()
    {
        if (!usageTimerWaitsForTick)
            return;
        usageTimerWaitsForTick = false;
        mainWindow.usageTimer()->start();
    }
};

GuiProgram::GuiProgram(const GuiServices& services, const QStringList& arguments)
    : m(std::make_unique<Parts>(services))
{
    Parts& p = *m;
    MainWindow& mainWindow = p.mainWindow;
    p.progressDialog.hide();

    p.session.setMeasureCpuClock([&p] { return measureCpuClock(*p.services.processor); });
    p.session.setWorkloadRunner(&p.workloads);
    QObject::connect(
        &p.workloads, &WorkloadRunner::repaintWanted, &mainWindow, &MainWindow::repaintForWorkload);
    p.session.setShowResultsWindow([&p](const QString& path, const std::function<void()>& closed) {
        p.comparison.setOwnRun(path);
        if (!showResultsWindow(
                path, p.mainWindow, &p.mainWindow, *p.services.urlOpener, [&p] { p.mainWindow.saveChart(); },
                closed))
            closed();
    });

    StartupSteps steps;
    steps.readBatteryInfo = [&p] {
        const BatteryInfo battery
            = combinedBatteryInfo(*p.services.portableBattery, *p.services.generalBattery);
        p.session.setBatteryCapacity(battery.capacityMwh);
        p.companion.setBatteryInfo(battery);
    };
    steps.setUpProcessorUsage = [&p](MainWindow& window, int n) {
        p.usageMeter = std::make_unique<UsageMeter>(*p.services.processorTimes, n);
        p.usageMeter->start();
        if (n > 0)
            p.usageBars = std::make_unique<UsageBars>(window.processorGroup(), window.usageLabel(), n);
    };
    steps.cpuBrandString = [&p] { return cpuBrandString(*p.services.processor); };
    steps.measureCpuClock = [&p] { return measureCpuClock(*p.services.processor); };
    steps.powerCheck = [&p] { p.session.powerWatcher().startupCheck(); };
    prepareMainWindow(mainWindow, steps);

    // the usage timer: the usage bars and the live power figures once a second.
    p.showPowerFigures();
    QObject::connect(&mainWindow, &MainWindow::usageTimerFired, &mainWindow, [&p] {
        p.showPowerFigures();
        if (!p.usageMeter || !p.usageBars)
            return;
        if (const auto display = p.usageMeter->tick())
            p.usageBars->show(*display);
    });

    // The usage timer restarts with each test, so that it and the test's own
    // timer fire together: one wake-up a second during a test, not two. The
    // resume checks (every five seconds) ride the tick the same way.
    QObject::connect(&p.session, &TestSession::testStarted, &mainWindow, [&p] {
        QTimer* usage = p.mainWindow.usageTimer();
        if (usage->isActive())
            usage->start();
        p.session.powerWatcher().alignResumeChecks();
    });

    QObject::connect(&p.session, &TestSession::sampleTaken, &mainWindow, [&p] { p.tickTaken(); });
    p.mainCover = std::make_unique<WindowCover>(&mainWindow);
    QObject::connect(p.mainCover.get(), &WindowCover::coveredChanged, &mainWindow,
        [&p](bool covered) { p.holdMainWindow(p.blanked || covered); });

    if (services.screen) {
        QObject::connect(services.screen, &ScreenState::blankedChanged, &mainWindow,
            [&p](bool blanked) { p.screenBlanked(blanked); });
        if (services.screen->blanked())
            p.screenBlanked(true);
    }

    // Power notices, and resumes from sleep, run the broadcast rule.
    p.session.powerWatcher().watchResume(services.systemEvents);

    // The running test's power on the chart.
    QObject::connect(&p.companion, &CompanionRecorder::powerSampled, &mainWindow, &MainWindow::addPowerPoint);
    // A companion that cannot be written is said in the status bar, once a
    // test; the test goes on without it. A later test whose companion is
    // written clears it (the recorder has made its file by then: it follows
    // testStarted from its construction on).
    QObject::connect(
        &p.companion, &CompanionRecorder::writeFailed, &mainWindow, [&mainWindow](const QString& why) {
            mainWindow.statusBar()->showMessage(
                phrase("The companion file could not be written: %1. The test goes on without it.").arg(why));
        });
    QObject::connect(&p.session, &TestSession::testStarted, &mainWindow, [&p] {
        auto* bar = p.mainWindow.findChild<QStatusBar*>();
        if (bar && p.companion.errorString().isEmpty())
            bar->clearMessage();
    });

    // The menu.
    QObject::connect(&mainWindow, &MainWindow::startTestRequested, &p.session,
        [&p](TestMode mode) { p.session.startTest(mode); });
    p.connectHelpMenu();

    // A results file named on the command line opens once the window is up;
    // further files are compared with it.
    QObject::connect(&mainWindow, &MainWindow::firstShown, &p.resultsOnStart, [&p, arguments] {
        p.resultsOnStart.windowShown(arguments);
        if (arguments.size() > 1) {
            p.comparison.setOwnRun(arguments.first());
            p.comparison.addFiles(arguments.mid(1));
        }
    });

    // Comparing runs; a test start clears the comparison with the chart.
    QObject::connect(
        &mainWindow, &MainWindow::compareRequested, &p.comparison, [&p] { p.comparison.chooseFiles(); });
    QObject::connect(
        &mainWindow, &MainWindow::clearComparisonRequested, &p.comparison, [&p] { p.comparison.clear(); });
    QObject::connect(&mainWindow, &MainWindow::normalizeToggled, &p.comparison,
        [&p](bool on) { p.comparison.setNormalized(on); });
    QObject::connect(&p.session, &TestSession::testStarted, &p.comparison, [&p] {
        p.comparison.clear();
        p.comparison.setOwnRun({});
    });

    // The locks that keep the machine awake and hold a shutdown off for the
    // moment it takes to complete the file follow the test.
    QObject::connect(&p.session, &TestSession::testStarted, &p.sessionEnd, &SessionEnd::testStarted);
    QObject::connect(&p.session, &TestSession::testEnded, &p.sessionEnd, [&p] { p.sessionEnd.testEnded(); });
}

GuiProgram::~GuiProgram() = default;

MainWindow& GuiProgram::mainWindow()
{
    return m->mainWindow;
}
TestProgressDialog& GuiProgram::testingWindow()
{
    return m->progressDialog;
}
TestSession& GuiProgram::session()
{
    return m->session;
}
SessionEnd& GuiProgram::sessionEnd()
{
    return m->sessionEnd;
}

} // namespace ampero
