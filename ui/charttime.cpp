// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/charttime.h"

#include "core/timeunits.h"

#include <QDate>
#include <QLocale>
#include <algorithm>
#include <cmath>
#include <limits>

namespace ampero {

namespace {
constexpr double MsPerDay = static_cast<double>(kMsPerDay);
constexpr double TwoTo63 = 9223372036854775808.0;
} // namespace

QChar regionalTimeSeparator()
{
    const QString format = QLocale().timeFormat(QLocale::ShortFormat);
    // The separator is whatever stands between the hour and the minute fields.
    const qsizetype h = format.indexOf(QLatin1Char('h'), 0, Qt::CaseInsensitive);
    if (h >= 0) {
        for (qsizetype i = h + 1; i < format.size(); ++i) {
            const QChar c = format.at(i);
            if (c == QLatin1Char('h') || c == QLatin1Char('H'))
                continue;
            if (c == QLatin1Char('m'))
                break;
            if (c != QLatin1Char('\''))
                return c;
        }
    }
    return QLatin1Char(':');
}

QString axisTimeLabel(double dayFraction, QChar sep)
{
    if (!(dayFraction >= 0.0)) // negative, or not a number
        return {};
    const double ms = std::nearbyint(dayFraction * MsPerDay);
    // Beyond 64 bits of milliseconds (or infinite) there is no time to show.
    if (!(ms < TwoTo63))
        return {};
    const long long inDay = static_cast<long long>(ms) % static_cast<long long>(MsPerDay);
    const long long secs = inDay / 1000;
    return QString::number(secs / 3600) + sep
        + QStringLiteral("%1").arg((secs / 60) % 60, 2, 10, QLatin1Char('0')) + sep
        + QStringLiteral("%1").arg(secs % 60, 2, 10, QLatin1Char('0'));
}

QList<double> axisTicks(double min, double max, int maxTicks)
{
    QList<double> ticks;
    if (!std::isfinite(min) || !std::isfinite(max) || !(max > min) || maxTicks < 2)
        return ticks;
    static constexpr double StepsSeconds[]
        = { 1, 2, 5, 10, 15, 30, 60, 120, 300, 600, 900, 1800, 3600, 7200, 10800, 21600, 43200, 86400 };
    const int gaps = maxTicks - 1;
    const double spanSeconds = toSeconds(max - min); // infinite for the widest ranges
    double stepDays = 0;
    for (double s : StepsSeconds) {
        if (spanSeconds / s <= gaps) {
            stepDays = toDays(s);
            break;
        }
    }
    // Longer than days: whole multiples of a day, the span per gap worked
    // out so that even the widest range of doubles does not overflow.
    if (stepDays == 0)
        stepDays = std::ceil(max / gaps - min / gaps);
    if (!std::isfinite(stepDays) || !(stepDays > 0))
        return ticks;
    // Whole step counts, so the ticks sit exactly on multiples. Far from 0
    // consecutive counts may give the same double: at most maxTicks + 1
    // candidates are looked at, whatever the numbers do.
    const double first = std::ceil(min / stepDays - 1e-9);
    const double limit = max + stepDays * 1e-9;
    for (int i = 0; i <= maxTicks; ++i) {
        const double t = (first + i) * stepDays;
        if (!std::isfinite(t) || t > limit)
            break;
        const double inside = std::clamp(t, min, max);
        if (ticks.isEmpty() || inside > ticks.last())
            ticks.append(inside);
    }
    return ticks;
}

AxisRange usableAxisRange(double min, double max)
{
    AxisRange r { std::isfinite(min) ? min : 0.0, max };
    if (!std::isfinite(r.max) || !(r.max > r.min))
        r.max = r.min + kDayPerSecond;
    // Far from 0 a second may be below the precision of the numbers.
    if (!(r.max > r.min))
        r.max = std::nextafter(r.min, std::numeric_limits<double>::infinity());
    if (!std::isfinite(r.max)) { // the largest double itself
        r.max = r.min;
        r.min = std::nextafter(r.max, 0.0);
    }
    return r;
}

} // namespace ampero

namespace ampero {

QList<QPair<double, QString>> dateAxisTicks(double minDay, double maxDay, int maxTicks)
{
    QList<QPair<double, QString>> out;
    // Beyond the year 9999 and before 1970 there is nothing to label.
    if (!std::isfinite(minDay) || !std::isfinite(maxDay) || !(maxDay > minDay) || minDay < 0 || maxDay > 3e6)
        return out;
    maxTicks = std::max(maxTicks, 2);
    const QDate epoch(1970, 1, 1);
    const auto dayOf = [&epoch](const QDate& d) { return static_cast<double>(epoch.daysTo(d)); };
    const QDate first = epoch.addDays(static_cast<qint64>(std::ceil(minDay)));
    const QLocale locale;
    for (const int step : { 1, 2, 7, 14 }) {
        if ((maxDay - minDay) / step >= maxTicks)
            continue;
        for (QDate d = first; dayOf(d) <= maxDay; d = d.addDays(step))
            out.append({ dayOf(d), locale.toString(d, QStringLiteral("d MMM")) });
        return out;
    }
    const double months = (maxDay - minDay) / 30.4;
    int step = 1;
    for (const int s : { 1, 2, 3, 6, 12 }) {
        step = s;
        if (months / s < maxTicks)
            break;
    }
    while (months / step >= maxTicks)
        step += 12;
    // The first of a month at or after minDay whose month is a multiple of the step.
    QDate d(first.year(), first.month(), 1);
    if (d < first)
        d = d.addMonths(1);
    while ((d.month() - 1) % step != 0)
        d = d.addMonths(1);
    for (; dayOf(d) <= maxDay; d = d.addMonths(step))
        out.append({ dayOf(d), locale.toString(d, QStringLiteral("MMM yyyy")) });
    return out;
}

} // namespace ampero
