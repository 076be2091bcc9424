// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/resumedetector.h"

#include <ctime>

namespace ampero {

namespace {
int64_t clockMs(clockid_t id)
{
    timespec ts {};
    clock_gettime(id, &ts);
    return int64_t(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}
// Below this the two clocks merely drift apart by rounding.
constexpr int64_t MinSleepMs = 1000;
} // namespace

int64_t ResumeDetector::systemSuspendedMs()
{
    return clockMs(CLOCK_BOOTTIME) - clockMs(CLOCK_MONOTONIC);
}

ResumeDetector::ResumeDetector(SuspendedMs source)
    : m_source(std::move(source))
    , m_last(m_source())
{
}

bool ResumeDetector::resumedSinceLastCheck()
{
    const int64_t now = m_source();
    if (now - m_last < MinSleepMs)
        return false;
    m_last = now;
    return true;
}

} // namespace ampero
