// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "platform/resumedetector.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <chrono>
#include <cmath>
#include <optional>

namespace ampero {

// Where the machine draws its power from.
enum class PowerLine {
    Unknown, // the system does not say
    Battery,
    Mains,
};

// The power figures the program works with, as one snapshot. A figure the
// system does not know is empty.
struct PowerStatus {
    PowerLine line = PowerLine::Unknown;
    // Charge in percent, 0 to 100; empty when unknown (also: no battery).
    std::optional<int> level;
    // Remaining time on battery.
    std::optional<std::chrono::seconds> timeLeft;
    // Time a full battery would last.
    std::optional<std::chrono::seconds> fullLifeTime;

    // What the battery itself reports, where it does; empty when unknown.
    // None of these is a change of status: only the line and the level are.
    std::optional<double> energyWh; // energy left now
    std::optional<double> energyFullWh; // energy when full, as the battery last learned it
    std::optional<double> energyFullDesignWh; // energy when full, as designed
    std::optional<double> powerW; // power drawn now, positive while discharging
    std::optional<double> voltageV; // voltage now

    // The batteries the reading combines, by the names the system gives
    // them, sorted; empty (no battery) is a set too. No value where the
    // backend cannot tell. A test measures one set of batteries: a change
    // of it ends the test.
    std::optional<QStringList> batteries;

    friend bool operator==(const PowerStatus&, const PowerStatus&) = default;

    // The longest time a status holds: 2^32 - 2 seconds, some 136 years. No
    // battery lasts that long; such a time comes from a draw too small to
    // measure (a power of 1 µW) or a bogus report, and is unknown in every
    // view alike (the results file holds no longer forecast either).
    static constexpr std::chrono::seconds LongestTime { 4294967294 };

    // A duration in seconds as the status keeps it: rounded to the nearest
    // second; empty for zero, negative, not finite or longer than
    // LongestTime.
    static std::optional<std::chrono::seconds> secondsFrom(double s)
    {
        if (!(s > 0) || !std::isfinite(s))
            return std::nullopt;
        const double rounded = std::floor(s + 0.5);
        if (rounded > static_cast<double>(LongestTime.count()))
            return std::nullopt;
        return std::chrono::seconds(static_cast<std::chrono::seconds::rep>(rounded));
    }
};

// One source of power status. The source keeps its last reading: status()
// answers from it and never blocks, so it is cheap enough for every tick of a
// test. The source reads afresh when the power state may have changed (its own
// polling or the system's notices, refresh(), a resume) and emits
// powerChanged() with the new reading when the AC line, the level or the set
// of batteries differs from the kept one, and once after every resume, when
// anything may differ.
// The times alone are no change: they move with every reading of the draw.
class PowerSource : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~PowerSource() override = default;

    // The last reading.
    const PowerStatus& status() const { return m_status; }
    // Reads afresh and keeps the reading (emitting powerChanged() on a
    // change); returns it. May block: a UPower reading is a few D-Bus calls.
    const PowerStatus& refresh();
    // The machine has just resumed from a sleep: reads afresh and emits
    // powerChanged() once, changed or not (a backend that reads
    // asynchronously does so once its reading is in). A backend that looks
    // for a resume by itself does not announce this sleep again.
    virtual void resumed();
    // Restarts the backend's own periodic looks (a poll, a check for a
    // resume) from now, as precise timers. A test calls it right before it
    // starts its 1-second tick, so that both wake the program together,
    // the look first: one wake-up a second, and a fresh reading for each
    // sample. Does nothing for a backend that looks at no fixed period.
    virtual void alignPolling() { }
    // Short name of the backend, for diagnostics: "upower", "sysfs", "sim", "fake".
    virtual QString backendName() const = 0;
    // Where the time spent suspended is read (tests pass their own).
    void setSuspendedTimeSource(ResumeDetector::SuspendedMs source)
    {
        m_resume = ResumeDetector(std::move(source));
    }

Q_SIGNALS:
    void powerChanged(const ampero::PowerStatus& status);
    // The source can no longer tell the power state (its service has gone
    // and did not come back in time): the status is unknown from now on,
    // and reason says why, as a phrase for the user. Emitted right after the
    // powerChanged() of the unknown status.
    void unavailable(const QString& reason);

protected:
    // Reads the power state now, the backend's own way.
    virtual PowerStatus read() = 0;

    enum class Notice {
        OnChange, // emit only when the line, the level or the batteries changed
        Always, // emit in any case: the machine resumed
    };
    // Keeps s as the current status and emits powerChanged(s) as notice
    // says. Returns whether it emitted.
    bool update(const PowerStatus& s, Notice notice = Notice::OnChange);
    // True once for each sleep since the last look, by this or resumed().
    bool resumedSinceLastLook() { return m_resume.resumedSinceLastCheck(); }

private:
    PowerStatus m_status;
    ResumeDetector m_resume;
};

} // namespace ampero
