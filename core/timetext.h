// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QString>
#include <optional>

namespace ampero {

// The elapsed-time text of every duration the program shows: a day fraction
// (1.0 = 24 hours) rounded to the millisecond and written "h:mm:ss" with ":"
// whatever the locale says. A duration of a day or more keeps its whole days
// in front: "1 day 1:00:00" for 25 hours, "2 days 0:00:00" for 48 (the
// sentences "%1 day %2" and "%1 days %2" come from the string table).
// Negative inputs read as 0:00:00; a value that is not finite, or of 2^63
// milliseconds or more (see durationShown), reads "N/A".
QString elapsedTimeText(double dayFraction);

// The rounded milliseconds of a duration the time text can show, or no value
// for one it cannot: not finite, or 2^63 ms (about 292 million years) or
// more. Negative durations count as 0. Whatever prints a duration as a number
// prints nothing (JSON null) where this has no value.
std::optional<qint64> durationShown(double dayFraction);

// The same for a whole number of seconds.
QString elapsedTimeTextSeconds(quint64 seconds);

// The time of day part alone, whole days dropped: "h:mm:ss".
QString timeOfDayText(qint64 milliseconds);

} // namespace ampero
