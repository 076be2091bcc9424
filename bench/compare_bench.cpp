// SPDX-License-Identifier: GPL-3.0-or-later
// Comparing eight results files of 100 000 samples each (about 28 hours of
// test) in the window: from the files chosen in "Compare with..." (the
// dialog's answer) to the chart's first paint with all eight curves, the
// comparison table open. Target: under 100 ms.
// Offscreen at the main window's chart size; each round clears the
// comparison first. Prints the first round (files just written) and the
// median and worst of the rest.
// Usage: compare_bench [rounds, default 15]
#include "procusage.h"
#include "results/resultsformat.h"
#include "timedchart.h"
#include "ui/chartwidget.h"
#include "ui/runcomparison.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

using namespace ampero;

namespace {

using bench::TimedChart;

// A normal test's file: 100 000 samples falling from 100 % to 0 % with the
// gauge flickering between neighbouring levels now and then.
bool writeRun(const QString& path, int seed)
{
    std::vector<uint8_t> bytes = encodeResultsHeader(2, static_cast<uint8_t>(seed % 2), 36000);
    constexpr int Samples = 100000;
    uint32_t r = 12345u + static_cast<uint32_t>(seed);
    for (int k = 0; k < Samples; ++k) {
        r = r * 1103515245u + 12345u;
        int level = 100 - k / 1000;
        if ((r >> 16) % 50 == 0 && level > 0)
            --level;
        bytes.push_back(static_cast<uint8_t>(std::max(0, level)));
    }
    const auto trailer = encodeResultsTrailer(nullptr, 48000, 123456789);
    bytes.insert(bytes.end(), trailer.begin(), trailer.end());
    QFile f(path);
    return f.open(QIODevice::WriteOnly)
        && f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()))
        == static_cast<qint64>(bytes.size());
}

using bench::ms;
using bench::threadCpuMs;

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(2, std::atoi(argv[1])) : 15;

    QTemporaryDir dir;
    QStringList files;
    for (int i = 0; i < RunComparison::MaxRuns; ++i) {
        files << dir.filePath(QStringLiteral("run%1.apr").arg(i + 1));
        if (!writeRun(files.last(), i)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(files.last()));
            return 1;
        }
    }

    QWidget window;
    window.resize(632, 453);
    auto* chart = new TimedChart;
    chart->setParent(&window);
    chart->setGeometry(3, 20, 626, 300);
    RunComparison comparison(*chart, &window);
    window.show();
    QApplication::processEvents();

    std::vector<double> times;
    std::vector<double> cpu;
    for (int round = 0; round < rounds; ++round) {
        comparison.clear();
        QApplication::processEvents();
        const int before = chart->paints;
        QElapsedTimer t;
        t.start();
        const double cpu0 = threadCpuMs();
        if (comparison.addFiles(files) != RunComparison::MaxRuns) {
            std::fprintf(stderr, "not every file was added\n");
            return 1;
        }
        while (chart->paints == before)
            QApplication::processEvents(QEventLoop::AllEvents);
        times.push_back(ms(t));
        cpu.push_back(threadCpuMs() - cpu0);
    }
    const std::vector<double> rest(times.begin() + 1, times.end());
    const std::vector<double> restCpu(cpu.begin() + 1, cpu.end());
    std::printf(
        "compare 8 x 100000-sample files, files chosen to first paint (table open), target < 100 ms:\n"
        "  first round %.1f ms (cpu %.1f ms); next %zu rounds: median %.1f ms (cpu %.1f ms), "
        "worst %.1f ms (cpu %.1f ms)\n",
        times.front(), cpu.front(), rest.size(), median(rest), median(restCpu),
        *std::max_element(rest.begin(), rest.end()), *std::max_element(restCpu.begin(), restCpu.end()));
    return 0;
}
