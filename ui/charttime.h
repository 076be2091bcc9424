// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Labels of the chart's elapsed-time axis. The chart shows elapsed time, not a
// moment, so its labels are worked out here from the day fraction itself and
// never pass through a time zone: x = 0 always reads 0:00:00.
#include <QChar>
#include <QList>
#include <QPair>
#include <QString>

namespace ampero {

// The user's regional time separator (the character between hours and minutes
// in the locale's short time format); ':' when the format has none.
QChar regionalTimeSeparator();

// "h:mm:ss" with sep between the parts: the day fraction rounded to the
// nearest millisecond, whole days dropped, then whole seconds. A negative
// value, not a number, and one of 2^63 milliseconds or more give an empty
// text.
QString axisTimeLabel(double dayFraction, QChar sep);

// Tick positions (day fractions) for an axis from min to max: multiples of a
// step of 1, 2, 5, 10, 15, 30 seconds, 1, 2, 5, 10, 15, 30 minutes or 1, 2, 3,
// 6, 12, 24 hours (or of whole days beyond), the smallest that gives at most
// maxTicks ticks, each inside [min, max]. Empty when max is not above min or
// either end is not finite. Returns for any input, after at most maxTicks + 1
// steps: far from 0, where a step is below the precision of the numbers,
// there are simply fewer ticks.
QList<double> axisTicks(double min, double max, int maxTicks = 8);

// A range the axis can take for the one wanted: both ends finite and max
// above min. A minimum that is not finite becomes 0; a maximum that is not
// finite or not above the minimum becomes the minimum plus one second, or the
// next double up where a second is lost in the precision.
struct AxisRange {
    double min = 0;
    double max = 0;
};
AxisRange usableAxisRange(double min, double max);

} // namespace ampero

namespace ampero {

// Ticks of a calendar axis from minDay to maxDay, in days since 1970-01-01
// UTC: every 1, 2, 7 or 14 days labelled "d MMM", or, for a longer range,
// the first of every 1, 2, 3, 6 or 12 months (or whole years) labelled
// "MMM yyyy"; the smallest step that gives at most maxTicks ticks. Empty
// when maxDay is not above minDay or either end is not finite.
QList<QPair<double, QString>> dateAxisTicks(double minDay, double maxDay, int maxTicks = 8);

} // namespace ampero
