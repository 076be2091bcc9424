// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The one place that builds the program's services. The window program, the
// terminal test and --info all take theirs from makeSystemServices(); tests
// build their own fakes and hand them to the same classes.
#include "app/guiprogram.h"
#include "sysinfo/batteryinfo.h"

#include <QString>
#include <memory>

namespace ampero {

class BatteryIdentitySource;
class Clock;
class History;
class HttpClient;
class Inhibitor;
class LoadWorkers;
class MachineFactsSource;
class PowerProfileSource;
class PowerSource;
class Processor;
class ProcessorTimesSource;
class ScreenBrightness;
class ScreenState;
class SystemEvents;
class UrlOpener;

struct SystemOptions {
    // What the services are for. Each mode gets what it uses and no more:
    // --info the power, battery and processor; the terminal test also the
    // clock, logind, the locks and the CPU load; the window program all of
    // them (also the screen, the network and the desktop's URL opener).
    // --record: the power, battery and machine, and the history.
    enum class Mode { Info, Record, TerminalTest, Gui };
    Mode mode = Mode::Gui;
    // The power backend, as createPowerSource() reads it; empty for the
    // first real one that finds a power supply ("sim" with fakeSystem).
    QString powerSource;
    // A whole machine of stand-ins instead of this one's: a simulated
    // battery (unless powerSource names another), a processor, battery
    // identity, screen, logind (sleep, shutdown and its locks) that answer
    // without touching the system. For trying the program and for
    // screenshots on any machine; AMPERO_FAKE_SYSTEM=1 chooses it.
    bool fakeSystem = false;
    // The shared history database (--database, AMPERO_DATABASE); empty for
    // the local history alone.
    QString databaseUrl;
};

// Every service of the program; those the mode does not use are null. Each
// lives as long as this object.
struct SystemServices {
    SystemServices();
    ~SystemServices();
    SystemServices(const SystemServices&) = delete;
    SystemServices& operator=(const SystemServices&) = delete;

    std::unique_ptr<PowerSource> power;
    std::unique_ptr<Clock> clock;
    std::unique_ptr<Processor> processor;
    std::unique_ptr<ProcessorTimesSource> processorTimes;
    std::unique_ptr<BatteryIdentitySource> portableBattery; // first phase of battery identity
    std::unique_ptr<BatteryIdentitySource> generalBattery; // second phase
    std::unique_ptr<SystemEvents> systemEvents;
    std::unique_ptr<Inhibitor> inhibitor;
    std::unique_ptr<ScreenBrightness> brightness; // for a test that holds the brightness
    std::unique_ptr<ScreenState> screen;
    std::unique_ptr<HttpClient> http;
    std::unique_ptr<LoadWorkers> load;
    std::unique_ptr<UrlOpener> urlOpener;
    // The machine's setup for the companion file (not for --info).
    std::unique_ptr<PowerProfileSource> powerProfiles;
    std::unique_ptr<MachineFactsSource> machine;
    // The battery history (not for --info); its warnings go to standard error.
    std::unique_ptr<History> history;

    // The battery's identity and capacity, read now from the two sources.
    BatteryInfo batteryInfo() const;
    // The services as the window program takes them.
    GuiServices gui() const;

private:
    // The battery identity in use: the simulated battery's own where the
    // power comes from one, else the sources above.
    BatteryIdentitySource& portableIdentity() const;
    BatteryIdentitySource& generalIdentity() const;
};

// Builds the services options ask for. Null, with *error set, when the power
// backend named cannot be had.
std::unique_ptr<SystemServices> makeSystemServices(const SystemOptions& options, QString* error);

// The options for mode from the command line's --power-source (or
// AMPERO_POWER_SOURCE) and the environment's AMPERO_FAKE_SYSTEM.
SystemOptions systemOptionsFrom(SystemOptions::Mode mode, const QString& powerSource);

} // namespace ampero
