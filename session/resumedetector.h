#pragma once
// Notices a resume from sleep where no system service announces it: the gap
// clock (CLOCK_BOOTTIME) keeps counting while the machine is suspended, the
// monotonic clock does not, so after a resume the first has run ahead of the
// second by the time spent asleep.
#include <QObject>
#include <QTimer>
#include <cstdint>
#include <functional>

namespace ampero {

class ResumeDetector : public QObject {
    Q_OBJECT
public:
    using MsClock = std::function<int64_t()>;
    // A lead of this many milliseconds or more counts as a sleep.
    static constexpr int64_t SleepThresholdMs = 1000;

    // gapMs and monotonicMs default to CLOCK_BOOTTIME and CLOCK_MONOTONIC.
    explicit ResumeDetector(MsClock gapMs = {}, MsClock monotonicMs = {}, QObject* parent = nullptr);

    // Compares the clocks every intervalMs while running.
    void start(int intervalMs = 1000);
    void stop();
    // One comparison; emits resumed() when the gap clock has run ahead.
    // Returns true when it did.
    bool check();

Q_SIGNALS:
    void resumed();

private:
    MsClock m_gap;
    MsClock m_mono;
    int64_t m_lastOffset = 0;
    QTimer m_timer;
};

} // namespace ampero
