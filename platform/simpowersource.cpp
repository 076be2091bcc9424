// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/simpowersource.h"

#include <algorithm>

namespace ampero {

SimPowerSource::SimPowerSource(
    std::shared_ptr<const Clock> clock, int secondsPerPercent, int pollIntervalMs, QObject* parent)
    : PowerSource(parent)
    , m_clock(std::move(clock))
    , m_secondsPerPercent(std::max(1, secondsPerPercent))
    , m_startMs(m_clock->gapNowMs())
{
    update(read());
    connect(&m_timer, &QTimer::timeout, this, &SimPowerSource::checkForChange);
    m_timer.setSingleShot(true);
    m_pollIntervalMs = std::max(0, pollIntervalMs);
    scheduleNextCheck();
}

void SimPowerSource::scheduleNextCheck()
{
    // Wake only when the level can have changed: at the next whole percent
    // of gap time, never sooner than the poll interval after this check. A
    // resume shows at the first wake after it. At 0 % nothing changes again.
    if (m_pollIntervalMs <= 0)
        return;
    const int64_t periodMs = int64_t(m_secondsPerPercent) * 1000;
    const int64_t elapsedMs = std::max<int64_t>(0, m_clock->gapNowMs() - m_startMs);
    if (elapsedMs / periodMs >= 100) {
        m_timer.stop();
        return;
    }
    const int64_t untilNext = periodMs - elapsedMs % periodMs + 1;
    m_timer.start(static_cast<int>(std::max<int64_t>(m_pollIntervalMs, untilNext)));
}

PowerStatus SimPowerSource::read()
{
    const int64_t periodMs = int64_t(m_secondsPerPercent) * 1000;
    // A clock that went backwards counts as no time passed.
    const int64_t elapsedMs = std::max<int64_t>(0, m_clock->gapNowMs() - m_startMs);
    const int64_t used = elapsedMs / periodMs;
    PowerStatus s;
    s.acLineStatus = PowerStatus::AcOffline;
    s.batteryLifePercent = static_cast<uint8_t>(100 - std::min<int64_t>(100, used));
    s.batteryFullLifeTime = static_cast<uint32_t>(100 * int64_t(m_secondsPerPercent));
    if (used >= 100) {
        s.batteryLifeTime = 0;
    } else {
        const int64_t leftMs = (100 - used) * periodMs - elapsedMs % periodMs;
        s.batteryLifeTime = static_cast<uint32_t>(leftMs / 1000);
    }
    return s;
}

bool SimPowerSource::checkForChange()
{
    const PowerStatus now = read();
    scheduleNextCheck();
    return update(now);
}

} // namespace ampero
