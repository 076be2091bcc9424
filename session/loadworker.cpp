// SPDX-License-Identifier: GPL-3.0-or-later
#include "session/loadworker.h"

#include "sysinfo/processorcount.h"

#include <pthread.h>
#include <sched.h>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace ampero {

namespace {
constexpr int LowestNice = 19;
}

LoadWorker::LoadWorker()
{
    m_thread = std::thread([this] { run(); });
    // Wait until the thread has published its id, so its priority can be set
    // before it starts looping.
    m_started.acquire();
}

LoadWorker::~LoadWorker()
{
    join();
}

bool LoadWorker::join()
{
    running.store(0, std::memory_order_relaxed);
    resume(); // a thread still suspended then ends without an iteration
    try {
        if (m_thread.joinable())
            m_thread.join();
    } catch (...) {
        return false;
    }
    return true;
}

void LoadWorker::run()
{
    m_tid = static_cast<pid_t>(::syscall(SYS_gettid));
    m_started.release();
    m_resume.acquire();
    spin();
}

void LoadWorker::spin()
{
    // One iteration per flag check in every build type.
#pragma GCC unroll 1
    while (running.load(std::memory_order_relaxed) != 0)
        iterations.store(iterations.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
}

bool LoadWorker::setLowestPriority()
{
    sched_param param {};
    param.sched_priority = 0;
    if (pthread_setschedparam(m_thread.native_handle(), SCHED_OTHER, &param) != 0)
        return false;
    // On Linux the nice value belongs to the thread named by its kernel id.
    return ::setpriority(PRIO_PROCESS, static_cast<id_t>(m_tid), LowestNice) == 0;
}

void LoadWorker::resume()
{
    if (m_resumed)
        return;
    m_resumed = true;
    m_resume.release();
}

CpuLoadWorkers::CpuLoadWorkers(
    std::function<int()> processorCount, std::function<bool(LoadWorker&)> setPriority)
    : m_processorCount(processorCount ? std::move(processorCount) : std::function<int()>(countProcessors))
    , m_setPriority(setPriority
              ? std::move(setPriority)
              : std::function<bool(LoadWorker&)>([](LoadWorker& t) { return t.setLowestPriority(); }))
{
}

CpuLoadWorkers::~CpuLoadWorkers()
{
    stop();
}

bool CpuLoadWorkers::start()
{
    stop(); // never leave workers of an earlier start behind
    const int n = m_processorCount();
    if (n <= 0)
        return false;
    try {
        m_workers.reserve(static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i) {
            m_workers.push_back(std::make_unique<LoadWorker>());
            LoadWorker& t = *m_workers.back();
            t.running.store(1, std::memory_order_relaxed);
            t.iterations.store(0, std::memory_order_relaxed);
            if (!m_setPriority(t))
                throw std::runtime_error("cannot lower the worker's priority");
            t.resume();
        }
    } catch (...) {
        // A start that fails part-way leaves nothing running.
        stop();
        return false;
    }
    return true;
}

uint64_t CpuLoadWorkers::stop()
{
    uint64_t total = 0;
    bool failed = false;
    // Clear every flag first, so the workers end together, then read and join.
    for (auto& t : m_workers)
        t->running.store(0, std::memory_order_relaxed);
    for (auto& t : m_workers) {
        total += t->iterations.load(std::memory_order_relaxed);
        if (!t->join())
            failed = true;
    }
    m_workers.clear();
    return failed ? 0 : total;
}

std::vector<uint64_t> CpuLoadWorkers::iterations() const
{
    std::vector<uint64_t> out;
    for (const auto& t : m_workers)
        out.push_back(t->iterations.load(std::memory_order_relaxed));
    return out;
}

std::vector<pid_t> CpuLoadWorkers::threadIds() const
{
    std::vector<pid_t> out;
    for (const auto& t : m_workers)
        out.push_back(t->threadId());
    return out;
}

} // namespace ampero
