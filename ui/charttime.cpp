// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/charttime.h"

#include <QLocale>
#include <cmath>

namespace ampero {

namespace {
constexpr double MsPerDay = 86400000.0;
}

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
    const auto inDay = static_cast<long long>(std::fmod(ms, MsPerDay));
    const long long secs = inDay / 1000;
    return QString::number(secs / 3600) + sep
        + QStringLiteral("%1").arg((secs / 60) % 60, 2, 10, QLatin1Char('0')) + sep
        + QStringLiteral("%1").arg(secs % 60, 2, 10, QLatin1Char('0'));
}

QList<double> axisTicks(double min, double max, int maxTicks)
{
    QList<double> ticks;
    if (!(max > min) || maxTicks < 2)
        return ticks;
    static constexpr double StepsSeconds[]
        = { 1, 2, 5, 10, 15, 30, 60, 120, 300, 600, 900, 1800, 3600, 7200, 10800, 21600, 43200, 86400 };
    const double spanSeconds = (max - min) * 86400.0;
    double step = 0;
    for (double s : StepsSeconds) {
        if (spanSeconds / s <= maxTicks - 1) {
            step = s;
            break;
        }
    }
    if (step == 0) // longer than days: whole multiples of a day
        step = 86400.0 * std::ceil(spanSeconds / 86400.0 / (maxTicks - 1));
    const double stepDays = step / 86400.0;
    // Work in whole step counts so the ticks sit exactly on multiples.
    const double first = std::ceil(min / stepDays - 1e-9);
    for (double k = first; k * stepDays <= max + stepDays * 1e-9; k += 1.0)
        ticks.append(k * stepDays);
    return ticks;
}

} // namespace ampero
