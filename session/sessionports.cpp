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
    // An evaluation's maximum lies past its first sample; a chart that still
    // refuses it shows nothing rather than a curve on a wrong axis.
    if (!chart.setBottomMaximum(evaluation.bottomMaximum).accepted) {
        chart.clearSeries();
        chart.setInteractive(false);
        return false;
    }
    chart.setInteractive(true);
    return true;
}

} // namespace ampero
