// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "platform/screenstate.h"

#include <QDBusConnection>

class QDBusPendingCallWatcher;

namespace ampero {

// The desktop's screen saver on the session bus: ActiveChanged(bool) of
// org.freedesktop.ScreenSaver (KDE Plasma, Xfce, LXQt and others) and of
// org.gnome.ScreenSaver (GNOME, Cinnamon). Active means the screen is
// blanked or locked. The state at start is asked for without waiting.
class ScreenSaverState final : public ScreenState {
    Q_OBJECT
public:
    explicit ScreenSaverState(
        const QDBusConnection& bus = QDBusConnection::sessionBus(), QObject* parent = nullptr);
    bool available() const override { return m_available; }

private Q_SLOTS:
    void onActiveChanged(bool active);

private:
    void askActive(const QString& service, const QString& path, const QString& interface);

    QDBusConnection m_bus;
    bool m_available = false;
    bool m_heard = false; // a signal came: it is newer than any answer still on its way
};

} // namespace ampero
