// SPDX-License-Identifier: GPL-3.0-or-later
#include "results/timetext.h"

#include <QCoreApplication>
#include <cmath>

namespace ampero {

namespace {
constexpr qint64 MsPerDay = 86400000;

QString withDays(quint64 days, qint64 msOfDay)
{
    if (days == 0)
        return timeOfDayText(msOfDay);
    return QString::number(days) + QLatin1Char(' ') + QCoreApplication::translate("ampero", "days")
        + QLatin1Char(' ') + timeOfDayText(msOfDay);
}
} // namespace

QString timeOfDayText(qint64 milliseconds)
{
    qint64 ms = milliseconds % MsPerDay;
    if (ms < 0)
        ms += MsPerDay;
    const qint64 totalSeconds = ms / 1000;
    const int h = static_cast<int>(totalSeconds / 3600);
    const int m = static_cast<int>(totalSeconds / 60 % 60);
    const int s = static_cast<int>(totalSeconds % 60);
    return QStringLiteral("%1:%2:%3").arg(h).arg(m, 2, 10, QLatin1Char('0')).arg(s, 2, 10, QLatin1Char('0'));
}

QString elapsedTimeText(double dayFraction)
{
    if (!(dayFraction > 0)) // negative, zero or NaN
        return timeOfDayText(0);
    const long double ms = std::round(static_cast<long double>(dayFraction) * MsPerDay);
    // Durations beyond what 64 bits of milliseconds hold are not meaningful; cap them.
    const long double cap = 9.0e18L;
    const quint64 total = static_cast<quint64>(ms < cap ? ms : cap);
    return withDays(total / MsPerDay, static_cast<qint64>(total % MsPerDay));
}

QString elapsedTimeTextSeconds(quint64 seconds)
{
    return withDays(seconds / 86400, static_cast<qint64>(seconds % 86400) * 1000);
}

} // namespace ampero
