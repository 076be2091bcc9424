// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "platform/powersource.h"

#include <QString>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>

namespace ampero {

// Power status read from the kernel's power-supply class
// (/sys/class/power_supply, or any folder laid out the same way).
//
// Batteries: every supply whose `type` is Battery and whose `scope` is not
// Device (mice, keyboards and headsets carry their own batteries and are
// skipped), present or without a `present` file. Several batteries are
// combined into one, as UPower does: level = 100 x sum(energy_now) /
// sum(energy_full), rounded to the nearest percent. Units of the files:
// energy µWh, charge µAh, power µW, current µA, voltage µV; a battery that
// only reports charge is converted to energy with voltage_min_design (or
// voltage_max_design, or voltage_now). A battery without any of these falls
// back to its `capacity` percentage.
//
// Energy figures: energy now and full (energy_* or converted charge_*), the
// power (power_now, or current_now through the same voltage, so that energy
// over power is hours), the design energy (energy_full_design or
// charge_full_design) and the voltage now (voltage_now). Several batteries add
// up; their voltage is the mean. A figure that one of the batteries lacks is
// unknown for all.
//
// The set of batteries is their folders' names.
//
// Each supply is read from its `uevent` file, which holds all its attributes
// in one read (POWER_SUPPLY_ENERGY_NOW=... for energy_now), and from one file
// per attribute where it has no uevent file or the uevent lacks what the
// reading needs (older kernels leave out the type). Both give the same
// figures.
//
// Power line: mains when a Mains or USB supply reports online=1, battery when
// such supplies exist and none is online. Without any of them the batteries'
// `status` decides (Discharging: battery; Charging, Full, Not charging:
// mains). With no battery at all the machine is on mains, level unknown.
//
// Times (only on battery): remaining time from time_to_empty_now, else from
// energy / power; the full-battery time from full energy / power.
class SysfsPowerSource final : public PowerSource {
    Q_OBJECT
public:
    static QString defaultRoot() { return QStringLiteral("/sys/class/power_supply"); }

    // Reads root once a second (pollIntervalMs; 0: only when asked) and
    // emits powerChanged() on a real change.
    explicit SysfsPowerSource(
        const QString& root = defaultRoot(), int pollIntervalMs = 1000, QObject* parent = nullptr);
    ~SysfsPowerSource() override;

    // The source's own polls read the supplies found when root was last
    // listed, and list it again when this much time has passed, when one of
    // them can no longer be read (it went) and after a resume; every other
    // read (refresh(), checkForChange()) lists it afresh. A battery that
    // comes during a test is so found within 30 s, one that goes at the next
    // poll; a charger's `online` is read at every poll. A listing costs
    // about as much as the reads of a poll: once in 30 polls it is lost in
    // the noise, and a battery that comes while a test runs (a dock's) is
    // rare and ends the test half a minute later at most.
    static constexpr int64_t ListingIntervalMs = 30000;
    // Where the time between listings is read: monotonic milliseconds (tests
    // pass their own). Counts from the last listing on.
    void setMonotonicTimeSource(std::function<int64_t()> nowMs);

    QString backendName() const override { return QStringLiteral("sysfs"); }
    void alignPolling() override;

    // True when root holds at least one power supply the backend uses (a
    // system battery or a Mains/USB line).
    bool findsPowerSupply() const;
    const QString& root() const { return m_root; }

public Q_SLOTS:
    // Reads the status and emits powerChanged() when the AC line or the level
    // differs from the last reading, or when the machine was suspended since
    // the last check. Returns whether it emitted.
    bool checkForChange();

protected:
    PowerStatus read() override;

private:
    enum class Listing {
        Fresh, // list root now
        Kept, // read the supplies listed before, if still due
    };
    // The supply folders found at the last listing, and what is kept
    // between polls.
    struct Folders;

    void poll();
    bool look(Listing listing);
    PowerStatus readStatus(Listing listing);

    QString m_root;
    QTimer m_timer;
    std::function<int64_t()> m_nowMs;
    std::unique_ptr<Folders> m_folders;
};

} // namespace ampero
