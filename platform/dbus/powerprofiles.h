// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "platform/machinefacts.h"

#include <QDBusConnection>

namespace ampero {

// power-profiles-daemon's ActiveProfile ("power-saver", "balanced",
// "performance") on the system bus, under its newer name
// org.freedesktop.UPower.PowerProfiles or its older one net.hadess.PowerProfiles.
// Empty when neither answers within the timeout.
class DBusPowerProfiles final : public PowerProfileSource {
public:
    explicit DBusPowerProfiles(
        const QDBusConnection& bus = QDBusConnection::systemBus(), int timeoutMs = 1000);
    QString activeProfile() override;

private:
    QDBusConnection m_bus;
    int m_timeoutMs;
};

} // namespace ampero
