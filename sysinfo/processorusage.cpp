// SPDX-License-Identifier: GPL-3.0-or-later
#include "sysinfo/processorusage.h"

namespace ampero {

int64_t roundedMs(std::chrono::nanoseconds time)
{
    constexpr int64_t nsPerMs = 1'000'000;
    const int64_t ns = time.count();
    int64_t q = ns / nsPerMs;
    const int64_t r = ns % nsPerMs; // same sign as ns
    const int64_t twice = 2 * (r < 0 ? -r : r);
    if (twice > nsPerMs || (twice == nsPerMs && (q % 2) != 0))
        q += ns < 0 ? -1 : 1;
    return q;
}

float sharePercent(int64_t ms, std::chrono::milliseconds dt)
{
    return static_cast<float>(static_cast<double>(ms) / static_cast<double>(dt.count()) * 100.0);
}

ProcessorUsage::ProcessorUsage(ProcessorTimesSource& source, int processorCount)
    : m_source(source)
    , m_processorCount(processorCount)
{
}

std::optional<ProcessorSnapshot> ProcessorUsage::takeSnapshot()
{
    return m_source.snapshot();
}

void ProcessorUsage::start()
{
    m_prevTickCount = m_source.tickCount();
    m_sampledProcessorCount = static_cast<uint16_t>(m_processorCount);
    m_prevSnapshot = takeSnapshot();
}

bool ProcessorUsage::sample(std::vector<ProcessorUsageShare>& table)
{
    const std::chrono::milliseconds newTick = m_source.tickCount();
    std::optional<ProcessorSnapshot> newSnapshot = takeSnapshot();
    if (!newSnapshot)
        return false; // keep the previous snapshot; the next sample spans both intervals
    if (!m_prevSnapshot) {
        // Nothing to compare with yet: this snapshot starts the next interval.
        m_prevSnapshot = std::move(newSnapshot);
        m_prevTickCount = newTick;
        return false;
    }
    const std::chrono::milliseconds dt = newTick - m_prevTickCount;
    if (dt <= std::chrono::milliseconds(0))
        return false; // keep the older snapshot so the next interval is not empty
    const ProcessorSnapshot& prev = *m_prevSnapshot;
    const ProcessorSnapshot& next = *newSnapshot;
    // Entry k is the k-th online processor, in the order of their numbers:
    // with processors offline (SMT off leaves 0, 2, 4, ...) the numbers have
    // gaps, and an offline processor gets no entry at all.
    table.clear();
    for (size_t cpu = 0; cpu < next.size() && table.size() < m_sampledProcessorCount; ++cpu) {
        if (!next[cpu].present)
            continue;
        ProcessorUsageShare e;
        if (cpu >= prev.size() || !prev[cpu].present) {
            // Just come online: no times to compare with yet.
            e.idle = 100.0f;
        } else {
            const ProcessorTimes& a = prev[cpu].times;
            const ProcessorTimes& b = next[cpu].times;
            const auto idle = b.idle - a.idle;
            const auto irq = b.irq - a.irq;
            const auto softirq = b.softirq - a.softirq;
            // Idle counts the time waiting for input and output; the kernel's
            // share includes the idle time, as the usage rule expects.
            e.idle = sharePercent(roundedMs(idle + (b.iowait - a.iowait)), dt);
            e.kernel = sharePercent(roundedMs((b.system - a.system) + irq + softirq + idle), dt);
            e.user = sharePercent(roundedMs((b.user - a.user) + (b.nice - a.nice)), dt);
            e.softIrq = sharePercent(roundedMs(softirq), dt);
            e.interrupt = sharePercent(roundedMs(irq), dt);
        }
        table.push_back(e);
    }
    m_prevSnapshot = std::move(newSnapshot);
    m_prevTickCount = newTick;
    return true;
}

} // namespace ampero
