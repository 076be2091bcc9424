// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "platform/powersource.h"

#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QStringList>
#include <QTimer>
#include <optional>

namespace ampero {

// Power status from UPower (org.freedesktop.UPower) on the given bus: the
// system bus in the program, a private bus in tests.
//
// Power line from the manager's OnBattery (battery or mains; unknown when
// UPower does not answer). Level, state and times from the DisplayDevice,
// UPower's combination of all system batteries: Percentage rounded to the
// nearest percent (unknown when no battery is present); TimeToEmpty in seconds
// (0 there means unknown); the full-battery time as EnergyFull / EnergyRate
// (Wh over W, in hours) when both are positive. The times are known only
// while the battery discharges.
//
// Every PropertiesChanged under /org/freedesktop/UPower, and the service
// coming or going, makes the backend read again; powerChanged() is emitted
// when the AC line or the level differs from the last reading, and every five
// seconds the backend looks whether the machine resumed from a sleep, which is
// announced as well. Between these, status() answers from the last reading
// and makes no call. A property of another type than UPower gives it (a
// malformed reply) counts as unknown.
//
// Energy figures, as UPower gives them in Wh, W and V (0 there is unknown):
// energy now and full from the DisplayDevice; the power (EnergyRate) only
// while discharging; the design energy and the voltage from the
// DisplayDevice where it has them, else from the system batteries (design
// energies added up, voltage their mean), one more call per battery. The
// list of batteries is kept until UPower adds or removes a device.
class UPowerPowerSource final : public PowerSource {
    Q_OBJECT
public:
    explicit UPowerPowerSource(
        const QDBusConnection& bus = QDBusConnection::systemBus(), QObject* parent = nullptr);

    QString backendName() const override { return QStringLiteral("upower"); }

    // True when the service answers on the bus.
    bool available() const;
    // True when UPower knows at least one power device (battery or line).
    bool findsPowerSupply() const;

public Q_SLOTS:
    // Reads again and emits powerChanged() on a change of line or level.
    bool checkForChange();
    // Emits powerChanged() when the machine was suspended since the last look.
    bool checkForResume();

private Q_SLOTS:
    void onPropertiesChanged(
        const QString& interface, const QVariantMap& changed, const QStringList& invalidated);
    void onDevicesChanged();

protected:
    // Blocking calls of at most two seconds each: OnBattery, the
    // DisplayDevice's properties, and where needed each battery's.
    PowerStatus read() override;

private:
    QDBusConnection m_bus;
    QDBusServiceWatcher m_watcher;
    QTimer m_resumeTimer;
    std::optional<QStringList> m_batteryPaths; // every device UPower listed

    void readBatteries(PowerStatus& s);
};

} // namespace ampero
