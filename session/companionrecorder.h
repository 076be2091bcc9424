// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Writes the companion file of every test (results/companionfile.h): the
// setup when the test starts, then the battery's energy, power and voltage
// with each sample the test takes, flushed to disk when the test ends. It
// follows the test session's signals, so the session itself does not know
// about it; a companion that cannot be written never stops a test, but it
// is said, once a test.
#include "results/companionfile.h"
#include "sysinfo/batteryinfo.h"

#include <QDateTime>
#include <QObject>
#include <functional>

namespace ampero {

class MachineFactsSource;
class PowerSource;
class TestSession;

class CompanionRecorder : public QObject {
    Q_OBJECT
public:
    // machine may be null: the setup then names no machine.
    CompanionRecorder(
        TestSession& session, PowerSource& power, MachineFactsSource* machine, QObject* parent = nullptr);
    ~CompanionRecorder() override;

    // The battery's identity as start-up found it.
    void setBatteryInfo(const BatteryInfo& info) { m_battery = info; }
    // The wall clock for the start time (tests pass their own).
    void setNow(std::function<QDateTime()> now) { m_now = std::move(now); }
    // Whether a workload runs its processor part only (no window to repaint).
    void setWorkloadProcessorOnly(bool only) { m_processorOnly = only; }

    // The setup of a test starting now.
    CompanionSetup currentSetup();
    // Flushes and closes the companion of the running test, if any.
    void finish();
    // Why the last companion could not be written; empty when it was.
    QString errorString() const { return m_writer.errorString(); }

Q_SIGNALS:
    // After each sample written: elapsed time as a day fraction, power in watts.
    void powerSampled(double elapsed, double watts);
    // The first time in a test that its companion could not be created,
    // written or flushed, with the reason ("cannot write NAME: No space left
    // on device"). The test goes on without it.
    void writeFailed(const QString& reason);

private:
    void testStarted();
    void sampleTaken(double elapsed, int level);
    void checkWrite(bool ok);
    void testEnded();

    TestSession& m_session;
    PowerSource& m_power;
    MachineFactsSource* m_machine;
    BatteryInfo m_battery;
    std::function<QDateTime()> m_now;
    CompanionWriter m_writer;
    bool m_failureSaid = false;
    bool m_processorOnly = false;
};

} // namespace ampero
