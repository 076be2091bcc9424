// SPDX-License-Identifier: GPL-3.0-or-later
// The largest results file the reader takes (64 MiB) with a level that flips
// every second, the worst case for anything that keeps one entry per level
// change. Prints the peak memory (the child's VmHWM, from wait4) and the
// wall time of the terminal modes, each in a process of its own, and of the
// evaluation the results window uses (with the curve it hands to the chart).
//
//   bigfile_bench [PROGRAM]   PROGRAM: the ampero binary to measure
//                             (default: the one built beside this bench)
#include "alternatingfile.h"
#include "results/evaluation.h"
#include "results/resultsformat.h"
#include "session/sessionports.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace ampero;

namespace {

struct Figure {
    bool ok = false;
    long peakKiB = 0;
    double ms = 0;
};

// The chart stand-in of the window: keeps what it is given, as a chart would.
class KeepingChart final : public ChartView {
public:
    void clearSeries() override { points.clear(); }
    void addSample(double x, double y) override { points.append(QPointF(x, y)); }
    void setSamples(const QList<QPointF>& p) override { points = p; }
    void setForecastLine(const QList<QPointF>&) override { }
    void setInteractive(bool) override { }
    AxisLimitResult setBottomMaximum(double d) override
    {
        max = d;
        return {};
    }
    double bottomMaximum() const override { return max; }
    QList<QPointF> points;
    double max = 0;
};

// Runs fn in a child process; its exit status 0 means success.
template <typename Fn> Figure inChild(Fn fn)
{
    Figure f;
    QElapsedTimer t;
    t.start();
    const pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(fn());
    int status = 0;
    rusage usage {};
    if (pid < 0 || ::wait4(pid, &status, 0, &usage) != pid)
        return f;
    f.ms = static_cast<double>(t.nsecsElapsed()) / 1e6;
    f.peakKiB = usage.ru_maxrss;
    f.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return f;
}

Figure runProgram(const std::string& program, const std::vector<std::string>& args)
{
    return inChild([&] {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, STDOUT_FILENO);
        std::vector<char*> argv { const_cast<char*>(program.c_str()) };
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        return 127;
    });
}

void print(const char* what, const Figure& f)
{
    if (!f.ok)
        std::printf("%-34s failed\n", what);
    else
        std::printf("%-34s peak %7.1f MB  %8.1f ms\n", what, static_cast<double>(f.peakKiB) / 1024.0, f.ms);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const std::string program = argc > 1
        ? std::string(argv[1])
        : QFile::encodeName(QCoreApplication::applicationDirPath() + QStringLiteral("/../ampero"))
              .toStdString();

    QTemporaryDir dir;
    const std::string path = QFile::encodeName(dir.filePath(QStringLiteral("alternating.apr"))).toStdString();
    if (!bench::writeAlternatingFile(path)) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return 1;
    }
    std::printf("file: %zu bytes, level flipping every second; program: %s\n",
        static_cast<std::size_t>(ResultsMaxFileSize), program.c_str());
    std::fflush(stdout);

    print("--report", runProgram(program, { "--report", path }));
    print("--report --json", runProgram(program, { "--report", path, "--json" }));
    print("--export-csv (to /dev/null)", runProgram(program, { "--export-csv", path }));

    // The window's side: the evaluation and what it hands to the chart.
    print("evaluation + chart curve (in process)", inChild([&] {
        const ResultsEvaluation e = evaluateResultsFile(QString::fromStdString(path));
        KeepingChart chart;
        if (!showOnChart(e, chart))
            return 1;
        std::printf("  (%lld samples, %lld chart points)\n", static_cast<long long>(e.sampleCount),
            static_cast<long long>(chart.points.size()));
        std::fflush(stdout);
        return 0;
    }));
    return 0;
}
