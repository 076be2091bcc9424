// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QObject>

namespace ampero {

// Sleep and shutdown notices from the system (systemd-logind on Linux).
// prepareForSleep(true) comes just before a suspend or hibernation,
// prepareForSleep(false) right after the resume; prepareForShutdown(true)
// just before a power-off or reboot. A source that is not there simply
// never emits.
class SystemEvents : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~SystemEvents() override = default;
    // True when the real service was found (for diagnostics).
    virtual bool available() const = 0;

Q_SIGNALS:
    void prepareForSleep(bool start);
    void prepareForShutdown(bool start);
};

// Emits only when told to, for tests.
class FakeSystemEvents final : public SystemEvents {
    Q_OBJECT
public:
    using SystemEvents::SystemEvents;
    bool available() const override { return true; }
    void emitSleep(bool start) { Q_EMIT prepareForSleep(start); }
    void emitShutdown(bool start) { Q_EMIT prepareForShutdown(start); }
};

} // namespace ampero
