// SPDX-License-Identifier: GPL-3.0-or-later
#include "results/energysummary.h"

#include <cmath>

namespace ampero {

namespace {

bool usable(const std::optional<double>& v)
{
    return v && std::isfinite(*v);
}

} // namespace

EnergySummary summarizeEnergy(std::span<const EnergySample> samples)
{
    EnergySummary out;
    const EnergySample* first = nullptr; // first and last samples with an energy
    const EnergySample* last = nullptr;
    double powerSum = 0;
    int powerCount = 0;
    for (const EnergySample& s : samples) {
        if (usable(s.energyWh) && *s.energyWh >= 0 && std::isfinite(s.seconds)) {
            if (!first)
                first = &s;
            last = &s;
        }
        if (usable(s.powerW) && *s.powerW >= 0) {
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
    if (!out.averagePowerW && powerCount > 0)
        out.averagePowerW = powerSum / powerCount;
    if (last && out.averagePowerW && *out.averagePowerW > 0)
        out.energyForecastSeconds = last->seconds + *last->energyWh / *out.averagePowerW * 3600.0;
    return out;
}

std::optional<double> batteryHealthPercent(std::optional<double> fullWh, std::optional<double> designWh)
{
    if (!usable(fullWh) || !usable(designWh) || *fullWh <= 0 || *designWh <= 0)
        return std::nullopt;
    return *fullWh / *designWh * 100.0;
}

} // namespace ampero
