// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "platform/batteryidentity.h"
#include "platform/clock.h"
#include "platform/powersource.h"

#include <QTimer>
#include <functional>
#include <memory>
#include <optional>

namespace ampero {

// The simulated battery's make-up. Energies in Wh, powers in W, voltages in V.
struct SimBatterySettings {
    static constexpr int DefaultSecondsPerPercent = 2;

    // A full battery lasts 100 x secondsPerPercent seconds at the base power
    // alone; this sets the base power unless baseW is given.
    int secondsPerPercent = DefaultSecondsPerPercent;
    std::optional<double> baseW; // the power drawn with no processor busy
    double capacityWh = 50; // design energy
    double healthPercent = 100; // full energy as a percentage of the design energy
    double designVoltageV = 11.4;
    double loadW = 0; // added for each fully busy processor
    double noisePercent = 0; // the power varies by up to this much, second by second
    double plateauPercent = 0; // this top share of the energy reads as 100 %
    double endFactor = 1; // the gauge's last 20 % pass this many times faster
    double halfwayFactor = 1; // the base power is multiplied by this once half the energy is used
    uint32_t seed = 1; // of the noise
    int startLevel = 100; // the gauge's level at the start, 1 to 100
    // Whether the energy is drawn while no test runs. A battery built here
    // drains from the start; one read from "sim:..." holds its charge until
    // setDraining(true), unless its settings say drain=idle.
    bool drainWhileIdle = true;

    double fullWh() const { return capacityWh * healthPercent / 100.0; }
    double basePowerW() const { return baseW ? *baseW : fullWh() * 36.0 / secondsPerPercent; }
};

// Reads the settings of "sim:..." after the colon: empty, "N" (seconds per
// percent, 1 to 86400), or a comma-separated list of key=value settings,
// optionally after N: capacity (Wh), health (%), voltage (V), base (W; not
// with N), load (W per busy processor), noise (%), plateau (%), end (factor),
// halfway (factor), seed (whole number), level (whole %, 1 to 100, the start
// level), drain ("idle" drains from the start, "test" only during tests, the
// default). No value and *error set on anything else; nothing is guessed.
std::optional<SimBatterySettings> parseSimBatterySettings(const QString& text, QString* error);

// A simulated laptop on battery, for machines without one and for tests and
// benchmarks on a fake clock. It starts full (or at the start level) and draws power from its
// energy: the base power, plus loadW for each busy processor (as the load
// probe reports), times the half-way factor once half the energy is gone,
// with noise that changes each second (and a slower part that changes each
// minute). The level is the gauge's view of the energy, rounded up to a
// whole percent: it stays at 100 % while the plateau share is used and
// passes the last 20 % faster with an end factor above 1. The forecasts
// follow from the energy over the power now. With the default settings the
// level loses 1 % every secondsPerPercent seconds of the clock's gap time,
// exactly, down to 0 %, where it stays: there it emits emptied() once, for
// the simulated machine to take a laptop's critical action. Unless its
// settings drain while idle, the energy is drawn only while draining is on.
//
// It also carries the identity of its battery (BatteryIdentitySource), so
// that a simulated run has a capacity and gets a mark.
class SimPowerSource final : public PowerSource, public BatteryIdentitySource {
    Q_OBJECT
public:
    static constexpr int DefaultSecondsPerPercent = SimBatterySettings::DefaultSecondsPerPercent;
    // The longest time between two readings of the energy and power.
    static constexpr int ReadingRefreshMs = 10000;
    // Busy processors (0 to the processor count) since the last call.
    using LoadProbe = std::function<double()>;

    // pollIntervalMs: the shortest time between two looks (0: never, tests
    // call checkForChange() by hand). The timer wakes when the level should
    // change and, where the draw varies, at least every ReadingRefreshMs,
    // until the battery is empty.
    explicit SimPowerSource(std::shared_ptr<const Clock> clock,
        int secondsPerPercent = DefaultSecondsPerPercent, int pollIntervalMs = 250,
        QObject* parent = nullptr);
    SimPowerSource(std::shared_ptr<const Clock> clock, const SimBatterySettings& settings,
        LoadProbe load = {}, int pollIntervalMs = 250, QObject* parent = nullptr);

    QString backendName() const override { return QStringLiteral("sim"); }
    int secondsPerPercent() const { return m_settings.secondsPerPercent; }
    const SimBatterySettings& settings() const { return m_settings; }
    // Milliseconds until the timer looks again; -1 when it will not.
    int nextCheckInMs() const { return m_timer.isActive() ? m_timer.remainingTime() : -1; }

    // The battery's identity: name, manufacturer, chemistry (lithium ion),
    // design and full capacity in mWh, design voltage in mV.
    std::optional<BatteryIdentity> firstBattery() override;

    // Draws the energy from now on (a test started) or holds the charge from
    // now on (it ended). Does nothing where the settings drain while idle.
    void setDraining(bool on);
    bool draining() const { return m_draining; }

Q_SIGNALS:
    // The battery has just become empty: a laptop would suspend or power
    // off now. Once per battery, after the level 0 was announced.
    void emptied();

public Q_SLOTS:
    // Reads the level and emits powerChanged() when it differs from the
    // last one seen. Returns whether it emitted.
    bool checkForChange();

protected:
    PowerStatus read() override;

private:
    std::shared_ptr<const Clock> m_clock;
    SimBatterySettings m_settings;
    LoadProbe m_load;
    int64_t m_startMs;
    int64_t m_doneMs = 0; // time since the start up to which the energy is drawn
    double m_usedWh = 0;
    double m_powerW = 0; // the power of the last second drawn
    int m_pollIntervalMs = 0;
    bool m_draining = true;
    bool m_emptiedSent = false;
    QTimer m_timer;

    void drawUntil(int64_t ms);
    double powerAt(int64_t second, double busy) const;
    int gaugeLevel() const;
    // The energy used at which the gauge starts to read level.
    double usedWhAtLevel(int level) const;
    bool isEmpty() const;
    // Milliseconds until the level falls at the present draw; -1 never.
    int64_t msUntilNextLevel() const;
    void scheduleNextCheck();
};

} // namespace ampero
