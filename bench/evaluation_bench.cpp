// SPDX-License-Identifier: GPL-3.0-or-later
// Time from opening a 100 000-sample results file (about 28 hours of test) to
// the first paint of its curve in a chart, and the time of one zoom and one
// pan step afterwards. Prints the figures; the target is under 150 ms from
// open to first paint.
#include "results/evaluation.h"
#include "results/resultsformat.h"
#include "session/sessionports.h"

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QElapsedTimer>
#include <QLineSeries>
#include <QTemporaryDir>
#include <QValueAxis>
#include <algorithm>
#include <cstdio>
#include <vector>

using namespace ampero;

namespace {

// A chart view that notes when a paint has finished.
class TimedChartView : public QChartView {
public:
    using QChartView::QChartView;
    bool painted = false;

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QChartView::paintEvent(event);
        painted = true;
    }
};

// The main window's chart reduced to what showing results needs.
class BenchChart final : public ChartView {
public:
    BenchChart()
    {
        chart->legend()->hide();
        chart->addSeries(series1);
        chart->addSeries(series2);
        QPen pen(Qt::red);
        pen.setWidth(2);
        series1->setPen(pen);
        series2->setPen(QPen(QColor(130, 155, 254)));
        axisX->setRange(0, 1);
        axisY->setRange(0, 101);
        chart->addAxis(axisX, Qt::AlignBottom);
        chart->addAxis(axisY, Qt::AlignLeft);
        for (QLineSeries* s : { series1, series2 }) {
            s->attachAxis(axisX);
            s->attachAxis(axisY);
        }
        view = new TimedChartView(chart);
        view->resize(800, 500);
    }
    ~BenchChart() override { delete view; }

    void clearSeries() override
    {
        series1->clear();
        series2->clear();
    }
    void addSample(double x, double y) override { series1->append(x, y); }
    void setSamples(const QList<QPointF>& points) override { series1->replace(points); }
    void setForecastLine(const QList<QPointF>& points) override { series2->replace(points); }
    void setInteractive(bool on) override
    {
        view->setRubberBand(on ? QChartView::RectangleRubberBand : QChartView::NoRubberBand);
    }
    void setBottomMaximum(double dayFraction) override { axisX->setMax(dayFraction); }
    double bottomMaximum() const override { return axisX->max(); }

    QChart* chart = new QChart;
    QLineSeries* series1 = new QLineSeries;
    QLineSeries* series2 = new QLineSeries;
    QValueAxis* axisX = new QValueAxis;
    QValueAxis* axisY = new QValueAxis;
    TimedChartView* view = nullptr;
};

QString writeBenchFile(const QTemporaryDir& dir, int samples)
{
    ResultsWriter w;
    const std::string path = dir.filePath(QStringLiteral("bench.apr")).toStdString();
    w.create(path, 2, 0, 36000);
    for (int i = 0; i < samples; ++i)
        w.appendSample(static_cast<uint8_t>(100 - i / 1011));
    w.finish(nullptr, 48000, 123456789012345ull);
    return QString::fromStdString(path);
}

double ms(const QElapsedTimer& t)
{
    return static_cast<double>(t.nsecsElapsed()) / 1e6;
}

double waitPaint(TimedChartView* view)
{
    QElapsedTimer t;
    t.start();
    view->painted = false;
    while (!view->painted)
        QApplication::processEvents();
    return ms(t);
}

// Opens, shows, zooms and pans the file Rounds times and prints the medians.
bool runRounds(const QString& path, int samples, bool compact)
{
    constexpr int Rounds = 7;
    std::vector<double> evalMs, fillMs, paintMs, totalMs, zoomMs, panMs;
    int drawnPoints = 0;
    for (int round = 0; round < Rounds; ++round) {
        BenchChart chart;
        QElapsedTimer total;
        total.start();
        QElapsedTimer step;
        step.start();
        const ResultsEvaluation e = evaluateResultsFile(path);
        evalMs.push_back(ms(step));
        step.restart();
        if (!e.ok) {
            std::fprintf(stderr, "evaluation failed: %s\n", qPrintable(e.failure));
            return false;
        }
        // What the program does, or for comparison every sample as a point.
        if (compact) {
            showOnChart(e, chart);
        } else {
            chart.setSamples(curvePoints(*e.samples));
            chart.setBottomMaximum(e.bottomMaximum);
            chart.setInteractive(true);
        }
        drawnPoints = static_cast<int>(chart.series1->count());
        fillMs.push_back(ms(step));
        step.restart();
        chart.view->painted = false;
        chart.view->show();
        while (!chart.view->painted)
            QApplication::processEvents();
        paintMs.push_back(ms(step));
        totalMs.push_back(ms(total));

        // Responsiveness: one zoom into the middle, one pan step.
        step.restart();
        chart.chart->zoomIn(QRectF(chart.chart->plotArea().center() - QPointF(100, 80), QSizeF(200, 160)));
        chart.view->viewport()->update();
        waitPaint(chart.view);
        zoomMs.push_back(ms(step));
        step.restart();
        chart.chart->scroll(50, 0);
        chart.view->viewport()->update();
        waitPaint(chart.view);
        panMs.push_back(ms(step));
    }

    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    auto row = [&median](const char* what, const std::vector<double>& v, const char* note) {
        std::printf(
            "  %-28s %8.2f (%8.2f)%s\n", what, median(v), *std::min_element(v.begin(), v.end()), note);
    };
    std::printf("%d samples, %s: %d points drawn, %d rounds, median (min) in ms\n", samples,
        compact ? "runs of equal levels compacted" : "one point per sample", drawnPoints, Rounds);
    row("evaluate", evalMs, "");
    row("put on chart", fillMs, "");
    row("show until first paint", paintMs, "");
    row("open to first paint", totalMs, "   target < 150");
    row("zoom step to paint", zoomMs, "");
    row("pan step to paint", panMs, "");
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    constexpr int Samples = 100000;
    QTemporaryDir dir;
    const QString path = writeBenchFile(dir, Samples);
    if (!runRounds(path, Samples, false) || !runRounds(path, Samples, true))
        return 1;
    return 0;
}
