// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QObject>
#include <QString>
#include <cmath>
#include <cstdint>

namespace ampero {

// The four power figures the program works with, as one snapshot.
struct PowerStatus {
    static constexpr uint8_t AcOffline = 0; // running on battery
    static constexpr uint8_t AcOnline = 1; // running on mains power
    static constexpr uint8_t Unknown8 = 255; // unknown line status or level
    static constexpr uint32_t UnknownTime = 0xFFFFFFFFu;

    // 0 battery, 1 AC, 255 unknown (any other value is treated as unknown).
    uint8_t acLineStatus = Unknown8;
    // Charge in percent, 0 to 100; 255 when unknown (also: no battery).
    uint8_t batteryLifePercent = Unknown8;
    // Remaining time on battery in seconds; UnknownTime when not known.
    uint32_t batteryLifeTime = UnknownTime;
    // Time a full battery would last in seconds; UnknownTime when not known.
    uint32_t batteryFullLifeTime = UnknownTime;

    friend bool operator==(const PowerStatus&, const PowerStatus&) = default;

    // A duration in seconds as the status keeps it: rounded to the nearest
    // second; UnknownTime for zero, negative or not finite values; a finite
    // time never reads as the unknown marker.
    static uint32_t secondsFrom(double s)
    {
        if (!(s > 0) || !std::isfinite(s))
            return UnknownTime;
        const double rounded = std::floor(s + 0.5);
        if (rounded >= static_cast<double>(UnknownTime))
            return UnknownTime - 1;
        return static_cast<uint32_t>(rounded);
    }
};

// One source of power status. status() reads afresh at every call; the
// source emits powerChanged() whenever the power state may have changed
// (a new level, AC plugged or unplugged, a resume). Listeners re-read status().
class PowerSource : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~PowerSource() override = default;

    virtual PowerStatus status() = 0;
    // Short name of the backend, for diagnostics: "upower", "sysfs", "sim", "fake".
    virtual QString backendName() const = 0;

Q_SIGNALS:
    void powerChanged();
};

} // namespace ampero
