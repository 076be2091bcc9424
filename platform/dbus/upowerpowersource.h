// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "platform/powersource.h"

#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QStringList>
#include <QTimer>
#include <chrono>
#include <memory>
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
// Every PropertiesChanged under /org/freedesktop/UPower, a device added or
// removed, and the service coming back make the backend read again, without
// blocking: the calls go out asynchronously, one reading at a time. Notices
// are gathered for a quarter of a second before the reading starts, and
// those that come while a reading is under way cost one more reading after
// it, so a burst of any size costs a few readings a second and no memory.
// powerChanged() is emitted when the AC line or the level differs from the
// last reading, and every five seconds the backend looks whether the machine
// resumed from a sleep, which is announced as well. Between these, status()
// answers from the last reading and makes no call. A property of another
// type than UPower gives it (a malformed reply) counts as unknown.
//
// When the service leaves the bus or stops answering (an upgrade restarts
// it, it hangs), the last reading is kept for a grace period while the
// backend asks again every two seconds; the service's return picks the
// reading up again. When the grace period passes without an answer the
// status becomes unknown and unavailable() says why.
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
    ~UPowerPowerSource() override;

    QString backendName() const override { return QStringLiteral("upower"); }
    void alignPolling() override;
    void resumed() override;

    // True when the service answers on the bus.
    bool available() const;
    // True when UPower knows at least one power device (battery or line).
    bool findsPowerSupply() const;
    // How long the last reading is kept while the service is gone (30 s).
    void setGracePeriod(std::chrono::milliseconds grace);
    // True while a reading is due or under way.
    bool readPending() const;

public Q_SLOTS:
    // Reads again soon, without blocking, and emits powerChanged() on a
    // change of line or level.
    void checkForChange();
    // Reads again when the machine was suspended since the last look, and
    // then emits powerChanged() in any case. Returns whether it was.
    bool checkForResume();

private Q_SLOTS:
    void onPropertiesChanged();
    void onDevicesChanged();
    void onServiceOwnerChanged(const QString& service, const QString& oldOwner, const QString& newOwner);

protected:
    // Blocking calls of at most two seconds each: OnBattery, the
    // DisplayDevice's properties, and where needed each battery's. While
    // the service does not answer, the kept reading.
    PowerStatus read() override;

private:
    class Reading;

    QDBusConnection m_bus;
    QDBusServiceWatcher m_watcher;
    QTimer m_resumeTimer;
    QTimer m_readTimer; // single shot: the next asynchronous reading starts
    QTimer m_graceTimer; // single shot: the service has been silent too long
    std::optional<QStringList> m_batteryPaths; // every device UPower listed
    int m_devicesGeneration = 0; // counts the changes of the device list
    std::unique_ptr<Reading> m_reading; // the asynchronous reading under way
    bool m_readingStale = false; // a blocking read came after it started
    bool m_readAgain = false; // notices came while it was under way
    bool m_announce = false; // the next reading is announced in any case

    void requestRead(int delayMs);
    void startRead();
    void sendNextCall();
    void finishRead();
    // Takes what a reading learned; false when the service did not answer.
    bool keep(const Reading& reading);
    void serviceSilent();
    void onGraceOver();
};

} // namespace ampero
