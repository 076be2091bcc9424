// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "platform/processortimes.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

namespace ampero {

// Shares of one processor's time over one interval, in percent of the
// interval (normally 0..100, but the sums may exceed 100 by rounding).
struct ProcessorUsageShare {
    float idle = 0;
    float kernel = 0;
    float user = 0;
    float softIrq = 0;
    float interrupt = 0;
};

// A time as whole milliseconds, rounded to the nearest, exact halves to the
// even one.
int64_t roundedMs(std::chrono::nanoseconds time);

// ms / dt * 100 in double precision, stored as a float.
float sharePercent(int64_t ms, std::chrono::milliseconds dt);

// Turns successive snapshots of the per-processor times into shares of the
// elapsed interval. Main thread only.
class ProcessorUsage {
public:
    // processorCount is the number of processors to sample (countProcessors).
    ProcessorUsage(ProcessorTimesSource& source, int processorCount);

    // A fresh snapshot, or std::nullopt when the times cannot be read.
    std::optional<ProcessorSnapshot> takeSnapshot();

    // Takes the first snapshot and the tick count with it.
    void start();

    // Fills table with the shares since the previous sample, one entry per
    // online processor (one the snapshot lists), at most the sampled count:
    // entry k belongs to the k-th online processor in the order of their
    // numbers, whatever gaps offline processors leave. Returns true.
    // When this or the previous snapshot is missing, or no whole millisecond
    // passed, table is left as it was and the result is false; a missing
    // snapshot is retried at the next call.
    bool sample(std::vector<ProcessorUsageShare>& table);

    uint16_t sampledProcessorCount() const { return m_sampledProcessorCount; }

private:
    ProcessorTimesSource& m_source;
    int m_processorCount;
    std::optional<ProcessorSnapshot> m_prevSnapshot;
    std::chrono::milliseconds m_prevTickCount { 0 };
    uint16_t m_sampledProcessorCount = 0;
};

} // namespace ampero
