#include "session/resumedetector.h"

#include <ctime>

namespace ampero {

namespace {
int64_t readClockMs(clockid_t id)
{
    timespec ts{};
    clock_gettime(id, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}
} // namespace

ResumeDetector::ResumeDetector(MsClock gapMs, MsClock monotonicMs, QObject* parent)
    : QObject(parent),
      m_gap(gapMs ? std::move(gapMs) : MsClock([] {
#ifdef CLOCK_BOOTTIME
          return readClockMs(CLOCK_BOOTTIME);
#else
          return readClockMs(CLOCK_MONOTONIC);
#endif
      })),
      m_mono(monotonicMs ? std::move(monotonicMs) : MsClock([] { return readClockMs(CLOCK_MONOTONIC); }))
{
    m_lastOffset = m_gap() - m_mono();
    connect(&m_timer, &QTimer::timeout, this, &ResumeDetector::check);
}

void ResumeDetector::start(int intervalMs)
{
    m_lastOffset = m_gap() - m_mono();
    m_timer.start(intervalMs);
}

void ResumeDetector::stop()
{
    m_timer.stop();
}

bool ResumeDetector::check()
{
    const int64_t offset = m_gap() - m_mono();
    const bool slept = offset - m_lastOffset >= SleepThresholdMs;
    m_lastOffset = offset;
    if (slept)
        Q_EMIT resumed();
    return slept;
}

} // namespace ampero
