// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/clock.h"

#include <QDateTime>
#include <ctime>

namespace ampero {

double SystemClock::localNow() const
{
    // Day count of the local date and time, millisecond resolution.
    const QDateTime now = QDateTime::currentDateTime();
    static const QDate epoch(1899, 12, 30);
    const qint64 days = epoch.daysTo(now.date());
    const qint64 ms = now.time().msecsSinceStartOfDay();
    return static_cast<double>(days) + msToDays(ms);
}

int64_t SystemClock::gapNowMs() const
{
    timespec ts {};
#ifdef CLOCK_BOOTTIME
    if (clock_gettime(CLOCK_BOOTTIME, &ts) != 0)
#endif
        clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

int64_t SystemClock::monotonicNowMs() const
{
    timespec ts {};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

} // namespace ampero
