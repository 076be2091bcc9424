// SPDX-License-Identifier: GPL-3.0-or-later
#include "sysinfo/processorusage.h"

namespace ampero {

int64_t unitsToMs(int64_t units)
{
    int64_t q = units / 10000;
    const int64_t r = units % 10000; // same sign as units
    const int64_t twice = 2 * (r < 0 ? -r : r);
    if (twice > 10000 || (twice == 10000 && (q % 2) != 0))
        q += units < 0 ? -1 : 1;
    return q;
}

uint32_t tickDifference(uint32_t prev, uint32_t now)
{
    return now - prev; // unsigned arithmetic wraps modulo 2^32
}

float sharePercent(int64_t ms, uint32_t dtMs)
{
    return static_cast<float>(static_cast<double>(ms) / static_cast<double>(dtMs) * 100.0);
}

ProcessorUsage::ProcessorUsage(ProcessorTimesSource& source, int processorCount)
    : m_source(source)
    , m_processorCount(processorCount)
{
}

std::optional<ProcessorSnapshot> ProcessorUsage::QuerySystemInformation()
{
    return m_source.snapshot();
}

void ProcessorUsage::InitProcessorUsage()
{
    m_prevTickCount = m_source.tickCount();
    m_sampledProcessorCount = static_cast<uint16_t>(m_processorCount);
    m_prevSnapshot = QuerySystemInformation();
}

bool ProcessorUsage::SampleProcessorUsage(std::vector<ProcessorUsageShare>& table)
{
    const uint32_t newTick = m_source.tickCount();
    std::optional<ProcessorSnapshot> newSnapshot = QuerySystemInformation();
    if (!newSnapshot)
        return false; // keep the previous snapshot; the next sample spans both intervals
    if (!m_prevSnapshot) {
        // Nothing to compare with yet: this snapshot starts the next interval.
        m_prevSnapshot = std::move(newSnapshot);
        m_prevTickCount = newTick;
        return false;
    }
    const uint32_t dt = tickDifference(m_prevTickCount, newTick);
    if (dt == 0)
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
            e.Idle = 100.0f;
        } else {
            const ProcessorTimes& a = prev[cpu].times;
            const ProcessorTimes& b = next[cpu].times;
            e.Idle = sharePercent(unitsToMs(b.IdleTime - a.IdleTime), dt);
            e.Kernel = sharePercent(unitsToMs(b.KernelTime - a.KernelTime), dt);
            e.User = sharePercent(unitsToMs(b.UserTime - a.UserTime), dt);
            e.Dpc = sharePercent(unitsToMs(b.DpcTime - a.DpcTime), dt);
            e.Interrupt = sharePercent(unitsToMs(b.InterruptTime - a.InterruptTime), dt);
        }
        table.push_back(e);
    }
    m_prevSnapshot = std::move(newSnapshot);
    m_prevTickCount = newTick;
    return true;
}

} // namespace ampero
