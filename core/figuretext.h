// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The texts of the program's figures: one function per kind of figure, so
// that a figure reads the same in the windows, the comparison table and the
// terminal. Numbers use "." and no digit grouping whatever the locale says
// (scripts read the terminal's output); a figure that is unknown, or not
// finite, reads "unknown".
#include <QString>
#include <cstdint>
#include <optional>

namespace ampero {

// The figures of a test's results, each with its explanation (a tooltip in
// the windows).
enum class Figure {
    None,
    SystemForecast,
    BatteryLife, // by test results
    FullBatteryLife, // the same for a full battery
    EnergyForecast, // by energy
    Mark,
    AveragePower,
    EnergyUsed,
    BatteryHealth,
};

// How far the line of a fast test can be trusted: its error in % of the
// true battery life, on average and at worst, as bench/forecast_bench
// measures it on its simulated curves.
inline constexpr int FastLineMeanErrorPercent = 10;
inline constexpr int FastLineWorstErrorPercent = 25;

// "unknown", from the string table.
QString unknownText();

// A percentage, rounded to a whole one, with no space: "87%".
QString percentText(std::optional<double> percent);
// Watts with one decimal: "7.9 W".
QString wattsText(std::optional<double> watts);
// Watt-hours with two decimals: "0.13 Wh".
QString wattHoursText(std::optional<double> wattHours);
// Volts with two decimals: "11.40 V".
QString voltsText(std::optional<double> volts);
// A duration given as a day fraction, as the time text writes it
// ("1:30:00", "1 day 1:00:00").
QString durationText(std::optional<double> dayFraction);

// "fast", "normal" or "unknown", from the string table.
QString modeText(uint8_t mode);
// "none" when noLoad is nonzero, else "full".
QString loadText(uint8_t noLoad);
// "N/A" for 0, else e.g. "1 mark", "2 marks", "-5 marks".
QString markText(int64_t mark);

// The remarks beside the figures, one sentence each.
// A full-battery figure scaled up from few points of charge.
QString longExtrapolationText(int coveredLevels);
// How far the line of a fast test can be trusted.
QString fastLineTrustText();
// A mark from a test without load.
QString estimatedMarkText();

} // namespace ampero
