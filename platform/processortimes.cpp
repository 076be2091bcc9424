// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/processortimes.h"

#include <QList>
#include <time.h>

namespace ampero {

namespace {

// Parses an unsigned decimal field; false on anything else.
bool toCount(const QByteArray& field, int64_t* out)
{
    bool ok = false;
    const qulonglong v = field.toULongLong(&ok);
    if (!ok || v > static_cast<qulonglong>(INT64_MAX))
        return false;
    *out = static_cast<int64_t>(v);
    return true;
}

} // namespace

std::optional<ProcessorSnapshot> parseProcStat(const QByteArray& text, long userHz)
{
    if (userHz <= 0)
        return std::nullopt;
    // One clock tick is 10^7 / USER_HZ units of 100 ns.
    const int64_t unitsPerTick = 10000000 / userHz;
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
        int64_t v[7];
        bool good = true;
        for (int i = 0; i < 7 && good; ++i)
            good = toCount(fields.at(i + 1), &v[i]);
        if (!good)
            continue;
        const int64_t user = v[0], nice = v[1], system = v[2], idle = v[3], iowait = v[4], irq = v[5],
                      softirq = v[6];
        ProcessorTimes t;
        t.IdleTime = (idle + iowait) * unitsPerTick;
        t.KernelTime = (system + irq + softirq + idle) * unitsPerTick;
        t.UserTime = (user + nice) * unitsPerTick;
        t.DpcTime = softirq * unitsPerTick;
        t.InterruptTime = irq * unitsPerTick;
        if (out.size() <= index)
            out.resize(index + 1);
        out[index] = { t, true };
    }
    if (out.empty())
        return std::nullopt;
    return out;
}

uint32_t GetTickCount()
{
    timespec ts {};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    const uint64_t ms
        = static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
    return static_cast<uint32_t>(ms);
}

} // namespace ampero
