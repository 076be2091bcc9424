// SPDX-License-Identifier: GPL-3.0-or-later
// workload_bench [SECONDS]: runs each workload for SECONDS (60 by default)
// and prints, per workload, the processors it kept busy against what its
// schedule asks on this machine, the share of time each core was busy
// (from /proc/stat: the whole machine's, so a first run with no load shows
// what other programs add), the share of bursts on time, the units done
// against the schedule's, the driver's wake-ups per second that started no
// burst, and the battery life its busy share gives on a simulated battery
// with base=8,load=10. Checks that the work done is within 1 % of the
// schedule's, that the driver wakes at most 2 times a second beyond the
// bursts, and that the lives are ordered full load < video < web < office <
// reading < no load. Exits 1 when a check fails.
#include "platform/procstattimes.h"
#include "platform/simpowersource.h"
#include "session/loadworker.h"
#include "session/workloadrunner.h"
#include "session/workunit.h"

#include <QCoreApplication>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <sys/resource.h>

using namespace ampero;
using Steady = std::chrono::steady_clock;

namespace {

double processSeconds()
{
    rusage u {};
    ::getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec)
        + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double seconds(Steady::duration d)
{
    return std::chrono::duration<double>(d).count();
}

// This thread's processor time: a busy machine slows the wall clock of a
// unit, not its processor time.
double threadSeconds()
{
    timespec t {};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// The cost of one work unit on this machine, in processor seconds, on one thread.
double unitCost()
{
    WorkUnitKernel kernel;
    kernel.run(2000); // warm the working set and the clock
    double best = 1e9;
    for (int round = 0; round < 20; ++round) {
        const double t0 = threadSeconds();
        kernel.run(200);
        best = std::min(best, (threadSeconds() - t0) / 200);
    }
    std::printf("work unit: %.1f us on one thread (checksum %llx)\n", best * 1e6,
        static_cast<unsigned long long>(kernel.checksum() & 0xffff));
    return best;
}

// The share of time each processor was busy between two snapshots, as
// " 45.1% 38.2%"; "?" for one that was offline.
QByteArray coresBusy(const std::optional<ProcessorSnapshot>& a, const std::optional<ProcessorSnapshot>& b)
{
    if (!a || !b)
        return " unknown";
    const auto total = [](const ProcessorTimes& t) {
        return (t.user + t.nice + t.system + t.idle + t.iowait + t.irq + t.softirq).count();
    };
    const auto idle = [](const ProcessorTimes& t) { return (t.idle + t.iowait).count(); };
    QByteArray text;
    for (std::size_t i = 0; i < std::min(a->size(), b->size()); ++i) {
        const ProcessorTimes& t0 = (*a)[i].times;
        const ProcessorTimes& t1 = (*b)[i].times;
        const double all = double(total(t1) - total(t0));
        if (!(*a)[i].present || !(*b)[i].present || all <= 0) {
            text += " ?";
            continue;
        }
        text += ' ' + QByteArray::number(100.0 * (1.0 - double(idle(t1) - idle(t0)) / all), 'f', 1) + '%';
    }
    return text;
}

// Runs the event loop for s seconds; the cores' busy shares over them.
QByteArray runFor(QCoreApplication& app, double s)
{
    ProcStatTimes stat;
    const std::optional<ProcessorSnapshot> before = stat.snapshot();
    QTimer::singleShot(static_cast<int>(s * 1000), &app, &QCoreApplication::quit);
    QCoreApplication::exec();
    return coresBusy(before, stat.snapshot());
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const double duration = argc > 1 ? std::atof(argv[1]) : 60.0;
    const double unit = unitCost();
    QString error;
    const SimBatterySettings battery = *parseSimBatterySettings(QStringLiteral("base=8,load=10"), &error);
    const auto life = [&](double busy) { return battery.fullWh() / (*battery.baseW + battery.loadW * busy); };

    bool ok = true;
    std::vector<std::pair<QString, double>> lives;
    std::printf("%-8s cores busy%s (other programs)\n", "none", runFor(app, duration).constData());
    {
        CpuLoadWorkers full;
        const double c0 = processSeconds();
        const auto t0 = Steady::now();
        full.start();
        const QByteArray cores = runFor(app, duration);
        full.stop();
        const double busy = (processSeconds() - c0) / seconds(Steady::now() - t0);
        std::printf("%-8s busy %.2f processors; cores busy%s; battery life %.2f h\n", "full", busy,
            cores.constData(), life(busy));
        lives.emplace_back(QStringLiteral("full"), life(busy));
    }
    for (Workload w : { Workload::Video, Workload::Web, Workload::Office, Workload::Reading }) {
        WorkloadRunner runner;
        const double c0 = processSeconds();
        const auto t0 = Steady::now();
        runner.start(w);
        const QByteArray cores = runFor(app, duration);
        const int64_t idle = runner.idleWakeUps();
        const WorkloadTally t = runner.stop();
        const double wall = seconds(Steady::now() - t0);
        const double busy = (processSeconds() - c0) / wall;
        const double planned = double(t.unitsDue) * unit / wall;
        const double doneShare = t.unitsDue > 0 ? double(t.unitsDone) / double(t.unitsDue) : 0;
        // Bursts still running at the stop count as due but not done: allow
        // for the last burst of each stream.
        int64_t lastBursts = 0;
        for (const BurstStream& s : workloadStreams(w))
            lastBursts += s.units;
        const bool workOk = t.unitsDue - t.unitsDone <= std::max<int64_t>(t.unitsDue / 100, lastBursts);
        const double idlePerS = double(idle) / wall;
        std::printf(
            "%-8s busy %.3f processors (schedule %.3f on this machine; %.1f us a unit in the run); cores "
            "busy%s; on time "
            "%.1f %% of %lld "
            "bursts; units %lld of %lld (%.2f %%)%s; driver %.2f idle wake-ups/s%s; battery life %.2f h\n",
            qPrintable(workloadKey(w)), busy, planned,
            t.unitsDone > 0 ? 1e6 * busy * wall / double(t.unitsDone) : 0.0, cores.constData(),
            100.0 * t.onTimeShare().value_or(0), static_cast<long long>(t.burstsDue),
            static_cast<long long>(t.unitsDone), static_cast<long long>(t.unitsDue), 100.0 * doneShare,
            workOk ? "" : " BELOW TARGET", idlePerS, idlePerS <= 2 ? "" : " ABOVE TARGET", life(busy));
        ok = ok && workOk && idlePerS <= 2;
        lives.emplace_back(workloadKey(w), life(busy));
    }
    lives.emplace_back(QStringLiteral("none"), life(0));
    bool ordered = true;
    for (std::size_t i = 1; i < lives.size(); ++i)
        ordered = ordered && lives[i - 1].second < lives[i].second;
    std::printf(
        "battery lives ordered full < video < web < office < reading < none: %s\n", ordered ? "yes" : "NO");
    return ok && ordered ? 0 : 1;
}
