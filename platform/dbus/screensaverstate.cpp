// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/dbus/screensaverstate.h"

#include "platform/dbus/dbusservice.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace ampero {

namespace {
const QString Freedesktop = QStringLiteral("org.freedesktop.ScreenSaver");
const QString FreedesktopPath = QStringLiteral("/org/freedesktop/ScreenSaver");
const QString Gnome = QStringLiteral("org.gnome.ScreenSaver");
const QString GnomePath = QStringLiteral("/org/gnome/ScreenSaver");
} // namespace

ScreenSaverState::ScreenSaverState(const QDBusConnection& bus, QObject* parent)
    : ScreenState(parent)
    , m_bus(bus)
{
    if (!m_bus.isConnected())
        return;
    // From any sender and path: KDE sends it on /ScreenSaver as well as on
    // /org/freedesktop/ScreenSaver, and a screen saver may start later.
    for (const QString& interface : { Freedesktop, Gnome })
        m_bus.connect(QString(), QString(), interface, QStringLiteral("ActiveChanged"), this,
            SLOT(onActiveChanged(bool)));
    const bool freedesktop = serviceRegistered(m_bus, Freedesktop);
    const bool gnome = serviceRegistered(m_bus, Gnome);
    m_available = freedesktop || gnome;
    if (freedesktop)
        askActive(Freedesktop, FreedesktopPath, Freedesktop);
    if (gnome)
        askActive(Gnome, GnomePath, Gnome);
}

void ScreenSaverState::askActive(const QString& service, const QString& path, const QString& interface)
{
    const QDBusMessage call
        = QDBusMessage::createMethodCall(service, path, interface, QStringLiteral("GetActive"));
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        const QDBusPendingReply<bool> reply = *w;
        // A screen saver that does not answer leaves the screen counted as seen.
        if (!m_heard && reply.isValid() && reply.value())
            setBlanked(true);
        w->deleteLater();
    });
}

void ScreenSaverState::onActiveChanged(bool active)
{
    m_heard = true;
    setBlanked(active);
}

} // namespace ampero
