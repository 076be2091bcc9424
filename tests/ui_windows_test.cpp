// SPDX-License-Identifier: GPL-3.0-or-later
// The windows as a user meets them: names, captions, geometry, the menu and
// its shortcuts, the start-test, testing and about windows, the save dialogs.
#include "platform/urlopener.h"
#include "results/evaluation.h"
#include "support/modaldriver.h"
#include "ui/aboutdialog.h"
#include "ui/addressfallback.h"
#include "ui/busyanimation.h"
#include "ui/chartwidget.h"
#include "ui/comparisonwindow.h"
#include "ui/mainwindow.h"
#include "ui/savedialogs.h"
#include "ui/starttestdialog.h"
#include "ui/testprogressdialog.h"
#include "ui/widgetsessiondialogs.h"

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QGroupBox>
#include <QImageReader>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
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

QAction* action(MainWindow& w, const char* name)
{
    return w.findChild<QAction*>(QString::fromLatin1(name));
}

QString plain(QString menuText)
{
    return menuText.remove(QLatin1Char('&'));
}

TEST(MainWindow, CaptionsAndLabelsAtDesign)
{
    MainWindow w(nullptr);
    const struct {
        const char* name;
        const char* text;
    } labels[] = {
        { "powerSourceCaption", "Mode:" },
        { "powerSourceLabel", "BettaryModeLabel" },
        { "levelCaption", "Level:" },
        { "levelLabel", "0%" },
        { "actionCaption", "Current action:" },
        { "actionLabel", "idle" },
        { "elapsedCaption", "Elapsed time:" },
        { "elapsedLabel", "0:00:00" },
        { "processorCaption", "Processor:" },
        { "processorNameLabel", "CPUNameLabel" },
        { "processorSpeedLabel", "CurrentCPUSpeed" },
        { "usageCaption", "Usage:" },
        { "usageLabel", "0%" },
    };
    for (const auto& l : labels)
        EXPECT_EQ(labelText(&w, l.name), QString::fromUtf8(l.text)) << l.name;
    const struct {
        const char* name;
        const char* title;
    } groups[] = { { "chartGroup", " Battery level graph " }, { "powerGroup", " Power system information " },
        { "modeGroup", " Mode " }, { "processorGroup", " Processor information " } };
    for (const auto& g : groups) {
        auto* box = w.findChild<QGroupBox*>(QString::fromLatin1(g.name));
        ASSERT_NE(box, nullptr) << g.name;
        EXPECT_EQ(box->title(), QString::fromLatin1(g.title));
    }
    EXPECT_TRUE(w.findChild<QLabel*>(QStringLiteral("powerSourceCaption"))->font().bold());
    EXPECT_FALSE(w.findChild<QLabel*>(QStringLiteral("powerSourceLabel"))->font().bold());
    EXPECT_NE(w.findChild<ChartWidget*>(QStringLiteral("chart")), nullptr);
    EXPECT_EQ(w.usageTimer()->interval(), 1000);
    EXPECT_FALSE(w.usageTimer()->isActive());
    EXPECT_EQ(w.loadResultsTimer()->interval(), 10);
    EXPECT_TRUE(w.loadResultsTimer()->isSingleShot());
}

// The figures a test changes once a second repaint their labels and lay
// nothing out again; a figure that needs more room gets it, whole.
TEST(MainWindow, TickingFiguresLayNothingOutAndStayWhole)
{
    MainWindow w(nullptr);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    const auto tick = [&w](int s) {
        w.setTimerText(QStringLiteral("0:00:%1").arg(s, 2, 10, QLatin1Char('0')));
        w.setLevelText(QStringLiteral("%1%").arg(100 - s));
        w.setPowerFigures(12.5 - s / 10.0, 93);
        // A layout request climbs one parent a round.
        for (int depth = 0; depth < 8; ++depth)
            QApplication::sendPostedEvents();
    };
    // The first figures size the labels and place them; from then on a
    // figure changes nothing but itself.
    tick(0);
    tick(1);
    struct LayoutRequests : QObject {
        int count = 0;
        int groupPaints = 0; // the groups around the figures, painted again
        bool eventFilter(QObject* watched, QEvent* event) override
        {
            count += event->type() == QEvent::LayoutRequest ? 1 : 0;
            groupPaints += event->type() == QEvent::Paint && qobject_cast<QGroupBox*>(watched) ? 1 : 0;
            return false;
        }
    } requests;
    qApp->installEventFilter(&requests);
    for (int s = 2; s <= 12; ++s)
        tick(s);
    EXPECT_EQ(requests.count, 0);
    EXPECT_EQ(requests.groupPaints, 0);
    qApp->removeEventFilter(&requests);
    // The figures drawn over what they keep of the window beneath them look
    // as the window drawn whole does.
    const QImage kept = w.grab().toImage();
    for (QLabel* label : w.findChildren<QLabel*>()) {
        QEvent change(QEvent::PaletteChange);
        QApplication::sendEvent(label, &change);
    }
    EXPECT_EQ(kept, w.grab().toImage());
    w.setTimerText(QStringLiteral("1 day 23:59:59"));
    QApplication::sendPostedEvents();
    const QLabel* elapsed = w.findChild<QLabel*>(QStringLiteral("elapsedLabel"));
    EXPECT_LE(elapsed->sizeHint().width(), elapsed->width());
}

TEST(MainWindow, WorkloadRadioItemsFullLoadFirstAndChecked)
{
    MainWindow w(nullptr);
    auto* menu = w.findChild<QMenu*>(QStringLiteral("workloadMenu"));
    ASSERT_NE(menu, nullptr);
    QStringList names;
    for (QAction* a : menu->actions())
        names << a->text() + (a->isChecked() ? QStringLiteral(" *") : QString());
    EXPECT_EQ(names, (QStringList { "&Full load *", "&Reading", "&Office", "&Web", "&Video" }));
    EXPECT_EQ(w.workload(), Workload::FullLoad);
    menu->actions()[2]->trigger();
    EXPECT_EQ(w.workload(), Workload::Office);
    EXPECT_FALSE(menu->actions()[0]->isChecked());
}

TEST(MainWindow, MenuItemsInOrderWithTagsAndShortcuts)
{
    MainWindow w(nullptr);
    auto* bar = w.findChild<QMenuBar*>(QStringLiteral("menuBar"));
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
            QStringLiteral(
                "&File: openAction=&Open..., =Open &Recent, showResultsAction=S&how results, -, "
                "saveGraphAction=&Save graph..., -, compareWithAction=&Compare with..., "
                "clearComparisonAction=C&lear comparison, normalizeCurvesAction=C&urves by share of battery "
                "life, -, exitAction=&Exit"),
            QStringLiteral("&Test: startFastTestAction=&Fast mode, startNormalTestAction=&Normal mode, -, "
                           "noLoadAction=N&o load CPU, workloadMenuAction=&Workload, "
                           "showPowerAction=Show &power on chart"),
            QStringLiteral("&Battery: historyAction=&History..."),
            QStringLiteral("&Help: helpAction=&Help..., checkForUpdatesAction=Check for &updates..., -, "
                           "aboutAction=&About..."),
        }));
    EXPECT_EQ(action(w, "startFastTestAction")->data().toInt(), 1);
    EXPECT_EQ(action(w, "startNormalTestAction")->data().toInt(), 2);
    EXPECT_EQ(action(w, "noLoadAction")->data().toInt(), 0);
    EXPECT_EQ(action(w, "exitAction")->shortcut(), QKeySequence(Qt::ALT | Qt::Key_F4));
    EXPECT_EQ(action(w, "aboutAction")->shortcut(), QKeySequence(Qt::SHIFT | Qt::Key_F1));
    EXPECT_EQ(action(w, "openAction")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_O));
    EXPECT_EQ(action(w, "showResultsAction")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_R));
    EXPECT_EQ(action(w, "helpAction")->shortcut(), QKeySequence(Qt::Key_F1));
    EXPECT_TRUE(action(w, "noLoadAction")->isCheckable());
    EXPECT_FALSE(action(w, "noLoadAction")->isChecked()); // CPU load on at start
    EXPECT_EQ(plain(action(w, "saveGraphAction")->text()), QStringLiteral("Save graph..."));
}

TEST(MainWindow, PowerSeriesOffByDefaultKeptAndShownOnTheRightAxis)
{
    MainWindow w(nullptr);
    const ChartWidget& chart = *w.chart();
    const ChartSeries* power = nullptr;
    for (int i = 0; i < chart.seriesCount(); ++i)
        if (chart.series(i)->name() == QStringLiteral("Power"))
            power = chart.series(i);
    ASSERT_NE(power, nullptr);
    QAction* show = action(w, "showPowerAction");
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
    MainWindow w(nullptr);
    QSignalSpy start(&w, &MainWindow::startTestRequested);
    QSignalSpy noLoad(&w, &MainWindow::noLoadToggled);
    QSignalSpy help(&w, &MainWindow::helpRequested);
    QSignalSpy update(&w, &MainWindow::checkUpdatesRequested);
    action(w, "startFastTestAction")->trigger();
    action(w, "startNormalTestAction")->trigger();
    ASSERT_EQ(start.count(), 2);
    EXPECT_EQ(start.at(0).at(0).value<TestMode>(), TestMode::Fast);
    EXPECT_EQ(start.at(1).at(0).value<TestMode>(), TestMode::Normal);
    action(w, "noLoadAction")->trigger();
    ASSERT_EQ(noLoad.count(), 1);
    EXPECT_TRUE(noLoad.at(0).at(0).toBool());
    EXPECT_TRUE(w.noLoadChecked());
    action(w, "noLoadAction")->trigger();
    EXPECT_FALSE(w.noLoadChecked());
    action(w, "helpAction")->trigger();
    action(w, "checkForUpdatesAction")->trigger();
    EXPECT_EQ(help.count(), 1);
    EXPECT_EQ(update.count(), 1);
}

TEST(MainWindow, ExitAndShortcutsFromTheKeyboard)
{
    MainWindow w(nullptr);
    w.show();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));

    bool aboutOpened = false;
    whenModal(QStringLiteral("AboutDialog"), [&](QWidget* about) {
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
    MainWindow w(nullptr);
    w.setTestsEnabled(false);
    for (const char* n : { "levelLabel", "levelCaption", "elapsedLabel", "elapsedCaption" })
        EXPECT_FALSE(w.findChild<QLabel*>(QString::fromLatin1(n))->isEnabled()) << n;
    for (const char* n : { "startNormalTestAction", "startFastTestAction", "noLoadAction" })
        EXPECT_FALSE(action(w, n)->isEnabled()) << n;
    for (const char* n :
        { "exitAction", "saveGraphAction", "aboutAction", "helpAction", "checkForUpdatesAction" })
        EXPECT_TRUE(action(w, n)->isEnabled()) << n;
    w.setTestsEnabled(true);
    EXPECT_TRUE(action(w, "startFastTestAction")->isEnabled());
    EXPECT_TRUE(w.findChild<QLabel*>(QStringLiteral("elapsedCaption"))->isEnabled());

    w.setActionText(QStringLiteral("testing..."));
    w.setTimerText(QStringLiteral("1:05:09"));
    w.setLevelText(QStringLiteral("87%"));
    w.setModeText(QStringLiteral("powered by battery"));
    EXPECT_EQ(labelText(&w, "actionLabel"), QStringLiteral("testing..."));
    EXPECT_EQ(labelText(&w, "elapsedLabel"), QStringLiteral("1:05:09"));
    EXPECT_EQ(labelText(&w, "levelLabel"), QStringLiteral("87%"));
    EXPECT_EQ(labelText(&w, "powerSourceLabel"), QStringLiteral("powered by battery"));
    // A long text is shown whole: the label grows with it.
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    QApplication::sendPostedEvents();
    auto* mode = w.findChild<QLabel*>(QStringLiteral("powerSourceLabel"));
    EXPECT_GE(mode->width(), mode->fontMetrics().horizontalAdvance(mode->text()));
}

TEST(MainWindow, RefusedBottomMaximumKeepsTheOldOneAndSaysWhy)
{
    MainWindow w(nullptr);
    ChartView& chart = w;
    ASSERT_TRUE(chart.setBottomMaximum(600 * kDayPerSecond).accepted);
    const AxisLimitResult refused = chart.setBottomMaximum(-1);
    EXPECT_FALSE(refused.accepted);
    EXPECT_FALSE(refused.error.isEmpty());
    EXPECT_EQ(chart.bottomMaximum(), 600 * kDayPerSecond);
}

TEST(StartTestWindow, LayoutAndTexts)
{
    StartTestDialog t;
    t.setTexts(QStringLiteral("fast"), QStringLiteral("none"));
    EXPECT_EQ(t.windowTitle(), QStringLiteral("Start a test"));
    t.layout()->activate();
    EXPECT_EQ(t.minimumSize(), t.maximumSize()); // cannot be resized
    EXPECT_FALSE(t.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(t.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(labelText(&t, "testModeLabel"), QStringLiteral("fast"));
    EXPECT_EQ(labelText(&t, "loadLabel"), QStringLiteral("none"));
    // It asks for a file name, not a folder.
    EXPECT_TRUE(labelText(&t, "instructionsLabel").contains(QStringLiteral("choose a file name")));
    auto* start = t.findChild<QPushButton*>(QStringLiteral("startButton"));
    auto* cancel = t.findChild<QPushButton*>(QStringLiteral("cancelButton"));
    EXPECT_LT(start->x(), cancel->x());
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
                QTest::mouseClick(w->findChild<QPushButton*>(QStringLiteral("startButton")), Qt::LeftButton);
            },
            true },
        { "CancelClicked",
            [](QWidget* w) {
                QTest::mouseClick(w->findChild<QPushButton*>(QStringLiteral("cancelButton")), Qt::LeftButton);
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
        whenModal(QStringLiteral("StartTestDialog"), [&](QWidget* w) {
            focused = QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString();
            c.act(w);
        });
        std::optional<bool> started;
        dialogs.confirmStart(QStringLiteral("normal"), QStringLiteral("full"), [&](bool s) { started = s; });
        ASSERT_TRUE(QTest::qWaitFor([&] { return started.has_value(); }));
        EXPECT_EQ(*started, c.started);
        EXPECT_EQ(focused, QStringLiteral("cancelButton"));
        // The window is gone after each use.
        EXPECT_TRUE(QTest::qWaitFor([&] { return owner.findChildren<StartTestDialog*>().isEmpty(); }));
    }
}

TEST(TestingWindow, CentredByTheIntegerRule)
{
    EXPECT_EQ(
        TestProgressDialog::centredPosition(QRect(100, 50, 641, 480), QSize(214, 46)), QPoint(313, 267));
    EXPECT_EQ(TestProgressDialog::centredPosition(QRect(0, 0, 209, 41), QSize(214, 46)), QPoint(-2, -2));
    EXPECT_EQ(TestProgressDialog::centredPosition(QRect(10, 10, 640, 480), QSize(214, 46)), QPoint(223, 227));
}

TEST(TestingWindow, CancelEndsTheModalShowingAndItShowsAgain)
{
    MainWindow main(nullptr);
    main.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
    TestProgressDialog t(&main);
    EXPECT_EQ(t.size(), QSize(214, 46));
    EXPECT_TRUE(t.windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_FALSE(t.isShowing());
    EXPECT_EQ(labelText(&t, "testingLabel"), QStringLiteral("Testing..."));
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
        whenModal(QStringLiteral("TestProgressDialog"), [&](QWidget* w) {
            wasShowing = t.isShowing();
            animating = t.animation()->isRunning();
            shownAt = w->pos();
            QTest::keyClick(w, Qt::Key_Escape); // does nothing here
            QTest::mouseClick(w->findChild<QPushButton*>(QStringLiteral("cancelButton")), Qt::LeftButton);
        });
        t.openModal();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !t.isShowing(); }));
        EXPECT_TRUE(wasShowing);
        EXPECT_TRUE(animating);
        EXPECT_FALSE(t.isShowing());
        EXPECT_FALSE(t.animation()->isRunning());
        EXPECT_EQ(
            shownAt, TestProgressDialog::centredPosition(main.frameGeometry(), t.frameGeometry().size()));
    }
}

TEST(TestingWindow, CloseAndHideEachEndTheShowingAtOnce)
{
    TestProgressDialog t(nullptr);
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
    AboutDialog a(versionInfoFrom(1, 1, 1, 23), &opener);
    EXPECT_EQ(a.windowTitle(), QStringLiteral("About..."));
    EXPECT_EQ(labelText(&a, "programNameLabel"), QStringLiteral("Orvex Ampero"));
    EXPECT_EQ(labelText(&a, "versionCaption"), QStringLiteral("Version:"));
    EXPECT_EQ(labelText(&a, "versionLabel"), QStringLiteral("1.1"));
    EXPECT_EQ(labelText(&a, "buildCaption"), QStringLiteral("Build:"));
    EXPECT_EQ(labelText(&a, "buildLabel"), QStringLiteral("#23"));
    EXPECT_EQ(labelText(&a, "linkLabel"),
        QStringLiteral("<a href=\"https://www.orvex.example\">https://www.orvex.example</a>"));
    EXPECT_FALSE(a.findChild<QLabel*>(QStringLiteral("programIcon"))->pixmap().isNull());
    auto* ok = a.findChild<QPushButton*>(QStringLiteral("okButton"));
    EXPECT_TRUE(ok->isDefault());

    Q_EMIT a.findChild<QLabel*>(QStringLiteral("linkLabel"))
        ->linkActivated(QStringLiteral("https://www.orvex.example"));
    EXPECT_EQ(opener.opened, QStringList { QStringLiteral("https://www.orvex.example") });
    opener.result = false; // a failed open shows the address
    a.openLink(QStringLiteral("https://www.orvex.example"));
    EXPECT_EQ(opener.opened.size(), 2);
    auto* box = a.findChild<QMessageBox*>(QStringLiteral("AddressBox"));
    ASSERT_TRUE(box);
    EXPECT_TRUE(box->text().endsWith(QStringLiteral("https://www.orvex.example")));
    delete box;

    // The update check's download page takes the same way.
    AddressFallbackOpener download(opener, &a);
    EXPECT_FALSE(download.openUrl(QUrl(QStringLiteral("https://www.orvex.example/get"))));
    box = a.findChild<QMessageBox*>(QStringLiteral("AddressBox"));
    ASSERT_TRUE(box);
    EXPECT_TRUE(box->text().endsWith(QStringLiteral("https://www.orvex.example/get")));
    delete box;

    // The licence link shows the GPL shipped with the program, not a web page.
    EXPECT_FALSE(labelText(&a, "copyrightLabel").contains(QStringLiteral("All rights reserved")));
    Q_EMIT a.findChild<QLabel*>(QStringLiteral("copyrightLabel"))->linkActivated(QStringLiteral("licence:"));
    auto* licence = a.findChild<QMessageBox*>(QStringLiteral("LicenceBox"));
    ASSERT_TRUE(licence);
    EXPECT_TRUE(licence->detailedText().contains(QStringLiteral("GNU GENERAL PUBLIC LICENSE")));
    EXPECT_EQ(opener.opened.size(), 3);
}

TEST(AboutWindow, EachAboutIsANewWindow)
{
    FakeUrlOpener opener;
    MainWindow w(&opener);
    w.setVersionInfo(versionInfoFrom(1, 10, 0, 7));
    QList<QWidget*> seen;
    for (int i = 0; i < 2; ++i) {
        whenModal(QStringLiteral("AboutDialog"), [&](QWidget* about) {
            seen << about;
            EXPECT_EQ(labelText(about, "versionLabel"), QStringLiteral("1.10"));
            EXPECT_EQ(labelText(about, "buildLabel"), QStringLiteral("#7"));
            QTest::keyClick(about, Qt::Key_Return); // OK is the default button
        });
        w.showAbout();
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return seen.size() == i + 1 && w.findChildren<AboutDialog*>().isEmpty(); }));
    }
    EXPECT_EQ(seen.size(), 2);
}

TEST(AboutWindow, EnterPressesOkAfterTheLinkWasClicked)
{
    FakeUrlOpener opener;
    MainWindow w(&opener);
    w.setVersionInfo(versionInfoFrom(1, 1, 1, 23));
    bool closedByEnter = false;
    bool answered = false;
    whenModal(QStringLiteral("AboutDialog"), [&](QWidget* about) {
        answered = true;
        auto* link = about->findChild<QLabel*>(QStringLiteral("linkLabel"));
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
    w.showAbout();
    ASSERT_TRUE(QTest::qWaitFor([&] { return answered; }));
    EXPECT_TRUE(closedByEnter);
    EXPECT_EQ(opener.opened.join(QLatin1Char(' ')).toStdString(), "https://www.orvex.example");
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
    std::unique_ptr<QFileDialog> report(makeSaveReportDialog(&owner));
    EXPECT_EQ(report->objectName(), QStringLiteral("saveReportDialog"));
    EXPECT_EQ(report->windowTitle(), QStringLiteral("Save report"));
    EXPECT_EQ(report->defaultSuffix(), QStringLiteral("apr"));
    EXPECT_EQ(report->acceptMode(), QFileDialog::AcceptSave);
    EXPECT_FALSE(report->testOption(QFileDialog::DontConfirmOverwrite));
    EXPECT_TRUE(report->testOption(QFileDialog::HideNameFilterDetails));
    std::unique_ptr<QFileDialog> picture(makeSaveGraphDialog(&owner));
    EXPECT_EQ(picture->objectName(), QStringLiteral("saveGraphDialog"));
    EXPECT_EQ(picture->windowTitle(), QStringLiteral("Save graph"));
    EXPECT_EQ(picture->defaultSuffix(), QStringLiteral("bmp"));
    EXPECT_FALSE(picture->testOption(QFileDialog::DontConfirmOverwrite));
}

TEST(SaveDialogs, ResultsPathGetsItsExtensionAndCancelGivesNothing)
{
    QTemporaryDir dir;
    QWidget owner;
    WidgetSessionDialogs dialogs(&owner);
    whenModal(QStringLiteral("saveReportDialog"), [&](QWidget* w) {
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

    whenModal(QStringLiteral("saveReportDialog"), [](QWidget* w) { static_cast<QDialog*>(w)->reject(); });
    path.reset();
    dialogs.askResultsPath([&](std::optional<QString> chosen) { path = chosen; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return path.has_value(); }));
    EXPECT_FALSE(path->has_value());
}

// The file type chosen in the dialog gives the name its extension and the
// picture its format; BMP is the first.
TEST(SaveDialogs, SaveGraphWritesTheChosenType)
{
    QTemporaryDir dir;
    MainWindow w(nullptr);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    w.addSample(0, 100);
    w.addSample(1.0 / 1440, 99);
    for (int typesDown : { 0, 1, 2 }) {
        whenModal(QStringLiteral("saveGraphDialog"), [&](QWidget* d) {
            static_cast<QFileDialog*>(d)->setDirectory(dir.path());
            auto* types = d->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
            for (int i = 0; i < typesDown; ++i)
                QTest::keyClick(types, Qt::Key_Down);
            d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(QStringLiteral("curve"));
            static_cast<QDialog*>(d)->accept();
        });
        w.findChild<QAction*>(QStringLiteral("saveGraphAction"))->trigger();
        const QString path
            = dir.filePath(QStringLiteral("curve.") + QStringList { "bmp", "png", "svg" }[typesDown]);
        ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(path); })) << path.toStdString();
        if (typesDown == 2) {
            QFile svg(path);
            ASSERT_TRUE(svg.open(QIODevice::ReadOnly));
            EXPECT_TRUE(svg.readAll().contains("<svg"));
            continue;
        }
        const QImage image(path, typesDown == 0 ? "BMP" : "PNG");
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(image.size(), w.chart()->size());
    }
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
    MainWindow main(nullptr);
    main.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
    TestProgressDialog t(&main);
    QSignalSpy about(main.findChild<QAction*>(QStringLiteral("aboutAction")), &QAction::triggered);
    QSignalSpy start(&main, &MainWindow::startTestRequested);
    whenModal(QStringLiteral("TestProgressDialog"), [&](QWidget* w) {
        QTest::keyClick(main.windowHandle(), Qt::Key_F1, Qt::ShiftModifier);
        QTest::mouseClick(main.windowHandle(), Qt::LeftButton, {}, QPoint(40, 10));
        QTest::qWait(0);
        QTest::mouseClick(w->findChild<QPushButton*>(QStringLiteral("cancelButton")), Qt::LeftButton);
    });
    t.openModal();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !t.isShowing(); }));
    EXPECT_EQ(about.count(), 0);
    EXPECT_EQ(start.count(), 0);
    EXPECT_TRUE(QApplication::activePopupWidget() == nullptr);
}

} // namespace

TEST(MainWindow, EveryMenuItemHasAMnemonicOfItsOwn)
{
    MainWindow w(nullptr);
    const auto mnemonic = [](const QString& text) {
        const qsizetype at = text.indexOf(QRegularExpression(QStringLiteral("&[^&]")));
        return at < 0 ? QChar() : text.at(at + 1).toLower();
    };
    std::function<void(const QList<QAction*>&, const QString&)> walk
        = [&](const QList<QAction*>& items, const QString& where) {
              QSet<QChar> taken;
              for (QAction* a : items) {
                  if (a->isSeparator())
                      continue;
                  const QChar key = mnemonic(a->text());
                  EXPECT_FALSE(key.isNull()) << where.toStdString() << ": " << a->text().toStdString();
                  EXPECT_FALSE(taken.contains(key)) << where.toStdString() << ": " << a->text().toStdString();
                  taken.insert(key);
                  if (a->menu())
                      walk(a->menu()->actions(), a->text());
              }
          };
    walk(w.findChild<QMenuBar*>(QStringLiteral("menuBar"))->actions(), QStringLiteral("menu bar"));
}

TEST(Windows, EscapeClosesAllButTheMainAndTestingWindows)
{
    MainWindow main(nullptr);
    main.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
    FakeUrlOpener urls;
    ComparisonWindow table(&main);
    AboutDialog about(versionInfoFrom(1, 0, 0, 1), &urls, &main);
    StartTestDialog start(&main);
    for (QWidget* w : std::initializer_list<QWidget*> { &table, &about, &start }) {
        w->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
        w->activateWindow();
        QTest::keyClick(w->focusWidget() ? w->focusWidget() : w, Qt::Key_Escape);
        EXPECT_FALSE(w->isVisible()) << w->objectName().toStdString();
    }
    QTest::keyClick(&main, Qt::Key_Escape);
    EXPECT_TRUE(main.isVisible());
}

TEST(Windows, ScreenReadersHearCaptionsWithValuesAndTheChartInWords)
{
    MainWindow main(nullptr);
    main.setLevelText(QStringLiteral("87%"));
    // Every caption names the value beside it.
    for (const char* name : { "levelLabel", "powerSourceLabel", "elapsedLabel", "usageLabel" }) {
        QAccessibleInterface* value = QAccessible::queryAccessibleInterface(main.findChild<QLabel*>(name));
        ASSERT_TRUE(value);
        bool captioned = false; // (the group's title is a label of it too)
        for (const auto& [label, relation] : value->relations(QAccessible::Label))
            captioned = captioned || label->text(QAccessible::Name).endsWith(QLatin1Char(':'));
        EXPECT_TRUE(captioned) << name;
    }
    ChartWidget* chart = main.chart();
    chart->setPoints(ChartSeriesRole::Levels, { { 0, 100 }, { 3600 * kDayPerSecond, 62 } });
    chart->setPoints(ChartSeriesRole::Forecast, { { 0, 100 }, { 4.2 * 3600 * kDayPerSecond, 0 } });
    QAccessibleInterface* graph = QAccessible::queryAccessibleInterface(chart);
    ASSERT_TRUE(graph);
    EXPECT_FALSE(graph->text(QAccessible::Name).isEmpty());
    EXPECT_EQ(graph->text(QAccessible::Description),
        QStringLiteral("Battery level, 2 samples, from 100% to 62%, forecast line to 0% at 4:12:00"));
}
