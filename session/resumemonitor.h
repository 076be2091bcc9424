// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Announces a resume from sleep where no system service does, by checking the
// clocks every few seconds (see ResumeDetector).
#include "platform/resumedetector.h"

#include <QObject>
#include <QTimer>
#include <cstdint>
#include <functional>

namespace ampero {

class ResumeMonitor : public QObject {
    Q_OBJECT
public:
    using MsClock = std::function<int64_t()>;

    // gapMs and monotonicMs default to CLOCK_BOOTTIME and CLOCK_MONOTONIC.
    explicit ResumeMonitor(MsClock gapMs = {}, MsClock monotonicMs = {}, QObject* parent = nullptr);

    // Compares the clocks every intervalMs while running, counted from this
    // call; calling it again restarts the count. Five seconds by default: a
    // resume is rare and need not be seen at once, and a check each second
    // would wake the program once more a second for the whole of a test.
    void start(int intervalMs = 5000);
    void stop() { m_timer.stop(); }
    // One comparison; emits resumed() when the machine slept since the last
    // one. Returns true when it did.
    bool check();

Q_SIGNALS:
    void resumed();

private:
    ResumeDetector m_detector;
    QTimer m_timer;
};

} // namespace ampero
