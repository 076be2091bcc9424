// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The chart's colours: its background, grid and texts from the palette, and
// one list of series colours for a light background and one for a dark one.
#include <QColor>
#include <array>

class QPalette;

namespace ampero {

// The colour a series is drawn in, as a place in the lists.
enum ChartColorSlot : int {
    LevelsColor = 0, // the measured curve
    ForecastColor, // the line a fast test extrapolates
    PowerColor, // the power drawn, on the right axis
    FirstRunColor, // the runs compared with the measured curve, 8 of them
    ChartColorCount = FirstRunColor + 8,
};

struct ChartColors {
    QColor background;
    QColor grid;
    QColor axis;
    QColor text;
    // Each has a contrast of at least 3:1 against the background and lies
    // a CIE76 distance of at least 20 from every other.
    std::array<QColor, ChartColorCount> series;
};

// The colours for a widget's palette: its base and text colours, and the
// dark list where the base is dark.
ChartColors chartColors(const QPalette& palette);
// Black on white with the light list: a saved picture looks the same
// whatever the desktop.
ChartColors lightChartColors();

} // namespace ampero
