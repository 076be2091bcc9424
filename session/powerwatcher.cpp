// SPDX-License-Identifier: GPL-3.0-or-later
#include "session/powerwatcher.h"

#include "platform/clock.h"
#include "platform/systemevents.h"
#include "session/resumemonitor.h"

#include <QCoreApplication>

namespace ampero {

namespace {
constexpr int ReadyThreshold = 10;

// The level label's text. An unknown level has always read "255%" there.
QString percentText(std::optional<int> level)
{
    return level ? QString::number(*level) + QLatin1Char('%') : QStringLiteral("255%");
}
} // namespace

Readiness readinessOf(const PowerStatus& status)
{
    if (status.line != PowerLine::Battery)
        return Readiness::Disabled;
    // A test that started on an unknown level would never take a sample.
    return status.level && *status.level >= ReadyThreshold ? Readiness::Ready : Readiness::NotReady;
}

QString notReadyReason(const PowerStatus& status)
{
    // No battery first: a machine without one runs on mains as well.
    if (status.batteries && status.batteries->isEmpty())
        return QCoreApplication::translate("ampero", "no battery");
    if (status.line == PowerLine::Mains)
        return QCoreApplication::translate("ampero", "on AC power");
    if (status.line != PowerLine::Battery)
        return QCoreApplication::translate("ampero", "power source unknown");
    if (!status.level)
        return QCoreApplication::translate("ampero", "battery level unknown");
    return QCoreApplication::translate("ampero", "battery below %1%").arg(ReadyThreshold);
}

QString readinessText(Readiness r)
{
    switch (r) {
    case Readiness::Ready:
        return QCoreApplication::translate("ampero", "ready for test");
    case Readiness::NotReady:
        return QCoreApplication::translate("ampero", "not ready for test");
    case Readiness::Disabled:
        break;
    }
    return QCoreApplication::translate("ampero", "testing disabled");
}

QString powerModeText(PowerLine line)
{
    switch (line) {
    case PowerLine::Battery:
        return QCoreApplication::translate("ampero", "powered by battery");
    case PowerLine::Mains:
        return QCoreApplication::translate("ampero", "powered by AC");
    case PowerLine::Unknown:
        break;
    }
    return QCoreApplication::translate("ampero", "unknown");
}

PowerWatcher::PowerWatcher(MainView& view, TestingWindow& testing, PowerSource& power, const Clock& clock,
    const SessionState& state, QObject* parent)
    : QObject(parent)
    , m_view(view)
    , m_testing(testing)
    , m_power(power)
    , m_clock(clock)
    , m_state(state)
{
    connect(&m_power, &PowerSource::powerChanged, this, &PowerWatcher::recheckPower);
}

void PowerWatcher::enableTests(bool value)
{
    m_view.setTestsEnabled(value);
}

void PowerWatcher::startupCheck()
{
    check(Check::Startup);
}

void PowerWatcher::recheckPower()
{
    check(Check::Broadcast);
}

void PowerWatcher::afterResultsCheck()
{
    check(Check::AfterResults);
}

void PowerWatcher::watchResume(SystemEvents* events)
{
    if (events && events->available()) {
        connect(events, &SystemEvents::prepareForSleep, this, [this](bool start) {
            if (start)
                ++m_sleeps;
            else
                m_power.resumed();
        });
        return;
    }
    m_resumeMonitor = new ResumeMonitor({}, {}, this);
    connect(m_resumeMonitor, &ResumeMonitor::resumed, &m_power, &PowerSource::resumed);
    m_resumeMonitor->start();
}

void PowerWatcher::alignResumeChecks()
{
    if (!m_resumeMonitor)
        return;
    m_resumeMonitor->check(); // a resume since the last check is not lost
    m_resumeMonitor->start();
}

void PowerWatcher::testStarted()
{
    m_testBatteries = m_power.status().batteries;
    // The test's timer has just started: the resume checks ride its ticks.
    alignResumeChecks();
}

bool PowerWatcher::sleptSinceLastTick() const
{
    if (m_clock.gapNowMs() - m_state.lastTickMs < TickGapMs)
        return false;
    return m_clock.suspendedMs() - m_state.lastTickSuspendedMs >= SleepSeenMs
        || m_sleeps != m_state.lastTickSleeps;
}

void PowerWatcher::check(Check which)
{
    const PowerStatus s = m_power.status();
    // Checked before the line: a battery taken out may also leave the
    // machine on mains, and the reason to give is the battery.
    if (which == Check::Broadcast && m_state.mode != TestMode::None && m_testing.isShowing()
        && m_testBatteries && s.batteries && *s.batteries != *m_testBatteries) {
        Q_EMIT batteriesChanged(*m_testBatteries, *s.batteries);
        return;
    }
    const Readiness r = readinessOf(s);
    if (r != Readiness::Disabled) {
        m_view.setModeText(powerModeText(s.line));
        m_view.setLevelText(percentText(s.level));
        // While a test runs (or its results are up) the current action is
        // the test's own: "testing...", then how it ended.
        if (which != Check::AfterResults && m_state.mode == TestMode::None)
            m_view.setActionText(r == Readiness::Ready
                    ? readinessText(r)
                    : readinessText(r) + QStringLiteral(" (") + notReadyReason(s) + QLatin1Char(')'));
        enableTests(r == Readiness::Ready);
        return;
    }
    // On AC or unknown power. Right after a resume during a test leave
    // everything to the next tick, which ends the test.
    if (which == Check::Broadcast && m_state.mode != TestMode::None && sleptSinceLastTick())
        return;
    m_view.setModeText(powerModeText(s.line));
    if (which == Check::Broadcast)
        m_view.setLevelText(percentText(0));
    if (which != Check::AfterResults)
        m_view.setActionText(readinessText(r));
    if (which == Check::Broadcast && m_testing.isShowing())
        m_testing.closeWindow();
    enableTests(false);
}

} // namespace ampero
