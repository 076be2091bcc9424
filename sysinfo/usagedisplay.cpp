// SPDX-License-Identifier: GPL-3.0-or-later
#include "sysinfo/usagedisplay.h"

#include <algorithm>
#include <cmath>

namespace ampero {

long long roundHalfEven(double v)
{
    // The default rounding mode rounds exact halves to the even integer.
    const double r = std::nearbyint(v);
    return static_cast<long long>(r);
}

std::optional<UsageDisplay> usageDisplay(const std::vector<ProcessorUsageShare>& table, int processorCount)
{
    const int n = std::min<int>(processorCount, static_cast<int>(table.size()));
    if (n <= 0)
        return std::nullopt;
    UsageDisplay out;
    out.positions.reserve(static_cast<size_t>(n));
    long long total = 0;
    for (int i = 0; i < n; ++i) {
        const ProcessorUsageShare& e = table[static_cast<size_t>(i)];
        const float u = static_cast<float>(100.0 - static_cast<double>(e.idle)
            - static_cast<double>(e.interrupt) - static_cast<double>(e.softIrq));
        const int p = static_cast<int>(roundHalfEven(static_cast<double>(u)));
        out.positions.push_back(p);
        total += p;
    }
    if (total < 0)
        total = 0;
    if (static_cast<double>(total) / n > 100.0)
        total = static_cast<long long>(n) * 100;
    out.average = static_cast<int>(roundHalfEven(static_cast<double>(total) / n));
    out.caption = QString::number(out.average) + QLatin1Char('%');
    return out;
}

UsageMeter::UsageMeter(ProcessorTimesSource& source, int processorCount)
    : m_usage(source, processorCount)
    , m_processorCount(processorCount)
{
}

void UsageMeter::start()
{
    m_usage.start();
}

std::optional<UsageDisplay> UsageMeter::tick()
{
    if (!m_usage.sample(m_table))
        return std::nullopt;
    // The average is of the processors online now; the bars of any that went
    // offline since start-up read 0.
    std::optional<UsageDisplay> d = usageDisplay(m_table, m_processorCount);
    if (d && m_processorCount > 0)
        d->positions.resize(static_cast<size_t>(m_processorCount), 0);
    return d;
}

} // namespace ampero
