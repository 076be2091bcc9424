// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QString>

namespace ampero {

// The elapsed-time text of every duration the program shows: a day fraction
// (1.0 = 24 hours) rounded to the millisecond and written "h:mm:ss" with ":"
// whatever the locale says. A duration of a day or more keeps its whole days
// in front: "1 days 1:00:00" for 25 hours ("days" comes from the string table).
// Negative and not-a-number inputs read as 0:00:00.
QString elapsedTimeText(double dayFraction);

// The same for a whole number of seconds.
QString elapsedTimeTextSeconds(quint64 seconds);

// The time of day part alone, whole days dropped: "h:mm:ss".
QString timeOfDayText(qint64 milliseconds);

} // namespace ampero
