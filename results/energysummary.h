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

// The bounds of what a battery can report. A figure that is not finite, or
// lies outside them, is taken as unknown wherever it is read, so that the
// text report, the window and the JSON all show "unknown" for it alike. They
// lie far beyond every real battery and the simulated one (which draws up to
// 10 kW).
inline constexpr double MaxPlausiblePowerW = 100000.0; // 100 kW
inline constexpr double MaxPlausibleEnergyWh = 1000000.0; // 1 MWh
inline constexpr double MaxPlausibleVoltageV = 1000.0; // 1 kV
inline constexpr double MaxPlausibleHealthPercent = 200.0;

// The value when it is finite and within [0, max]; empty otherwise.
std::optional<double> plausible(std::optional<double> value, double max);
inline std::optional<double> plausiblePowerW(std::optional<double> w)
{
    return plausible(w, MaxPlausiblePowerW);
}
inline std::optional<double> plausibleEnergyWh(std::optional<double> wh)
{
    return plausible(wh, MaxPlausibleEnergyWh);
}
inline std::optional<double> plausibleVoltageV(std::optional<double> v)
{
    return plausible(v, MaxPlausibleVoltageV);
}

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
// unknown, not positive or beyond a battery's bounds, and when the share
// itself is (above MaxPlausibleHealthPercent).
std::optional<double> batteryHealthPercent(std::optional<double> fullWh, std::optional<double> designWh);

} // namespace ampero
