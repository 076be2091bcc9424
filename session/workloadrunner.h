// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Runs a workload's schedule: one single-shot timer to the next burst due,
// the burst's units on threads of its stream (kept from start to stop, so a
// burst costs no thread start), and the burst's end posted back to the main
// thread, which then asks for its repaint and sets the timer again. Between
// bursts the driver sleeps: no polling.
#include "session/workloadschedule.h"

#include <QObject>
#include <QTimer>
#include <atomic>
#include <functional>
#include <memory>

namespace ampero {

class BurstThread;

class WorkloadRunner : public QObject {
    Q_OBJECT
public:
    // The clock in microseconds; a steady clock by default.
    explicit WorkloadRunner(std::function<int64_t()> nowUs = {}, QObject* parent = nullptr);
    ~WorkloadRunner() override;

    // Starts the workload's schedule now; false for full load (not a
    // schedule) or when the threads cannot be started (nothing then runs).
    bool start(Workload workload);
    // Stops the bursts (a running one ends at its next unit), joins the
    // threads and returns the tally up to now, less the bursts the stop cut.
    // Without a workload running it returns the tally of the last one.
    WorkloadTally stop();
    bool isRunning() const { return m_schedule != nullptr; }
    // The tally so far.
    WorkloadTally tally() const;
    // Timer wake-ups of the driver since the start (one per burst start, plus
    // one for each burst that waited for its stream).
    int64_t wakeUps() const { return m_wakeUps; }
    // Of those, the ones that started no burst: the driver's own cost.
    int64_t idleWakeUps() const { return m_idleWakeUps; }
    // The units the threads ran, counted by the threads themselves.
    int64_t unitsRun() const;

Q_SIGNALS:
    // A burst has ended: the window repaints as the stream says.
    void repaintWanted(ampero::Repaint what);

private:
    void wake();
    void arm();
    void burstEnded(int stream, quint64 generation);
    int64_t now() const;

    std::function<int64_t()> m_nowUs;
    int64_t m_startUs = 0;
    std::unique_ptr<WorkloadSchedule> m_schedule;
    std::vector<std::vector<std::unique_ptr<BurstThread>>> m_threads; // per stream
    std::vector<std::shared_ptr<std::atomic<int>>> m_remaining; // threads still busy, per stream
    QTimer m_timer;
    // Set by stop(): a running burst ends at its next unit.
    std::atomic<bool> m_cancel { false };
    WorkloadTally m_last;
    int64_t m_wakeUps = 0;
    int64_t m_idleWakeUps = 0;
    int m_fileFd = -1;
    quint64 m_generation = 0;
};

} // namespace ampero
