// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The CPU load worker and the set of workers a test runs.
#include "session/loadworkers.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <semaphore>
#include <sys/types.h>
#include <thread>
#include <vector>

namespace ampero {

// One busy worker on a thread of its own. It is created suspended (the thread
// exists but waits before its loop), gets its priority, is then resumed, and
// its destruction waits for the thread to end.
//
// running and iterations are the only fields shared with the main thread,
// both accessed without locks as relaxed atomics. The loop does exactly one
// load of running and one load plus one store of iterations per iteration:
// no locked read-modify-write, no calls, no pauses.
class LoadWorker {
public:
    // Starts the thread suspended. Throws std::system_error when the system
    // refuses the thread.
    LoadWorker();
    // Clears running, lets a still suspended thread run (it then ends at
    // once) and joins.
    ~LoadWorker();
    LoadWorker(const LoadWorker&) = delete;
    LoadWorker& operator=(const LoadWorker&) = delete;

    // Puts the thread at the lowest normal priority (SCHED_OTHER, nice 19).
    // Only this thread changes; the process keeps its own priority.
    bool setLowestPriority();
    // Lets the suspended thread enter its loop.
    void resume();
    // Clears running and waits for the thread to end; false when the join
    // failed. The destructor does the same.
    bool join();
    // Kernel thread id, for checking the priority from outside.
    pid_t threadId() const { return m_tid; }

    // Nonzero: keep looping; 0: leave the loop and end the thread.
    alignas(64) std::atomic<uint8_t> running { 0 };
    // Completed loop iterations. On a cache line apart from running: the
    // loop's store to the counter would otherwise stall its next load of
    // the flag on the same line, which costs about a quarter of the rate.
    alignas(64) std::atomic<uint64_t> iterations { 0 };

private:
    // The thread body: loops while running is set.
    void spin();
    void run();

    alignas(64) std::binary_semaphore m_resume { 0 };
    std::binary_semaphore m_started { 0 };
    pid_t m_tid = 0;
    bool m_resumed = false;
    std::thread m_thread;
};

// The real load: one LoadWorker per processor.
class CpuLoadWorkers final : public LoadWorkers {
public:
    // processorCount gives the number of workers (countProcessors by
    // default); setPriority puts a suspended worker at its priority
    // (LoadWorker::setLowestPriority by default) and returns false when it
    // cannot.
    explicit CpuLoadWorkers(
        std::function<int()> processorCount = {}, std::function<bool(LoadWorker&)> setPriority = {});
    ~CpuLoadWorkers() override;

    bool start() override; // startLoad's part: create, prioritise, resume
    uint64_t stop() override; // stopLoad's part: clear, read, sum, join

    // Worker count of the last start and a snapshot of the running counters.
    int workerCount() const { return static_cast<int>(m_workers.size()); }
    std::vector<uint64_t> iterations() const;
    std::vector<pid_t> threadIds() const;

private:
    std::function<int()> m_processorCount;
    std::function<bool(LoadWorker&)> m_setPriority;
    std::vector<std::unique_ptr<LoadWorker>> m_workers;
};

} // namespace ampero
