// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/urlopener.h"
#include "results/evaluation.h"
#include "support/fakechart.h"
#include "support/modaldriver.h"
#include "support/testutil.h"
#include "ui/resultsopener.h"
#include "ui/resultswindow.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace ampero;
using ampero::test::FakeChart;

namespace {

const QByteArray kExample = test::bytes({ 3, 'A', 'P', 'R', 2, 0, 0xFF, 0xFF, 0xFF, 0xFF, 100, 100, 99, 0xFF,
    0x80, 0xBB, 0, 0, 5, 0, 0, 0, 0, 0, 0, 0 });

ResultsEvaluation evaluateBytes(const QByteArray& data, const QString& path)
{
    const auto* p = reinterpret_cast<const uint8_t*>(data.constData());
    return evaluateResults(parseResults({ p, static_cast<std::size_t>(data.size()) }), path);
}

// The caption and the value labels, as the user reads them.
QStringList shown(const QWidget& w)
{
    QStringList out { w.windowTitle() };
    for (const char* name :
        { "reportFileLabel", "testModeLabel", "loadLabel", "systemForecastLabel", "testForecastLabel" })
        out << w.findChild<QLabel*>(QString::fromLatin1(name))->text();
    return out;
}

QPushButton* button(const QWidget& w, const char* name)
{
    return w.findChild<QPushButton*>(QString::fromLatin1(name));
}

// Notes what each results window shows, then closes it with "Close".
struct ResultsWatcher {
    QStringList seen;
    test::ModalDriver driver;
    ResultsWatcher()
    {
        driver.on(QStringLiteral("ResultsWindow"), [this](QWidget* w) {
            seen = shown(*static_cast<ResultsWindow*>(w));
            button(*w, "closeButton")->click();
        });
    }
};

} // namespace

TEST(ResultsWindow, TextsCaptionAndHiddenMark)
{
    FakeUrlOpener opener;
    ResultsWindow w(opener);
    w.showEvaluation(evaluateBytes(kExample, QStringLiteral("/home/ann/Tests/example.apr")));
    EXPECT_EQ(
        shown(w), (QStringList { "Testing results", "example.apr", "normal", "full", "unknown", "0:00:02" }));
    EXPECT_EQ(w.findChild<QLabel*>(QStringLiteral("markLabel"))->text(), QStringLiteral("N/A"));
    w.show();
    EXPECT_FALSE(w.findChild<QGroupBox*>(QStringLiteral("markGroup"))->isVisible());
    EXPECT_FALSE(w.findChild<QLabel*>(QStringLiteral("markLabel"))->isVisible());

    ResultsWindow cut(opener);
    cut.showEvaluation(evaluateBytes(test::bytes({ 3, 'A', 'P', 'R', 1, 1, 0x10, 0x0E, 0, 0, 80, 80, 79 }),
        QStringLiteral("/tmp/cut.apr")));
    EXPECT_EQ(shown(cut),
        (QStringList { "Testing results (incomplete)", "cut.apr", "fast", "none", "1:00:00", "0:00:02" }));
}

TEST(ResultsWindow, EnergyGroupOnlyWithACompanionAndTheWindowGrowsForIt)
{
    FakeUrlOpener opener;
    const auto energyShown = [](const QWidget& w) {
        QStringList out;
        for (const char* name :
            { "averagePowerCaption", "averagePowerLabel", "energyUsedCaption", "energyUsedLabel",
                "healthCaption", "healthLabel", "energyForecastCaption", "energyForecastLabel" }) {
            const auto* l = w.findChild<QLabel*>(QString::fromLatin1(name));
            if (l->isVisible())
                out << l->text();
        }
        return out;
    };
    CompanionData companion = parseCompanion(
        "{\"format\":\"ampero-companion\",\"battery\":{\"energy_full_wh\":45,\"energy_full_design_wh\":50}}\n"
        "{\"seconds\":0,\"level\":100,\"energy_wh\":40,\"power_w\":9}\n"
        "{\"seconds\":2,\"level\":99,\"energy_wh\":39.99,\"power_w\":9}\n");
    ASSERT_TRUE(companion.ok);

    for (const uint8_t mode : { 1, 2 }) {
        QByteArray bytes = kExample;
        bytes[4] = static_cast<char>(mode);
        ResultsEvaluation e = evaluateBytes(bytes, QStringLiteral("/tmp/run.apr"));
        ResultsWindow plain(opener);
        plain.showEvaluation(e);
        plain.show();
        EXPECT_FALSE(plain.findChild<QGroupBox*>(QStringLiteral("energyGroup"))->isVisible());

        addCompanion(e, companion);
        ResultsWindow w(opener);
        w.showEvaluation(e);
        w.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
        const auto* group = w.findChild<QGroupBox*>(QStringLiteral("energyGroup"));
        EXPECT_TRUE(group->isVisible());
        QStringList expected { "Average power:", "18.0 W", "Energy used:", "0.01 Wh",
            "Battery health:", "90%" };
        if (mode == 1)
            expected << "By energy:"
                     << "2:13:20"; // 2 s of test, then 39.99 Wh at 18 W
        EXPECT_EQ(energyShown(w), expected);
        // The window grows for the group; the buttons stay below it.
        EXPECT_GT(w.height(), plain.height());
        for (const char* name :
            { "closeButton", "sendReportButton", "saveGraphButton", "openReportFolderButton" }) {
            EXPECT_GE(
                button(w, name)->mapTo(&w, QPoint()).y(), group->mapTo(&w, QPoint(0, group->height())).y())
                << name;
            EXPECT_LE(button(w, name)->geometry().bottom(), w.height()) << name;
        }
        // Shown again without a companion, the window is as it was.
        w.showEvaluation(evaluateBytes(bytes, QStringLiteral("/tmp/run.apr")));
        EXPECT_EQ(w.size(), plain.size());
    }
}

TEST(ResultsWindow, FullBatteryFigureWithHowFarToTrustItAndTooltips)
{
    FakeUrlOpener opener;
    const auto label
        = [](const QWidget& w, const char* name) { return w.findChild<QLabel*>(QString::fromLatin1(name)); };
    // Two seconds from 100 % to 99 %: 200 seconds for a full battery, from one point of charge.
    ResultsWindow w(opener);
    w.showEvaluation(evaluateBytes(kExample, QStringLiteral("/tmp/run.apr")));
    w.show();
    EXPECT_EQ(label(w, "fullBatteryLabel")->text(), QStringLiteral("0:03:20"));
    EXPECT_TRUE(label(w, "figureRemarkLabel")->isVisible());
    EXPECT_TRUE(label(w, "figureRemarkLabel")->text().contains(QLatin1String("long extrapolation")));
    for (const char* name : { "systemForecastLabel", "testForecastLabel", "fullBatteryLabel", "markLabel",
             "averagePowerLabel", "energyUsedLabel", "healthLabel", "energyForecastLabel" })
        EXPECT_FALSE(label(w, name)->toolTip().isEmpty()) << name;
    // Every figure inside the window, above the buttons.
    for (const char* name : { "fullBatteryLabel", "figureRemarkLabel" }) {
        const QRect r(label(w, name)->mapTo(&w, QPoint(0, 0)), label(w, name)->size());
        EXPECT_TRUE(w.rect().contains(r)) << name;
        EXPECT_LT(r.bottom(), button(w, "saveGraphButton")->y()) << name;
    }

    // A fast test's line: how far to trust it, from the benchmark's figures.
    const std::array<double, 3> times { 0.0, 0.01, 0.02 };
    ResultsEvaluation fast = evaluateBytes(kExample, QStringLiteral("/tmp/fast.apr"));
    fast.forecastEnd = fastForecast(100, times);
    fast.coveredLevels = 100;
    fast.fullBatteryLife = fullBatteryLife(*fast.forecastEnd, 100);
    w.showEvaluation(fast);
    EXPECT_TRUE(label(w, "figureRemarkLabel")->text().contains(QLatin1String("25%")));
}

TEST(ResultsWindow, ForecastCaptionNamesTheSystemInFull)
{
    // The forecast comes from the system's power service: nothing in the
    // window speaks of Windows, and the caption shows whole beside its value.
    FakeUrlOpener opener;
    ResultsWindow w(opener);
    w.showEvaluation(evaluateBytes(kExample, QStringLiteral("/home/ann/Tests/example.apr")));
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    for (const QLabel* l : w.findChildren<QLabel*>())
        EXPECT_FALSE(l->text().contains(QStringLiteral("Windows"))) << l->text().toStdString();
    const auto* caption = w.findChild<QLabel*>(QStringLiteral("systemForecastCaption"));
    const auto* value = w.findChild<QLabel*>(QStringLiteral("systemForecastLabel"));
    EXPECT_EQ(caption->text().toStdString(), "System forecast:");
    EXPECT_LE(caption->sizeHint().width(), caption->width()) << "caption cut off";
    EXPECT_LE(caption->x() + caption->sizeHint().width(), value->x()) << "caption runs into its value";
}

TEST(ResultsWindow, ButtonsTabOrderAndClosing)
{
    FakeUrlOpener opener;
    ResultsWindow w(opener);
    QStringList order;
    QWidget* at = button(w, "closeButton");
    for (int i = 0; i < 4; ++i, at = at->nextInFocusChain()) {
        while (!qobject_cast<QPushButton*>(at))
            at = at->nextInFocusChain();
        order << at->objectName() + QLatin1Char('=') + qobject_cast<QPushButton*>(at)->text();
    }
    EXPECT_EQ(order,
        (QStringList { "closeButton=Close", "saveGraphButton=Save graph",
            "openReportFolderButton=Open report folder", "sendReportButton=Send report" }));
    EXPECT_TRUE(button(w, "closeButton")->isDefault());
    for (int how = 0; how < 3; ++how) {
        w.show();
        if (how == 0)
            button(w, "closeButton")->click();
        else if (how == 1)
            QTest::keyClick(&w, Qt::Key_Return);
        else
            w.close();
        EXPECT_FALSE(w.isVisible()) << how;
        EXPECT_EQ(w.result(), QDialog::Rejected) << how;
    }
}

TEST(ResultsWindow, SendReportOpenFolderAndSaveGraph)
{
    FakeUrlOpener opener;
    ResultsWindow root(opener);
    root.showEvaluation(evaluateBytes(kExample, QStringLiteral("/run.apr")));
    button(root, "sendReportButton")->click();
    button(root, "openReportFolderButton")->click();
    QSignalSpy save(&root, &ResultsWindow::saveGraphRequested);
    button(root, "saveGraphButton")->click();
    EXPECT_EQ(save.count(), 1);

    ResultsWindow bare(opener);
    bare.showEvaluation(evaluateBytes(kExample, QStringLiteral("run.apr")));
    button(bare, "openReportFolderButton")->click();
    EXPECT_EQ(opener.opened,
        (QStringList { "mailto:Orvex%20Company%20%3Csupport@orvex.example%3E?subject=Orvex%20Ampero%20Report"
                       "&body=Do%20not%20forget%20to%20include%20information%20about%20your%20laptop%20and%20"
                       "battery.%0A%0DAlso%20attach%20report%20file:%20//run.apr.",
            "file:///", "" }));
}

TEST(ResultsWindow, AddressShownWhenTheDesktopCannotOpenIt)
{
    FakeUrlOpener opener;
    opener.result = false;
    ResultsWindow w(opener);
    w.showEvaluation(evaluateBytes(kExample, QStringLiteral("/home/u/run.apr")));
    button(w, "openReportFolderButton")->click();
    button(w, "sendReportButton")->click();
    const auto boxes = w.findChildren<QMessageBox*>(QStringLiteral("AddressBox"));
    ASSERT_EQ(boxes.size(), 2);
    EXPECT_TRUE(boxes[0]->isVisible());
    EXPECT_TRUE(boxes[0]->text().endsWith(QStringLiteral("/home/u")));
    EXPECT_TRUE(boxes[1]->text().contains(QStringLiteral("support@orvex.example")));
    EXPECT_TRUE(boxes[1]->text().contains(QStringLiteral("/home/u/run.apr")));
    EXPECT_TRUE(boxes[1]->textInteractionFlags() & Qt::TextSelectableByMouse);
}

TEST(ShowResultsWindow, ValidFileShownModallyOthersNot)
{
    QTemporaryDir dir;
    const QString valid = test::writeFile(dir, QStringLiteral("run.apr"), kExample);
    const QString foreign = test::writeFile(dir, QStringLiteral("notes.txt"), QByteArray("hello"));
    FakeUrlOpener opener;
    FakeChart chart;
    QWidget mainWindow;
    ResultsWatcher watcher;
    EXPECT_FALSE(showResultsWindow(foreign, chart, &mainWindow, opener, {}));
    EXPECT_TRUE(watcher.seen.isEmpty());
    EXPECT_TRUE(chart.calls.isEmpty());
    bool closed = false;
    EXPECT_TRUE(showResultsWindow(valid, chart, &mainWindow, opener, {}, [&] { closed = true; }));
    EXPECT_EQ(chart.samples.size(), 3);
    ASSERT_TRUE(QTest::qWaitFor([&] { return closed; }));
    EXPECT_EQ(watcher.seen.value(1), QStringLiteral("run.apr"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return mainWindow.findChildren<ResultsWindow*>().isEmpty(); }))
        << "destroyed after closing";
}

TEST(CommandLineResults, FirstArgumentOpensShortlyAfterShowOthersSilently)
{
    QTemporaryDir dir;
    const QString valid = test::writeFile(dir, QStringLiteral("run.apr"), kExample);
    const QString foreign
        = test::writeFile(dir, QStringLiteral("photo.jpg"), QByteArray("\xFF\xD8\xFF\xE0", 4));
    FakeUrlOpener opener;
    FakeChart chart;
    QWidget mainWindow;
    QTimer loadResultsTimer;
    loadResultsTimer.setInterval(10);
    CommandLineResults onStart(loadResultsTimer, chart, &mainWindow, opener, {});
    ResultsWatcher watcher;

    for (const QStringList& args :
        { QStringList {}, QStringList { dir.filePath(QStringLiteral("missing.apr")), valid },
            QStringList { dir.path() } }) {
        onStart.windowShown(args);
        EXPECT_FALSE(loadResultsTimer.isActive()) << args.join(QLatin1Char(' ')).toStdString();
    }
    onStart.windowShown({ valid, foreign });
    ASSERT_TRUE(loadResultsTimer.isActive());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !watcher.seen.isEmpty(); }));
    EXPECT_EQ(watcher.seen.value(1), QStringLiteral("run.apr"));
    EXPECT_FALSE(loadResultsTimer.isActive()) << "one shot";
    onStart.windowShown({ valid });
    EXPECT_FALSE(loadResultsTimer.isActive()) << "a second show opens nothing";

    FakeChart untouched;
    CommandLineResults foreignStart(loadResultsTimer, untouched, &mainWindow, opener, {});
    watcher.seen.clear();
    foreignStart.windowShown({ foreign });
    ASSERT_TRUE(loadResultsTimer.isActive());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !loadResultsTimer.isActive(); }));
    EXPECT_TRUE(watcher.seen.isEmpty());
    EXPECT_TRUE(untouched.calls.isEmpty());
}
