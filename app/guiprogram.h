// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The window program: the main window, the testing window and everything
// behind them, wired together over the services it is given. runGui() gives
// it the real services; tests give it fakes and drive the real windows.
#include <QString>
#include <QStringList>
#include <memory>

namespace ampero {

class BatteryIdentitySource;
class Clock;
class History;
class HttpClient;
class Inhibitor;
class LoadWorkers;
class MachineFactsSource;
class PowerSource;
class Processor;
class ProcessorTimesSource;
class ScreenBrightness;
class ScreenState;
class SessionEnd;
class SystemEvents;
class TestSession;
class MainWindow;
class TestProgressDialog;
class UrlOpener;

struct GuiServices {
    PowerSource* power = nullptr;
    Clock* clock = nullptr;
    UrlOpener* urlOpener = nullptr;
    Processor* processor = nullptr;
    ProcessorTimesSource* processorTimes = nullptr;
    BatteryIdentitySource* portableBattery = nullptr; // first phase of battery identity
    BatteryIdentitySource* generalBattery = nullptr; // second phase
    SystemEvents* systemEvents = nullptr;
    Inhibitor* inhibitor = nullptr;
    // optional: the screen brightness a test may hold, and where the old
    // value waits meanwhile (defaultBrightnessStateFile() when empty)
    ScreenBrightness* brightness = nullptr;
    QString brightnessStateFile;
    HttpClient* http = nullptr;
    LoadWorkers* load = nullptr;
    ScreenState* screen = nullptr; // optional: whether the screen is blanked
    MachineFactsSource* machine = nullptr; // optional: the setup in the companion file
    History* history = nullptr; // optional: the battery history
};

class GuiProgram {
public:
    // Creates the windows and runs the start-up sequence. Every service must
    // outlive the program. arguments are the command line's positional
    // arguments: the first may name a results file to open once the main
    // window shows.
    GuiProgram(const GuiServices& services, const QStringList& arguments);
    ~GuiProgram();
    GuiProgram(const GuiProgram&) = delete;
    GuiProgram& operator=(const GuiProgram&) = delete;

    MainWindow& mainWindow();
    TestProgressDialog& testingWindow();
    TestSession& session();
    SessionEnd& sessionEnd();

private:
    struct Parts;
    std::unique_ptr<Parts> m;
};

} // namespace ampero
