// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "platform/systemevents.h"

#include <QDBusConnection>

namespace ampero {

// PrepareForSleep and PrepareForShutdown of org.freedesktop.login1.Manager on
// the given bus (the system bus in the program, a private bus in tests).
class LogindEvents final : public SystemEvents {
    Q_OBJECT
public:
    explicit LogindEvents(
        const QDBusConnection& bus = QDBusConnection::systemBus(), QObject* parent = nullptr);
    bool available() const override { return m_available; }

private Q_SLOTS:
    void onPrepareForSleep(bool start);
    void onPrepareForShutdown(bool start);

private:
    bool m_available = false;
};

} // namespace ampero
