// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Keeps the main window's power display current and decides when a test may
// start: only on battery with a charge of at least 10 %.
#include "platform/powersource.h"
#include "session/sessionports.h"
#include "session/sessionstate.h"

#include <QObject>
#include <QStringList>
#include <optional>

namespace ampero {

class ResumeMonitor;

class Clock;
class SystemEvents;

// What the power state allows, by the readiness rule.
enum class Readiness {
    Ready, // on battery, level 10 % or more
    NotReady, // on battery, level below 10 % or unknown
    Disabled, // on mains or an unknown power line
};
Readiness readinessOf(const PowerStatus& status);
// "ready for test", "not ready for test" or "testing disabled".
QString readinessText(Readiness r);
// Why a test may not start: "no battery", "on AC power", "power source
// unknown", "battery level unknown" or "battery below 10%". The main window
// gives it after "not ready for test", and a refused start after its
// readiness text.
QString notReadyReason(const PowerStatus& status);
// "powered by battery", "powered by AC" or "unknown".
QString powerModeText(PowerLine line);

class PowerWatcher : public QObject {
    Q_OBJECT
public:
    // The watcher reads the session's mode and last tick time, and follows
    // power.powerChanged() with recheckPower. Every check uses the power
    // source's last reading and reads nothing itself.
    PowerWatcher(MainView& view, TestingWindow& testing, PowerSource& power, const Clock& clock,
        const SessionState& state, QObject* parent = nullptr);

    // Enables or greys the level and timer labels and the test actions.
    void enableTests(bool value);
    // The power check of program start.
    void startupCheck();
    // The rule run on every power notification. While a test runs, a new set
    // of batteries ends it (batteriesChanged()) before anything else. On
    // battery while a test runs it leaves the current action ("testing...")
    // alone. On AC or unknown power while a test runs it does nothing when
    // the machine slept since the last tick (sleptSinceLastTick: the next
    // tick ends the test); otherwise on AC it closes the testing window,
    // which interrupts the test.
    void recheckPower();
    // The re-check after the results window of a finished test has closed.
    void afterResultsCheck();

    // Also runs recheckPower once right after a resume from sleep, on a
    // fresh reading (PowerSource::resumed()): on the system's resume notice
    // when events is there and available, otherwise on a ResumeMonitor of
    // its own (the gap clock running ahead of the monotonic clock).
    void watchResume(SystemEvents* events);

    // A test has started: the set of batteries read now is the one it
    // measures (PowerStatus::batteries). The resume checks restart with the
    // test's timer (alignResumeChecks).
    void testStarted();

    // Restarts the ResumeMonitor's checks from now. Called as a test's timer
    // starts, its checks then come in the same wake-up as every fifth tick.
    void alignResumeChecks();

    // Sleeps the system announced (logind's PrepareForSleep) so far.
    uint64_t sleepCount() const { return m_sleeps; }
    // True when the last tick is TickGapMs old or more on the gap clock and
    // the machine slept since: the time spent suspended grew by SleepSeenMs
    // or more, or the system announced a sleep. A gap without either is a
    // program that stalled, not a sleep.
    bool sleptSinceLastTick() const;

Q_SIGNALS:
    // While a test runs, the power notice showed another set of batteries
    // than the test started with: a battery appeared or went. Its figures
    // would mix two batteries, so the test is to end now, as interrupted,
    // saying why. Both sets are sorted names.
    void batteriesChanged(const QStringList& atStart, const QStringList& now);

private:
    enum class Check { Startup, Broadcast, AfterResults };
    void check(Check which);

    MainView& m_view;
    TestingWindow& m_testing;
    PowerSource& m_power;
    const Clock& m_clock;
    const SessionState& m_state;
    ResumeMonitor* m_resumeMonitor = nullptr; // only without resume notices
    std::optional<QStringList> m_testBatteries; // the running test's, where known
    uint64_t m_sleeps = 0;
};

} // namespace ampero
