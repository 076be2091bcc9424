// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusReply>
#include <QString>
#include <QVariant>
#include <optional>

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

// The value when it has the D-Bus type the service gives the property (b as
// bool, d as double, u as uint, x as qlonglong, s as QString); nullopt for a
// value of any other type, which a malformed reply may carry.
template <typename T> std::optional<T> typed(const QVariant& value)
{
    if (value.metaType() != QMetaType::fromType<T>())
        return std::nullopt;
    return value.value<T>();
}

} // namespace ampero
