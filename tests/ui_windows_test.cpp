// SPDX-License-Identifier: GPL-3.0-or-later
// The windows as a user meets them: names, captions, geometry, the menu and
// its shortcuts, the start-test, testing and about windows, the save dialogs.
#include "platform/urlopener.h"
#include "results/evaluation.h"
#include "support/modaldriver.h"
#include "ui/busyanimation.h"
#include "ui/chartwidget.h"
#include "ui/savedialogs.h"
#include "ui/uAbout.h"
#include "ui/uMain.h"
#include "ui/uStartTest.h"
#include "ui/uTestProcess.h"
#include "ui/widgetsessiondialogs.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QGroupBox>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <optional>

using namespace ampero;

namespace {

using test::whenModal;

QString labelText(QWidget* w, const char* name)
{
    auto* l = w->findChild<QLabel*>(QString::fromLatin1(name));
    return l ? l->text() : QStringLiteral("<missing %1>").arg(QString::fromLatin1(name));
}

QAction* action(TfMain& w, const char* name)
{
    return w.findChild<QAction*>(QString::fromLatin1(name));
}

QString plain(QString menuText)
{
    return menuText.remove(QLatin1Char('&'));
}

TEST(MainWindow, CaptionsAndLabelsAtDesign)
{
    TfMain w(nullptr);
    const struct {
        const char* name;
        const char* text;
    } labels[] = {
        { "Label3", "Mode:" },
        { "BettaryModeLabel", "BettaryModeLabel" },
        { "BettaryLevelLabel1", "Level:" },
        { "BettaryLevelLabel", "0%" },
        { "Label6", "Current action:" },
        { "ActionLabel", "idle" },
        { "TimerLabel", "Elapsed time:" },
        { "TimerValueLabel", "0:00:00" },
        { "Label1", "Processor:" },
        { "CPUNameLabel", "CPUNameLabel" },
        { "CurrentCPUSpeed", "CurrentCPUSpeed" },
        { "Label2", "Usage:" },
        { "CPUUsageLabel", "0%" },
    };
    for (const auto& l : labels)
        EXPECT_EQ(labelText(&w, l.name), QString::fromUtf8(l.text)) << l.name;
    const struct {
        const char* name;
        const char* title;
    } groups[] = { { "GroupBox1", " Process graph " }, { "GroupBox2", " Power system information " },
        { "GroupBox4", " Mode " }, { "GroupBox3", " Processor information " } };
    for (const auto& g : groups) {
        auto* box = w.findChild<QGroupBox*>(QString::fromLatin1(g.name));
        ASSERT_NE(box, nullptr) << g.name;
        EXPECT_EQ(box->title(), QString::fromLatin1(g.title));
    }
    EXPECT_TRUE(w.findChild<QLabel*>(QStringLiteral("Label3"))->font().bold());
    EXPECT_FALSE(w.findChild<QLabel*>(QStringLiteral("BettaryModeLabel"))->font().bold());
    EXPECT_NE(w.findChild<ChartWidget*>(QStringLiteral("Chart1")), nullptr);
    EXPECT_EQ(w.findChild<QWidget*>(QStringLiteral("Panel1"))->height(), 66);
    EXPECT_EQ(w.findChild<QWidget*>(QStringLiteral("GroupBox3"))->maximumHeight(), 83);
    EXPECT_EQ(w.cpuUsagTimer()->interval(), 1000);
    EXPECT_FALSE(w.cpuUsagTimer()->isActive());
    EXPECT_EQ(w.loadResultsTimer()->interval(), 10);
    EXPECT_TRUE(w.loadResultsTimer()->isSingleShot());
}

TEST(MainWindow, MenuItemsInOrderWithTagsAndShortcuts)
{
    TfMain w(nullptr);
    auto* bar = w.findChild<QMenuBar*>(QStringLiteral("ActionMainMenuBar1"));
    ASSERT_NE(bar, nullptr);
    QStringList seen;
    for (QAction* top : bar->actions()) {
        QStringList items;
        for (QAction* a : top->menu()->actions())
            items << (a->isSeparator() ? QStringLiteral("-")
                                       : a->objectName() + QLatin1Char('=') + a->text());
        seen << top->text() + QStringLiteral(": ") + items.join(QStringLiteral(", "));
    }
    EXPECT_EQ(seen,
        (QStringList {
            // The comparison's items sit in a group of their own.
            QStringLiteral("&File: Action1=&Save graph..., -, CompareWith=&Compare with..., "
                           "ClearComparison=C&lear comparison, NormalizeCurves=Curves by share of battery "
                           "&life, -, FileExit1=&Exit"),
            QStringLiteral(
                "&Test: StartFastTest=&Fast mode, StartNormalTest=&Normal mode, -, Unburned=N&o load CPU, "
                "ShowPower=Show &power on chart"),
            QStringLiteral("&Help: Action4=&Help..., Action5=Check for updates..., -, Action3=&About..."),
        }));
    EXPECT_EQ(action(w, "StartFastTest")->data().toInt(), 1);
    EXPECT_EQ(action(w, "StartNormalTest")->data().toInt(), 2);
    EXPECT_EQ(action(w, "Unburned")->data().toInt(), 0);
    EXPECT_EQ(action(w, "FileExit1")->shortcut(), QKeySequence(Qt::ALT | Qt::Key_F4));
    EXPECT_EQ(action(w, "Action3")->shortcut(), QKeySequence(Qt::SHIFT | Qt::Key_F1));
    EXPECT_TRUE(action(w, "Unburned")->isCheckable());
    EXPECT_FALSE(action(w, "Unburned")->isChecked()); // CPU load on at start
    EXPECT_EQ(plain(action(w, "Action1")->text()), QStringLiteral("Save graph..."));
}

TEST(MainWindow, PowerSeriesOffByDefaultKeptAndShownOnTheRightAxis)
{
    TfMain w(nullptr);
    const ChartWidget& chart = *w.chart();
    const ChartSeries* power = nullptr;
    for (int i = 0; i < chart.seriesCount(); ++i)
        if (chart.series(i)->name() == QStringLiteral("Power"))
            power = chart.series(i);
    ASSERT_NE(power, nullptr);
    QAction* show = action(w, "ShowPower");
    EXPECT_TRUE(show->isCheckable());
    EXPECT_FALSE(show->isChecked());

    // A running test's readings are kept while the series is off.
    w.addPowerPoint(0.0, 9.5);
    w.addPowerPoint(TimeStep, 14.0);
    EXPECT_TRUE(power->isEmpty());
    EXPECT_FALSE(chart.rightAxis().visible);

    show->trigger();
    EXPECT_EQ(power->points(), (QList<QPointF> { { 0.0, 9.5 }, { TimeStep, 14.0 } }));
    EXPECT_TRUE(chart.rightAxis().visible);
    EXPECT_EQ(chart.rightAxis().title, QStringLiteral("Power, W"));
    EXPECT_EQ(chart.rightAxis().min, 0.0);
    EXPECT_GE(chart.rightAxis().max, 14.0);
    w.addPowerPoint(2 * TimeStep, 40.0); // the axis grows with the readings
    EXPECT_GE(chart.rightAxis().max, 40.0);
    EXPECT_EQ(power->count(), 3);

    // A new test clears it; an opened file's curve replaces it.
    w.clearSeries();
    EXPECT_TRUE(power->isEmpty());
    w.setPowerCurve({ { 0.0, 7.0 }, { 1.0, 8.0 } });
    EXPECT_EQ(power->count(), 2);
    show->trigger();
    EXPECT_TRUE(power->isEmpty());
    EXPECT_FALSE(chart.rightAxis().visible);
}

TEST(MainWindow, MenuCommandsReachTheirListeners)
{
    TfMain w(nullptr);
    QSignalSpy start(&w, &TfMain::startTestRequested);
    QSignalSpy noLoad(&w, &TfMain::noLoadToggled);
    QSignalSpy help(&w, &TfMain::helpRequested);
    QSignalSpy update(&w, &TfMain::checkUpdatesRequested);
    action(w, "StartFastTest")->trigger();
    action(w, "StartNormalTest")->trigger();
    ASSERT_EQ(start.count(), 2);
    EXPECT_EQ(start.at(0).at(0).toInt(), 1);
    EXPECT_EQ(start.at(1).at(0).toInt(), 2);
    action(w, "Unburned")->trigger();
    ASSERT_EQ(noLoad.count(), 1);
    EXPECT_TRUE(noLoad.at(0).at(0).toBool());
    EXPECT_TRUE(w.noLoadChecked());
    action(w, "Unburned")->trigger();
    EXPECT_FALSE(w.noLoadChecked());
    action(w, "Action4")->trigger();
    action(w, "Action5")->trigger();
    EXPECT_EQ(help.count(), 1);
    EXPECT_EQ(update.count(), 1);
}

TEST(MainWindow, ExitAndShortcutsFromTheKeyboard)
{
    TfMain w(nullptr);
    w.show();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));

    bool aboutOpened = false;
    whenModal(QStringLiteral("TfAbout"), [&](QWidget* about) {
        aboutOpened = true;
        static_cast<QDialog*>(about)->done(1);
    });
    QTest::keyClick(&w, Qt::Key_F1, Qt::ShiftModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return aboutOpened; }));

    w.activateWindow(); // back from the about window
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    QTest::keyClick(&w, Qt::Key_F4, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !w.isVisible(); }));
}

TEST(MainWindow, TestsEnabledSwitchesLabelsAndActions)
{
    TfMain w(nullptr);
    w.setTestsEnabled(false);
    for (const char* n : { "BettaryLevelLabel", "BettaryLevelLabel1", "TimerValueLabel", "TimerLabel" })
        EXPECT_FALSE(w.findChild<QLabel*>(QString::fromLatin1(n))->isEnabled()) << n;
    for (const char* n : { "StartNormalTest", "StartFastTest", "Unburned" })
        EXPECT_FALSE(action(w, n)->isEnabled()) << n;
    for (const char* n : { "FileExit1", "Action1", "Action3", "Action4", "Action5" })
        EXPECT_TRUE(action(w, n)->isEnabled()) << n;
    w.setTestsEnabled(true);
    EXPECT_TRUE(action(w, "StartFastTest")->isEnabled());
    EXPECT_TRUE(w.findChild<QLabel*>(QStringLiteral("TimerLabel"))->isEnabled());

    w.setActionText(QStringLiteral("testing..."));
    w.setTimerText(QStringLiteral("1:05:09"));
    w.setLevelText(QStringLiteral("87%"));
    w.setModeText(QStringLiteral("powered by battery"));
    EXPECT_EQ(labelText(&w, "ActionLabel"), QStringLiteral("testing..."));
    EXPECT_EQ(labelText(&w, "TimerValueLabel"), QStringLiteral("1:05:09"));
    EXPECT_EQ(labelText(&w, "BettaryLevelLabel"), QStringLiteral("87%"));
    EXPECT_EQ(labelText(&w, "BettaryModeLabel"), QStringLiteral("powered by battery"));
    // A long text is shown whole: the label grows with it.
    auto* mode = w.findChild<QLabel*>(QStringLiteral("BettaryModeLabel"));
    EXPECT_GE(mode->width(), mode->fontMetrics().horizontalAdvance(mode->text()));
}

TEST(MainWindow, ClockLabelFollowsTheProcessorName)
{
    TfMain w(nullptr);
    w.setCpuName(QStringLiteral("Intel(R) Core(TM) i7-8550U CPU @ 1.80GHz"));
    auto* name = w.findChild<QLabel*>(QStringLiteral("CPUNameLabel"));
    auto* speed = w.findChild<QLabel*>(QStringLiteral("CurrentCPUSpeed"));
    EXPECT_EQ(speed->x(), name->x() + name->width() + 6);
    EXPECT_EQ(speed->y(), 20);
}

TEST(MainWindow, PowerGroupTakesHalfTheWidth)
{
    EXPECT_EQ(TfMain::powerGroupWidth(632), 310);
    EXPECT_EQ(TfMain::powerGroupWidth(633), 310);
    EXPECT_EQ(TfMain::powerGroupWidth(1001), 494);

    TfMain w(nullptr);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    auto* g2 = w.findChild<QGroupBox*>(QStringLiteral("GroupBox2"));
    auto* g4 = w.findChild<QGroupBox*>(QStringLiteral("GroupBox4"));
    EXPECT_EQ(w.width(), 632);
    EXPECT_EQ(w.height(), 453);
    EXPECT_EQ(g2->width(), 310);
    EXPECT_EQ(g4->width(), 310);
    w.resize(901, 600);
    EXPECT_TRUE(QTest::qWaitFor([&] { return g2->width() == 444; }));
    // Never smaller than its design size.
    w.resize(300, 200);
    EXPECT_TRUE(QTest::qWaitFor([&] { return w.width() == 632 && w.height() == 453; }));
}

TEST(StartTestWindow, LayoutAndTexts)
{
    TfStartTest t;
    t.setTexts(QStringLiteral("fast"), QStringLiteral("none"));
    EXPECT_EQ(t.windowTitle(), QStringLiteral("Testing beginning"));
    EXPECT_EQ(t.size(), QSize(351, 194));
    EXPECT_EQ(t.minimumSize(), t.maximumSize()); // cannot be resized
    EXPECT_FALSE(t.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(t.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(labelText(&t, "TestModeLabel"), QStringLiteral("fast"));
    EXPECT_EQ(labelText(&t, "BurnStatus"), QStringLiteral("none"));
    EXPECT_TRUE(labelText(&t, "Label4").contains(QStringLiteral("press button \"Start test\" and")));
    auto* start = t.findChild<QPushButton*>(QStringLiteral("Button1"));
    auto* cancel = t.findChild<QPushButton*>(QStringLiteral("CancelBut"));
    EXPECT_EQ(start->geometry(), QRect(184, 161, 82, 25));
    EXPECT_EQ(cancel->geometry(), QRect(272, 161, 71, 25));
    EXPECT_TRUE(start->isDefault());
    EXPECT_EQ(start->text(), QStringLiteral("Start test"));
}

struct StartCase {
    const char* name;
    std::function<void(QWidget*)> act;
    bool started;
};

TEST(StartTestWindow, ConfirmOrCancel)
{
    const StartCase cases[] = {
        { "StartTestClicked",
            [](QWidget* w) {
                QTest::mouseClick(w->findChild<QPushButton*>(QStringLiteral("Button1")), Qt::LeftButton);
            },
            true },
        { "CancelClicked",
            [](QWidget* w) {
                QTest::mouseClick(w->findChild<QPushButton*>(QStringLiteral("CancelBut")), Qt::LeftButton);
            },
            false },
        { "EnterPressesFocusedCancel", [](QWidget* w) { QTest::keyClick(w, Qt::Key_Return); }, false },
        { "Escape", [](QWidget* w) { QTest::keyClick(w, Qt::Key_Escape); }, false },
        { "CloseBox", [](QWidget* w) { w->close(); }, false },
    };
    QWidget owner;
    WidgetSessionDialogs dialogs(&owner);
    for (const StartCase& c : cases) {
        SCOPED_TRACE(c.name);
        QString focused;
        whenModal(QStringLiteral("TfStartTest"), [&](QWidget* w) {
            focused = QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString();
            c.act(w);
        });
        std::optional<bool> started;
        dialogs.confirmStart(QStringLiteral("normal"), QStringLiteral("full"), [&](bool s) { started = s; });
        ASSERT_TRUE(QTest::qWaitFor([&] { return started.has_value(); }));
        EXPECT_EQ(*started, c.started);
        EXPECT_EQ(focused, QStringLiteral("CancelBut"));
        // The window is gone after each use.
        EXPECT_TRUE(QTest::qWaitFor([&] { return owner.findChildren<TfStartTest*>().isEmpty(); }));
    }
}

TEST(TestingWindow, CentredByTheIntegerRule)
{
    EXPECT_EQ(TfTestProcess::centredPosition(QRect(100, 50, 641, 480), QSize(214, 46)), QPoint(313, 267));
    EXPECT_EQ(TfTestProcess::centredPosition(QRect(0, 0, 209, 41), QSize(214, 46)), QPoint(-2, -2));
    EXPECT_EQ(TfTestProcess::centredPosition(QRect(10, 10, 640, 480), QSize(214, 46)), QPoint(223, 227));
}

TEST(TestingWindow, CancelEndsTheModalShowingAndItShowsAgain)
{
    TfMain main(nullptr);
    main.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
    TfTestProcess t(&main);
    EXPECT_EQ(t.size(), QSize(214, 46));
    EXPECT_TRUE(t.windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_FALSE(t.isShowing());
    EXPECT_EQ(labelText(&t, "Label1"), QStringLiteral("Testing..."));
    ASSERT_EQ(t.animation()->frameCount(), 31);
    EXPECT_FALSE(t.animation()->isRunning()); // hidden: no frames, no wake-ups
    QImageReader gif(t.animation()->fileName());
    EXPECT_EQ(gif.format(), QByteArray("gif"));
    EXPECT_EQ(gif.size(), QSize(32, 32));
    EXPECT_EQ(gif.imageCount(), 31);
    ASSERT_FALSE(gif.read().isNull());
    EXPECT_EQ(gif.nextImageDelay(), 50);
    EXPECT_EQ(gif.loopCount(), -1); // for ever

    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        main.move(40 + 30 * round, 20 + 10 * round);
        QPoint shownAt;
        bool wasShowing = false;
        bool animating = false;
        whenModal(QStringLiteral("TfTestProcess"), [&](QWidget* w) {
            wasShowing = t.isShowing();
            animating = t.animation()->isRunning();
            shownAt = w->pos();
            QTest::keyClick(w, Qt::Key_Escape); // does nothing here
            QTest::mouseClick(w->findChild<QPushButton*>(QStringLiteral("Button1")), Qt::LeftButton);
        });
        t.openModal();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !t.isShowing(); }));
        EXPECT_TRUE(wasShowing);
        EXPECT_TRUE(animating);
        EXPECT_FALSE(t.isShowing());
        EXPECT_FALSE(t.animation()->isRunning());
        EXPECT_EQ(shownAt, TfTestProcess::centredPosition(main.frameGeometry(), t.frameGeometry().size()));
    }
}

TEST(TestingWindow, CloseAndHideEachEndTheShowingAtOnce)
{
    TfTestProcess t(nullptr);
    QSignalSpy finished(&t, &QDialog::finished);
    t.openModal();
    EXPECT_TRUE(t.isShowing());
    EXPECT_EQ(t.windowModality(), Qt::ApplicationModal);
    t.closeWindow(); // as a tick that ends a test
    EXPECT_FALSE(t.isShowing());
    EXPECT_EQ(finished.count(), 1);
    t.openModal();
    t.hideWindow();
    EXPECT_FALSE(t.isShowing());
}

TEST(AboutWindow, ShowsVersionBuildAndOpensTheLink)
{
    FakeUrlOpener opener;
    TfAbout a(versionInfoFrom(1, 1, 1, 23), &opener);
    EXPECT_EQ(a.windowTitle(), QStringLiteral("About..."));
    EXPECT_EQ(a.size(), QSize(294, 176));
    EXPECT_EQ(labelText(&a, "ProgramNameLabel"), QStringLiteral("Orvex Ampero"));
    EXPECT_EQ(labelText(&a, "Label2"), QStringLiteral("Version:"));
    EXPECT_EQ(labelText(&a, "ProgramVersionLabel"), QStringLiteral("1.1"));
    EXPECT_EQ(labelText(&a, "Label3"), QStringLiteral("Build:"));
    EXPECT_EQ(labelText(&a, "ProgramBuildLabel"), QStringLiteral("#23"));
    EXPECT_EQ(labelText(&a, "LinkLabel1"),
        QStringLiteral("<a href=\"http://www.orvex.example\">http://www.orvex.example</a>"));
    EXPECT_FALSE(a.findChild<QLabel*>(QStringLiteral("ProgramIcon"))->pixmap().isNull());
    auto* ok = a.findChild<QPushButton*>(QStringLiteral("OKBut"));
    EXPECT_TRUE(ok->isDefault());
    EXPECT_EQ(ok->geometry(), QRect(200, 143, 86, 25));

    Q_EMIT a.findChild<QLabel*>(QStringLiteral("LinkLabel1"))
        ->linkActivated(QStringLiteral("http://www.orvex.example"));
    EXPECT_EQ(opener.opened, QStringList { QStringLiteral("http://www.orvex.example") });
    opener.result = false; // a failed open is ignored
    a.LinkLabel1LinkClick(QStringLiteral("http://www.orvex.example"));
    EXPECT_EQ(opener.opened.size(), 2);
}

TEST(AboutWindow, EachAboutIsANewWindow)
{
    FakeUrlOpener opener;
    TfMain w(&opener);
    w.setVersionInfo(versionInfoFrom(1, 10, 0, 7));
    QList<QWidget*> seen;
    for (int i = 0; i < 2; ++i) {
        whenModal(QStringLiteral("TfAbout"), [&](QWidget* about) {
            seen << about;
            EXPECT_EQ(labelText(about, "ProgramVersionLabel"), QStringLiteral("1.10"));
            EXPECT_EQ(labelText(about, "ProgramBuildLabel"), QStringLiteral("#7"));
            QTest::keyClick(about, Qt::Key_Return); // OK is the default button
        });
        w.Action3Execute();
        EXPECT_TRUE(
            QTest::qWaitFor([&] { return seen.size() == i + 1 && w.findChildren<TfAbout*>().isEmpty(); }));
    }
    EXPECT_EQ(seen.size(), 2);
}

TEST(AboutWindow, EnterPressesOkAfterTheLinkWasClicked)
{
    FakeUrlOpener opener;
    TfMain w(&opener);
    w.setVersionInfo(versionInfoFrom(1, 1, 1, 23));
    bool closedByEnter = false;
    bool answered = false;
    whenModal(QStringLiteral("TfAbout"), [&](QWidget* about) {
        answered = true;
        auto* link = about->findChild<QLabel*>(QStringLiteral("LinkLabel1"));
        // A click on the link's text opens the page.
        const QPoint onText(
            link->fontMetrics().horizontalAdvance(QStringLiteral("http://")), link->height() / 2);
        QTest::mouseClick(link, Qt::LeftButton, {}, onText);
        EXPECT_EQ(opener.opened.size(), 1);
        // Enter, wherever the keyboard focus went, presses OK.
        QWidget* focus = QApplication::focusWidget();
        QTest::keyClick(focus ? focus : about, Qt::Key_Return);
        closedByEnter = !about->isVisible();
        if (!closedByEnter)
            about->close();
    });
    w.Action3Execute();
    ASSERT_TRUE(QTest::qWaitFor([&] { return answered; }));
    EXPECT_TRUE(closedByEnter);
    EXPECT_EQ(opener.opened.join(QLatin1Char(' ')).toStdString(), "http://www.orvex.example");
}

TEST(SaveDialogs, FiltersFromPairs)
{
    EXPECT_EQ(nameFiltersFromPairs(QStringLiteral("Orvex Ampero Results Files (*.APR)|*.apr|Все файлы|*.*")),
        (QStringList { QStringLiteral("Orvex Ampero Results Files (*.APR) (*.apr *.APR)"),
            QStringLiteral("Все файлы (*)") }));
    EXPECT_EQ(nameFiltersFromPairs(QStringLiteral("Bitmaps (*.bmp)|*.bmp")),
        QStringList { QStringLiteral("Bitmaps (*.bmp) (*.bmp *.BMP)") });
    EXPECT_TRUE(nameFiltersFromPairs(QStringLiteral("dangling")).isEmpty());
}

TEST(SaveDialogs, SettingsOfBothDialogs)
{
    QWidget owner;
    std::unique_ptr<QFileDialog> report(makeSaveDialog1(&owner));
    EXPECT_EQ(report->objectName(), QStringLiteral("SaveDialog1"));
    EXPECT_EQ(report->windowTitle(), QStringLiteral("Save report"));
    EXPECT_EQ(report->defaultSuffix(), QStringLiteral("apr"));
    EXPECT_EQ(report->acceptMode(), QFileDialog::AcceptSave);
    EXPECT_FALSE(report->testOption(QFileDialog::DontConfirmOverwrite));
    EXPECT_TRUE(report->testOption(QFileDialog::HideNameFilterDetails));
    std::unique_ptr<QFileDialog> picture(makeSavePictureDialog1(&owner));
    EXPECT_EQ(picture->objectName(), QStringLiteral("SavePictureDialog1"));
    EXPECT_EQ(picture->windowTitle(), QStringLiteral("Saving graph"));
    EXPECT_EQ(picture->defaultSuffix(), QStringLiteral("bmp"));
    EXPECT_FALSE(picture->testOption(QFileDialog::DontConfirmOverwrite));
}

TEST(SaveDialogs, ResultsPathGetsItsExtensionAndCancelGivesNothing)
{
    QTemporaryDir dir;
    QWidget owner;
    WidgetSessionDialogs dialogs(&owner);
    whenModal(QStringLiteral("SaveDialog1"), [&](QWidget* w) {
        auto* d = static_cast<QFileDialog*>(w);
        EXPECT_EQ(
            d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text(), QStringLiteral("results"));
        d->setDirectory(dir.path());
        d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(QStringLiteral("march"));
        static_cast<QDialog*>(d)->accept();
    });
    std::optional<std::optional<QString>> path;
    dialogs.askResultsPath([&](std::optional<QString> chosen) { path = chosen; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return path.has_value(); }));
    ASSERT_TRUE(path->has_value());
    EXPECT_EQ(**path, dir.filePath(QStringLiteral("march.apr")));

    whenModal(QStringLiteral("SaveDialog1"), [](QWidget* w) { static_cast<QDialog*>(w)->reject(); });
    path.reset();
    dialogs.askResultsPath([&](std::optional<QString> chosen) { path = chosen; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return path.has_value(); }));
    EXPECT_FALSE(path->has_value());
}

TEST(SaveDialogs, SaveGraphWritesTheChartAsBitmap)
{
    QTemporaryDir dir;
    TfMain w(nullptr);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    w.addSample(0, 100);
    w.addSample(1.0 / 1440, 99);
    whenModal(QStringLiteral("SavePictureDialog1"), [&](QWidget* d) {
        static_cast<QFileDialog*>(d)->setDirectory(dir.path());
        d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(QStringLiteral("curve"));
        static_cast<QDialog*>(d)->accept();
    });
    w.findChild<QAction*>(QStringLiteral("Action1"))->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(dir.filePath(QStringLiteral("curve.bmp"))); }));
    const QImage image(dir.filePath(QStringLiteral("curve.bmp")), "BMP");
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), w.chart()->size());
}

TEST(SessionDialogs, ErrorReportShowsTheText)
{
    QWidget owner;
    WidgetSessionDialogs dialogs(&owner);
    QString shown;
    whenModal(QStringLiteral("ErrorReport"), [&](QWidget* w) {
        shown = static_cast<QMessageBox*>(w)->text();
        static_cast<QMessageBox*>(w)->accept();
    });
    dialogs.showError(QStringLiteral("Cannot create /nowhere/results.apr: No such file or directory"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !shown.isEmpty(); }));
    EXPECT_EQ(shown, QStringLiteral("Cannot create /nowhere/results.apr: No such file or directory"));
}

} // namespace

namespace {

TEST(TestingWindow, MainWindowTakesNoCommandsWhileItShows)
{
    TfMain main(nullptr);
    main.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
    TfTestProcess t(&main);
    QSignalSpy about(main.findChild<QAction*>(QStringLiteral("Action3")), &QAction::triggered);
    QSignalSpy start(&main, &TfMain::startTestRequested);
    whenModal(QStringLiteral("TfTestProcess"), [&](QWidget* w) {
        QTest::keyClick(main.windowHandle(), Qt::Key_F1, Qt::ShiftModifier);
        QTest::mouseClick(main.windowHandle(), Qt::LeftButton, {}, QPoint(40, 10));
        QTest::qWait(0);
        QTest::mouseClick(w->findChild<QPushButton*>(QStringLiteral("Button1")), Qt::LeftButton);
    });
    t.openModal();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !t.isShowing(); }));
    EXPECT_EQ(about.count(), 0);
    EXPECT_EQ(start.count(), 0);
    EXPECT_TRUE(QApplication::activePopupWidget() == nullptr);
}

} // namespace
