// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QString>
#include <QStringList>

namespace ampero {

// Locks that keep the system from ending a running test early.
//
// Delay lock: "shutdown:sleep" in delay mode. While it is held, the system
// announces a shutdown or a suspend (SystemEvents) and then waits until the
// lock is released, but never longer than its configured maximum delay
// (logind's InhibitDelayMaxSec, 5 seconds by default). The program holds it
// while a test runs, so it can complete the results file in time.
//
// Idle lock: blocks idle suspend and screen blanking ("idle" in block mode at
// logind, plus the desktop's screen saver where one is present), so a normal
// test on battery is not cut short by the desktop's idle timeout.
//
// A lock the system refuses, or a service that is not there, is not an
// error: take*() returns false and the test goes on without it. Taking a
// lock already held and releasing one not held do nothing. Everything runs
// on the main thread.
class Inhibitor {
public:
    virtual ~Inhibitor() = default;

    virtual bool takeDelayLock() = 0;
    virtual void releaseDelayLock() = 0;
    virtual bool holdsDelayLock() const = 0;

    virtual bool takeIdleLock() = 0;
    virtual void releaseIdleLock() = 0;
    virtual bool holdsIdleLock() const = 0;
};

// Records what was asked of it, for tests. refuseDelay/refuseIdle make the
// next takes fail as a system that refuses the lock would.
class FakeInhibitor final : public Inhibitor {
public:
    bool refuseDelay = false;
    bool refuseIdle = false;
    // "take delay", "release delay", "take idle", "release idle", in order,
    // for the calls that changed something.
    QStringList calls;

    bool takeDelayLock() override
    {
        if (m_delay || refuseDelay)
            return m_delay;
        m_delay = true;
        calls << QStringLiteral("take delay");
        return true;
    }
    void releaseDelayLock() override
    {
        if (!m_delay)
            return;
        m_delay = false;
        calls << QStringLiteral("release delay");
    }
    bool holdsDelayLock() const override { return m_delay; }

    bool takeIdleLock() override
    {
        if (m_idle || refuseIdle)
            return m_idle;
        m_idle = true;
        calls << QStringLiteral("take idle");
        return true;
    }
    void releaseIdleLock() override
    {
        if (!m_idle)
            return;
        m_idle = false;
        calls << QStringLiteral("release idle");
    }
    bool holdsIdleLock() const override { return m_idle; }

private:
    bool m_delay = false;
    bool m_idle = false;
};

} // namespace ampero
