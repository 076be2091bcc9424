// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "platform/screenbrightness.h"

#include <QDBusConnection>

namespace ampero {

// The screen brightness through systemd-logind: the backlight is read from
// sysfs under root, and set with Session.SetBrightness("backlight", name,
// value) on this process's own session (Manager.GetSessionByPID), which
// logind allows the session's user without root. logind refuses a session
// without a seat (an SSH login) and a device on another seat; its reason is
// passed on.
class LogindBrightness final : public ScreenBrightness {
public:
    explicit LogindBrightness(
        const QDBusConnection& systemBus = QDBusConnection::systemBus(), QString root = QStringLiteral("/"));

    std::optional<Backlight> backlight(QString* why) const override;
    bool setBrightness(const QString& name, int value, QString* why) override;

private:
    // The object path of this process's session; empty with *why when none.
    QString sessionPath(QString* why) const;

    QDBusConnection m_system;
    QString m_root;
};

} // namespace ampero
