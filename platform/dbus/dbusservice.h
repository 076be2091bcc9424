// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusReply>
#include <QString>

namespace ampero {

// True when service has an owner on bus; false on a bus that is not
// connected or that does not answer.
inline bool serviceRegistered(const QDBusConnection& bus, const QString& service)
{
    if (!bus.isConnected() || !bus.interface())
        return false;
    const QDBusReply<bool> reply = bus.interface()->isServiceRegistered(service);
    return reply.isValid() && reply.value();
}

} // namespace ampero
