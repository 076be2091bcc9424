// SPDX-License-Identifier: GPL-3.0-or-later
// The largest results file the reader takes (64 MiB) with a level that flips
// every second, the worst case for anything that keeps one entry per level
// change. Prints the peak memory (the child's VmHWM, from wait4) and the
// wall time of the terminal modes, each in a process of its own, and of the
// evaluation the results window uses (with the curve it hands to the chart).
// Then the same for a short results file (4 samples) beside a 255 MB
// companion of short lines: what the companion costs must grow with the
// samples, not with its size.
//
//   bigfile_bench [PROGRAM]   PROGRAM: the ampero binary to measure
//                             (default: the one built beside this bench)
#include "alternatingfile.h"
#include "results/companionfile.h"
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

// A 4-sample normal test and its companion: the setup line, then sample
// lines of 14 bytes up to 255 MB, their seconds going round from 0 to 9, so
// that most lines repeat a second and many lie beyond the samples.
// Written from a child, as the large results file is.
bool writeShortFileWithHugeCompanion(const std::string& path)
{
    return inChild([&] {
        std::vector<uint8_t> apr = encodeResultsHeader(2, 1, 0xFFFFFFFFu);
        for (uint8_t level : { 80, 80, 79, 79 })
            apr.push_back(level);
        const auto trailer = encodeResultsTrailer(nullptr, 48000, 123456789);
        apr.insert(apr.end(), trailer.begin(), trailer.end());
        QFile results(QString::fromStdString(path));
        if (!results.open(QIODevice::WriteOnly)
            || results.write(reinterpret_cast<const char*>(apr.data()), qint64(apr.size()))
                != qint64(apr.size()))
            return 1;
        QFile companion(QString::fromStdString(path) + QStringLiteral(".jsonl"));
        if (!companion.open(QIODevice::WriteOnly))
            return 1;
        QByteArray chunk = encodeSetupLine(CompanionSetup {});
        const qint64 target = qint64(255) * 1000 * 1000;
        qint64 written = 0;
        for (qint64 k = 0; written < target; ++k) {
            chunk += "{\"seconds\":" + QByteArray::number(k % 10) + "}\n";
            if (chunk.size() >= (1 << 20) || written + chunk.size() >= target) {
                if (companion.write(chunk) != chunk.size())
                    return 1;
                written += chunk.size();
                chunk.clear();
            }
        }
        return companion.flush() ? 0 : 1;
    }).ok;
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

    const std::string shortPath = QFile::encodeName(dir.filePath(QStringLiteral("short.apr"))).toStdString();
    if (!writeShortFileWithHugeCompanion(shortPath)) {
        std::fprintf(stderr, "cannot write %s\n", shortPath.c_str());
        return 1;
    }
    ::unlink(path.c_str());
    std::printf("\nfile: 4 samples beside a 255 MB companion of short lines\n");
    std::fflush(stdout);
    print("--report", runProgram(program, { "--report", shortPath }));
    print("--report --json", runProgram(program, { "--report", shortPath, "--json" }));
    print("--export-csv (to /dev/null)", runProgram(program, { "--export-csv", shortPath }));
    print("--compare (four times the file)",
        runProgram(program, { "--compare", shortPath, shortPath, shortPath, shortPath }));
    print("evaluation (in process)", inChild([&] {
        const ResultsEvaluation e = evaluateResultsFile(QString::fromStdString(shortPath));
        std::printf("  (%zu companion readings kept)\n", e.energySamples ? e.energySamples->size() : 0);
        std::fflush(stdout);
        return e.hasCompanion ? 0 : 1;
    }));
    return 0;
}
