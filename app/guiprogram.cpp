// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/guiprogram.h"

#include "app/backends.h"
#include "app/batteryhistory.h"
#include "app/sessionendtriggers.h"
#include "app/startup.h"
#include "core/logging.h"
#include "core/phrases.h"
#include "platform/machinefacts.h"
#include "platform/screenstate.h"
#include "results/energysummary.h"
#include "results/historyview.h"
#include "session/brightnesshold.h"
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
#include "ui/historywindow.h"
#include "ui/mainwindow.h"
#include "ui/recentresults.h"
#include "ui/resultsopener.h"
#include "ui/runcomparison.h"
#include "ui/savedialogs.h"
#include "ui/testprogressdialog.h"
#include "ui/updatemessages.h"
#include "ui/usagebars.h"
#include "ui/widgetsessiondialogs.h"
#include "ui/windowcover.h"
#include "web/updatecheck.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QStatusBar>
#include <QTimer>

namespace ampero {

struct GuiProgram::Parts {
    explicit Parts(const GuiServices& s)
        : services(s)
        , mainWindow(s.urlOpener)
        , progressDialog(&mainWindow)
        , dialogs(&mainWindow)
        , brightnessHold(s.brightness
                  ? std::make_unique<BrightnessHold>(*s.brightness,
                      s.brightnessStateFile.isEmpty() ? defaultBrightnessStateFile() : s.brightnessStateFile)
                  : nullptr)
        , session(mainWindow, mainWindow, dialogs, progressDialog, *s.power, *s.clock, *s.load)
        , updateMessages(&mainWindow)
        , heldUpdateMessages(updateMessages)
        , downloadOpener(*s.urlOpener, &mainWindow)
        , web(*s.http, heldUpdateMessages, downloadOpener)
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
    std::unique_ptr<BrightnessHold> brightnessHold; // the same: the session puts the brightness back
    TestSession session;
    UpdateMessages updateMessages;
    HeldUpdatePrompts heldUpdateMessages;
    AddressFallbackOpener downloadOpener; // the download page: shown when it cannot be opened
    WebActions web;
    CommandLineResults resultsOnStart;
    SessionEnd sessionEnd;
    SessionEndTriggers sessionEndTriggers;
    RunComparison comparison;
    CompanionRecorder companion;
    RecentResults recent;
    QString fileOnChart; // the results file the chart shows, empty for none
    std::unique_ptr<UsageMeter> usageMeter;
    std::unique_ptr<UsageBars> usageBars;
    std::unique_ptr<WindowCover> mainCover;
    bool usageOn = false; // the usage display runs (start-up turns it on)
    bool testRunning = false; // from a test's start to its end: the tick drives the usage display
    bool blanked = false;
    bool held = false;
    BatteryInfo battery;
    std::unique_ptr<HistoryWriter> historyWriter; // the history's writes, off this thread
    QPointer<HistoryWindow> historyWindow;

    // A snapshot of the battery in the history, with the machine it is in.
    void recordBattery()
    {
        if (!historyWriter)
            return;
        std::optional<MachineFacts> facts;
        if (services.machine)
            facts = services.machine->read();
        historyWriter->recordBattery(battery, services.power->status(), facts);
    }

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
        // Usage from now on, not over the hold.
        if (!on && usageMeter)
            usageMeter->start();
        followUsage();
        mainWindow.setUpdatesEnabled(!on);
    }

    // The usage bars and the live power figures, once a second: by their own
    // timer, or during a test by the test's tick, so that the two cost one
    // wake-up a second and not two; neither while the window is held.
    void followUsage(bool restart = false)
    {
        QTimer* usage = mainWindow.usageTimer();
        const bool timer = usageOn && !held && !testRunning;
        if (timer && (restart || !usage->isActive())) {
            // The power source's own polls and the resume checks fire in
            // the same wake-up, as they do with the test's tick.
            services.power->alignPolling();
            session.powerWatcher().alignResumeChecks();
            usage->start();
        } else if (!timer && usage->isActive())
            usage->stop();
    }

    void showUsage()
    {
        showPowerFigures();
        if (!usageMeter || !usageBars)
            return;
        if (const auto display = usageMeter->tick())
            usageBars->show(*display);
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

    // The chart now shows path's results (empty: no file's): Show results
    // follows it, and a file shown is the latest of Open Recent.
    void setFileOnChart(const QString& path)
    {
        fileOnChart = path;
        menuFollowsTest();
        if (!path.isEmpty())
            recent.add(path);
    }

    // No file opens while a test runs, nor while its results window shows.
    void menuFollowsTest()
    {
        const bool idle = session.state().mode == TestMode::None;
        mainWindow.setOpenEnabled(idle);
        mainWindow.setShowResultsEnabled(idle && !fileOnChart.isEmpty());
    }

    // Open..., Open Recent and Show results: the file's results on the chart
    // and in their window, as for a file named on the command line; when it
    // cannot be shown, a message says why. Never during a test.
    void openResults(const QString& path)
    {
        if (session.state().mode != TestMode::None || path.isEmpty())
            return;
        const QString absolute = QFileInfo(path).absoluteFilePath();
        if (!QFileInfo::exists(absolute) && recent.files().contains(absolute)) {
            recent.remove(absolute);
            showOpenProblem(phrase("%1 no longer exists. It has been removed from the recent files.")
                                .arg(QDir::toNativeSeparators(absolute)));
            return;
        }
        ResultsProblem problem;
        bool shown = false;
        try {
            shown = showResultsWindow(
                absolute, mainWindow, &mainWindow, *services.urlOpener, [this] { mainWindow.saveChart(); },
                {}, &problem);
        } catch (const std::exception& e) {
            problem.failure = QString::fromLocal8Bit(e.what());
        }
        if (shown) {
            comparison.setOwnRun(absolute);
            setFileOnChart(absolute);
            return;
        }
        if (!problem.rejected) {
            // The chart was cleared.
            comparison.setOwnRun({});
            setFileOnChart({});
        }
        if (problem.failure.isEmpty())
            problem.failure = phrase("the results cannot be shown");
        showOpenProblem(phrase("%1: %2").arg(QDir::toNativeSeparators(absolute), problem.failure));
    }

    void showOpenProblem(const QString& text)
    {
        auto* box = new QMessageBox(
            QMessageBox::Warning, QCoreApplication::applicationName(), text, QMessageBox::Ok, &mainWindow);
        box->setObjectName(QStringLiteral("OpenResultsMessage"));
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
    }

    // Open..., Open Recent, Show results, and the recent files.
    void connectFileMenu()
    {
        Parts& p = *this;
        QObject::connect(&mainWindow, &MainWindow::openRequested, &mainWindow, [&p] {
            auto* dialog = new QFileDialog(&p.mainWindow, phrase("Open results"));
            dialog->setObjectName(QStringLiteral("OpenResultsDialog"));
            dialog->setAttribute(Qt::WA_DeleteOnClose);
            dialog->setOption(QFileDialog::DontUseNativeDialog);
            dialog->setFileMode(QFileDialog::ExistingFile);
            dialog->setAcceptMode(QFileDialog::AcceptOpen);
            dialog->setNameFilters(resultsOpenFilters());
            if (const QString folder = lastResultsFolder(); !folder.isEmpty())
                dialog->setDirectory(folder);
            QObject::connect(dialog, &QFileDialog::fileSelected, &p.mainWindow,
                [&p](const QString& path) { p.openResults(path); });
            dialog->open();
        });
        QObject::connect(&mainWindow, &MainWindow::openRecentRequested, &mainWindow,
            [&p](const QString& path) { p.openResults(path); });
        QObject::connect(&mainWindow, &MainWindow::showResultsRequested, &mainWindow,
            [&p] { p.openResults(p.fileOnChart); });
        QObject::connect(&mainWindow, &MainWindow::clearRecentRequested, &recent, [&p] { p.recent.clear(); });
        QObject::connect(&recent, &RecentResults::changed, &mainWindow,
            [&p] { p.mainWindow.setRecentFiles(p.recent.files()); });
        mainWindow.setRecentFiles(recent.files());
        QObject::connect(&resultsOnStart, &CommandLineResults::opened, &mainWindow,
            [&p](const QString& path) { p.setFileOnChart(QFileInfo(path).absoluteFilePath()); });
        // A test clears the chart; the menu takes no files until it has ended.
        QObject::connect(&session, &TestSession::testStarted, &mainWindow, [&p] { p.setFileOnChart({}); });
        QObject::connect(&session, &TestSession::testEnded, &mainWindow, [&p] { p.menuFollowsTest(); });
        QObject::connect(&session, &TestSession::resultsClosed, &mainWindow, [&p] { p.menuFollowsTest(); });
    }

    // The running test's power on the chart, and the companion's failures.
    void connectCompanion()
    {
        Parts& p = *this;
        QObject::connect(
            &p.companion, &CompanionRecorder::powerSampled, &p.mainWindow, &MainWindow::addPowerPoint);
        // A companion that cannot be written is said in the status bar, once a
        // test; the test goes on without it. A later test whose companion is
        // written clears it (the recorder has made its file by then: it follows
        // testStarted from its construction on).
        QObject::connect(
            &p.companion, &CompanionRecorder::writeFailed, &p.mainWindow, [&p](const QString& why) {
                p.mainWindow.statusBar()->showMessage(
                    phrase("The companion file could not be written: %1. The test goes on without it.")
                        .arg(why));
            });
        QObject::connect(&p.session, &TestSession::testStarted, &p.mainWindow, [&p] {
            auto* bar = p.mainWindow.findChild<QStatusBar*>();
            if (bar && p.companion.errorString().isEmpty())
                bar->clearMessage();
        });
    }

    // Comparing runs; a test start clears the comparison with the chart.
    void connectComparison()
    {
        Parts& p = *this;
        QObject::connect(&p.mainWindow, &MainWindow::compareRequested, &p.comparison,
            [&p] { p.comparison.chooseFiles(); });
        QObject::connect(&p.mainWindow, &MainWindow::clearComparisonRequested, &p.comparison,
            [&p] { p.comparison.clear(); });
        QObject::connect(&p.mainWindow, &MainWindow::normalizeToggled, &p.comparison,
            [&p](bool on) { p.comparison.setNormalized(on); });
        QObject::connect(&p.session, &TestSession::testStarted, &p.comparison, [&p] {
            p.comparison.clear();
            p.comparison.setOwnRun({});
        });
    }

    // The battery history: a snapshot once the window is up (from the event
    // loop, after the window's first frame), and one with the run at the end
    // of each test, once its files are complete.
    // The writes go to a thread of their own, so that a shared database that
    // cannot be reached never holds the windows.
    void connectHistory()
    {
        Parts& p = *this;
        historyWriter = std::make_unique<HistoryWriter>(*services.history);
        QObject::connect(&mainWindow, &MainWindow::firstShown, &mainWindow,
            [&p] { QTimer::singleShot(0, &p.mainWindow, [&p] { p.recordBattery(); }); });
        QObject::connect(&session, &TestSession::testEnded, &mainWindow, [&p] {
            p.recordBattery();
            p.historyWriter->recordRun(p.session.state().resultsPath);
        });
        QObject::connect(&mainWindow, &MainWindow::historyRequested, &mainWindow, [&p] { p.showHistory(); });
        // An open History window shows the run just added.
        QObject::connect(historyWriter.get(), &HistoryWriter::runRecorded, &mainWindow, [&p] {
            if (p.historyWindow)
                p.historyWindow->setHistory(p.readHistory(nullptr));
        });
    }

    // This machine's runs and battery health from the local store, which
    // alone knows where the results files are.
    HistoryView readHistory(QString* error) const
    {
        return readHistoryView(services.history->config().localFile, services.history->machineId(), error);
    }

    // Battery > History...: read at once, a few milliseconds for years of
    // history.
    void showHistory()
    {
        if (historyWindow) {
            historyWindow->raise();
            historyWindow->activateWindow();
            return;
        }
        auto* window = new HistoryWindow(&mainWindow);
        window->setAttribute(Qt::WA_DeleteOnClose);
        QString error;
        window->setHistory(readHistory(&error));
        QObject::connect(window, &HistoryWindow::openRunRequested, &mainWindow,
            [this](const QString& path) { openHistoryRuns({ path }); });
        QObject::connect(window, &HistoryWindow::compareRequested, &mainWindow,
            [this](const QStringList& paths) { openHistoryRuns(paths); });
        historyWindow = window;
        window->show();
        if (!error.isEmpty())
            showOpenProblem(phrase("The battery history cannot be read: %1").arg(error));
    }

    // One run opens as File > Open opens it; more are compared as files are.
    // A run whose results file was moved or deleted says so.
    void openHistoryRuns(const QStringList& paths)
    {
        if (session.state().mode != TestMode::None) {
            showOpenProblem(phrase("Runs can be opened once the test has ended."));
            return;
        }
        QStringList there, gone;
        for (const QString& path : paths)
            (!path.isEmpty() && QFileInfo(path).isFile() ? there : gone) << path;
        if (!gone.isEmpty()) {
            QStringList names;
            for (const QString& path : gone)
                names << (path.isEmpty() ? phrase("(no file recorded)") : QDir::toNativeSeparators(path));
            showOpenProblem((gone.size() == 1
                    ? phrase("The results file of this run is gone (moved or deleted):\n%1")
                    : phrase("The results files of these runs are gone (moved or deleted):\n%1"))
                                .arg(names.join(QLatin1Char('\n'))));
        }
        if (paths.size() == 1 && !there.isEmpty()) {
            openResults(there.first());
        } else if (!there.isEmpty()) {
            comparison.clear();
            comparison.addFiles(there);
        }
    }

    void tickTaken()
    {
        if (usageOn && !held && testRunning)
            showUsage();
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
    p.session.setBrightnessHold(p.brightnessHold.get());
    // A brightness a program that crashed or was killed during a test left.
    if (QString why; p.brightnessHold && !p.brightnessHold->restoreLeftOver(&why))
        qCWarning(lcApp).noquote() << "the screen brightness an earlier test left could not be put back:"
                                   << why;
    QObject::connect(
        &p.workloads, &WorkloadRunner::repaintWanted, &mainWindow, &MainWindow::repaintForWorkload);
    p.session.setShowResultsWindow([&p](const QString& path, const std::function<void()>& closed) {
        p.comparison.setOwnRun(path);
        if (showResultsWindow(
                path, p.mainWindow, &p.mainWindow, *p.services.urlOpener, [&p] { p.mainWindow.saveChart(); },
                closed)) {
            p.setFileOnChart(QFileInfo(path).absoluteFilePath());
        } else {
            closed();
        }
    });

    StartupSteps steps;
    steps.readBatteryInfo = [&p] {
        const BatteryInfo battery
            = combinedBatteryInfo(*p.services.portableBattery, *p.services.generalBattery);
        p.session.setBatteryCapacity(battery.capacityMwh);
        p.companion.setBatteryInfo(battery);
        p.battery = battery;
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

    // The usage timer: the usage bars and the live power figures once a
    // second. During a test the test's tick drives them instead.
    p.showPowerFigures();
    p.usageOn = mainWindow.usageTimer()->isActive();
    p.followUsage(true);
    QObject::connect(&mainWindow, &MainWindow::usageTimerFired, &mainWindow, [&p] { p.showUsage(); });
    QObject::connect(&p.session, &TestSession::testStarted, &mainWindow, [&p] {
        p.testRunning = true;
        p.followUsage();
    });
    QObject::connect(&p.session, &TestSession::testEnded, &mainWindow, [&p] {
        p.testRunning = false;
        p.followUsage();
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
    drainDuringTests(*services.power, p.session);

    p.connectCompanion();

    // The menu.
    QObject::connect(&mainWindow, &MainWindow::startTestRequested, &p.session,
        [&p](TestMode mode) { p.session.startTest(mode); });
    p.connectHelpMenu();
    p.connectFileMenu();

    // A results file named on the command line opens once the window is up;
    // further files are compared with it.
    QObject::connect(&mainWindow, &MainWindow::firstShown, &p.resultsOnStart, [&p, arguments] {
        p.resultsOnStart.windowShown(arguments);
        if (arguments.size() > 1) {
            p.comparison.setOwnRun(arguments.first());
            p.comparison.addFiles(arguments.mid(1));
        }
    });

    if (services.history)
        p.connectHistory();
    else if (auto* history = mainWindow.findChild<QAction*>(QStringLiteral("historyAction")))
        history->setEnabled(false); // a stand-in battery keeps no history

    p.connectComparison();

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
