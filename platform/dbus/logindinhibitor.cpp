// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/dbus/logindinhibitor.h"

#include "platform/dbus/dbusservice.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusUnixFileDescriptor>
#include <fcntl.h>
#include <unistd.h>

namespace ampero {

namespace {
const QString LogindService = QStringLiteral("org.freedesktop.login1");
const QString LogindPath = QStringLiteral("/org/freedesktop/login1");
const QString LogindManager = QStringLiteral("org.freedesktop.login1.Manager");
const QString ScreenSaverService = QStringLiteral("org.freedesktop.ScreenSaver");
const QString ScreenSaverInterface = QStringLiteral("org.freedesktop.ScreenSaver");

// A bus call must never hold up the main thread for long: the shutdown delay
// is only a few seconds.
constexpr int CallTimeoutMs = 1500;

void closeFd(int& fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}
} // namespace

LogindInhibitor::LogindInhibitor(const QDBusConnection& systemBus, const QDBusConnection& sessionBus)
    : m_system(systemBus)
    , m_session(sessionBus)
{
}

LogindInhibitor::~LogindInhibitor()
{
    releaseDelayLock();
    releaseIdleLock();
}

int LogindInhibitor::inhibit(const QString& what, const QString& mode)
{
    if (!m_system.isConnected())
        return -1;
    int own = -1;
    {
        QDBusMessage call = QDBusMessage::createMethodCall(
            LogindService, LogindPath, LogindManager, QStringLiteral("Inhibit"));
        call << what << QStringLiteral("Orvex Ampero") << QStringLiteral("battery test in progress") << mode;
        const QDBusMessage reply = m_system.call(call, QDBus::Block, CallTimeoutMs);
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
            return -1;
        const auto fd = qvariant_cast<QDBusUnixFileDescriptor>(reply.arguments().constFirst());
        if (!fd.isValid())
            return -1;
        own = ::fcntl(fd.fileDescriptor(), F_DUPFD_CLOEXEC, 0);
        // Leaving this scope drops the reply and every QDBusUnixFileDescriptor
        // copy, closing their duplicates; only `own` keeps the lock.
    }
    return own;
}

bool LogindInhibitor::takeDelayLock()
{
    if (m_delayFd < 0)
        m_delayFd = inhibit(QStringLiteral("shutdown:sleep"), QStringLiteral("delay"));
    return m_delayFd >= 0;
}

void LogindInhibitor::releaseDelayLock()
{
    closeFd(m_delayFd);
}

bool LogindInhibitor::takeIdleLock()
{
    if (m_idleFd < 0)
        m_idleFd = inhibit(QStringLiteral("idle"), QStringLiteral("block"));

    if (m_screenSaverCookie == 0 && serviceRegistered(m_session, ScreenSaverService)) {
        // KDE serves the interface at /ScreenSaver only on older versions;
        // the freedesktop path is tried first.
        for (const QString& path :
            { QStringLiteral("/org/freedesktop/ScreenSaver"), QStringLiteral("/ScreenSaver") }) {
            QDBusMessage call = QDBusMessage::createMethodCall(
                ScreenSaverService, path, ScreenSaverInterface, QStringLiteral("Inhibit"));
            call << QStringLiteral("Orvex Ampero") << QStringLiteral("battery test in progress");
            const QDBusMessage reply = m_session.call(call, QDBus::Block, CallTimeoutMs);
            if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()) {
                m_screenSaverCookie = reply.arguments().constFirst().toUInt();
                if (m_screenSaverCookie != 0) {
                    m_screenSaverPath = path;
                    break;
                }
            }
        }
    }
    return holdsIdleLock();
}

void LogindInhibitor::releaseIdleLock()
{
    closeFd(m_idleFd);
    if (m_screenSaverCookie != 0) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            ScreenSaverService, m_screenSaverPath, ScreenSaverInterface, QStringLiteral("UnInhibit"));
        call << m_screenSaverCookie;
        // Nothing waits for the answer: a screen saver that went away has
        // dropped the inhibition with its own exit.
        m_session.send(call);
        m_screenSaverCookie = 0;
        m_screenSaverPath.clear();
    }
}

} // namespace ampero
