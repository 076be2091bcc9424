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
//   3. A 64 MiB file of alternating levels (67 million samples) shown from its
//      bytes: peak memory and time to the first paint, and one zoom. Targets:
//      under 200 MB and under 1 s.
// Usage: chart_bench [case 1|2|3, default all]
#include "results/evaluation.h"
#include "results/resultsformat.h"
#include "ui/chartwidget.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <vector>

using namespace ampero;

namespace {

constexpr double Second = 1000.0 / 86400000.0;

// A chart that notes when a paint has finished.
class TimedChart : public ChartWidget {
public:
    int paints = 0;

protected:
    void paintEvent(QPaintEvent* event) override
    {
        ChartWidget::paintEvent(event);
        ++paints;
    }
};

double ms(const QElapsedTimer& t)
{
    return static_cast<double>(t.nsecsElapsed()) / 1e6;
}

// CPU time of this thread in ms: on a shared machine it leaves out the
// time the thread waited for a core.
double threadCpuMs()
{
    timespec ts {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

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
            chart.addPoint1(s * Second, level(s));
        QApplication::processEvents();
        std::vector<double> costs, cpu;
        const int paintsBefore = chart.paints;
        QElapsedTimer t;
        for (int s = start; s < start + 600; ++s) {
            const double c0 = threadCpuMs();
            t.start();
            chart.addPoint1(s * Second, level(s));
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
        chart.setPoints1(compactCurve(e.curve));
        chart.setPoints2(e.forecastLine);
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
#if __has_include("ui/chartseries.h")
    const long before = statusKb("VmHWM");
    // The file's sample bytes as the reader leaves them: 64 MiB less header.
    constexpr qsizetype Samples = 64 * 1024 * 1024 - 64;
    QElapsedTimer total;
    total.start();
    auto levels = std::make_shared<std::vector<uint8_t>>(static_cast<size_t>(Samples));
    for (qsizetype i = 0; i < Samples; ++i)
        (*levels)[static_cast<size_t>(i)] = i % 2 ? 61 : 60;
    const double fill = ms(total);
    total.restart();
    TimedChart chart;
    chart.resize(626, 250);
    chart.setSamples(0, 0, Second, levels);
    QString error;
    chart.setBottomMaximum((Samples - 1) * Second, &error);
    chart.setInteractive(true);
    chart.show();
    while (chart.paints == 0)
        QApplication::processEvents();
    const double firstPaint = ms(total);
    // One zoom into the middle, to its last animation step, then back.
    QElapsedTimer zoom;
    zoom.start();
    chart.setBottomMaximum(chart.bottomMaximum() / 2 + 600 * Second, &error);
    const int p = chart.paints;
    while (chart.paints == p)
        QApplication::processEvents();
    const double zoomMs = ms(zoom);
    std::printf(
        "3. 64 MiB alternating file, %lld samples: bytes made in %.0f ms; to the chart and first paint "
        "%.1f ms (target < 1000); a new range repainted in %.2f ms\n",
        static_cast<long long>(Samples), fill, firstPaint, zoomMs);
    std::printf("   peak memory VmHWM %.1f MB (before the file %.1f MB; target < 200 MB)\n",
        statusKb("VmHWM") / 1024.0, before / 1024.0);
#else
    std::printf("3. 64 MiB alternating file: the chart has no compact sample storage\n");
#endif
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
