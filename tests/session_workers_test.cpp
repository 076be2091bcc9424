// SPDX-License-Identifier: GPL-3.0-or-later
// The CPU load workers on real threads. Timings are generous: the machine
// running the tests may be busy, and the workers run at the lowest priority.
#include "session/loadworker.h"
#include "sysinfo/processorcount.h"

#include <QDir>
#include <chrono>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <thread>

using namespace ampero;
using namespace std::chrono;

namespace {

// Waits until pred holds or the deadline passes.
template <typename Pred> bool waitFor(Pred pred, milliseconds deadline = seconds(20))
{
    const auto end = steady_clock::now() + deadline;
    while (!pred()) {
        if (steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(milliseconds(5));
    }
    return true;
}

TEST(LoadWorkers, EveryWorkerRunsAtLowestPriorityAndStopsQuickly)
{
    const int mainNice = getpriority(PRIO_PROCESS, 0);
    CpuLoadWorkers load([] { return 3; });
    ASSERT_TRUE(load.start());
    ASSERT_EQ(load.workerCount(), 3);

    for (pid_t tid : load.threadIds())
        EXPECT_EQ(getpriority(PRIO_PROCESS, static_cast<id_t>(tid)), 19) << "thread " << tid;
    EXPECT_EQ(getpriority(PRIO_PROCESS, 0), mainNice); // the process keeps its priority

    const bool allAdvanced = waitFor([&] {
        for (uint64_t n : load.iterations())
            if (n == 0)
                return false;
        return true;
    });
    EXPECT_TRUE(allAdvanced);
    const std::vector<uint64_t> seen = load.iterations();
    uint64_t seenSum = 0;
    for (uint64_t n : seen)
        seenSum += n;

    const auto before = steady_clock::now();
    const uint64_t total = load.stop();
    const auto stopMs = duration_cast<milliseconds>(steady_clock::now() - before).count();
    std::printf("stop took %lld ms for 3 workers\n", static_cast<long long>(stopMs));
    EXPECT_LT(stopMs, 2000); // 100 ms on an idle machine; generous for a loaded one
    EXPECT_GE(total, seenSum);
    EXPECT_EQ(load.workerCount(), 0);
    EXPECT_EQ(load.stop(), 0u); // nothing left to stop
}

TEST(LoadWorkers, OneWorkerPerProcessorByDefault)
{
    CpuLoadWorkers load;
    ASSERT_TRUE(load.start());
    EXPECT_EQ(load.workerCount(), countProcessors());
    load.stop();
}

TEST(LoadWorkers, NoProcessorsMeansNoLoad)
{
    CpuLoadWorkers load([] { return 0; });
    EXPECT_FALSE(load.start());
    EXPECT_EQ(load.workerCount(), 0);
    EXPECT_EQ(load.stop(), 0u);
}

int threadsOfProcess()
{
    return static_cast<int>(
        QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
}

TEST(LoadWorkers, StartFailingPartWayLeavesNothingRunning)
{
    // A thread started and joined first, so that a helper thread a runtime
    // starts with the first thread (ThreadSanitizer's) is counted before.
    std::thread([] {}).join();
    const int threadsBefore = threadsOfProcess();
    int prepared = 0;
    CpuLoadWorkers load([] { return 4; },
        [&](LoadWorker& t) {
            if (++prepared == 3)
                return false;
            return t.setLowestPriority();
        });
    EXPECT_FALSE(load.start());
    EXPECT_EQ(prepared, 3);
    EXPECT_EQ(load.workerCount(), 0);
    EXPECT_EQ(threadsOfProcess(), threadsBefore); // the two started workers were joined
}

TEST(LoadWorkers, RestartLeavesNoOldWorkers)
{
    CpuLoadWorkers load([] { return 2; });
    ASSERT_TRUE(load.start());
    ASSERT_TRUE(load.start());
    EXPECT_EQ(load.workerCount(), 2);
    load.stop();
}

TEST(LoadWorker, ClearedFlagMeansNoIteration)
{
    LoadWorker t;
    t.running.store(0);
    t.iterations.store((uint64_t { 1 } << 32) + 5);
    t.resume();
    ASSERT_TRUE(t.join());
    EXPECT_EQ(t.iterations.load(), (uint64_t { 1 } << 32) + 5);
}

TEST(LoadWorker, CounterPassesThirtyTwoBits)
{
    LoadWorker t;
    t.iterations.store(0xFFFFFFF0u);
    t.running.store(1);
    t.resume();
    EXPECT_TRUE(waitFor([&] { return t.iterations.load(std::memory_order_relaxed) > 0x100000000ull; }));
    ASSERT_TRUE(t.join());
    EXPECT_GT(t.iterations.load(), 0x100000000ull);
}

TEST(LoadWorker, SuspendedThreadDoesNotLoop)
{
    LoadWorker t;
    t.running.store(1);
    std::this_thread::sleep_for(milliseconds(50));
    EXPECT_EQ(t.iterations.load(), 0u);
    // Destroyed without ever being resumed: ends without an iteration.
}

} // namespace
