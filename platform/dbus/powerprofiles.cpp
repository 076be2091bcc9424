// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/dbus/powerprofiles.h"

#include "platform/dbus/dbusservice.h"

#include <QDBusMessage>
#include <QDBusVariant>

namespace ampero {

DBusPowerProfiles::DBusPowerProfiles(const QDBusConnection& bus, int timeoutMs)
    : m_bus(bus)
    , m_timeoutMs(timeoutMs)
{
}

QString DBusPowerProfiles::activeProfile()
{
    struct Name {
        const char* service;
        const char* path;
    };
    static constexpr Name names[]
        = { { "org.freedesktop.UPower.PowerProfiles", "/org/freedesktop/UPower/PowerProfiles" },
              { "net.hadess.PowerProfiles", "/net/hadess/PowerProfiles" } };
    for (const Name& n : names) {
        const QString service = QLatin1String(n.service);
        if (!serviceRegistered(m_bus, service))
            continue;
        QDBusMessage call = QDBusMessage::createMethodCall(service, QLatin1String(n.path),
            QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
        call << service << QStringLiteral("ActiveProfile");
        const QDBusMessage reply = m_bus.call(call, QDBus::Block, m_timeoutMs);
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
            continue;
        QString profile = reply.arguments().first().value<QDBusVariant>().variant().toString();
        if (!profile.isEmpty())
            return profile;
    }
    return {};
}

} // namespace ampero
