// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/backends.h"
#include "app/batteryhistory.h"
#include "app/cli.h"
#include "app/report.h"
#include "app/systemservices.h"
#include "app/terminaltest.h"
#include "core/phrases.h"
#include "core/timetext.h"
#include "platform/clock.h"
#include "platform/machinefacts.h"
#include "platform/processor.h"
#include "platform/terminationsignals.h"
#include "session/brightnesshold.h"
#include "session/companionrecorder.h"
#include "session/loadworker.h"
#include "session/powerwatcher.h"
#include "session/sessionend.h"
#include "session/testsession.h"
#include "session/workloadrunner.h"
#include "sysinfo/processorinfo.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <csignal>
#include <memory>
#include <optional>

namespace ampero {

namespace {

void printLine(std::FILE* f, const QString& line)
{
    std::fputs(qPrintable(line), f);
    std::fputc('\n', f);
    std::fflush(f);
}

// Standard output of a test. Once it is closed (a pipe whose reader ended,
// as `| head` does, or a terminal that went away) nothing more is printed,
// and the test itself goes on to its end.
class TestOutput {
public:
    explicit TestOutput(std::FILE* f)
        : m_f(f)
    {
    }
    void line(const QByteArray& bytes)
    {
        if (m_broken)
            return;
        std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), m_f);
        std::fputc('\n', m_f);
        if (std::fflush(m_f) != 0 || std::ferror(m_f))
            m_broken = true;
    }
    void line(const QString& text) { line(text.toLocal8Bit()); }
    bool broken() const { return m_broken; }
    std::FILE* file() const { return m_broken ? nullptr : m_f; }

private:
    std::FILE* m_f;
    bool m_broken = false;
};

// SIGPIPE would end the process at the first line printed into a closed
// pipe, with the results file left without its end. While a test runs it is
// ignored, and a failed write is only a failed write.
class ignoreSigpipe {
public:
    ignoreSigpipe()
    {
        struct sigaction sa { };
        sa.sa_handler = SIG_IGN;
        sigemptyset(&sa.sa_mask);
        ::sigaction(SIGPIPE, &sa, &m_old);
    }
    ~ignoreSigpipe() { ::sigaction(SIGPIPE, &m_old, nullptr); }
    ignoreSigpipe(const ignoreSigpipe&) = delete;
    ignoreSigpipe& operator=(const ignoreSigpipe&) = delete;

private:
    struct sigaction m_old { };
};

// The main window's labels, kept for the progress line.
class TerminalView final : public MainView {
public:
    TerminalView(bool noLoad, Workload workload)
        : m_noLoad(noLoad)
        , m_workload(workload)
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
    Workload workload() const override { return m_workload; }

    QString timer, level, action, mode, cpuSpeed;

private:
    bool m_noLoad;
    Workload m_workload;
};

class TerminalChart final : public ChartView {
public:
    void clearSeries() override { }
    void addSample(double, double) override { }
    void setSamples(const QList<QPointF>&) override { }
    void setForecastLine(const QList<QPointF>&) override { }
    void setInteractive(bool) override { }
    AxisLimitResult setBottomMaximum(double d) override
    {
        m_max = d;
        return {};
    }
    double bottomMaximum() const override { return m_max; }

private:
    double m_max = 0;
};

// The start is confirmed by the command line itself; the file is --output.
// The path is kept as the bytes the command line gave: a file name need not
// be valid text, and it is never rebuilt from its display form.
class TerminalDialogs final : public SessionDialogs {
public:
    TerminalDialogs(QByteArray path, std::optional<int> brightness, std::FILE* err)
        : m_path(std::move(path))
        , m_brightness(brightness)
        , m_err(err)
    {
    }
    void confirmStart(const QString&, const QString&, std::function<void(bool)> answered) override
    {
        answered(true);
    }
    void askResultsPath(std::function<void(std::optional<QString>)> answered) override
    {
        answered(QFile::decodeName(m_path));
    }
    QByteArray fileSystemPath(const QString&) const override { return m_path; }
    void showError(const QString& message) override
    {
        printLine(m_err, QStringLiteral("ampero: ") + message);
        ++errors;
    }
    std::optional<int> brightnessPercent() const override { return m_brightness; }
    int errors = 0;

private:
    QByteArray m_path;
    std::optional<int> m_brightness;
    std::FILE* m_err;
};

// The testing window "shows" from the start of the test until its end, or
// until Ctrl+C / SIGTERM closes it as its Cancel button would.
class TerminalTestingWindow final : public TestingWindow {
public:
    void openModal() override { m_showing = true; }
    bool isShowing() const override { return m_showing; }
    void closeWindow() override { m_showing = false; }
    void hideWindow() override { closeWindow(); }

private:
    bool m_showing = false;
};

QString progressLine(const TerminalView& view, const SessionState& state, int level)
{
    return phrase("%1  level %2%  level changes %3").arg(view.timer).arg(level).arg(state.levelChangeCount);
}

// The test mode the options ask for; None, with the reason on err, when they
// name none or no results file.
TestMode testMode(const CliOptions& options, std::FILE* err)
{
    if (options.output.isEmpty() && (options.runMode == u"fast" || options.runMode == u"normal")) {
        printLine(err, QStringLiteral("ampero: --run needs --output FILE, the results file to write"));
        return TestMode::None;
    }
    if (options.runMode == QLatin1String("fast"))
        return TestMode::Fast;
    if (options.runMode == QLatin1String("normal"))
        return TestMode::Normal;
    printLine(
        err, QStringLiteral("ampero: --run takes \"fast\" or \"normal\", not \"%1\"").arg(options.runMode));
    return TestMode::None;
}

// The exit status of a test that ran: 0 regular end, 1 interrupted, 4 failed.
int exitStatus(TestSession::End end)
{
    switch (end) {
    case TestSession::End::Regular:
        return 0;
    case TestSession::End::Interrupted:
        return 1;
    case TestSession::End::Failed:
        return 4;
    }
    return 1;
}

// The history after the file is complete: the battery's snapshot and the
// run. Whatever befalls the history, the file stays as it is.
void recordTestEnd(const TerminalTestServices& services, const QByteArray& file)
{
    if (services.recordSnapshot)
        services.recordSnapshot();
    if (services.recordRun)
        services.recordRun(file);
}

// The workload --workload names, full load without it; none for a bad
// choice, said on err.
std::optional<Workload> chosenWorkload(const CliOptions& options, std::FILE* err)
{
    const std::optional<Workload> workload
        = options.workload.isEmpty() ? Workload::FullLoad : workloadFromKey(options.workload);
    if (!workload) {
        printLine(err,
            QStringLiteral("ampero: --workload takes full, reading, office, web or video, not \"%1\"")
                .arg(options.workload));
        return std::nullopt;
    }
    if (options.noLoad && !options.workload.isEmpty()) {
        printLine(err, QStringLiteral("ampero: --workload and --no-load exclude each other"));
        return std::nullopt;
    }
    return workload;
}

// The brightness --brightness asks for: none without it, 0 (with the
// reason on err) for a value that is not a whole percentage above 0 and up
// to 100.
std::optional<int> chosenBrightness(const CliOptions& options, std::FILE* err)
{
    if (options.brightness.isEmpty())
        return std::nullopt;
    QString text = options.brightness.trimmed();
    if (text.endsWith(QLatin1Char('%')))
        text.chop(1);
    bool ok = false;
    const int percent = text.toInt(&ok);
    if (ok && percent > 0 && percent <= 100)
        return percent;
    printLine(err,
        QStringLiteral("ampero: --brightness takes a whole percentage above 0 and up to 100, not \"%1\"")
            .arg(options.brightness));
    return 0;
}

// Whether a test may start on this power; when not, the reason on err.
bool readyToStart(const PowerStatus& status, std::FILE* err)
{
    const Readiness readiness = readinessOf(status);
    if (readiness == Readiness::Ready)
        return true;
    printLine(err, QStringLiteral("ampero: %1 (%2)").arg(readinessText(readiness), notReadyReason(status)));
    return false;
}

// Absolute, as bytes: the folder of today and the name as given.
QByteArray absoluteOutput(const QByteArray& output)
{
    return output.startsWith('/') ? output : QFile::encodeName(QDir::currentPath()) + '/' + output;
}

// Once a test, on standard error: the test goes on without its companion.
void sayCompanionFailures(CompanionRecorder& companion, std::FILE* err)
{
    QObject::connect(&companion, &CompanionRecorder::writeFailed, &companion, [err](const QString& why) {
        printLine(
            err, QStringLiteral("ampero: ") + phrase("the companion file could not be written: %1").arg(why));
    });
}

// The line that announces the test, up to the file's name.
QByteArray announcement(TestMode mode, const QString& load)
{
    return phrase("testing... (%1, %2): ")
        .arg(mode == TestMode::Fast ? phrase("fast") : phrase("normal"), load)
        .toLocal8Bit();
}

// The load as the line that announces the test names it.
QString announcedLoad(bool noLoad, Workload workload)
{
    if (noLoad)
        return phrase("no load CPU");
    if (workload == Workload::FullLoad)
        return phrase("full CPU load");
    return phrase("%1 workload v%2, processor part only").arg(workloadName(workload)).arg(WorkloadSetVersion);
}

// The screen brightness of the test, with what an earlier run could not
// put back put back now; none where there is no way to set it.
std::unique_ptr<BrightnessHold> holdBrightness(const TerminalTestServices& services, std::FILE* err)
{
    if (!services.brightness)
        return nullptr;
    auto hold = std::make_unique<BrightnessHold>(*services.brightness,
        services.brightnessStateFile.isEmpty() ? defaultBrightnessStateFile() : services.brightnessStateFile);
    if (QString why; !hold->restoreLeftOver(&why))
        printLine(err,
            QStringLiteral("ampero: warning: ")
                + phrase("the screen brightness an earlier test left could not be put back: %1").arg(why));
    return hold;
}

} // namespace

int runTerminalTestOn(const CliOptions& options, PowerSource& power, std::FILE* out, std::FILE* err,
    const TerminalTestServices& services)
{
    // Every option that is wrong is said, not only the first.
    const TestMode tag = testMode(options, err);
    const std::optional<Workload> workload = chosenWorkload(options, err);
    const std::optional<int> brightness = chosenBrightness(options, err);
    if (tag == TestMode::None || !workload || brightness == 0)
        return 2;
    // Before the session, which puts the brightness back as it ends.
    const std::unique_ptr<BrightnessHold> brightnessHold = holdBrightness(services, err);

    if (!readyToStart(power.status(), err))
        return 2;

    const QByteArray file = absoluteOutput(options.output);
    ignoreSigpipe ignoreSigpipe;
    TestOutput output(out);
    TerminalView view(options.noLoad, *workload);
    TerminalChart chart;
    TerminalDialogs dialogs(file, brightness, err);
    TerminalTestingWindow testing;
    SystemClock systemClock;
    const Clock& clock = services.clock ? *services.clock : systemClock;
    CpuLoadWorkers realLoad;
    LoadWorkers& load = services.load ? *services.load : realLoad;

    // The terminal has no window: a workload runs its processor part only.
    // Made before the session, which stops it when it ends.
    WorkloadRunner workloads;
    TestSession session(view, chart, dialogs, testing, power, clock, load);
    session.setMeasureCpuClock(services.measureCpuClock);
    session.setBatteryCapacity(services.batteryCapacity);
    session.setWorkloadRunner(&workloads);
    session.setBrightnessHold(brightnessHold.get());
    session.powerWatcher().watchResume(services.systemEvents);
    drainDuringTests(power, session);
    CompanionRecorder companion(session, power, services.machine);
    companion.setBatteryInfo(services.battery);
    companion.setWorkloadProcessorOnly(true);
    session.setShowResultsWindow([&](const QString&, const std::function<void()>& closed) {
        if (services.printResults && output.file())
            services.printResults(file, output.file());
        closed();
    });

    std::optional<TestSession::End> end;
    // The current action as the test left it: a power notice handled after
    // the end must not change the line that reports the end.
    QString endAction;
    // The test runs on the application's event loop, which this run ends
    // once the test is over: after the results of a regular end, at once
    // after any other.
    bool over = false;
    const auto finish = [&] {
        over = true;
        QCoreApplication::exit(0);
    };
    QObject::connect(&session, &TestSession::testEnded, &session, [&](TestSession::End how) {
        end = how;
        endAction = view.action;
        if (how != TestSession::End::Regular)
            finish();
    });
    QObject::connect(&session, &TestSession::resultsClosed, &session, finish);
    QObject::connect(&session, &TestSession::sampleTaken, &session,
        [&](double, int level) { output.line(progressLine(view, session.state(), level)); });

    // A shutdown during the test completes the file, as Cancel does; the
    // terminal writes no run-once entry.
    SessionEndOptions endOptions;
    endOptions.writeEntry = false;
    SessionEnd sessionEnd(
        { [&] { return session.state().mode != TestMode::None; }, [&] { return session.state().resultsPath; },
            [&] {
                const bool wasRunning = session.state().mode != TestMode::None && !end;
                const bool completed = session.stopTest();
                if (wasRunning && !completed)
                    dialogs.showError(session.writeError());
                if (!end) {
                    end = completed ? TestSession::End::Interrupted : TestSession::End::Failed;
                    endAction = view.action;
                    finish();
                }
            } },
        endOptions, services.inhibitor, services.systemEvents);
    QObject::connect(&session, &TestSession::testStarted, &sessionEnd, &SessionEnd::testStarted);
    QObject::connect(
        &session, &TestSession::testEnded, &sessionEnd, [&sessionEnd] { sessionEnd.testEnded(); });

    // Ctrl+C, SIGTERM and SIGHUP (the terminal closed, an SSH link dropped)
    // all act as the Cancel button: the next tick completes the file.
    TerminationSignals stopSignals(true);
    QObject::connect(&stopSignals, &TerminationSignals::received, &session, [&] {
        if (testing.isShowing())
            testing.closeWindow();
    });

    sayCompanionFailures(companion, err);

    // The start returns at once: the terminal's windows answer as they open.
    // A file it refuses (not a regular file, not creatable) ends here, before
    // anything was announced.
    session.startTest(tag);
    if (session.state().mode == TestMode::None)
        return 2; // the start failed; its error is already printed
    output.line(announcement(tag, announcedLoad(options.noLoad, *workload)) + file);
    if (services.recordSnapshot)
        services.recordSnapshot();
    if (!over)
        QCoreApplication::exec();
    recordTestEnd(services, file);
    if (!end)
        return 2;

    output.line(endAction);
    output.line(file);
    return exitStatus(*end);
}

int runTerminalTest(const CliOptions& options)
{
    QString error;
    SystemOptions systemOptions = systemOptionsFrom(SystemOptions::Mode::TerminalTest, options.powerSource);
    systemOptions.databaseUrl = options.database;
    const std::unique_ptr<SystemServices> system = makeSystemServices(systemOptions, &error);
    if (!system) {
        std::fprintf(
            stderr, "ampero: %s\n", qPrintable(error.isEmpty() ? QStringLiteral("no power source") : error));
        return 2;
    }
    Processor& processor = *system->processor;
    TerminalTestServices services;
    services.systemEvents = system->systemEvents.get();
    services.clock = system->clock.get();
    services.inhibitor = system->inhibitor.get();
    services.brightness = system->brightness.get();
    services.load = system->load.get();
    services.measureCpuClock = [&processor] { return measureCpuClock(processor); };
    const BatteryInfo battery = system->batteryInfo();
    services.batteryCapacity = battery.capacityMwh;
    services.battery = battery;
    services.machine = system->machine.get();
    services.printResults = [](const QByteArray& file, std::FILE* out) { printReport(file, false, out); };
    if (History* history = system->history.get()) {
        services.recordSnapshot = [history, &system, battery] {
            recordBattery(*history, battery, system->power->status(), system->machine->read());
        };
        services.recordRun = [history](const QByteArray& file) { history->recordRun(file); };
    }
    return runTerminalTestOn(options, *system->power, stdout, stderr, services);
}

} // namespace ampero
