// SPDX-License-Identifier: GPL-3.0-or-later
// Every window at the fonts and scales of our users' laptops: each label and
// button shows its whole text, no control lies over another, and the window
// fits its screen. Qt lays windows out in device-independent pixels and
// scales the fonts with them, so a scale factor leaves a layout as it is and
// only makes the screen smaller in those pixels (1280x800 at 1.5 is 853x533).
#include "platform/urlopener.h"
#include "results/companionfile.h"
#include "results/evaluation.h"
#include "results/runsummary.h"
#include "support/testutil.h"
#include "ui/aboutdialog.h"
#include "ui/busyanimation.h"
#include "ui/chartwidget.h"
#include "ui/comparisonwindow.h"
#include "ui/historywindow.h"
#include "ui/mainwindow.h"
#include "ui/resultswindow.h"
#include "ui/starttestdialog.h"
#include "ui/testprogressdialog.h"
#include "ui/usagebars.h"
#include "ui/windowfit.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenuBar>
#include <QProgressBar>
#include <QTableWidget>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

using namespace ampero;

namespace {

// A screen larger than any window, so that none is made smaller on showing;
// each case then fits the windows into the room of the screen it stands for.
// (Set before main() makes the application.)
const bool kLargeScreen = [] {
    const QString path = QDir::tempPath() + QStringLiteral("/ampero_fit_test_screen.json");
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(
            R"({"screens":[{"name":"large","x":0,"y":0,"width":2560,"height":1600,"logicalDpi":96}]})");
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(path));
    return true;
}();

struct Case {
    int points;
    double scale;
    QSize screen; // in device pixels
};

// The visible controls of a window, but not those inside a table or menu bar.
QList<QWidget*> controls(QWidget& window)
{
    QList<QWidget*> out;
    for (QWidget* w : window.findChildren<QWidget*>()) {
        bool inside = false;
        for (QWidget* p = w->parentWidget(); p && p != &window; p = p->parentWidget())
            inside = inside || qobject_cast<QTableWidget*>(p) || qobject_cast<QMenuBar*>(p);
        if (!inside && w->isVisibleTo(&window)
            && (qobject_cast<QLabel*>(w) || qobject_cast<QAbstractButton*>(w)
                || qobject_cast<QProgressBar*>(w) || qobject_cast<ChartWidget*>(w)
                || qobject_cast<BusyAnimation*>(w) || qobject_cast<QTableWidget*>(w)
                || qobject_cast<QMenuBar*>(w)))
            out << w;
    }
    return out;
}

QString name(const QWidget* w)
{
    return w->objectName().isEmpty() ? QString::fromLatin1(w->metaObject()->className()) : w->objectName();
}

// The part of w the window shows: a control scrolled out of a scroll area's
// view is not under the buttons beside it.
QRect shownPart(const QWidget& w, const QWidget& window)
{
    QRect shown(w.mapTo(&window, QPoint()), w.size());
    for (const QWidget* p = w.parentWidget(); p && p != &window; p = p->parentWidget())
        shown &= QRect(p->mapTo(&window, QPoint()), p->size());
    return shown;
}

void expectWholeAndApart(QWidget& window)
{
    const QList<QWidget*> all = controls(window);
    for (QWidget* w : all) {
        const QString text = qobject_cast<QLabel*>(w) ? static_cast<QLabel*>(w)->text()
            : qobject_cast<QAbstractButton*>(w)       ? static_cast<QAbstractButton*>(w)->text()
                                                      : QString();
        const auto* label = qobject_cast<QLabel*>(w);
        if (label && label->wordWrap()) {
            EXPECT_LE(label->heightForWidth(w->width()), w->height()) << name(w).toStdString();
        } else if (!text.isEmpty()) {
            EXPECT_TRUE(w->sizeHint().width() <= w->width() && w->sizeHint().height() <= w->height())
                << name(w).toStdString() << " \"" << text.toStdString() << "\" needs "
                << w->sizeHint().width() << "x" << w->sizeHint().height() << ", has " << w->width() << "x"
                << w->height();
        }
    }
    for (qsizetype i = 0; i < all.size(); ++i)
        for (qsizetype j = i + 1; j < all.size(); ++j) {
            const QRect a = shownPart(*all[i], window);
            const QRect b = shownPart(*all[j], window);
            EXPECT_FALSE(a.intersects(b))
                << name(all[i]).toStdString() << " and " << name(all[j]).toStdString();
        }
}

ResultsEvaluation fastTestWithEnergy()
{
    const QByteArray bytes = test::bytes({ 3, 'A', 'P', 'R', 1, 0, 0xFF, 0xFF, 0xFF, 0xFF, 100, 100, 99, 0xFF,
        0x80, 0xBB, 0, 0, 5, 0, 0, 0, 0, 0, 0, 0 });
    const auto* p = reinterpret_cast<const uint8_t*>(bytes.constData());
    ResultsEvaluation e = evaluateResults(
        parseResults({ p, static_cast<std::size_t>(bytes.size()) }), QStringLiteral("/tmp/a-long-name.apr"));
    addCompanion(e,
        parseCompanion("{\"format\":\"ampero-companion\",\"battery\":{\"energy_full_wh\":45,\"energy_full_"
                       "design_wh\":50}}\n"
                       "{\"seconds\":0,\"level\":100,\"energy_wh\":40,\"power_w\":9}\n"
                       "{\"seconds\":2,\"level\":99,\"energy_wh\":39.99,\"power_w\":9}\n"));
    return e;
}

class WindowFit : public ::testing::TestWithParam<Case> {
protected:
    void SetUp() override
    {
        m_font = QApplication::font();
        QFont font = m_font;
        font.setPointSize(GetParam().points);
        QApplication::setFont(font);
    }
    void TearDown() override { QApplication::setFont(m_font); }

    // Shows the window, fits it into the case's screen and checks it.
    void check(QWidget& window)
    {
        const Case c = GetParam();
        const QSize room = (QSizeF(c.screen) / c.scale).toSize();
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        fitWindow(window, room);
        QApplication::sendPostedEvents();
        SCOPED_TRACE(name(&window).toStdString());
        EXPECT_TRUE(window.frameGeometry().width() <= room.width()
            && window.frameGeometry().height() <= room.height())
            << window.frameGeometry().width() << "x" << window.frameGeometry().height();
        expectWholeAndApart(window);
    }

private:
    QFont m_font;
};

} // namespace

TEST_P(WindowFit, EveryWindowShowsItsTextsAndFits)
{
    FakeUrlOpener urls;
    MainWindow main(&urls);
    UsageBars bars(main.processorGroup(), main.usageLabel(), 8);
    main.setModeText(QStringLiteral("On battery"));
    main.setCpuName(QStringLiteral("Intel(R) Core(TM) i7-1165G7 @ 2.80GHz"));
    main.setCpuSpeedText(QStringLiteral("(Current speed 2800 MHz)"));
    main.setPowerFigures(12.5, 93);
    main.setActionText(QStringLiteral("testing"));
    check(main);

    StartTestDialog start(&main);
    start.setTexts(QStringLiteral("normal"), QStringLiteral("full"));
    check(start);

    TestProgressDialog testing(&main);
    check(testing);

    ResultsWindow results(urls, &main);
    results.showEvaluation(fastTestWithEnergy());
    check(results);

    RunSummary a;
    a.evaluation = fastTestWithEnergy();
    RunSummary b = a;
    b.evaluation.fileName = QStringLiteral("another.apr");
    ComparisonWindow table(&main);
    table.setRuns({ a, b });
    check(table);

    AboutDialog about(versionInfoFrom(1, 0, 0, 17), &urls, &main);
    check(about);

    HistoryWindow history(&main);
    history.setHistory({ { { QDateTime::currentDateTimeUtc(), QStringLiteral("normal"),
                             QStringLiteral("office"), 18000, 36000, 1234, true, 7.5, 95, QString() } },
        {}, {} });
    check(history);
}

INSTANTIATE_TEST_SUITE_P(Laptops, WindowFit,
    ::testing::Values(Case { 9, 1, { 1366, 768 } }, Case { 11, 1, { 1366, 768 } },
        Case { 14, 1, { 1366, 768 } }, Case { 9, 1.5, { 1280, 800 } }, Case { 11, 1.5, { 1280, 800 } },
        Case { 14, 1.5, { 1280, 800 } }, Case { 9, 2, { 2560, 1600 } }, Case { 11, 2, { 2560, 1600 } },
        Case { 14, 2, { 2560, 1600 } }),
    [](const ::testing::TestParamInfo<Case>& info) {
        return std::to_string(info.param.points) + "pt_scale" + std::to_string(int(info.param.scale * 100));
    });

TEST(WindowFitSmallScreen, MainWindowMinimumGivesWay)
{
    // 1280x800 at 2 leaves 640x400: less than the window's usual minimum.
    MainWindow main(nullptr);
    main.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
    fitWindow(main, QSize(640, 400));
    EXPECT_LE(main.frameGeometry().height(), 400);
    EXPECT_LE(main.minimumHeight(), 400);
    EXPECT_GE(main.minimumWidth(), 600); // the width still has room
}
