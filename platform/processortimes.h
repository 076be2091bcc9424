// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QByteArray>
#include <cstdint>
#include <optional>
#include <vector>

namespace ampero {

// Cumulative times of one processor since boot, all in 100 ns units.
// KernelTime includes IdleTime, as the usage arithmetic expects.
struct ProcessorTimes {
    int64_t IdleTime = 0; // idle + iowait
    int64_t KernelTime = 0; // system + irq + softirq + idle
    int64_t UserTime = 0; // user + nice
    int64_t DpcTime = 0; // softirq
    int64_t InterruptTime = 0; // irq

    friend bool operator==(const ProcessorTimes&, const ProcessorTimes&) = default;
};

// One snapshot: entry i belongs to processor i. A processor the system did
// not list (offline) has an entry with present == false and zero times.
struct ProcessorSnapshotEntry {
    ProcessorTimes times;
    bool present = false;
};
using ProcessorSnapshot = std::vector<ProcessorSnapshotEntry>;

// The source of per-processor times and of the millisecond tick counter.
class ProcessorTimesSource {
public:
    virtual ~ProcessorTimesSource() = default;
    // A fresh snapshot, or std::nullopt when the times cannot be read.
    virtual std::optional<ProcessorSnapshot> snapshot() = 0;
    // Milliseconds on a monotonic clock, wrapping modulo 2^32.
    virtual uint32_t tickCount() = 0;
};

// The per-processor "cpuN" lines of a /proc/stat text converted to 100 ns
// units, userHz being the kernel's clock ticks per second (USER_HZ). Lines
// with fewer than the first seven fields or malformed numbers are skipped;
// std::nullopt when no processor line is usable.
std::optional<ProcessorSnapshot> parseProcStat(const QByteArray& text, long userHz);

// CLOCK_MONOTONIC in milliseconds, low 32 bits.
uint32_t GetTickCount();

} // namespace ampero
