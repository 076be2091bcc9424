// SPDX-License-Identifier: GPL-3.0-or-later
#include "results/energysummary.h"

#include <cmath>

namespace ampero {

std::optional<double> plausible(std::optional<double> value, double max)
{
    if (!value || !std::isfinite(*value) || *value < 0 || *value > max)
        return std::nullopt;
    return value;
}

EnergySummary summarizeEnergy(std::span<const EnergySample> samples)
{
    EnergySummary out;
    const EnergySample* first = nullptr; // first and last samples with an energy
    const EnergySample* last = nullptr;
    double powerSum = 0;
    int powerCount = 0;
    for (const EnergySample& s : samples) {
        if (plausibleEnergyWh(s.energyWh) && std::isfinite(s.seconds)) {
            if (!first)
                first = &s;
            last = &s;
        }
        if (plausiblePowerW(s.powerW)) {
            powerSum += *s.powerW;
            ++powerCount;
        }
    }
    if (last)
        out.energyAtEndWh = *last->energyWh;
    if (first && last != first) {
        const double used = *first->energyWh - *last->energyWh;
        const double hours = (last->seconds - first->seconds) / 3600.0;
        // A battery that gained energy was charged: no use of energy to tell.
        if (used >= 0)
            out.energyUsedWh = used;
        if (used > 0 && hours > 0)
            out.averagePowerW = used / hours;
    }
    // An energy that fell faster than any battery can deliver is no measure.
    out.averagePowerW = plausiblePowerW(out.averagePowerW);
    if (!out.averagePowerW && powerCount > 0)
        out.averagePowerW = plausiblePowerW(powerSum / powerCount);
    if (last && out.averagePowerW && *out.averagePowerW > 0) {
        const double forecast = last->seconds + *last->energyWh / *out.averagePowerW * 3600.0;
        if (std::isfinite(forecast))
            out.energyForecastSeconds = forecast;
    }
    return out;
}

std::optional<double> batteryHealthPercent(std::optional<double> fullWh, std::optional<double> designWh)
{
    fullWh = plausibleEnergyWh(fullWh);
    designWh = plausibleEnergyWh(designWh);
    if (!fullWh || !designWh || *fullWh <= 0 || *designWh <= 0)
        return std::nullopt;
    return plausible(*fullWh / *designWh * 100.0, MaxPlausibleHealthPercent);
}

} // namespace ampero
