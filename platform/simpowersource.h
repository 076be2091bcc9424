// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "platform/clock.h"
#include "platform/powersource.h"

#include <QTimer>
#include <memory>

namespace ampero {

// A simulated laptop on battery, for machines without one: it starts at
// 100 % and loses 1 % every secondsPerPercent seconds of the clock's gap time
// down to 0 %, where it stays. The forecasts follow from that rate: the
// remaining time is level x secondsPerPercent less the part of the current
// percent already used, a full battery lasts 100 x secondsPerPercent.
class SimPowerSource final : public PowerSource {
    Q_OBJECT
public:
    static constexpr int DefaultSecondsPerPercent = 2;

    // pollIntervalMs: the shortest time between two looks for a new level
    // (0: never, tests call checkForChange() by hand). The timer wakes once
    // per percent, when the level is due to change, not every interval.
    explicit SimPowerSource(std::shared_ptr<const Clock> clock,
        int secondsPerPercent = DefaultSecondsPerPercent, int pollIntervalMs = 250,
        QObject* parent = nullptr);

    QString backendName() const override { return QStringLiteral("sim"); }
    int secondsPerPercent() const { return m_secondsPerPercent; }
    // Milliseconds until the timer looks again; -1 when it will not.
    int nextCheckInMs() const { return m_timer.isActive() ? m_timer.remainingTime() : -1; }

public Q_SLOTS:
    // Reads the level and emits powerChanged() when it differs from the
    // last one seen. Returns whether it emitted.
    bool checkForChange();

protected:
    PowerStatus read() override;

private:
    std::shared_ptr<const Clock> m_clock;
    int m_secondsPerPercent;
    int64_t m_startMs;
    int m_pollIntervalMs = 0;
    QTimer m_timer;

    void scheduleNextCheck();
};

} // namespace ampero
