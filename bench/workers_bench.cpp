// SPDX-License-Identifier: GPL-3.0-or-later
// Loop iterations per second of the CPU load workers, per core, beside a
// plainly written loop doing the same three memory operations (load the
// flag, load the counter, store the counter plus one). Both run at nice 19,
// pinned one thread per core, in alternating rounds; the best round of each
// counts. Usage: workers_bench [seconds per round, default 1] [rounds, default 3]
#include "session/loadworker.h"
#include "sysinfo/processorcount.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace ampero;
using Clock = std::chrono::steady_clock;

namespace {

void pin(pid_t tid, int cpu)
{
    cpu_set_t set;
    CPU_ZERO(&set);
    CPU_SET(cpu, &set);
    sched_setaffinity(tid, sizeof set, &set);
}

// The reference: the same loop as anyone would write it, the flag and the
// counter on cache lines of their own. Fixed in every build type: one flag
// load, one counter load and one store per iteration, never unrolled (an
// unrolled loop checks the flag less often and is not the same work).
struct alignas(64) PlainWorker {
    volatile uint8_t burning = 1;
    alignas(64) volatile uint64_t iterations = 0;
    pid_t tid = 0;
};

__attribute__((noinline)) void plainSpin(PlainWorker* w)
{
#pragma GCC unroll 1
    while (w->burning)
        w->iterations = w->iterations + 1;
}

void plainLoop(PlainWorker* w, int cpu, std::atomic<int>* ready)
{
    w->tid = static_cast<pid_t>(::syscall(SYS_gettid));
    pin(w->tid, cpu);
    setpriority(PRIO_PROCESS, static_cast<id_t>(w->tid), 19);
    ready->fetch_add(1);
    plainSpin(w);
}

double seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

// Rates per core of the real workers over one round.
std::vector<double> workersRound(int n, double secs)
{
    CpuLoadWorkers load([n] { return n; });
    if (!load.start())
        return {};
    const auto tids = load.threadIds();
    for (int i = 0; i < n; ++i)
        pin(tids[static_cast<std::size_t>(i)], i);
    std::this_thread::sleep_for(std::chrono::milliseconds(100)); // settle on their cores
    const auto before = load.iterations();
    const auto t0 = Clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(secs));
    const auto after = load.iterations();
    const double dt = seconds(Clock::now() - t0);
    load.stop();
    std::vector<double> rates;
    for (int i = 0; i < n; ++i)
        rates.push_back(
            static_cast<double>(after[static_cast<std::size_t>(i)] - before[static_cast<std::size_t>(i)])
            / dt);
    return rates;
}

std::vector<double> plainRound(int n, double secs)
{
    std::vector<PlainWorker> workers(static_cast<std::size_t>(n));
    std::atomic<int> ready { 0 };
    std::vector<std::thread> threads;
    for (int i = 0; i < n; ++i)
        threads.emplace_back(plainLoop, &workers[static_cast<std::size_t>(i)], i, &ready);
    while (ready.load() < n)
        std::this_thread::yield();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    std::vector<uint64_t> before;
    for (auto& w : workers)
        before.push_back(static_cast<uint64_t>(w.iterations));
    const auto t0 = Clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(secs));
    std::vector<uint64_t> after;
    for (auto& w : workers)
        after.push_back(static_cast<uint64_t>(w.iterations));
    const double dt = seconds(Clock::now() - t0);
    for (auto& w : workers)
        w.burning = 0;
    for (auto& t : threads)
        t.join();
    std::vector<double> rates;
    for (int i = 0; i < n; ++i)
        rates.push_back(
            static_cast<double>(after[static_cast<std::size_t>(i)] - before[static_cast<std::size_t>(i)])
            / dt);
    return rates;
}

} // namespace

int main(int argc, char** argv)
{
    const double secs = argc > 1 ? std::atof(argv[1]) : 1.0;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
    const int n = countProcessors();
    std::vector<double> bestWorkers(static_cast<std::size_t>(n), 0.0),
        bestPlain(static_cast<std::size_t>(n), 0.0);
    for (int r = 0; r < rounds; ++r) {
        const auto w = workersRound(n, secs);
        const auto p = plainRound(n, secs);
        for (int i = 0; i < n && i < static_cast<int>(w.size()); ++i) {
            bestWorkers[static_cast<std::size_t>(i)]
                = std::max(bestWorkers[static_cast<std::size_t>(i)], w[static_cast<std::size_t>(i)]);
            bestPlain[static_cast<std::size_t>(i)]
                = std::max(bestPlain[static_cast<std::size_t>(i)], p[static_cast<std::size_t>(i)]);
        }
    }
    std::printf("%d cores, %d rounds of %.1f s, best round per core\n", n, rounds, secs);
    std::printf("%-5s %18s %18s %8s\n", "core", "workers it/s", "reference it/s", "ratio");
    double worst = 1e9;
    for (int i = 0; i < n; ++i) {
        const double ratio = bestPlain[static_cast<std::size_t>(i)] > 0
            ? bestWorkers[static_cast<std::size_t>(i)] / bestPlain[static_cast<std::size_t>(i)]
            : 0.0;
        worst = std::min(worst, ratio);
        std::printf("%-5d %18.0f %18.0f %7.1f%%\n", i, bestWorkers[static_cast<std::size_t>(i)],
            bestPlain[static_cast<std::size_t>(i)], 100.0 * ratio);
    }
    std::printf("lowest ratio %.1f%% (target at least 95%%)\n", 100.0 * worst);
    return 0;
}
