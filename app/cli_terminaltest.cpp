// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/backends.h"
#include "app/cli.h"
#include "app/report.h"
#include "app/terminaltest.h"
#include "platform/clock.h"
#include "platform/dbus/logindevents.h"
#include "platform/dbus/logindinhibitor.h"
#include "platform/dbus/upowerbatteryidentity.h"
#include "platform/linuxprocessor.h"
#include "platform/phrases.h"
#include "platform/sysfsbatteryidentity.h"
#include "results/timetext.h"
#include "session/powerwatcher.h"
#include "session/sessionend.h"
#include "session/testsession.h"
#include "session/uThread.h"
#include "sysinfo/batteryinfo.h"
#include "sysinfo/processorinfo.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QSocketNotifier>
#include <csignal>
#include <fcntl.h>
#include <optional>
#include <unistd.h>

namespace ampero {

namespace {

void printLine(std::FILE* f, const QString& line)
{
    std::fputs(qPrintable(line), f);
    std::fputc('\n', f);
    std::fflush(f);
}

// The main window's labels, kept for the progress line.
class TerminalView final : public MainView {
public:
    explicit TerminalView(bool noLoad)
        : m_noLoad(noLoad)
    {
    }
    void setTimerText(const QString& text) override { timer = text; }
    void setLevelText(const QString& text) override { level = text; }
    void setActionText(const QString& text) override { action = text; }
    void setModeText(const QString& text) override { mode = text; }
    void setCpuSpeedText(const QString& text) override { cpuSpeed = text; }
    void setTestsEnabled(bool) override { }
    bool noLoadChecked() const override { return m_noLoad; }
    void setNoLoadChecked(bool checked) override { m_noLoad = checked; }

    QString timer, level, action, mode, cpuSpeed;

private:
    bool m_noLoad;
};

class TerminalChart final : public ChartView {
public:
    void clearSeries() override { }
    void addSample(double, double) override { }
    void setSamples(const QList<QPointF>&) override { }
    void setForecastLine(const QList<QPointF>&) override { }
    void setInteractive(bool) override { }
    void setBottomMaximum(double d) override { m_max = d; }
    double bottomMaximum() const override { return m_max; }

private:
    double m_max = 0;
};

// The start is confirmed by the command line itself; the file is --output.
class TerminalDialogs final : public SessionDialogs {
public:
    TerminalDialogs(QString path, std::FILE* err)
        : m_path(std::move(path))
        , m_err(err)
    {
    }
    bool confirmStart(const QString&, const QString&) override { return true; }
    std::optional<QString> askResultsPath() override { return m_path; }
    void showError(const QString& message) override
    {
        printLine(m_err, QStringLiteral("ampero: ") + message);
        ++errors;
    }
    int errors = 0;

private:
    QString m_path;
    std::FILE* m_err;
};

// The testing window's modal wait is an event loop that runs until the
// window "closes": at the end of the test, or on Ctrl+C / SIGTERM as its
// Cancel button would.
class TerminalTestingWindow final : public TestingWindow {
public:
    void execModal() override
    {
        m_showing = true;
        QEventLoop loop;
        m_loop = &loop;
        loop.exec();
        m_loop = nullptr;
    }
    bool isShowing() const override { return m_showing; }
    void closeWindow() override
    {
        m_showing = false;
        if (m_loop)
            m_loop->quit();
    }
    void hideWindow() override { closeWindow(); }

private:
    bool m_showing = false;
    QEventLoop* m_loop = nullptr;
};

// Ctrl+C and SIGTERM reach the event loop through a pipe; the handler
// itself only writes one byte.
int g_signalPipe[2] = { -1, -1 };

extern "C" void onStopSignal(int)
{
    const char byte = 1;
    if (g_signalPipe[1] >= 0) [[maybe_unused]]
        const ssize_t n = ::write(g_signalPipe[1], &byte, 1);
}

class StopSignals {
public:
    StopSignals()
    {
        if (::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
            return;
        struct sigaction sa { };
        sa.sa_handler = onStopSignal;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = SA_RESTART;
        sigaction(SIGINT, &sa, &m_oldInt);
        sigaction(SIGTERM, &sa, &m_oldTerm);
        m_notifier.emplace(g_signalPipe[0], QSocketNotifier::Read);
    }
    ~StopSignals()
    {
        if (g_signalPipe[0] < 0)
            return;
        sigaction(SIGINT, &m_oldInt, nullptr);
        sigaction(SIGTERM, &m_oldTerm, nullptr);
        m_notifier.reset();
        ::close(g_signalPipe[0]);
        ::close(g_signalPipe[1]);
        g_signalPipe[0] = g_signalPipe[1] = -1;
    }
    QSocketNotifier* notifier() { return m_notifier ? &*m_notifier : nullptr; }
    static void drain()
    {
        char buf[16];
        while (::read(g_signalPipe[0], buf, sizeof buf) > 0) { }
    }

private:
    struct sigaction m_oldInt { };
    struct sigaction m_oldTerm { };
    std::optional<QSocketNotifier> m_notifier;
};

QString progressLine(const TerminalView& view, const SessionState& state, int level)
{
    return QStringLiteral("%1  %2 %3%  %4 %5")
        .arg(view.timer, tr("level"))
        .arg(level)
        .arg(tr("level changes"))
        .arg(state.LevelChangeCount);
}

} // namespace

int runTerminalTestOn(const CliOptions& options, PowerSource& power, std::FILE* out, std::FILE* err,
    const TerminalTestServices& services)
{
    int tag = 0;
    if (options.runMode == QLatin1String("fast"))
        tag = FastTestMode;
    else if (options.runMode == QLatin1String("normal"))
        tag = NormalTestMode;
    else {
        printLine(err,
            QStringLiteral("ampero: --run takes \"fast\" or \"normal\", not \"%1\"").arg(options.runMode));
        return 2;
    }
    if (options.output.isEmpty()) {
        printLine(err, QStringLiteral("ampero: --run needs --output FILE, the results file to write"));
        return 2;
    }

    const PowerStatus status = power.status();
    const Readiness readiness = readinessOf(status);
    if (readiness != Readiness::Ready) {
        const QString why = readiness == Readiness::NotReady
            ? QStringLiteral("battery at %1%").arg(status.batteryLifePercent)
            : powerModeText(status.acLineStatus);
        printLine(err, QStringLiteral("ampero: %1 (%2)").arg(readinessText(readiness), why));
        return 2;
    }

    const QString path = QFileInfo(options.output).absoluteFilePath();
    TerminalView view(options.noLoad);
    TerminalChart chart;
    TerminalDialogs dialogs(path, err);
    TerminalTestingWindow testing;
    SystemClock clock;
    CpuLoadWorkers realLoad;
    LoadWorkers& load = services.load ? *services.load : realLoad;

    TestSession session(view, chart, dialogs, testing, power, clock, load);
    session.setMeasureCpuClock(services.measureCpuClock);
    session.setBatteryCapacity(services.batteryCapacity);
    session.powerWatcher().watchResume(services.systemEvents);
    session.setShowResultsWindow([&](const QString& file) {
        if (services.printResults)
            services.printResults(file, out);
    });

    std::optional<TestSession::End> end;
    // The current action as the test left it: a power notice handled after
    // the end must not change the line that reports the end.
    QString endAction;
    QEventLoop endLoop;
    QObject::connect(&session, &TestSession::testEnded, &endLoop, [&](TestSession::End how) {
        end = how;
        endAction = view.action;
        endLoop.quit();
    });
    QObject::connect(&session, &TestSession::sampleTaken, &endLoop,
        [&](double, int level) { printLine(out, progressLine(view, session.state(), level)); });

    // A shutdown during the test completes the file, as Cancel does; the
    // terminal writes no run-once entry.
    SessionEndOptions endOptions;
    endOptions.writeEntry = false;
    SessionEnd sessionEnd(
        { [&] { return session.state().TestMode != 0; }, [&] { return session.state().ResultsPath; },
            [&] {
                session.StopTest();
                if (!end) {
                    end = TestSession::End::Interrupted;
                    endAction = view.action;
                    endLoop.quit();
                }
            } },
        endOptions, services.inhibitor, services.systemEvents);
    QObject::connect(&session, &TestSession::testStarted, &sessionEnd, &SessionEnd::testStarted);
    QObject::connect(
        &session, &TestSession::testEnded, &sessionEnd, [&sessionEnd] { sessionEnd.testEnded(); });

    StopSignals stopSignals;
    if (QSocketNotifier* n = stopSignals.notifier())
        QObject::connect(n, &QSocketNotifier::activated, &endLoop, [&] {
            StopSignals::drain();
            // As the Cancel button: the next tick completes the file.
            if (testing.isShowing())
                testing.closeWindow();
        });

    printLine(out,
        QStringLiteral("%1 (%2, %3): %4")
            .arg(tr("testing..."), tag == FastTestMode ? tr("fast") : tr("normal"),
                options.noLoad ? tr("no load CPU") : tr("full CPU load"), path));

    session.StartFastTestExecute(tag);
    // The testing window closes before the tick that ends an interrupted
    // test; wait for that tick.
    if (!end && session.state().TestMode != 0)
        endLoop.exec();
    if (!end)
        return 2; // the start failed; its error is already printed

    printLine(out, endAction);
    printLine(out, path);
    return *end == TestSession::End::Regular ? 0 : 1;
}

int runTerminalTest(const CliOptions& options)
{
    QString error;
    std::unique_ptr<PowerSource> power = createPowerSource(options.powerSource, &error);
    if (!power) {
        std::fprintf(
            stderr, "ampero: %s\n", qPrintable(error.isEmpty() ? QStringLiteral("no power source") : error));
        return 2;
    }
    LogindEvents logind;
    LogindInhibitor inhibitor(QDBusConnection::systemBus(), QDBusConnection::sessionBus());
    LinuxProcessor processor;
    UPowerBatteryIdentity upower;
    SysfsBatteryIdentity sysfs;
    GetBatteryInfo(BatteryInfo, upower, sysfs);

    TerminalTestServices services;
    services.systemEvents = &logind;
    services.inhibitor = &inhibitor;
    services.measureCpuClock = [&processor] { return MeasureCpuClock(processor); };
    services.batteryCapacity = BatteryInfo.Capacity;
    services.printResults = [](const QString& file, std::FILE* out) { printReport(file, false, out); };
    return runTerminalTestOn(options, *power, stdout, stderr, services);
}

} // namespace ampero
