// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a test's energy readings add to its results: the average power, the
// energy used, the battery's health and a second forecast from the energy.
#include <optional>
#include <span>

namespace ampero {

// One second of a test as the battery reported it; empty where it did not.
struct EnergySample {
    double seconds = 0; // since the start of the test
    int level = -1; // charge in percent; -1 when unknown
    std::optional<double> energyWh;
    std::optional<double> powerW;
    std::optional<double> voltageV;
};

struct EnergySummary {
    std::optional<double> averagePowerW;
    std::optional<double> energyUsedWh;
    std::optional<double> energyAtEndWh;
    // The battery life the energy forecasts, in seconds from the start like
    // the line of a fast test: the time to the last reading of the energy,
    // then the energy left there at the average power.
    std::optional<double> energyForecastSeconds;
};

// Summarises the samples of one test, in the order they were taken. The
// average power comes from the energy used over the time when the battery
// reported both ends and the energy fell; otherwise from the mean of the
// power readings. Values the readings cannot give stay empty.
EnergySummary summarizeEnergy(std::span<const EnergySample> samples);

// Full energy as a percentage of the design energy; empty when either is
// unknown or not positive.
std::optional<double> batteryHealthPercent(std::optional<double> fullWh, std::optional<double> designWh);

} // namespace ampero
