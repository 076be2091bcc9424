// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/timetext.h"

#include "core/timeunits.h"

#include <QCoreApplication>
#include <cmath>

namespace ampero {

namespace {
constexpr qint64 MsPerDay = kMsPerDay;

QString withDays(quint64 days, qint64 msOfDay)
{
    if (days == 0)
        return timeOfDayText(msOfDay);
    const QString text = days == 1 ? QCoreApplication::translate("ampero", "%1 day %2")
                                   : QCoreApplication::translate("ampero", "%1 days %2");
    return text.arg(days).arg(timeOfDayText(msOfDay));
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

std::optional<qint64> durationShown(double dayFraction)
{
    if (std::isnan(dayFraction) || std::isinf(dayFraction))
        return std::nullopt;
    if (!(dayFraction > 0)) // negative or zero
        return 0;
    const long double ms = std::round(static_cast<long double>(dayFraction) * MsPerDay);
    // 2^63 is exact in long double: beyond it the milliseconds do not fit.
    if (!(ms < 9223372036854775808.0L))
        return std::nullopt;
    return static_cast<qint64>(ms);
}

QString elapsedTimeText(double dayFraction)
{
    const std::optional<qint64> ms = durationShown(dayFraction);
    if (!ms)
        return QCoreApplication::translate("ampero", "N/A");
    return withDays(static_cast<quint64>(*ms / MsPerDay), *ms % MsPerDay);
}

QString elapsedTimeTextSeconds(quint64 seconds)
{
    return withDays(seconds / 86400, static_cast<qint64>(seconds % 86400) * 1000);
}

} // namespace ampero
