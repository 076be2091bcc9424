// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QByteArray>
#include <chrono>
#include <optional>
#include <vector>

namespace ampero {

// Cumulative times of one processor since boot, as the kernel's /proc/stat
// counts them.
struct ProcessorTimes {
    using Time = std::chrono::nanoseconds;
    Time user {};
    Time nice {};
    Time system {};
    Time idle {};
    Time iowait {};
    Time irq {};
    Time softirq {};

    friend bool operator==(const ProcessorTimes&, const ProcessorTimes&) = default;
};

// One snapshot: entry i belongs to processor i. A processor the system did
// not list (offline) has an entry with present == false and zero times.
struct ProcessorSnapshotEntry {
    ProcessorTimes times;
    bool present = false;
};
using ProcessorSnapshot = std::vector<ProcessorSnapshotEntry>;

// The source of per-processor times and of the time they were taken at.
class ProcessorTimesSource {
public:
    virtual ~ProcessorTimesSource() = default;
    // A fresh snapshot, or std::nullopt when the times cannot be read.
    virtual std::optional<ProcessorSnapshot> snapshot() = 0;
    // Whole milliseconds on a monotonic clock.
    virtual std::chrono::milliseconds tickCount() = 0;
};

// The per-processor "cpuN" lines of a /proc/stat text, userHz being the
// kernel's clock ticks per second (USER_HZ). Lines with fewer than the first
// seven fields or malformed or absurdly large numbers are skipped;
// std::nullopt when no processor line is usable.
std::optional<ProcessorSnapshot> parseProcStat(const QByteArray& text, long userHz);

// CLOCK_MONOTONIC in whole milliseconds.
std::chrono::milliseconds monotonicMs();

} // namespace ampero
