// SPDX-License-Identifier: GPL-3.0-or-later
// Comparing runs in the window: the compared series on the chart, the
// message for files that cannot be added and the comparison table.
#include "results/resultsformat.h"
#include "results/runsummary.h"
#include "support/testutil.h"
#include "ui/chartwidget.h"
#include "ui/comparisonwindow.h"
#include "ui/runcomparison.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTest>
#include <gtest/gtest.h>

using namespace ampero;

namespace {

constexpr double Sec = 1.0 / 86400.0;

// A normal test's file falling from 100 % by one point a second.
QString writeRun(const QTemporaryDir& dir, const QString& name, int seconds, uint8_t noLoad = 0)
{
    std::vector<uint8_t> bytes = encodeResultsHeader(2, noLoad, ForecastUnknown);
    for (int i = 0; i < seconds; ++i)
        bytes.push_back(static_cast<uint8_t>(100 - i % 100));
    const std::vector<uint8_t> trailer = encodeResultsTrailer(nullptr, 48000, 1000);
    bytes.insert(bytes.end(), trailer.begin(), trailer.end());
    return test::writeFile(dir, name,
        QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size())));
}

struct Window {
    QWidget main;
    ChartWidget* chart = new ChartWidget(&main);
    RunComparison comparison { *chart, &main };
    Window()
    {
        chart->resize(600, 300);
        main.show();
    }
    QMessageBox* message() const { return main.findChild<QMessageBox*>(QStringLiteral("CompareMessage")); }
};

} // namespace

TEST(UiCompare, ThreeFilesOnTheChartWithLegendTableAndNormalizedAxis)
{
    QTemporaryDir dir;
    Window w;
    w.chart->setSamples(
        0, 0, Sec, std::make_shared<const std::vector<uint8_t>>(std::vector<uint8_t>(41, 90)));
    ASSERT_TRUE(w.chart->setBottomMaximum(40 * Sec, nullptr));
    const QStringList files { writeRun(dir, QStringLiteral("a.apr"), 11),
        writeRun(dir, QStringLiteral("b.apr"), 101, 1), writeRun(dir, QStringLiteral("c.apr"), 51) };
    // Through the dialog, which is not run in a loop of its own.
    w.comparison.chooseFiles();
    auto* dialog = w.main.findChild<QFileDialog*>(QStringLiteral("CompareDialog"));
    ASSERT_TRUE(dialog);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFiles);
    dialog->setDirectory(dir.path());
    dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))
        ->setText(QStringLiteral("\"a.apr\" \"b.apr\" \"c.apr\""));
    static_cast<QDialog*>(dialog)->accept();
    ASSERT_EQ(w.comparison.runs().size(), 3);
    EXPECT_EQ(w.comparison.runs().at(2).path, files.at(2));
    EXPECT_FALSE(w.message());

    ASSERT_EQ(w.chart->seriesCount(), 5);
    QSet<QRgb> colors { w.chart->series(ChartSeriesRole::Levels)->pen().color().rgb(),
        w.chart->series(ChartSeriesRole::Forecast)->pen().color().rgb() };
    for (int i = 2; i < 5; ++i)
        colors.insert(w.chart->series(i)->pen().color().rgb());
    EXPECT_EQ(colors.size(), 5) << "every run in a colour of its own";
    EXPECT_EQ(w.chart->series(3)->legend(), QStringLiteral("b.apr, normal, none"));
    EXPECT_EQ(w.chart->series(ChartSeriesRole::Levels)->legend(), QStringLiteral("Measured curve"));
    // Save graph keeps the legend.
    const QString saved = dir.filePath(QStringLiteral("compared.svg"));
    ASSERT_TRUE(w.chart->savePicture(saved, PictureFormat::Svg, nullptr));
    QFile svg(saved);
    ASSERT_TRUE(svg.open(QIODevice::ReadOnly));
    EXPECT_TRUE(svg.readAll().contains("b.apr, normal, none"));
    // The axis reaches the longest run, also after the chart's own maximum is set again.
    EXPECT_NEAR(w.chart->bottomMaximum(), 100 * Sec, 1e-12);
    ASSERT_TRUE(w.chart->setBottomMaximum(40 * Sec, nullptr));
    EXPECT_NEAR(w.chart->bottomMaximum(), 100 * Sec, 1e-12);

    ComparisonWindow* table = w.comparison.tableWindow();
    ASSERT_TRUE(table);
    EXPECT_TRUE(table->isVisible());
    EXPECT_FALSE(table->isModal());
    const auto* grid = table->findChild<QTableWidget*>(QStringLiteral("comparisonTable"));
    ASSERT_EQ(grid->columnCount(), 4);
    EXPECT_EQ(grid->item(0, 2)->text(), QStringLiteral("b.apr"));
    EXPECT_EQ(grid->item(4, 2)->text(), QStringLiteral("0:01:40"));
    table->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(table));
    QTest::keySequence(table, QKeySequence::Copy);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), table->text());
    EXPECT_TRUE(table->text().startsWith(QStringLiteral("File                   a.apr    b.apr    c.apr\n")));

    // Each curve against its own life: every run ends at 100 %.
    w.comparison.setNormalized(true);
    EXPECT_EQ(w.chart->bottomAxisTitle(), QStringLiteral("Share of battery life, %"));
    EXPECT_EQ(w.chart->bottomMaximum(), 1.0);
    EXPECT_EQ(w.chart->bottomLabels().last(), QStringLiteral("100%"));
    const QImage normalized = w.chart->grab().toImage();
    w.comparison.setNormalized(false);
    EXPECT_EQ(w.chart->bottomAxisTitle(), QStringLiteral("Elapsed time"));
    EXPECT_NE(normalized, w.chart->grab().toImage());

    w.comparison.clear();
    EXPECT_EQ(w.chart->seriesCount(), 2);
    EXPECT_TRUE(w.chart->series(ChartSeriesRole::Levels)->legend().isEmpty());
    EXPECT_EQ(w.chart->series(ChartSeriesRole::Levels)->count(), 41) << "the chart's own curve stays";
    EXPECT_NEAR(w.chart->bottomMaximum(), 40 * Sec, 1e-12);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !w.comparison.tableWindow(); }, 2000));
    // Normalizing without compared runs leaves the time axis.
    w.comparison.setNormalized(true);
    EXPECT_FALSE(w.chart->isNormalized());
}

TEST(UiCompare, BrokenFileNamedAndTheOthersShown)
{
    QTemporaryDir dir;
    Window w;
    const QString broken = test::writeFile(dir, QStringLiteral("broken.apr"), "not a results file");
    const int added = w.comparison.addFiles({ writeRun(dir, QStringLiteral("good1.apr"), 5), broken,
        dir.filePath(QStringLiteral("missing.apr")), writeRun(dir, QStringLiteral("good2.apr"), 7) });
    EXPECT_EQ(added, 2);
    EXPECT_EQ(w.chart->seriesCount(), 4);
    QMessageBox* box = w.message();
    ASSERT_TRUE(box);
    EXPECT_TRUE(box->isVisible());
    EXPECT_TRUE(box->text().contains(QStringLiteral("broken.apr")));
    EXPECT_TRUE(box->text().contains(QStringLiteral("missing.apr")));
    EXPECT_FALSE(box->text().contains(QStringLiteral("good1.apr")));
    box->close();
    EXPECT_EQ(w.comparison.runs().size(), 2);
}

TEST(UiCompare, NinthRunRefusedWithAMessage)
{
    QTemporaryDir dir;
    Window w;
    QStringList files;
    for (int i = 1; i <= 9; ++i)
        files << writeRun(dir, QStringLiteral("run%1.apr").arg(i), 3 + i);
    EXPECT_EQ(w.comparison.addFiles(files.mid(0, 5)), 5);
    EXPECT_FALSE(w.message());
    EXPECT_EQ(w.comparison.addFiles(files.mid(5)), 3);
    EXPECT_EQ(w.chart->seriesCount(), 2 + RunComparison::MaxRuns);
    QMessageBox* box = w.message();
    ASSERT_TRUE(box);
    EXPECT_TRUE(box->text().contains(QStringLiteral("At most 8 runs")));
    EXPECT_TRUE(box->text().contains(QStringLiteral("run9.apr")));
    EXPECT_FALSE(box->text().contains(QStringLiteral("run8.apr")));
}

TEST(UiCompare, SetupRowsWhereRunsDifferAreMarked)
{
    RunSummary a;
    a.evaluation.fileName = QStringLiteral("a.apr");
    a.setup = RunSetup { QStringLiteral("Acme Book"), QStringLiteral("6.1.0"), QStringLiteral("balanced"),
        QStringLiteral("60 %"), QStringLiteral("schedutil") };
    RunSummary b = a;
    b.evaluation.fileName = QStringLiteral("b.apr");
    b.setup->brightness = QStringLiteral("100 %");
    ComparisonWindow table;
    table.setRuns({ a, b });
    const auto* grid = table.findChild<QTableWidget*>(QStringLiteral("comparisonTable"));
    int marked = 0;
    for (int r = 0; r < grid->rowCount(); ++r) {
        const QTableWidgetItem* label = grid->item(r, 0);
        if (label->text().endsWith(QStringLiteral(" *"))) {
            ++marked;
            EXPECT_EQ(label->text(), QStringLiteral("Brightness *"));
            EXPECT_TRUE(label->font().bold());
            EXPECT_TRUE(grid->item(r, 2)->font().bold());
        }
    }
    EXPECT_EQ(marked, 1);
    // Each figure explains itself where the user points.
    for (int r = 0; r < grid->rowCount(); ++r) {
        if (table.rows()[r].figure != Figure::None) {
            EXPECT_FALSE(grid->item(r, 1)->toolTip().isEmpty()) << table.rows()[r].label.toStdString();
        }
    }
    EXPECT_TRUE(
        table.text().contains(QRegularExpression(QStringLiteral("\nBrightness \\*  +60 %  +100 %\n"))))
        << table.text().toStdString();
}
