// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "platform/inhibitor.h"

#include <QDBusConnection>

namespace ampero {

// Inhibitor locks from systemd-logind (Manager.Inhibit on the given system
// bus) and from org.freedesktop.ScreenSaver on the given session bus.
//
// logind hands back a file descriptor per lock; the lock lasts until every
// duplicate of it is closed. The backend keeps exactly one descriptor of its
// own per lock and drops every copy Qt's D-Bus types hold at once, so closing
// that one descriptor releases the lock.
class LogindInhibitor final : public Inhibitor {
public:
    explicit LogindInhibitor(const QDBusConnection& systemBus = QDBusConnection::systemBus(),
        const QDBusConnection& sessionBus = QDBusConnection::sessionBus());
    ~LogindInhibitor() override;
    LogindInhibitor(const LogindInhibitor&) = delete;
    LogindInhibitor& operator=(const LogindInhibitor&) = delete;

    bool takeDelayLock() override;
    void releaseDelayLock() override;
    bool holdsDelayLock() const override { return m_delayFd >= 0; }

    bool takeIdleLock() override;
    void releaseIdleLock() override;
    bool holdsIdleLock() const override { return m_idleFd >= 0 || m_screenSaverCookie != 0; }

    // The descriptors held, -1 for none; for tests.
    int delayDescriptor() const { return m_delayFd; }
    int idleDescriptor() const { return m_idleFd; }

private:
    // Manager.Inhibit(what, who, why, mode): a private descriptor for the
    // lock, or -1 when the lock was refused or logind is not there.
    int inhibit(const QString& what, const QString& mode);

    QDBusConnection m_system;
    QDBusConnection m_session;
    int m_delayFd = -1;
    int m_idleFd = -1;
    uint m_screenSaverCookie = 0;
    QString m_screenSaverPath;
};

} // namespace ampero
