// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/processortimes.h"

#include <QList>
#include <limits>

namespace ampero {

namespace {

// Parses an unsigned decimal count of clock ticks as a time; false on
// anything else and on a time too long to count in nanoseconds.
bool toTime(const QByteArray& field, long userHz, ProcessorTimes::Time* out)
{
    bool ok = false;
    const qulonglong ticks = field.toULongLong(&ok);
    if (!ok)
        return false;
    constexpr int64_t nsPerSecond = 1'000'000'000;
    const auto hz = static_cast<qulonglong>(userHz);
    if (ticks / hz > static_cast<qulonglong>(std::numeric_limits<int64_t>::max() / nsPerSecond) - 1)
        return false;
    // Whole seconds and the rest apart, so that no product overflows.
    const auto seconds = static_cast<int64_t>(ticks / hz);
    const auto rest = static_cast<int64_t>(ticks % hz);
    *out = ProcessorTimes::Time(seconds * nsPerSecond + rest * nsPerSecond / userHz);
    return true;
}

} // namespace

std::optional<ProcessorSnapshot> parseProcStat(const QByteArray& text, long userHz)
{
    if (userHz <= 0)
        return std::nullopt;
    ProcessorSnapshot out;
    qsizetype pos = 0;
    while (pos < text.size()) {
        qsizetype eol = text.indexOf('\n', pos);
        if (eol < 0)
            eol = text.size();
        const QByteArray line = text.mid(pos, eol - pos);
        pos = eol + 1;
        // "cpuN user nice system idle iowait irq softirq ...", not the "cpu" total.
        if (!line.startsWith("cpu") || line.size() < 4 || line.at(3) < '0' || line.at(3) > '9')
            continue;
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 8)
            continue;
        bool ok = false;
        const uint index = fields.at(0).mid(3).toUInt(&ok);
        if (!ok || index > 4095)
            continue;
        ProcessorTimes t;
        ProcessorTimes::Time* const order[7]
            = { &t.user, &t.nice, &t.system, &t.idle, &t.iowait, &t.irq, &t.softirq };
        bool good = true;
        for (int i = 0; i < 7 && good; ++i)
            good = toTime(fields.at(i + 1), userHz, order[i]);
        if (!good)
            continue;
        if (out.size() <= index)
            out.resize(index + 1);
        out[index] = { t, true };
    }
    if (out.empty())
        return std::nullopt;
    return out;
}

std::chrono::milliseconds monotonicMs()
{
    // The steady clock is CLOCK_MONOTONIC.
    return std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
}

} // namespace ampero
