// SPDX-License-Identifier: GPL-3.0-or-later
// The whole window program as a user meets it: the real windows, the real
// session, results and session-end pieces, over fake services. Tests are
// started from the menu and answered through the windows that open.
#include "app/batteryhistory.h"
#include "app/guiprogram.h"
#include "platform/batteryidentity.h"
#include "platform/clock.h"
#include "platform/fakepowersource.h"
#include "platform/fakeprocessor.h"
#include "platform/fakeprocessortimes.h"
#include "platform/httpclient.h"
#include "platform/inhibitor.h"
#include "platform/screenstate.h"
#include "platform/systemevents.h"
#include "platform/urlopener.h"
#include "results/resultsformat.h"
#include "session/testsession.h"
#include "support/modaldriver.h"
#include "support/sessionfakes.h"
#include "support/testutil.h"
#include "ui/busyanimation.h"
#include "ui/chartwidget.h"
#include "ui/historywindow.h"
#include "ui/mainwindow.h"
#include "ui/resultswindow.h"
#include "ui/testprogressdialog.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <arpa/inet.h>
#include <atomic>
#include <functional>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace ampero;

namespace {

struct NoHttp final : HttpClient {
    void probe(const QUrl&, const QByteArray&, QDeadlineTimer, HttpDone done) override { done({}); }
    void get(const QUrl&, const QByteArray&, qint64, QDeadlineTimer, HttpDone done) override { done({}); }
};

QString labelText(const QWidget& w, const char* name)
{
    const auto* l = w.findChild<QLabel*>(QString::fromLatin1(name));
    return l ? l->text() : QStringLiteral("<missing %1>").arg(QString::fromLatin1(name));
}

using ModalAnswers = test::ModalDriver;

// Runs the application's event loop, as the program does, until done() holds.
// A guard ends a loop that would run on, as a failure.
void runLoopUntil(const std::function<bool()>& done, int timeoutMs = 30000)
{
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, &poll, [&] {
        if (done())
            QCoreApplication::exit(0);
    });
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, &guard, [] { QCoreApplication::exit(1); });
    poll.start();
    guard.start(timeoutMs);
    EXPECT_EQ(QApplication::exec(), 0) << "the loop ran out of time";
}

struct ResultsSeen {
    QString caption, fileName, mode, load, forecast, batteryLife;
    QList<QPointF> forecastLine;
    int curvePoints = 0;
};

class GuiProgramTest : public ::testing::Test {
protected:
    GuiProgramTest()
    {
        PowerStatus s;
        s.line = PowerLine::Battery;
        s.level = 80;
        s.timeLeft = std::chrono::seconds(3600);
        s.fullLifeTime = std::chrono::seconds(7200);
        power.setStatus(s);
        // As the processor gives it: 48 bytes, padded with NULs.
        processor.brand = QByteArray("  Test Processor 3000").leftJustified(48, '\0');
        services.power = &power;
        services.clock = &clock;
        services.urlOpener = &opener;
        services.processor = &processor;
        services.processorTimes = &times;
        services.portableBattery = &battery;
        services.generalBattery = &battery;
        services.systemEvents = &events;
        services.inhibitor = &inhibitor;
        services.http = &http;
        services.load = &load;
    }

    std::unique_ptr<GuiProgram> start(const QStringList& arguments = {})
    {
        auto program = std::make_unique<GuiProgram>(services, arguments);
        program->mainWindow().show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&program->mainWindow()));
        return program;
    }

    // The start-test window is confirmed with "Start test" and the save
    // dialog given name in the temporary folder.
    void answerStart(ModalAnswers& answers, const QString& name)
    {
        answers.on(QStringLiteral("StartTestDialog"), [](QWidget* w) {
            startModeText = labelText(*w, "testModeLabel");
            w->findChild<QPushButton*>(QStringLiteral("startButton"))->click();
        });
        answers.on(QStringLiteral("saveReportDialog"), [this, name](QWidget* w) {
            auto* d = static_cast<QFileDialog*>(w);
            d->setDirectory(dir.path());
            d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(name);
            static_cast<QDialog*>(d)->accept();
        });
    }

    static void answerResults(ModalAnswers& answers, GuiProgram& program, ResultsSeen* seen)
    {
        answers.on(QStringLiteral("ResultsWindow"), [&program, seen](QWidget* w) {
            seen->caption = w->windowTitle();
            seen->fileName = labelText(*w, "reportFileLabel");
            seen->mode = labelText(*w, "testModeLabel");
            seen->load = labelText(*w, "loadLabel");
            seen->forecast = labelText(*w, "systemForecastLabel");
            seen->batteryLife = labelText(*w, "testForecastLabel");
            seen->forecastLine = program.mainWindow().chart()->series(ChartSeriesRole::Forecast)->points();
            seen->curvePoints
                = static_cast<int>(program.mainWindow().chart()->series(ChartSeriesRole::Levels)->count());
            w->findChild<QPushButton*>(QStringLiteral("closeButton"))->click();
        });
    }

    static QAction* menu(GuiProgram& program, const char* name)
    {
        return program.mainWindow().findChild<QAction*>(QString::fromLatin1(name));
    }

    static inline QString startModeText;
    QTemporaryDir dir;
    FakePowerSource power;
    FakeClock clock;
    FakeUrlOpener opener;
    FakeProcessor processor;
    FakeProcessorTimes times;
    FakeBatteryIdentity battery;
    FakeSystemEvents events;
    FakeInhibitor inhibitor;
    NoHttp http;
    test::FakeLoad load;
    GuiServices services;
};

TEST_F(GuiProgramTest, FastTestFromTheMenuToItsResults)
{
    auto program = start();
    MainWindow& main = program->mainWindow();
    EXPECT_EQ(labelText(main, "actionLabel"), QStringLiteral("ready for test"));
    EXPECT_EQ(labelText(main, "processorNameLabel"), QStringLiteral("Test Processor 3000"));
    ASSERT_TRUE(menu(*program, "startFastTestAction")->isEnabled());

    // The battery loses one percent a second: changes at 1, 2 and 3 s.
    QObject::connect(&program->session(), &TestSession::sampleTaken, &main,
        [this](double, int level) { power.setLevel(level - 1); });
    bool lockedDuringTest = false;
    bool filesOpenDuringTest = true;
    QObject::connect(&program->session(), &TestSession::sampleTaken, &main, [&, this] {
        lockedDuringTest = inhibitor.holdsDelayLock() && inhibitor.holdsIdleLock();
        filesOpenDuringTest
            = menu(*program, "openAction")->isEnabled() || menu(*program, "showResultsAction")->isEnabled();
    });
    // Every tick runs on the application's one event loop, not in a modal
    // loop of the testing window's or of anything else.
    QList<int> loopLevels;
    QObject::connect(&program->session(), &TestSession::sampleTaken, &main,
        [&loopLevels] { loopLevels << QThread::currentThread()->loopLevel(); });
    QSignalSpy over(&program->session(), &TestSession::resultsClosed);
    ModalAnswers answers;
    answerStart(answers, QStringLiteral("fast run"));
    ResultsSeen seen;
    answerResults(answers, *program, &seen);

    QTimer::singleShot(0, &main, [&] { menu(*program, "startFastTestAction")->trigger(); });
    runLoopUntil([&] { return over.count() == 1; });

    EXPECT_EQ(loopLevels, QList<int>(4, 1));
    EXPECT_EQ(answers.seen(),
        (QStringList { "StartTestDialog", "saveReportDialog", "TestProgressDialog", "ResultsWindow" }));
    EXPECT_EQ(startModeText, QStringLiteral("fast"));
    EXPECT_EQ(seen.caption, QStringLiteral("Testing results"));
    EXPECT_EQ(seen.fileName, QStringLiteral("fast run.apr"));
    EXPECT_EQ(seen.mode, QStringLiteral("fast"));
    EXPECT_EQ(seen.load, QStringLiteral("full"));
    EXPECT_EQ(seen.forecast, QStringLiteral("2:00:00"));
    // From 80 % losing one percent a second the line reaches 0 % at 80 s.
    EXPECT_EQ(seen.batteryLife, QStringLiteral("0:01:20"));
    ASSERT_EQ(seen.forecastLine.size(), 2);
    EXPECT_EQ(seen.forecastLine.at(0), QPointF(0, 80));
    EXPECT_NEAR(seen.forecastLine.at(1).x() * 86400, 80.0, 1e-6);
    EXPECT_EQ(seen.forecastLine.at(1).y(), 0.0);
    EXPECT_GE(seen.curvePoints, 2);
    EXPECT_TRUE(lockedDuringTest);
    EXPECT_FALSE(filesOpenDuringTest);
    EXPECT_TRUE(menu(*program, "showResultsAction")->isEnabled()) << "the test's file is on the chart";
    EXPECT_EQ(QSettings().value(QStringLiteral("recentResults")).toStringList().value(0),
        dir.filePath(QStringLiteral("fast run.apr")));
    EXPECT_FALSE(inhibitor.holdsDelayLock());
    EXPECT_FALSE(inhibitor.holdsIdleLock());

    const ResultsReadResult file
        = readResultsFile(dir.filePath(QStringLiteral("fast run.apr")).toStdString());
    ASSERT_TRUE(file.ok()) << file.describe();
    EXPECT_TRUE(file.data.complete);
    EXPECT_EQ(file.data.mode, 1);
    EXPECT_EQ(file.data.noLoad, 0);
    EXPECT_EQ(file.data.samples, (std::vector<uint8_t> { 80, 79, 78, 77 }));
    EXPECT_EQ(load.starts, 1);
    EXPECT_FALSE(load.running);
    EXPECT_EQ(labelText(main, "actionLabel"), QStringLiteral("testing completed"));
    EXPECT_FALSE(program->testingWindow().isVisible());
    EXPECT_EQ(program->session().state().mode, TestMode::None);
    EXPECT_TRUE(QTest::qWaitFor([&] { return main.findChildren<ResultsWindow*>().isEmpty(); }));
}

// The power drawn and the battery's health follow the kept reading each
// second, also when neither line nor level changed; "—" where unknown.
TEST_F(GuiProgramTest, LivePowerFiguresFollowTheReading)
{
    auto program = start();
    MainWindow& main = program->mainWindow();
    EXPECT_EQ(labelText(main, "powerDrawLabel"), QStringLiteral("\u2014"));
    EXPECT_EQ(labelText(main, "healthLabel"), QStringLiteral("\u2014"));
    PowerStatus s = power.status();
    s.powerW = 9.84;
    s.energyFullWh = 41.0;
    s.energyFullDesignWh = 50.0;
    power.setStatus(s);
    Q_EMIT main.usageTimerFired(); // a second later
    EXPECT_EQ(labelText(main, "powerDrawLabel"), QLocale().toString(9.8, 'f', 1) + QStringLiteral(" W"));
    EXPECT_EQ(labelText(main, "healthLabel"), QStringLiteral("82%"));
    EXPECT_EQ(labelText(main, "levelCaption"), QStringLiteral("Level:")) << "the level's labels stay";
}

TEST_F(GuiProgramTest, BatteryNoticesDuringATestKeepTestingAsTheCurrentAction)
{
    auto program = start();
    MainWindow& main = program->mainWindow();
    // Every level change of the battery is a power notice to the program.
    QStringList actions, levels;
    QObject::connect(&program->session(), &TestSession::sampleTaken, &main, [&](double, int level) {
        actions << labelText(main, "actionLabel");
        levels << labelText(main, "levelLabel");
        power.setLevel(level - 1);
    });
    QSignalSpy over(&program->session(), &TestSession::resultsClosed);
    ModalAnswers answers;
    answerStart(answers, QStringLiteral("notices"));
    ResultsSeen seen;
    answerResults(answers, *program, &seen);

    menu(*program, "startFastTestAction")->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return over.count() == 1; }, 20000));

    ASSERT_EQ(actions.size(), 4);
    EXPECT_EQ(actions, QStringList(4, QStringLiteral("testing...")));
    EXPECT_EQ(levels, (QStringList { "80%", "79%", "78%", "77%" }));
    EXPECT_EQ(labelText(main, "actionLabel"), QStringLiteral("testing completed"));
}

TEST_F(GuiProgramTest, NothingIsDrawnWhileTheScreenIsBlankedAndTheTestGoesOn)
{
    FakeScreenState screen;
    services.screen = &screen;
    auto program = start();
    MainWindow& main = program->mainWindow();
    test::PaintCounter counter;
    main.chart()->installEventFilter(&counter);
    ASSERT_TRUE(main.usageTimer()->isActive());

    struct Seen {
        bool paused = false, deferring = false, updates = true, usageTimer = true;
        int paints = -1;
        QString power;
    } whileBlank, afterwards;
    int paintsAtBlank = 0;
    int samples = 0;
    QObject::connect(&program->session(), &TestSession::sampleTaken, &main, [&](double, int level) {
        ++samples;
        BusyAnimation* animation = program->testingWindow().animation();
        if (samples == 1) {
            EXPECT_TRUE(animation->isRunning());
            screen.setBlanked(true); // the user locks the screen
            paintsAtBlank = counter.paints;
        } else if (samples == 3) {
            whileBlank = { animation->isPaused(), main.chart()->isDeferringPoints(), main.updatesEnabled(),
                main.usageTimer()->isActive(), counter.paints - paintsAtBlank, {} };
            screen.setBlanked(false); // and comes back
            afterwards = { animation->isPaused(), main.chart()->isDeferringPoints(), main.updatesEnabled(),
                main.usageTimer()->isActive(), -1, {} };
            PowerStatus s = power.status();
            s.powerW = 7.0;
            power.setStatus(s);
        } else if (samples == 4) {
            // The usage bars and power figures come back with the next tick,
            // in its wake-up: during a test the tick drives them.
            afterwards.power = labelText(main, "powerDrawLabel");
        }
        power.setLevel(level - 1);
    });
    QSignalSpy over(&program->session(), &TestSession::resultsClosed);
    ModalAnswers answers;
    answerStart(answers, QStringLiteral("locked"));
    ResultsSeen seen;
    answerResults(answers, *program, &seen);

    menu(*program, "startFastTestAction")->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return over.count() == 1; }, 20000));

    EXPECT_TRUE(whileBlank.paused);
    EXPECT_TRUE(whileBlank.deferring);
    EXPECT_FALSE(whileBlank.updates);
    EXPECT_FALSE(whileBlank.usageTimer);
    EXPECT_EQ(whileBlank.paints, 0); // the samples waited
    EXPECT_FALSE(afterwards.paused);
    EXPECT_FALSE(afterwards.deferring);
    EXPECT_TRUE(afterwards.updates);
    EXPECT_FALSE(afterwards.usageTimer);
    EXPECT_EQ(afterwards.power, QLocale().toString(7.0, 'f', 1) + QStringLiteral(" W"));

    // The test itself never noticed: every sample is in the file and the chart.
    EXPECT_EQ(seen.batteryLife, QStringLiteral("0:01:20"));
    const ResultsReadResult file = readResultsFile(dir.filePath(QStringLiteral("locked.apr")).toStdString());
    ASSERT_TRUE(file.ok()) << file.describe();
    EXPECT_EQ(file.data.samples, (std::vector<uint8_t> { 80, 79, 78, 77 }));
    EXPECT_EQ(seen.curvePoints, 4);
}

TEST_F(GuiProgramTest, ScreenAlreadyBlankedAtStartDrawsNothingUntilItComesBack)
{
    FakeScreenState screen;
    screen.setBlanked(true);
    services.screen = &screen;
    auto program = start();
    EXPECT_FALSE(program->mainWindow().updatesEnabled());
    EXPECT_FALSE(program->mainWindow().usageTimer()->isActive());
    EXPECT_TRUE(program->testingWindow().animation()->isPaused());
    screen.setBlanked(false);
    EXPECT_TRUE(program->mainWindow().updatesEnabled());
    EXPECT_TRUE(program->mainWindow().usageTimer()->isActive());
}

TEST_F(GuiProgramTest, AMainWindowCoveredByOtherWindowsDrawsNothingUntilUncovered)
{
    FakeScreenState screen;
    services.screen = &screen;
    auto program = start();
    MainWindow& main = program->mainWindow();
    const auto drawing = [&] {
        return main.updatesEnabled() && !main.chart()->isDeferringPoints() && main.usageTimer()->isActive();
    };
    const auto held = [&] {
        return !main.updatesEnabled() && main.chart()->isDeferringPoints() && !main.usageTimer()->isActive();
    };
    test::sendVisibilityNotice(main.winId(), true);
    EXPECT_TRUE(held());
    test::sendVisibilityNotice(main.winId(), false);
    EXPECT_TRUE(drawing());

    // Uncovered while the screen is blank it still draws nothing.
    test::sendVisibilityNotice(main.winId(), true);
    screen.setBlanked(true);
    test::sendVisibilityNotice(main.winId(), false);
    EXPECT_TRUE(held());
    screen.setBlanked(false);
    EXPECT_TRUE(drawing());
}

TEST_F(GuiProgramTest, CancelInTheStartWindowOrTheSaveDialogChangesNothing)
{
    auto program = start();
    MainWindow& main = program->mainWindow();
    const QString action = labelText(main, "actionLabel");
    struct Case {
        const char* name;
        bool confirm;
    };
    for (const Case c : { Case { "start window", false }, Case { "save dialog", true } }) {
        SCOPED_TRACE(c.name);
        ModalAnswers answers;
        answers.on(QStringLiteral("StartTestDialog"), [c](QWidget* w) {
            w->findChild<QPushButton*>(QString::fromLatin1(c.confirm ? "startButton" : "cancelButton"))
                ->click();
        });
        answers.on(QStringLiteral("saveReportDialog"), [this](QWidget* w) {
            static_cast<QFileDialog*>(w)->setDirectory(dir.path());
            static_cast<QDialog*>(w)->reject();
        });
        menu(*program, "startNormalTestAction")->trigger();
        const QStringList expected = c.confirm ? QStringList({ "StartTestDialog", "saveReportDialog" })
                                               : QStringList { "StartTestDialog" };
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return answers.seen() == expected && !QApplication::activeModalWidget(); }));
        EXPECT_EQ(answers.seen(), expected);
        EXPECT_EQ(program->session().state().mode, TestMode::None);
        EXPECT_EQ(labelText(main, "actionLabel"), action);
        EXPECT_FALSE(inhibitor.holdsDelayLock());
        EXPECT_EQ(load.starts, 0);
        EXPECT_TRUE(QDir(dir.path()).isEmpty());
    }
}

// A test that ends before its regular end: the file is complete, no results
// window opens and the main window says so.
struct InterruptCase {
    const char* name;
    std::function<void(FakePowerSource&, GuiProgram&)> interrupt;
};

void PrintTo(const InterruptCase& c, std::ostream* os)
{
    *os << c.name;
}

class GuiProgramInterrupt : public GuiProgramTest, public ::testing::WithParamInterface<InterruptCase> { };

TEST_P(GuiProgramInterrupt, FileCompleteNoResultsWindow)
{
    auto program = start();
    MainWindow& main = program->mainWindow();
    // Without load: no worker starts.
    menu(*program, "noLoadAction")->trigger();
    ASSERT_TRUE(main.noLoadChecked());
    int samples = 0;
    QObject::connect(&program->session(), &TestSession::sampleTaken, &main, [&] {
        if (++samples == 2)
            GetParam().interrupt(power, *program);
    });
    QSignalSpy ended(&program->session(), &TestSession::testEnded);
    // A folder at the companion's name: said in the status bar, and the test goes on.
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("normal.apr.jsonl")));
    ModalAnswers answers;
    answerStart(answers, QStringLiteral("normal"));
    menu(*program, "startNormalTestAction")->trigger();
    // The tick after the window closed sees it gone and ends the test.
    EXPECT_TRUE(QTest::qWaitFor([&] { return ended.count() == 1; }, 20000));

    EXPECT_EQ(answers.seen(), (QStringList { "StartTestDialog", "saveReportDialog", "TestProgressDialog" }));
    EXPECT_EQ(samples, 2);
    EXPECT_EQ(program->session().state().mode, TestMode::None);
    EXPECT_EQ(labelText(main, "actionLabel"), QStringLiteral("testing interrupted"));
    EXPECT_TRUE(main.statusBar()->currentMessage().contains(QStringLiteral("Is a directory")));
    EXPECT_EQ(load.starts, 0);
    EXPECT_FALSE(inhibitor.holdsDelayLock());
    const ResultsReadResult file = readResultsFile(dir.filePath(QStringLiteral("normal.apr")).toStdString());
    ASSERT_TRUE(file.ok()) << file.describe();
    EXPECT_TRUE(file.data.complete);
    EXPECT_EQ(file.data.mode, 2);
    EXPECT_EQ(file.data.noLoad, 1);
    EXPECT_EQ(file.data.samples, (std::vector<uint8_t> { 80, 80 }));
    EXPECT_FALSE(file.data.hasLevelChangeTimes);
}

INSTANTIATE_TEST_SUITE_P(Ways, GuiProgramInterrupt,
    ::testing::Values(
        InterruptCase { "CancelButton",
            [](FakePowerSource&, GuiProgram& p) {
                p.testingWindow().findChild<QPushButton*>(QStringLiteral("cancelButton"))->click();
            } },
        InterruptCase {
            "AcPlugged", [](FakePowerSource& power, GuiProgram&) { power.setLine(PowerLine::Mains); } }),
    [](const ::testing::TestParamInfo<InterruptCase>& info) { return std::string(info.param.name); });

TEST_F(GuiProgramTest, ResultsFileOnTheCommandLineOpensShortlyAfterShow)
{
    // A fast test's file: 80, 79, 78 with changes at 1 and 2 s; unfinished
    // third change, so no forecast line.
    std::vector<uint8_t> bytes = encodeResultsHeader(1, 1, 5400);
    for (uint8_t level : { 80, 79, 78 })
        bytes.push_back(level);
    const std::array<double, 3> times { 1.0 / 86400, 2.0 / 86400, 0.0 };
    const std::vector<uint8_t> trailer = encodeResultsTrailer(&times, 48000, 0);
    bytes.insert(bytes.end(), trailer.begin(), trailer.end());
    const QString path = test::writeFile(dir, QStringLiteral("my results.apr"),
        QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size())));

    ModalAnswers answers;
    ResultsSeen seen;
    QElapsedTimer sinceShow;
    qint64 openedAfterMs = -1;
    GuiProgram program(services, { path });
    answers.on(QStringLiteral("ResultsWindow"), [&](QWidget* w) {
        openedAfterMs = sinceShow.elapsed();
        seen.mode = labelText(*w, "testModeLabel");
        seen.fileName = labelText(*w, "reportFileLabel");
        seen.forecast = labelText(*w, "systemForecastLabel");
        seen.forecastLine = program.mainWindow().chart()->series(ChartSeriesRole::Forecast)->points();
        seen.curvePoints
            = static_cast<int>(program.mainWindow().chart()->series(ChartSeriesRole::Levels)->count());
        w->findChild<QPushButton*>(QStringLiteral("closeButton"))->click();
    });
    EXPECT_TRUE(answers.seen().isEmpty()) << "nothing before the window shows";
    sinceShow.start();
    program.mainWindow().show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return openedAfterMs >= 0; }, 5000));
    EXPECT_LT(openedAfterMs, 2000);
    EXPECT_EQ(seen.fileName, QStringLiteral("my results.apr"));
    EXPECT_EQ(seen.mode, QStringLiteral("fast"));
    EXPECT_EQ(seen.forecast, QStringLiteral("1:30:00"));
    EXPECT_TRUE(seen.forecastLine.isEmpty());
    EXPECT_GE(seen.curvePoints, 2);
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return program.mainWindow().findChildren<ResultsWindow*>().isEmpty(); }, 2000));
    EXPECT_EQ(answers.seen(), QStringList { "ResultsWindow" });
}

TEST_F(GuiProgramTest, OtherFileOnTheCommandLineOpensNothing)
{
    const QString notResults
        = test::writeFile(dir, QStringLiteral("notes.txt"), QByteArray("just some notes\n"));
    for (const QString& arg : { notResults, dir.filePath(QStringLiteral("missing.apr")), dir.path() }) {
        SCOPED_TRACE(arg.toStdString());
        ModalAnswers answers;
        answers.on(QStringLiteral("ResultsWindow"), [](QWidget* w) { static_cast<QDialog*>(w)->reject(); });
        GuiProgram program(services, { arg });
        program.mainWindow().show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&program.mainWindow()));
        QTimer* loadTimer = program.mainWindow().loadResultsTimer();
        // The timer shows a results window from its own handler: once it
        // has run, anything it would have opened has been seen.
        EXPECT_TRUE(QTest::qWaitFor([&] { return !loadTimer->isActive(); }, 2000));
        EXPECT_TRUE(answers.seen().isEmpty());
        EXPECT_EQ(program.mainWindow().chart()->series(ChartSeriesRole::Levels)->count(), 0);
        EXPECT_EQ(program.mainWindow().chart()->series(ChartSeriesRole::Forecast)->count(), 0);
    }
}

TEST_F(GuiProgramTest, CommandLineComparesFurtherFilesAndATestStartClearsThem)
{
    const auto write = [this](const QString& name, int seconds) {
        std::vector<uint8_t> bytes = encodeResultsHeader(2, 0, 5400);
        for (int i = 0; i < seconds; ++i)
            bytes.push_back(static_cast<uint8_t>(90 - i));
        const std::vector<uint8_t> trailer = encodeResultsTrailer(nullptr, 48000, 0);
        bytes.insert(bytes.end(), trailer.begin(), trailer.end());
        return test::writeFile(dir, name,
            QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size())));
    };
    const QStringList files { write(QStringLiteral("A.apr"), 5), write(QStringLiteral("B.apr"), 30),
        write(QStringLiteral("C.apr"), 12) };
    ModalAnswers answers;
    bool resultsSeen = false;
    answers.on(QStringLiteral("ResultsWindow"), [&resultsSeen](QWidget* w) {
        resultsSeen = true;
        static_cast<QDialog*>(w)->reject();
    });
    auto program = start(files);
    ChartWidget* chart = program->mainWindow().chart();
    ASSERT_TRUE(QTest::qWaitFor([&] { return resultsSeen; }, 5000));
    EXPECT_EQ(answers.seen(), QStringList { "ResultsWindow" }) << "A's results as without the others";
    // The main window's own series: the levels, the forecast line and the power.
    const int own = 3;
    ASSERT_EQ(chart->seriesCount(), own + 2);
    EXPECT_EQ(chart->series(ChartSeriesRole::Levels)->count(), 5);
    EXPECT_EQ(chart->series(ChartSeriesRole::Levels)->legend(), QStringLiteral("A.apr, normal, full"));
    EXPECT_EQ(chart->series(own)->legend(), QStringLiteral("B.apr, normal, full"));
    EXPECT_NEAR(chart->bottomMaximum() * 86400, 29, 1e-6);
    auto* table = program->mainWindow().findChild<QWidget*>(QStringLiteral("ComparisonWindow"));
    ASSERT_TRUE(table);
    EXPECT_TRUE(table->isVisible());

    // A test start clears the comparison with the chart.
    QObject::connect(&program->session(), &TestSession::sampleTaken, &program->mainWindow(),
        [this](double, int level) { power.setLevel(level - 1); });
    int seriesDuringTest = -1;
    QObject::connect(&program->session(), &TestSession::sampleTaken, &program->mainWindow(),
        [&] { seriesDuringTest = chart->seriesCount(); });
    QSignalSpy over(&program->session(), &TestSession::resultsClosed);
    answerStart(answers, QStringLiteral("new run"));
    ResultsSeen seen;
    answerResults(answers, *program, &seen);
    QTimer::singleShot(0, &program->mainWindow(), [&] { menu(*program, "startFastTestAction")->trigger(); });
    runLoopUntil([&] { return over.count() == 1; });
    EXPECT_EQ(seriesDuringTest, own);
    EXPECT_EQ(chart->seriesCount(), own);
    EXPECT_TRUE(chart->series(ChartSeriesRole::Levels)->legend().isEmpty());
    EXPECT_TRUE(program->mainWindow().findChildren<QWidget*>(QStringLiteral("ComparisonWindow")).isEmpty()
        || !program->mainWindow().findChild<QWidget*>(QStringLiteral("ComparisonWindow"))->isVisible());
}

// File > Open..., Show results and Open Recent, with a file that has gone.
TEST_F(GuiProgramTest, OpenShowAgainAndOpenRecent)
{
    QSettings().clear();
    const auto write = [this](const QString& name) {
        std::vector<uint8_t> bytes = encodeResultsHeader(2, 0, 5400);
        bytes.insert(bytes.end(), { 90, 89, 88 });
        const std::vector<uint8_t> trailer = encodeResultsTrailer(nullptr, 48000, 0);
        bytes.insert(bytes.end(), trailer.begin(), trailer.end());
        return test::writeFile(dir, name,
            QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size())));
    };
    const QString a = write(QStringLiteral("a.apr"));
    const QString b = write(QStringLiteral("b.apr"));
    auto program = start();
    MainWindow& main = program->mainWindow();
    EXPECT_FALSE(menu(*program, "showResultsAction")->isEnabled());
    const auto recent = [&main] {
        QStringList paths;
        for (const QAction* action : main.findChildren<QAction*>(QStringLiteral("recentFileAction")))
            paths << action->data().toString();
        return paths;
    };
    ModalAnswers answers;
    QStringList shown;
    answers.on(QStringLiteral("ResultsWindow"), [&shown](QWidget* w) {
        shown << labelText(*w, "reportFileLabel");
        static_cast<QDialog*>(w)->reject();
    });
    QString next = a;
    QString startFolder;
    answers.on(QStringLiteral("OpenResultsDialog"), [&](QWidget* w) {
        auto* d = static_cast<QFileDialog*>(w);
        startFolder = d->directory().absolutePath();
        d->setDirectory(QFileInfo(next).path());
        d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(QFileInfo(next).fileName());
        static_cast<QDialog*>(d)->accept();
    });
    QString message;
    answers.on(QStringLiteral("OpenResultsMessage"), [&message](QWidget* w) {
        message = static_cast<QMessageBox*>(w)->text();
        static_cast<QDialog*>(w)->accept();
    });

    menu(*program, "openAction")->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return shown.size() == 1; }));
    ASSERT_TRUE(menu(*program, "showResultsAction")->isEnabled());
    menu(*program, "showResultsAction")->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return shown.size() == 2; }));
    next = b;
    menu(*program, "openAction")->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return shown.size() == 3; }));
    EXPECT_EQ(shown, (QStringList { "a.apr", "a.apr", "b.apr" }));
    EXPECT_EQ(startFolder, dir.path()) << "the folder of the last results file";
    EXPECT_EQ(recent(), (QStringList { b, a }));
    // A file that is not a results file is named with the reason.
    next = test::writeFile(dir, QStringLiteral("notes.txt"), QByteArray("just some notes\n"));
    menu(*program, "openAction")->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !message.isEmpty(); }));
    EXPECT_TRUE(message.startsWith(next + QStringLiteral(": "))) << message.toStdString();
    message.clear();

    // A file gone since is said and leaves the list; Clear empties it.
    ASSERT_TRUE(QFile::remove(a));
    main.findChildren<QAction*>(QStringLiteral("recentFileAction")).at(1)->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !message.isEmpty(); }));
    EXPECT_TRUE(message.contains(QStringLiteral("no longer exists"))) << message.toStdString();
    EXPECT_EQ(recent(), QStringList { b });
    EXPECT_EQ(shown.size(), 3);
    menu(*program, "clearRecentAction")->trigger();
    EXPECT_TRUE(recent().isEmpty());
    EXPECT_TRUE(QSettings().value(QStringLiteral("recentResults")).toStringList().isEmpty());
}

} // namespace

TEST_F(GuiProgramTest, AnUnansweringDatabaseHoldsNoWindowAndTheHistoryOpensItsRuns)
{
    // A server that takes the connection and never answers: the database's
    // connect timeout runs out on the history's own thread.
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), length), 0);
    ASSERT_EQ(::listen(listener, 4), 0);
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    HistoryConfig config;
    config.localFile = dir.filePath(QStringLiteral("history.sqlite"));
    config.pendingFile = dir.filePath(QStringLiteral("pending"));
    config.machineIdFile = dir.filePath(QStringLiteral("machine-id"));
    config.fallbackIdFile = dir.filePath(QStringLiteral("id"));
    config.databaseUrl
        = QStringLiteral("postgresql://ampero@127.0.0.1:%1/history").arg(ntohs(address.sin_port));
    std::atomic<bool> unreachable = false;
    History history(config, describeRun, [&unreachable](const QString&) { unreachable = true; });
    services.history = &history;
    QString error;
    HistoryStore::openLocal(config.localFile, &error)
        ->addRun({ QStringLiteral("h"), history.machineId(), QDateTime::currentDateTimeUtc(),
            QStringLiteral("fast"), "{}", dir.filePath(QStringLiteral("moved.apr")) });

    auto program = start();
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0, longestGap = 0;
    QTimer zero;
    QObject::connect(&zero, &QTimer::timeout, [&] {
        longestGap = std::max(longestGap, clock.elapsed() - last);
        last = clock.elapsed();
    });
    zero.start(0);
    // The snapshot lands in the local store all the same.
    runLoopUntil([&] {
        return unreachable && !HistoryStore::openLocal(config.localFile, &error)->snapshots({}).isEmpty();
    });
    zero.stop();
    ::close(listener);
    EXPECT_LT(longestGap, 1000);

    // Battery > History: the run whose file is gone says so when opened.
    ModalAnswers answers;
    QString said;
    answers.on(QStringLiteral("OpenResultsMessage"), [&said](QWidget* w) {
        said = static_cast<QMessageBox*>(w)->text();
        static_cast<QDialog*>(w)->reject();
    });
    menu(*program, "historyAction")->trigger();
    auto* window = program->mainWindow().findChild<HistoryWindow*>();
    ASSERT_TRUE(window);
    auto* table = window->findChild<QTableWidget*>(QStringLiteral("runsTable"));
    ASSERT_EQ(table->rowCount(), 1);
    emit table->cellDoubleClicked(0, 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !said.isEmpty(); }));
    EXPECT_TRUE(said.contains(QStringLiteral("gone"))) << said.toStdString();
}
