// SPDX-License-Identifier: GPL-3.0-or-later
#include "session/sessionports.h"

namespace ampero {

bool showOnChart(const ResultsEvaluation& evaluation, ChartView& chart)
{
    if (!evaluation.ok) {
        if (!evaluation.rejected) {
            chart.clearSeries();
            chart.setInteractive(false);
        }
        return false;
    }
    // The chart gets the levels as the file holds them and draws what fits.
    chart.setLevels(evaluation.samples, TimeStep);
    chart.setForecastLine(evaluation.forecastLine);
    chart.setPowerCurve(evaluation.powerCurve);
    chart.setBottomMaximum(evaluation.bottomMaximum);
    chart.setInteractive(true);
    return true;
}

} // namespace ampero
