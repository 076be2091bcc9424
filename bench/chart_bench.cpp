// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's chart, offscreen at its on-screen size, fed a test's
// samples one a second as the session does (a fake clock: x advances by one
// second per sample, the level falls 1 % every 6 minutes).
//   1. "add point + repaint" at 1 minute, 1 hour and 10 hours into a test:
//      median and p99 over 600 consecutive seconds. Targets: median under
//      0.2 ms at every length, 10 hours no more than 1.5 x 1 minute.
//   2. Opening a 1 000 000-sample results file to the first paint of its
//      curve (evaluate, put on the chart as the program does, paint). Target
//      under 50 ms.
//   3. A 64 MiB file of alternating levels (67 million samples) opened into
//      the main window: peak memory and time to the chart's first paint, and
//      one new range. Targets: under 200 MB and under 1 s.
// Usage: chart_bench [case 1|2|3, default all]
#include "alternatingfile.h"
#include "procusage.h"
#include "results/evaluation.h"
#include "results/resultsformat.h"
#include "timedchart.h"
#include "ui/chartwidget.h"
#include "ui/mainwindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <memory>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace ampero;

namespace {

constexpr double Second = kDayPerSecond;

using bench::TimedChart;

using bench::ms;
using bench::threadCpuMs;

double quantile(std::vector<double> v, double q)
{
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<size_t>(q * static_cast<double>(v.size())))];
}

long statusKb(const char* field)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(static_cast<qsizetype>(std::strlen(field)) + 1)
                .trimmed()
                .split(' ')
                .first()
                .toLong();
    return -1;
}

int level(int second)
{
    return 100 - second / 360;
}

void addPointCost()
{
    std::printf("1. add point + repaint (626 x 250, shown offscreen), 600 consecutive seconds\n");
    std::printf("   %-10s %10s %10s %10s %12s %12s %8s\n", "at", "median ms", "p99 ms", "max ms",
        "cpu median", "cpu p99", "paints");
    double firstMedian = 0;
    for (const auto& [name, start] :
        { std::pair { "1 minute", 60 }, { "1 hour", 3600 }, { "10 hours", 36000 } }) {
        TimedChart chart;
        chart.resize(626, 250);
        chart.show();
        for (int s = 0; s < start; ++s)
            chart.addPoint(ChartSeriesRole::Levels, s * Second, level(s));
        QApplication::processEvents();
        std::vector<double> costs, cpu;
        const int paintsBefore = chart.paints;
        QElapsedTimer t;
        for (int s = start; s < start + 600; ++s) {
            const double c0 = threadCpuMs();
            t.start();
            chart.addPoint(ChartSeriesRole::Levels, s * Second, level(s));
            QApplication::processEvents();
            costs.push_back(ms(t));
            cpu.push_back(threadCpuMs() - c0);
        }
        const double median = quantile(costs, 0.5);
        if (firstMedian == 0)
            firstMedian = median;
        std::printf("   %-10s %10.4f %10.4f %10.4f %12.4f %12.4f %8d\n", name, median, quantile(costs, 0.99),
            *std::max_element(costs.begin(), costs.end()), quantile(cpu, 0.5), quantile(cpu, 0.99),
            chart.paints - paintsBefore);
        if (start == 36000)
            std::printf("   10 hours / 1 minute median: %.2f (target <= 1.5); target median < 0.2 ms\n",
                median / firstMedian);
    }
}

void openToFirstPaint(int samples)
{
    QTemporaryDir dir;
    const std::string path = dir.filePath(QStringLiteral("bench.apr")).toStdString();
    {
        ResultsWriter w;
        w.create(path, 2, 0, 36000);
        for (int i = 0; i < samples; ++i)
            w.appendSample(static_cast<uint8_t>(100 - i / (samples / 100 + 1)));
        w.finish(nullptr, 48000, 123456789012345ull);
    }
    std::vector<double> evalMs, totalMs;
    for (int round = 0; round < 7; ++round) {
        TimedChart chart;
        chart.resize(626, 250);
        QElapsedTimer total, step;
        total.start();
        step.start();
        const ResultsEvaluation e = evaluateResultsFile(QString::fromStdString(path));
        evalMs.push_back(ms(step));
        // As the main window takes a file's levels.
        chart.setSamples(0, 0, TimeStep, e.samples);
        chart.setPoints(ChartSeriesRole::Forecast, e.forecastLine);
        QString error;
        chart.setBottomMaximum(e.bottomMaximum, &error);
        chart.setInteractive(true);
        chart.show();
        while (chart.paints == 0)
            QApplication::processEvents();
        totalMs.push_back(ms(total));
    }
    std::printf("2. %d-sample file, open to first paint, 7 rounds: median %.1f ms (min %.1f), of which "
                "evaluation %.1f ms; target < 50 ms\n",
        samples, quantile(totalMs, 0.5), *std::min_element(totalMs.begin(), totalMs.end()),
        quantile(evalMs, 0.5));
}

void alternatingFile()
{
    // The file is made by a child process, so its bytes do not count here.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("alternating.apr"));
    const QByteArray name = QFile::encodeName(path);
    if (!bench::writeAlternatingFile(name.toStdString())) {
        std::printf("3. cannot write the 64 MiB file\n");
        return;
    }
    const long before = statusKb("VmHWM");
    // Into the real main window, as the program opens a file named on its
    // command line: evaluation from the bytes, then the chart.
    QElapsedTimer total, step;
    total.start();
    step.start();
    const ResultsEvaluation e = evaluateResultsFile(path);
    const double evalMs = ms(step);
    MainWindow window(nullptr);
    struct PaintSeen : QObject {
        int paints = 0;
        bool eventFilter(QObject*, QEvent* event) override
        {
            paints += event->type() == QEvent::Paint;
            return false;
        }
    } seen;
    window.chart()->installEventFilter(&seen);
    if (!showOnChart(e, window)) {
        std::printf("3. the file was not shown: %s\n", qPrintable(e.failure));
        return;
    }
    window.show();
    while (seen.paints == 0)
        QApplication::processEvents();
    const double firstPaint = ms(total);
    // A zoom to a new range, painted.
    step.restart();
    QString error;
    window.chart()->setBottomMaximum(window.chart()->bottomMaximum() / 2, &error);
    const int p = seen.paints;
    while (seen.paints == p)
        QApplication::processEvents();
    const double zoomMs = ms(step);
    std::printf(
        "3. 64 MiB alternating file (%lld samples) in the main window: open to first paint of the chart "
        "%.1f ms (evaluation %.1f ms; target < 1000); a new range painted in %.2f ms\n",
        static_cast<long long>(e.sampleCount), firstPaint, evalMs, zoomMs);
    std::printf("   peak memory VmHWM %.1f MB (before the file %.1f MB; target < 200 MB)\n",
        statusKb("VmHWM") / 1024.0, before / 1024.0);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int which = argc > 1 ? std::atoi(argv[1]) : 0;
    if (which == 0 || which == 1)
        addPointCost();
    if (which == 0 || which == 2) {
        openToFirstPaint(100000);
        openToFirstPaint(1000000);
    }
    if (which == 0 || which == 3)
        alternatingFile();
    return 0;
}
