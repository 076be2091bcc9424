// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Elapsed times are day fractions (1.0 = 24 hours) everywhere: in the session,
// in the results file's level-change times, on the chart. They stay doubles
// of that unit, not std::chrono durations, because the stored and shown
// figures (the sample times, the fast test's forecast line, the mark) depend
// on this exact arithmetic. These are the one set of conversions; each keeps
// the exact arithmetic of the code it serves (a product is not the same
// double as a quotient), so results stay the same to the last bit.
#include <cstdint>

namespace ampero {

// Milliseconds in a day.
inline constexpr int64_t kMsPerDay = 86400000;
// One second as a day fraction: the step between two samples.
inline constexpr double kDayPerSecond = 1000.0 / 86400000.0;

// A day fraction as seconds.
constexpr double toSeconds(double days)
{
    return days * 86400.0;
}

// Seconds as a day fraction.
constexpr double toDays(double seconds)
{
    return seconds / 86400.0;
}

// Milliseconds as a day fraction.
constexpr double msToDays(int64_t ms)
{
    return static_cast<double>(ms) / static_cast<double>(kMsPerDay);
}

} // namespace ampero
