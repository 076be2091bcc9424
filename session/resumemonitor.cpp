// SPDX-License-Identifier: GPL-3.0-or-later
#include "session/resumemonitor.h"

namespace ampero {

namespace {
ResumeDetector::SuspendedMs suspendedSource(ResumeMonitor::MsClock gap, ResumeMonitor::MsClock mono)
{
    if (!gap || !mono)
        return ResumeDetector::systemSuspendedMs;
    return [gap = std::move(gap), mono = std::move(mono)] { return gap() - mono(); };
}
} // namespace

ResumeMonitor::ResumeMonitor(MsClock gapMs, MsClock monotonicMs, QObject* parent)
    : QObject(parent)
    , m_detector(suspendedSource(std::move(gapMs), std::move(monotonicMs)))
{
    connect(&m_timer, &QTimer::timeout, this, &ResumeMonitor::check);
    // Precise, so that restarted together with another precise timer of a
    // multiple of its interval it wakes the program with that one and not
    // on its own (a coarse timer is moved to whole seconds).
    m_timer.setTimerType(Qt::PreciseTimer);
}

void ResumeMonitor::start(int intervalMs)
{
    m_detector.resumedSinceLastCheck(); // start from now
    m_timer.start(intervalMs);
}

bool ResumeMonitor::check()
{
    const bool slept = m_detector.resumedSinceLastCheck();
    if (slept)
        Q_EMIT resumed();
    return slept;
}

} // namespace ampero
