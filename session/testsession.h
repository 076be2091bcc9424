// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Runs one battery test from its start to its end: confirms the test, asks
// for the results file, writes its header, takes one sample of the battery
// level a second into the chart and the file, decides when the test ends,
// completes the file and shows the results.
//
// Everything runs on the main thread. The windows are reached only through
// the interfaces of sessionports.h, the battery through PowerSource, time
// through Clock and the CPU load through LoadWorkers, so a whole test runs
// with fakes: dialogs that answer at once, then onTick() by hand.
//
// Nothing here waits in an event loop of its own: a start opens its windows
// and returns, each answer continues the start, and the test then runs on
// the application's event loop, one tick at a time.
#include "results/resultsformat.h"
#include "session/brightnesshold.h"
#include "session/powerwatcher.h"
#include "session/sessionports.h"
#include "session/sessionstate.h"
#include "session/workloadschedule.h"

#include <QObject>
#include <QTimer>
#include <functional>
#include <optional>

namespace ampero {

class BrightnessHold;
class Clock;
class LoadWorkers;
class PowerSource;
class WorkloadRunner;

class TestSession : public QObject {
    Q_OBJECT
public:
    // How a test ended.
    enum class End {
        Regular, // fast-mode end, or a sleep at a level of 10 % or less: results shown
        // Cancel, AC connected, a sleep above 10 %, a stall of over a minute,
        // a battery came or went, the power service stopped answering
        Interrupted,
        Failed, // a write of the results file failed: the test ended at once
    };
    Q_ENUM(End)

    TestSession(MainView& view, ChartView& chart, SessionDialogs& dialogs, TestingWindow& testing,
        PowerSource& power, const Clock& clock, LoadWorkers& load, QObject* parent = nullptr);
    ~TestSession() override;

    // The processor clock estimate in MHz (about 100 ms); 0 when unknown.
    void setMeasureCpuClock(std::function<double()> measure);
    // The battery capacity in mWh written into each results file.
    void setBatteryCapacity(std::optional<uint32_t> capacity);
    // Creates the results window, loads the file into it and opens it
    // modally, then returns; closed() is to be called once the window has
    // closed, or at once when none could be shown.
    using ShowResultsWindow = std::function<void(const QString& path, std::function<void()> closed)>;
    void setShowResultsWindow(ShowResultsWindow show);
    // Runs the workloads other than full load; without it a test with one
    // of them runs full load.
    void setWorkloadRunner(WorkloadRunner* runner) { m_workloads = runner; }
    // Sets the screen brightness a start asks for (SessionDialogs::
    // brightnessPercent) and puts the old one back at every end; without it
    // a start that asks for a brightness is refused.
    void setBrightnessHold(BrightnessHold* hold) { m_brightnessHold = hold; }

    // Starts a fast or a normal test (None is ignored). Opens the start
    // window and returns; the answers continue the start, and once the test
    // runs the testing window shows and the test timer ticks.
    void startTest(TestMode mode);
    // One tick of the test: the 1-second test timer calls it while a test
    // runs; tests call it by hand with a fake clock.
    void onTick();
    // Stops the load, completes and closes the results file. Does not change
    // the session's mode. Returns false when the file could not be completed (a write
    // or the flush failed); the reason is then in writeError().
    bool stopTest();
    // Why the results file of the last test could not be written; empty when
    // every write succeeded.
    QString writeError() const { return m_writeError; }
    // End-of-test presentation: hides the testing window and opens the
    // results; once they close, re-checks the power state and sets the mode to None.
    // The tick that ends a test queues this, so the window opens after the
    // tick has returned.
    void showResults();
    // "No load CPU" handler: inverts its check mark.
    void toggleNoLoad();

    // Starts the load workers; the load timer calls it 10 ms after a start.
    void startLoad();
    // Stops the workers and returns their summed count (0 on failure).
    uint64_t stopLoad();

    // The workload of the running or last test: none without load.
    std::optional<Workload> workload() const { return m_workload; }
    // What the workload of the last test did, once it has stopped.
    const WorkloadTally& workloadTally() const { return m_workloadTally; }
    // The screen brightness the running or last test set; none when it left
    // the brightness as it was.
    std::optional<BrightnessSetting> brightness() const { return m_brightness; }

    const SessionState& state() const { return m_state; }
    PowerWatcher& powerWatcher() { return m_watcher; }
    bool testTimerActive() const { return m_testTimer.isActive(); }
    bool loadTimerActive() const { return m_loadTimer.isActive(); }
    // The last sampled level of the running test, -1 before the first sample.
    int lastSample() const { return m_lastSample; }

Q_SIGNALS:
    // Once a test runs: its file has its header and the test timer is on.
    void testStarted();
    // After every sample of a test.
    void sampleTaken(double elapsed, int level);
    // When a test has ended, right after its file was completed or given up,
    // and before any results window shows: nothing of the test is left to
    // hold the machine for. The state's mode still holds the test's while the
    // results window of a regular end is open; it goes to None when that window
    // closes, right before resultsClosed().
    void testEnded(ampero::TestSession::End how);
    // The results window of a regular end has closed: the test is over.
    void resultsClosed();

private:
    void askPath(TestMode mode, bool noLoad);
    void begin(TestMode mode, bool noLoad, const QString& path);
    void failStart(const QString& message);
    // Sets the brightness the start asks for; false, with the reason shown,
    // when it cannot be set and the test must not start.
    bool applyBrightness();
    void restoreBrightness();
    // Ends the running test at once as failed: the file is given up (it reads
    // as incomplete), the error is shown, "testing interrupted".
    void failTest(const QString& message);
    // Ends the running test with its file completed and its results shown.
    void endRegular();
    // Ends the running test with its file completed, "testing interrupted",
    // and the reason (if any) shown as an error.
    void interruptTest(const QString& reason);
    // Appends one sample to the chart and the file and counts level changes;
    // false when the write failed and the test has ended as failed.
    bool writeSample(int level);
    // Remembers the clocks of this tick for the gap rules.
    void markTick();
    uint64_t workCount();

    MainView& m_view;
    ChartView& m_chart;
    SessionDialogs& m_dialogs;
    TestingWindow& m_testing;
    PowerSource& m_power;
    const Clock& m_clock;
    LoadWorkers& m_load;

    SessionState m_state;
    PowerWatcher m_watcher;
    ResultsWriter m_file;
    QTimer m_testTimer; // 1000 ms: onTick
    QTimer m_loadTimer; // 10 ms one-shot: the load starts after the first sample
    std::function<double()> m_measureCpuClock;
    std::optional<uint32_t> m_capacity;
    ShowResultsWindow m_showResultsWindow;
    int m_lastSample = -1;
    int64_t m_samplesWritten = 0;
    int64_t m_firstSampleMs = 0; // monotonic clock at the first sample
    QString m_writeError;
    WorkloadRunner* m_workloads = nullptr;
    std::optional<Workload> m_workload;
    WorkloadTally m_workloadTally;
    BrightnessHold* m_brightnessHold = nullptr;
    std::optional<BrightnessSetting> m_brightness;
};

// The work count of a test without load: clock estimate in MHz x 1 000 000
// x elapsed day fraction x 24 x 3600, multiplied in extended precision and
// rounded to the nearest integer, halves to even. 0 for a clock that is not
// a positive number.
uint64_t estimatedWorkCount(double mhz, double elapsedDays);

// A suspend ends a test as regular at this level or below: a laptop at its
// critical level suspends by itself. Above it, a suspend interrupts the test.
inline constexpr int SuspendEndLevel = 10;

} // namespace ampero
