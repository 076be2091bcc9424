// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The test run in the terminal: the session controller with terminal
// stand-ins for its windows.
#include "app/cli.h"
#include "sysinfo/batteryinfo.h"

#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>

namespace ampero {

class Clock;
class Inhibitor;
class ScreenBrightness;

class LoadWorkers;
class MachineFactsSource;
class PowerSource;
class SystemEvents;

struct TerminalTestServices {
    // Clock estimate in MHz for the no-load work count; 0 when unknown.
    std::function<double()> measureCpuClock;
    // Battery capacity in mWh written into the results file.
    std::optional<uint32_t> batteryCapacity;
    // Prints the results of a finished test; called after a regular end,
    // while standard output is still open. The path is the file's bytes.
    std::function<void(const QByteArray& path, std::FILE* out)> printResults;
    // The CPU load; the real workers when null.
    LoadWorkers* load = nullptr;
    // The session's clock; this machine's when null.
    const Clock* clock = nullptr;
    // Resume notices; without them the clocks are compared.
    SystemEvents* systemEvents = nullptr;
    // Locks that hold off sleep and shutdown while the test runs; none when null.
    Inhibitor* inhibitor = nullptr;
    // The screen brightness --brightness sets; when null a test that asks
    // for one does not start. brightnessStateFile keeps the old value
    // meanwhile (defaultBrightnessStateFile() when empty).
    ScreenBrightness* brightness = nullptr;
    QString brightnessStateFile;
    // The machine's setup for the companion file; left empty when null.
    MachineFactsSource* machine = nullptr;
    // The battery's identity for the companion file.
    BatteryInfo battery;
    // The battery history: a snapshot at the start of the test and at its
    // end, and the run of its results file at the end; none when empty.
    std::function<void()> recordSnapshot;
    std::function<void(const QByteArray& path)> recordRun;
};

// Runs one test on the given power source, printing to out and err. Exit
// status: 0 after a regular end, 1 after an interruption (Ctrl+C, SIGTERM,
// SIGHUP, AC connected), 2 when the test could not start, 4 when the results
// file could not be written (a full disk, an I/O error): the test ended at
// once and its file is incomplete. A closed standard output (a pipe whose
// reader has gone) ends nothing: the test runs on and only stops printing.
int runTerminalTestOn(const CliOptions& options, PowerSource& power, std::FILE* out, std::FILE* err,
    const TerminalTestServices& services = {});

} // namespace ampero
