// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/dbus/logindbrightness.h"

#include "core/phrases.h"
#include "platform/dbus/dbusservice.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <unistd.h>

namespace ampero {

namespace {
const QString LogindService = QStringLiteral("org.freedesktop.login1");
const QString LogindPath = QStringLiteral("/org/freedesktop/login1");
const QString LogindManager = QStringLiteral("org.freedesktop.login1.Manager");
const QString LogindSession = QStringLiteral("org.freedesktop.login1.Session");

// A test start and a session end wait on these calls: never for long.
constexpr int CallTimeoutMs = 1500;

QString errorText(const QDBusMessage& reply)
{
    const QString message = reply.errorMessage().trimmed();
    return message.isEmpty() ? reply.errorName() : message;
}
} // namespace

LogindBrightness::LogindBrightness(const QDBusConnection& systemBus, QString root)
    : m_system(systemBus)
    , m_root(std::move(root))
{
}

std::optional<Backlight> LogindBrightness::backlight(QString* why) const
{
    return readBacklight(m_root, why);
}

QString LogindBrightness::sessionPath(QString* why) const
{
    if (!serviceRegistered(m_system, LogindService)) {
        if (why)
            *why = phrase("systemd-logind cannot be reached");
        return {};
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        LogindService, LogindPath, LogindManager, QStringLiteral("GetSessionByPID"));
    call << static_cast<uint>(::getpid());
    const QDBusMessage reply = m_system.call(call, QDBus::Block, CallTimeoutMs);
    if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()) {
        QString path = qvariant_cast<QDBusObjectPath>(reply.arguments().constFirst()).path();
        if (!path.isEmpty())
            return path;
    }
    if (why)
        *why = phrase("this program runs in no login session (%1)").arg(errorText(reply));
    return {};
}

bool LogindBrightness::setBrightness(const QString& name, int value, QString* why)
{
    const QString session = sessionPath(why);
    if (session.isEmpty())
        return false;
    QDBusMessage call = QDBusMessage::createMethodCall(
        LogindService, session, LogindSession, QStringLiteral("SetBrightness"));
    call << QStringLiteral("backlight") << name << static_cast<uint>(value);
    const QDBusMessage reply = m_system.call(call, QDBus::Block, CallTimeoutMs);
    if (reply.type() == QDBusMessage::ReplyMessage)
        return true;
    if (why)
        *why = phrase("systemd-logind refused: %1").arg(errorText(reply));
    return false;
}

} // namespace ampero
