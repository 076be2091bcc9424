// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The setup of the machine a test runs on, as far as the system tells it,
// written beside each results file. Nothing that names the user or the host,
// and no serial number.
#include <QString>
#include <optional>

namespace ampero {

struct MachineFacts {
    QString vendor; // DMI sys_vendor; empty when unknown
    QString model; // DMI product_name; empty when unknown
    QString kernel; // kernel release, as `uname -r` gives it
    QString powerProfile; // power-profiles-daemon's ActiveProfile; empty without the daemon
    std::optional<double> brightnessPercent; // the first backlight's brightness, 0 to 100
    QString cpuGovernor; // cpufreq scaling governor of the first processor; empty without cpufreq
};

// Where the active power profile comes from: a D-Bus service in the program,
// a fake in tests. Empty when there is none.
class PowerProfileSource {
public:
    virtual ~PowerProfileSource() = default;
    virtual QString activeProfile() = 0;
};

// Reads the facts afresh at each call.
class MachineFactsSource {
public:
    virtual ~MachineFactsSource() = default;
    virtual MachineFacts read() = 0;
};

// Reads the kernel's own files under root ("/" normally; tests pass a folder
// that mimics it): sys/class/dmi/id/{sys_vendor,product_name},
// proc/sys/kernel/osrelease, sys/class/backlight/*/{brightness,max_brightness},
// sys/devices/system/cpu/cpu0/cpufreq/scaling_governor. The power profile
// comes from profiles, when given.
class LinuxMachineFacts final : public MachineFactsSource {
public:
    explicit LinuxMachineFacts(QString root = QStringLiteral("/"), PowerProfileSource* profiles = nullptr);
    MachineFacts read() override;

private:
    QString m_root;
    PowerProfileSource* m_profiles;
};

// Answers what it is told, for tests.
class FakeMachineFacts final : public MachineFactsSource {
public:
    MachineFacts read() override { return facts; }
    MachineFacts facts;
};

} // namespace ampero
