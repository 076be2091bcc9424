// SPDX-License-Identifier: GPL-3.0-or-later
// What a running test costs the battery it measures: the program's own CPU
// time per hour and its wake-ups per second during a no-load test.
//
//   xvfb-run -a -s "-screen 0 1024x768x24 -dpi 96" build/bench/testcost_bench [SECONDS] [PROGRAM] [CASE...]
//
// CASE names the cases to run (window, covered, locked, wayland, terminal, sysfs,
// tick); all of them without one. Only window, covered and locked need an X
// display.
//
// window:   the program (default: ../ampero beside this binary) with the
//           simulated battery (one percent a minute) on the current display;
//           "No load CPU" is checked and a normal test started from the menu
//           with xdotool, as a person would; measured once samples are written.
// covered:  the window test again, with another window (xmessage) over the
//           whole screen once the test runs, as when the user works in
//           another program: the animation holds, the chart gets its points.
// locked:   the window test again, on a private session bus with a mock
//           screen saver (python3-dbusmock) that turns active once the test
//           runs, as when the user locks the screen: nothing is drawn then.
// wayland:  the window test again as a Wayland client of a headless Weston
//           (tests/support/with-weston.sh), its test started through the
//           accessibility interface (tests/atspi_e2e.py --hold), which is
//           switched off again before the measurement. Where Weston or the
//           accessibility bus is missing it says so; the other cases run.
// terminal: ampero --run normal --no-load --power-source sim:60, the same way.
// sysfs:    the terminal test again on a battery read from the kernel's files
//           (a folder laid out as /sys/class/power_supply: a discharging
//           battery and its charger, with attribute and uevent files), as on
//           a laptop without UPower: its reads once a second count too.
// tick:     one tick of a terminal test in this process, on a fake clock: the
//           sample, the companion line and the progress line written (the
//           last to /dev/null); its CPU time, average over many ticks.
// Each is measured for SECONDS (default 60) from /proc/PID/stat, each
// thread's schedstat and status; the wake-ups per thread are listed too.
// Targets: under 2 s of CPU per hour, at most 3 wake-ups per second; with the
// animation playing (window) under 15 s per hour and at most 21 wake-ups per
// second (its 20 frames and the test's tick).
#include "app/terminaltest.h"
#include "platform/clock.h"
#include "platform/simpowersource.h"
#include "procusage.h"
#include "session/companionrecorder.h"
#include "session/testsession.h"
#include "tests/support/sessionfakes.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <utility>
#include <vector>

using ampero::bench::ProcUsage;
using ampero::bench::readProcUsage;

namespace {

QString xdotool(const QStringList& args, int timeoutMs = 10000)
{
    QProcess p;
    p.start(QStringLiteral("xdotool"), args);
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        return {};
    }
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

QString findWindow(const QString& title)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 15000) {
        const QStringList ids = xdotool(
            { QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"), title })
                                    .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        if (!ids.isEmpty())
            return ids.last();
        QThread::msleep(100);
    }
    return {};
}

bool waitForSamples(const QString& path, int count)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 20000) {
        if (QFileInfo(path).size() >= 10 + count)
            return true;
        QThread::msleep(100);
    }
    return false;
}

QMap<QString, long long> switchesPerThread(qint64 pid)
{
    QMap<QString, long long> out;
    const QStringList tasks
        = QDir(QStringLiteral("/proc/%1/task").arg(pid)).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& tid : tasks) {
        QFile comm(QStringLiteral("/proc/%1/task/%2/comm").arg(pid).arg(tid));
        QFile status(QStringLiteral("/proc/%1/task/%2/status").arg(pid).arg(tid));
        if (!comm.open(QIODevice::ReadOnly) || !status.open(QIODevice::ReadOnly))
            continue;
        long long n = 0;
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith("voluntary_ctxt_switches:") || line.startsWith("nonvoluntary_ctxt_switches:"))
                n += line.mid(line.indexOf(':') + 1).trimmed().toLongLong();
        out[QString::fromUtf8(comm.readAll().trimmed()) + QLatin1Char('/') + tid] = n;
    }
    return out;
}

void measure(
    const char* name, qint64 pid, int seconds, const char* cpuTarget = "< 2", const char* wakeTarget = "<= 3")
{
    const ProcUsage before = readProcUsage(pid);
    const auto threadsBefore = switchesPerThread(pid);
    QElapsedTimer span;
    span.start();
    QThread::msleep(static_cast<unsigned long>(seconds) * 1000);
    const ProcUsage after = readProcUsage(pid);
    const auto threadsAfter = switchesPerThread(pid);
    const double s = span.elapsed() / 1000.0;
    const double cpu = after.cpuSeconds - before.cpuSeconds;
    // Thread by thread: a thread that ended in between takes its count with
    // it, which would make a plain difference of the totals too small.
    long long wakes = 0;
    for (auto it = threadsAfter.begin(); it != threadsAfter.end(); ++it)
        wakes += it.value() - threadsBefore.value(it.key());
    std::printf("%s: no-load test for %.1f s: CPU %.3f s = %.2f s per hour (target %s)\n", name, s, cpu,
        cpu * 3600.0 / s, cpuTarget);
    std::printf("%s: wake-ups (context switches) %lld = %.2f per second (target %s)\n", name, wakes,
        static_cast<double>(wakes) / s, wakeTarget);
    for (auto it = threadsAfter.begin(); it != threadsAfter.end(); ++it) {
        const long long d = it.value() - threadsBefore.value(it.key());
        if (d > 0)
            std::printf("    thread %-24s %6lld = %.2f per second\n", qPrintable(it.key()), d,
                static_cast<double>(d) / s);
    }
    for (auto it = threadsBefore.begin(); it != threadsBefore.end(); ++it)
        if (!threadsAfter.contains(it.key()))
            std::printf("    thread %-24s ended meanwhile\n", qPrintable(it.key()));
    std::fflush(stdout);
}

void finish(QProcess& proc)
{
    proc.terminate();
    if (!proc.waitForFinished(10000))
        proc.kill();
}

// A session bus of our own with a mock screen saver on it.
class MockScreenSaver {
public:
    ~MockScreenSaver()
    {
        for (QProcess* p : { &m_mock, &m_daemon })
            if (p->state() != QProcess::NotRunning) {
                p->terminate();
                p->waitForFinished(3000);
            }
    }

    bool start()
    {
        m_daemon.start(QStringLiteral("dbus-daemon"),
            { QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1") });
        if (!m_daemon.waitForStarted(5000) || !m_daemon.waitForReadyRead(5000))
            return false;
        address = QString::fromUtf8(m_daemon.readLine().trimmed());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address);
        m_mock.setProcessEnvironment(env);
        m_mock.start(QStringLiteral("/usr/bin/python3"),
            { QStringLiteral("-m"), QStringLiteral("dbusmock"), Name, Path, Name });
        if (!m_mock.waitForStarted(5000))
            return false;
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 15000) {
            if (mockCall({ QStringLiteral("AddMethod"), Name, QStringLiteral("GetActive"), QString(),
                    QStringLiteral("b"), QStringLiteral("ret = False") }))
                return true;
            QThread::msleep(200);
        }
        return false;
    }

    bool setActive(bool active)
    {
        return mockCall({ QStringLiteral("EmitSignal"), Name, QStringLiteral("ActiveChanged"),
            QStringLiteral("b"), active ? QStringLiteral("[<true>]") : QStringLiteral("[<false>]") });
    }

    QString address;

private:
    bool mockCall(QStringList args)
    {
        QProcess gdbus;
        const QString method = QStringLiteral("org.freedesktop.DBus.Mock.") + args.takeFirst();
        gdbus.start(QStringLiteral("gdbus"),
            QStringList { QStringLiteral("call"), QStringLiteral("--address"), address,
                QStringLiteral("--dest"), Name, QStringLiteral("--object-path"), Path,
                QStringLiteral("--method"), method }
                + args);
        gdbus.setProcessChannelMode(QProcess::MergedChannels);
        return gdbus.waitForFinished(5000) && gdbus.exitStatus() == QProcess::NormalExit
            && gdbus.exitCode() == 0;
    }

    static inline const QString Name = QStringLiteral("org.freedesktop.ScreenSaver");
    static inline const QString Path = QStringLiteral("/org/freedesktop/ScreenSaver");
    QProcess m_daemon;
    QProcess m_mock;
};

enum class Cover { None, Window };

int windowRun(const QString& program, const QString& dir, int seconds, MockScreenSaver* screenSaver = nullptr,
    Cover cover = Cover::None)
{
    const char* name = screenSaver ? "locked" : cover == Cover::Window ? "covered" : "window";
    QProcess proc;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (screenSaver)
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), screenSaver->address);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir + QStringLiteral("/config"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    proc.setProcessEnvironment(env);
    proc.setProcessChannelMode(QProcess::ForwardedChannels);
    proc.start(program, { QStringLiteral("--power-source"), QStringLiteral("sim:60") });
    if (!proc.waitForStarted(5000)) {
        std::fprintf(stderr, "testcost_bench: cannot start %s\n", qPrintable(program));
        return 1;
    }
    const QString main = findWindow(QStringLiteral("^Orvex Ampero 1.1$"));
    if (main.isEmpty()) {
        std::fprintf(stderr, "testcost_bench: the main window never showed\n");
        finish(proc);
        return 1;
    }
    const QString path = dir + QLatin1Char('/') + QString::fromLatin1(name) + QStringLiteral(".apr");
    xdotool({ QStringLiteral("windowfocus"), QStringLiteral("--sync"), main });
    // Test > No load CPU, then Test > Normal mode.
    xdotool({ QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("150"),
        QStringLiteral("alt+t"), QStringLiteral("o"), QStringLiteral("alt+t"), QStringLiteral("n") });
    // The start window opens with Cancel focused: Tab to "Start test" and
    // press it. Builds before its title was reworded call it "Testing
    // beginning", so that the same bench measures them too.
    const QString start = findWindow(QStringLiteral("^(Start a test|Testing beginning)"));
    if (!start.isEmpty()) {
        xdotool({ QStringLiteral("windowfocus"), QStringLiteral("--sync"), start });
        xdotool({ QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("100"),
            QStringLiteral("Tab"), QStringLiteral("space") });
    }
    const QString save = findWindow(QStringLiteral("^Save report"));
    if (!save.isEmpty()) {
        xdotool({ QStringLiteral("windowfocus"), QStringLiteral("--sync"), save });
        xdotool({ QStringLiteral("key"), QStringLiteral("ctrl+a") });
        xdotool({ QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("10"), path });
        xdotool({ QStringLiteral("key"), QStringLiteral("Return") });
    }
    if (!waitForSamples(path, 2)) {
        std::fprintf(stderr, "testcost_bench: the window test never started\n");
        finish(proc);
        return 1;
    }
    if (screenSaver && !screenSaver->setActive(true)) {
        std::fprintf(stderr, "testcost_bench: the mock screen saver did not answer\n");
        finish(proc);
        return 1;
    }
    // A window of another program over the whole screen, on top as the
    // newest one (Xvfb has no window manager to ask).
    QProcess other;
    if (cover == Cover::Window) {
        other.start(QStringLiteral("xmessage"),
            { QStringLiteral("-geometry"), QStringLiteral("4000x4000+0+0"),
                QStringLiteral("another program") });
        if (!other.waitForStarted(5000) || findWindow(QStringLiteral("^xmessage$")).isEmpty()) {
            std::fprintf(stderr, "testcost_bench: no covering window (xmessage, from x11-utils)\n");
            finish(other);
            finish(proc);
            return 1;
        }
    }
    QThread::msleep(2000); // let the first repaints of the test pass
    if (screenSaver || cover != Cover::None)
        measure(name, proc.processId(), seconds);
    else
        measure(name, proc.processId(), seconds, "< 15", "<= 21");
    finish(other);
    finish(proc);
    return 0;
}

// The window test on a headless Weston. The driver prints "pid N" once the
// test runs and stops the program when its standard input closes.
int waylandRun(const QString& program, const QString& dir, int seconds)
{
    const QString tests = QStringLiteral(AMPERO_TESTS_DIR);
    QProcess chain;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir + QStringLiteral("/config"));
    chain.setProcessEnvironment(env);
    chain.setProcessChannelMode(QProcess::SeparateChannels);
    chain.setReadChannel(QProcess::StandardOutput);
    // The save dialog opens in the working directory; a large one (a source
    // tree) is still being listed when the driver types the file name, and
    // the dialog then takes it for a folder ("Open") and saves nothing.
    chain.setWorkingDirectory(dir);
    chain.start(QStringLiteral("sh"),
        { tests + QStringLiteral("/support/with-weston.sh"), QStringLiteral("sh"),
            tests + QStringLiteral("/support/with-a11y.sh"), QStringLiteral("/usr/bin/python3"),
            tests + QStringLiteral("/atspi_e2e.py"), QStringLiteral("--hold"),
            QFileInfo(program).absoluteFilePath(), dir + QStringLiteral("/wayland.apr") });
    qint64 pid = 0;
    QElapsedTimer t;
    t.start();
    while (pid == 0 && t.elapsed() < 60000 && chain.state() != QProcess::NotRunning) {
        if (!chain.canReadLine()) {
            chain.waitForReadyRead(1000);
            continue;
        }
        const QByteArray line = chain.readLine().trimmed();
        if (line.startsWith("pid "))
            pid = line.mid(4).toLongLong();
    }
    if (pid == 0) {
        std::fprintf(stderr, "testcost_bench: no Wayland test (weston, at-spi2-core, python3-pyatspi): %s\n",
            chain.readAllStandardError().right(400).constData());
        finish(chain);
        return 1;
    }
    QThread::msleep(2000); // let the first repaints of the test pass
    measure("wayland", pid, seconds, "< 15", "<= 21");
    chain.closeWriteChannel();
    if (!chain.waitForFinished(20000))
        finish(chain);
    return 0;
}

// A discharging battery at 80 % and its unplugged charger in the kernel's
// files, as a laptop has them: one file per attribute, and all of a supply's
// attributes in its uevent file; their power source.
QString fakePowerSupply(const QString& dir)
{
    using Attributes = std::vector<std::pair<QByteArray, QByteArray>>;
    const std::pair<const char*, Attributes> supplies[]
        = { { "AC", { { "type", "Mains" }, { "online", "0" } } },
              { "BAT0",
                  { { "type", "Battery" }, { "present", "1" }, { "status", "Discharging" },
                      { "energy_now", "40000000" }, { "energy_full", "50000000" },
                      { "energy_full_design", "57000000" }, { "power_now", "8000000" },
                      { "voltage_now", "12000000" }, { "capacity", "80" } } } };
    const auto write = [](const QString& path, const QByteArray& text) {
        QFile f(path);
        if (f.open(QIODevice::WriteOnly))
            f.write(text);
    };
    for (const auto& [name, attributes] : supplies) {
        const QString folder = dir + QStringLiteral("/power_supply/") + QLatin1String(name);
        QDir().mkpath(folder);
        QByteArray uevent = QByteArray("POWER_SUPPLY_NAME=") + name + '\n';
        for (const auto& [key, value] : attributes) {
            write(folder + QLatin1Char('/') + QLatin1String(key), value + '\n');
            uevent += "POWER_SUPPLY_" + key.toUpper() + '=' + value + '\n';
        }
        write(folder + QStringLiteral("/uevent"), uevent);
    }
    return QStringLiteral("sysfs:") + dir + QStringLiteral("/power_supply");
}

int terminalRun(const QString& program, const QString& dir, int seconds, const char* name = "terminal",
    const QString& power = QStringLiteral("sim:60"))
{
    QProcess proc;
    const QString path = dir + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".apr");
    proc.setStandardOutputFile(QProcess::nullDevice());
    proc.start(program,
        { QStringLiteral("--run"), QStringLiteral("normal"), QStringLiteral("--no-load"),
            QStringLiteral("--power-source"), power, QStringLiteral("--output"), path });
    if (!proc.waitForStarted(5000) || !waitForSamples(path, 2)) {
        std::fprintf(stderr, "testcost_bench: the terminal test never started\n");
        finish(proc);
        return 1;
    }
    measure(name, proc.processId(), seconds);
    finish(proc);
    return 0;
}

// The CPU time of one tick of a terminal test, without its wake-up.
int tickRun(const QString& dir)
{
    struct NoLoad final : ampero::LoadWorkers {
        bool start() override { return false; }
        uint64_t stop() override { return 0; }
    };
    auto clock = std::make_shared<ampero::FakeClock>();
    ampero::SimBatterySettings settings;
    settings.secondsPerPercent = 60;
    ampero::SimPowerSource sim(clock, settings, {}, 0);
    ampero::test::FakeMainView view;
    ampero::test::FakeChart chart;
    ampero::test::FakeDialogs dialogs;
    dialogs.path = dir + QStringLiteral("/tick.apr");
    ampero::test::FakeTestingWindow testing;
    NoLoad load;
    ampero::TestSession session(view, chart, dialogs, testing, sim, *clock, load);
    ampero::CompanionRecorder companion(session, sim, nullptr);
    std::FILE* out = std::fopen("/dev/null", "w");
    if (!out)
        return 1;
    ampero::ProgressLine progress;
    int samples = 0;
    QObject::connect(&session, &ampero::TestSession::sampleTaken, &session, [&](double, int level) {
        ++samples;
        const QByteArrayView line = progress.format(view.timer, level, session.state().levelChangeCount);
        std::fwrite(line.data(), 1, static_cast<std::size_t>(line.size()), out);
        std::fflush(out);
    });
    session.startTest(ampero::TestMode::Normal);
    const auto cpu = [] {
        timespec t {};
        ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
    };
    constexpr int Ticks = 5000; // 83 minutes of a test, down to 17 %
    const double start = cpu();
    for (int i = 0; i < Ticks && testing.showing; ++i) {
        clock->advanceMs(1000);
        if (i % 60 == 0)
            sim.checkForChange(); // the simulated battery's own look, once a level
        session.onTick();
    }
    const double perTick = (cpu() - start) / std::max(1, samples);
    session.stopTest();
    std::fclose(out);
    std::printf("tick: %d ticks of a terminal test (sample, companion line, progress line): %.1f us of CPU "
                "each = %.3f s per hour, without the wake-up\n",
        samples, perTick * 1e6, perTick * 3600.0);
    std::fflush(stdout);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int seconds = args.size() > 1 ? args.at(1).toInt() : 60;
    const QString program = args.size() > 2
        ? args.at(2)
        : QCoreApplication::applicationDirPath() + QStringLiteral("/../ampero");
    const QStringList cases = args.mid(3);
    const auto runs
        = [&cases](const char* name) { return cases.isEmpty() || cases.contains(QLatin1String(name)); };
    const bool windows = runs("window") || runs("covered") || runs("locked");
    if (windows && qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::fprintf(stderr, "testcost_bench: no display; run it under xvfb-run -a\n");
        return 2;
    }
    QTemporaryDir dir;
    const int window = runs("window") ? windowRun(program, dir.path(), seconds) : 0;
    const int covered = runs("covered") ? windowRun(program, dir.path(), seconds, nullptr, Cover::Window) : 0;
    int locked = 0;
    MockScreenSaver screenSaver;
    if (runs("locked") && screenSaver.start())
        locked = windowRun(program, dir.path(), seconds, &screenSaver);
    else if (runs("locked"))
        std::fprintf(stderr,
            "testcost_bench: no mock screen saver (dbus-daemon, python3-dbusmock, gdbus): locked run "
            "skipped\n");
    const int wayland = runs("wayland") ? waylandRun(program, dir.path(), seconds) : 0;
    const int terminal = runs("terminal") ? terminalRun(program, dir.path(), seconds) : 0;
    const int sysfs
        = runs("sysfs") ? terminalRun(program, dir.path(), seconds, "sysfs", fakePowerSupply(dir.path())) : 0;
    const int tick = runs("tick") ? tickRun(dir.path()) : 0;
    return window || covered || locked || wayland || terminal || sysfs || tick;
}
