// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/dbus/logindevents.h"

#include "platform/dbus/dbusservice.h"

namespace ampero {

namespace {
const QString Service = QStringLiteral("org.freedesktop.login1");
const QString Path = QStringLiteral("/org/freedesktop/login1");
const QString Manager = QStringLiteral("org.freedesktop.login1.Manager");
} // namespace

LogindEvents::LogindEvents(const QDBusConnection& bus, QObject* parent)
    : SystemEvents(parent)
{
    if (!bus.isConnected())
        return;
    QDBusConnection conn(bus);
    // Subscribe even when logind is not running yet; the signals arrive once it is.
    conn.connect(
        Service, Path, Manager, QStringLiteral("PrepareForSleep"), this, SLOT(onPrepareForSleep(bool)));
    conn.connect(
        Service, Path, Manager, QStringLiteral("PrepareForShutdown"), this, SLOT(onPrepareForShutdown(bool)));
    m_available = serviceRegistered(conn, Service);
}

void LogindEvents::onPrepareForSleep(bool start)
{
    Q_EMIT prepareForSleep(start);
}

void LogindEvents::onPrepareForShutdown(bool start)
{
    Q_EMIT prepareForShutdown(start);
}

} // namespace ampero
