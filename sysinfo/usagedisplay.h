// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "sysinfo/processorusage.h"

#include <QString>
#include <optional>
#include <vector>

namespace ampero {

// Rounds to the nearest integer, exact halves to the even integer.
long long roundHalfEven(double v);

// What one tick of the usage timer shows.
struct UsageDisplay {
    // One position per processor, unclamped (the bars clamp to 0..100).
    std::vector<int> positions;
    // Average usage in percent, 0..100.
    int average = 0;
    // The caption of the usage label, e.g. "37%".
    QString caption;
};

// The work of one usage-timer tick: for each of the first processorCount
// table entries u = 100 - Idle - Interrupt - Dpc (single precision), rounded
// half to even to the bar position; the positions' sum (at least 0, at most
// count * 100) divided by the count and rounded half to even is the average.
// Counts the entries that exist in table, never more; with none, returns
// std::nullopt and the display stays as it was.
std::optional<UsageDisplay> usageDisplay(const std::vector<ProcessorUsageShare>& table, int processorCount);

// Smallest width a bar is shown at; narrower bars are hidden and only the
// average remains.
constexpr int MinimumBarWidth = 3;

// Drives the sampler once a second: tick() samples and returns what to show,
// or std::nullopt when nothing changes. The bars are the online processors in
// the order of their numbers, one position each for processorCount bars: a
// bar without an online processor (one went offline) reads 0 and stays out
// of the average.
class UsageMeter {
public:
    UsageMeter(ProcessorTimesSource& source, int processorCount);
    // Takes the first snapshot.
    void start();
    std::optional<UsageDisplay> tick();
    int processorCount() const { return m_processorCount; }

private:
    ProcessorUsage m_usage;
    int m_processorCount;
    std::vector<ProcessorUsageShare> m_table;
};

} // namespace ampero
