// SPDX-License-Identifier: GPL-3.0-or-later
#include "session/testsession.h"

#include "core/phrases.h"
#include "core/timetext.h"
#include "platform/clock.h"
#include "platform/powersource.h"
#include "session/loadworkers.h"
#include "session/workloadrunner.h"
#include "sysinfo/processorinfo.h"

#include <QCoreApplication>
#include <QPointer>
#include <cfenv>
#include <cmath>
#include <limits>

namespace ampero {

uint64_t estimatedWorkCount(double mhz, double elapsedDays)
{
    if (!(mhz > 0) || !(elapsedDays > 0))
        return 0;
    const long double cycles = static_cast<long double>(mhz) * 1000000.0L
        * static_cast<long double>(elapsedDays) * 24.0L * 3600.0L;
    if (!std::isfinite(cycles))
        return 0;
    // Round to nearest with halves to even, whatever mode the caller left set.
    const int oldMode = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const long double rounded = std::nearbyintl(cycles);
    std::fesetround(oldMode);
    constexpr long double limit = 18446744073709551615.0L;
    if (rounded >= limit)
        return std::numeric_limits<uint64_t>::max();
    return static_cast<uint64_t>(rounded);
}

TestSession::TestSession(MainView& view, ChartView& chart, SessionDialogs& dialogs, TestingWindow& testing,
    PowerSource& power, const Clock& clock, LoadWorkers& load, QObject* parent)
    : QObject(parent)
    , m_view(view)
    , m_chart(chart)
    , m_dialogs(dialogs)
    , m_testing(testing)
    , m_power(power)
    , m_clock(clock)
    , m_load(load)
    , m_watcher(view, testing, power, clock, m_state)
{
    m_testTimer.setInterval(1000);
    m_testTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_testTimer, &QTimer::timeout, this, &TestSession::onTick);
    m_loadTimer.setInterval(10);
    m_loadTimer.setSingleShot(true);
    connect(&m_loadTimer, &QTimer::timeout, this, &TestSession::startLoad);
    connect(&m_power, &PowerSource::unavailable, this, &TestSession::interruptTest);
    connect(this, &TestSession::testStarted, &m_watcher, &PowerWatcher::testStarted);
    connect(&m_watcher, &PowerWatcher::batteriesChanged, this,
        [this](const QStringList& atStart, const QStringList& now) {
            const auto names = [](const QStringList& set) {
                return set.isEmpty() ? phrase("no battery") : set.join(QStringLiteral(", "));
            };
            interruptTest(phrase("The test was interrupted: the set of batteries changed from %1 to %2.")
                              .arg(names(atStart), names(now)));
        });
}

TestSession::~TestSession()
{
    // Leave no worker spinning and no file open behind us.
    if (m_state.loadActive)
        stopLoad();
    restoreBrightness();
}

void TestSession::setMeasureCpuClock(std::function<double()> measure)
{
    m_measureCpuClock = std::move(measure);
}

void TestSession::setBatteryCapacity(std::optional<uint32_t> capacity)
{
    m_capacity = capacity;
}

void TestSession::setShowResultsWindow(ShowResultsWindow show)
{
    m_showResultsWindow = std::move(show);
}

void TestSession::startTest(TestMode mode)
{
    if (mode != TestMode::Fast && mode != TestMode::Normal)
        return;
    const bool noLoad = m_view.noLoadChecked();

    // 1. Confirmation; 2. the results file's name. Cancelling either changes nothing.
    const QString modeText = mode == TestMode::Fast ? QCoreApplication::translate("ampero", "fast")
                                                    : QCoreApplication::translate("ampero", "normal");
    const Workload workload = m_view.workload();
    const QString loadText = noLoad      ? QCoreApplication::translate("ampero", "none")
        : workload == Workload::FullLoad ? QCoreApplication::translate("ampero", "full")
                                         : workloadName(workload);
    // The answers come back later; the guard drops one that arrives after
    // this session has gone.
    QPointer<TestSession> self(this);
    m_dialogs.confirmStart(modeText, loadText, [self, mode, noLoad](bool started) {
        if (self && started)
            self->askPath(mode, noLoad);
    });
}

void TestSession::askPath(TestMode mode, bool noLoad)
{
    QPointer<TestSession> self(this);
    m_dialogs.askResultsPath([self, mode, noLoad](const std::optional<QString>& path) {
        if (self && path && !path->isEmpty())
            self->begin(mode, noLoad, *path);
    });
}

void TestSession::begin(TestMode mode, bool noLoad, const QString& path)
{
    const QByteArray file = m_dialogs.fileSystemPath(path);
    if (file.isEmpty()) {
        m_dialogs.showError(QCoreApplication::translate(
            "ampero", "The file name \"%1\" cannot be written as it is shown. Choose another name.")
                                .arg(path));
        return;
    }
    // The charger may have gone in while the windows were open: the rule is
    // checked again, on a fresh reading, right before anything is created.
    const PowerStatus before = m_power.refresh();
    const Readiness readiness = readinessOf(before);
    if (readiness != Readiness::Ready) {
        m_watcher.recheckPower();
        m_dialogs.showError(
            readinessText(readiness) + QStringLiteral(" (") + notReadyReason(before) + QLatin1Char(')'));
        return;
    }
    if (!applyBrightness())
        return;

    m_state.resultsPath = path;
    m_state.resultsFileName = file;
    m_writeError.clear();
    // A workload other than full load writes the file of a test without
    // load and no work count: a reader that knows no workloads then shows no
    // mark rather than a false full-load one. The companion names it.
    m_workload = std::nullopt;
    if (!noLoad)
        m_workload = m_workloads ? m_view.workload() : Workload::FullLoad;
    m_workloadTally = {};
    const bool scheduled = m_workload && *m_workload != Workload::FullLoad;
    if (!noLoad && !m_state.loadActive)
        m_loadTimer.start();
    markTick();
    m_state.mode = mode;

    const auto forecast = before.fullLifeTime ? before.fullLifeTime : before.timeLeft;
    if (!m_file.create(m_state.resultsFileName.toStdString(), modeByte(m_state.mode),
            noLoad || scheduled ? 1 : 0, forecastField(forecast))) {
        failStart(QString::fromStdString(m_file.errorString()));
        return;
    }

    if (m_state.mode == TestMode::Fast)
        m_state.levelChangeTimes = { 0.0, 0.0, 0.0 };
    m_state.lastLevel = -1;
    m_state.levelChangeCount = 0;
    m_state.elapsed = 0.0;
    m_lastSample = -1;
    m_samplesWritten = 0;
    m_view.setTimerText(elapsedTimeText(m_state.elapsed));

    m_chart.clearSeries();
    m_chart.setInteractive(false);

    m_view.setCpuSpeedText(clockText(m_measureCpuClock ? m_measureCpuClock() : 0.0));
    m_view.setActionText(QCoreApplication::translate("ampero", "testing..."));
    m_testTimer.start();
    Q_EMIT testStarted();

    // The window shows and this returns; the ticks run on the application's
    // own event loop.
    m_testing.openModal();
}

void TestSession::failStart(const QString& message)
{
    // A start that cannot create its file leaves nothing behind: no test, no
    // pending or running load, no testing window.
    m_state.mode = TestMode::None;
    m_loadTimer.stop();
    if (m_state.loadActive)
        stopLoad();
    restoreBrightness();
    m_dialogs.showError(message);
}

bool TestSession::applyBrightness()
{
    m_brightness.reset();
    const std::optional<int> percent = m_dialogs.brightnessPercent();
    if (!percent)
        return true;
    QString why = phrase("this program cannot set it here");
    if (m_brightnessHold && m_brightnessHold->apply(*percent, &why)) {
        m_brightness = m_brightnessHold->applied();
        return true;
    }
    m_dialogs.showError(phrase("The test cannot start: the screen brightness cannot be set (%1).").arg(why));
    return false;
}

void TestSession::restoreBrightness()
{
    if (m_brightnessHold)
        m_brightnessHold->restore();
}

void TestSession::markTick()
{
    m_state.lastTickMs = m_clock.gapNowMs();
    m_state.lastTickSuspendedMs = m_clock.suspendedMs();
    m_state.lastTickSleeps = m_watcher.sleepCount();
}

void TestSession::onTick()
{
    if (m_state.mode == TestMode::None) {
        stopTest();
        return;
    }
    if (m_state.mode == TestMode::Fast && m_state.levelChangeCount > 2) {
        endRegular();
        return;
    }
    if (m_watcher.sleptSinceLastTick()) {
        // A laptop at its critical level suspends: that is the end of a
        // normal test. A suspend above it (a closed lid) is not.
        if (m_lastSample >= 0 && m_lastSample <= SuspendEndLevel)
            endRegular();
        else if (m_lastSample >= 0)
            interruptTest(
                QCoreApplication::translate("ampero", "the machine was suspended at %1%").arg(m_lastSample));
        else
            interruptTest(
                QCoreApplication::translate("ampero", "the machine was suspended before the first sample"));
        return;
    }
    const int64_t stalledMs
        = (m_clock.gapNowMs() - m_state.lastTickMs) - (m_clock.suspendedMs() - m_state.lastTickSuspendedMs);
    if (stalledMs > StallLimitMs) {
        interruptTest(QCoreApplication::translate("ampero", "the program stood still for %1 seconds")
                          .arg(stalledMs / 1000));
        return;
    }
    if (!m_testing.isShowing()) {
        // Cancel, or the power watcher closed the window when AC came.
        interruptTest({});
        return;
    }

    const std::optional<int> reading = m_power.status().level;
    markTick();
    if (!reading && m_samplesWritten == 0) {
        // An unknown level is never written: the sample repeats the last
        // level of this test, and before the first known level the tick
        // takes no sample at all.
        return;
    }
    const int level = reading.value_or(m_lastSample);

    // One sample per second of real time, counted from the first sample to
    // the nearest second, so that the few milliseconds a tick comes late do
    // not matter. Each tick writes its sample; a late tick (a busy machine, a
    // stalled program) first fills the seconds it missed with the last level.
    const int64_t nowMs = m_clock.monotonicNowMs();
    if (m_samplesWritten == 0)
        m_firstSampleMs = nowMs;
    const int64_t due = 1 + (nowMs - m_firstSampleMs + 500) / 1000;
    while (m_samplesWritten + 1 < due)
        if (!writeSample(m_lastSample))
            return;
    const double sampleTime = m_state.elapsed;
    if (!writeSample(level))
        return;
    m_view.setLevelText(QString::number(level) + QLatin1Char('%'));
    m_view.setTimerText(elapsedTimeText(sampleTime));
    Q_EMIT sampleTaken(sampleTime, level);
}

bool TestSession::writeSample(int level)
{
    m_chart.addSample(m_state.elapsed, level);
    if (m_state.lastLevel < 0)
        m_state.lastLevel = level;
    if (!m_file.appendSample(static_cast<uint8_t>(level))) {
        // A lost sample is a lost test: it ends now, as failed, rather than
        // at the gap rule as if it had ended well.
        failTest(QString::fromStdString(m_file.errorString()));
        return false;
    }
    m_lastSample = level;
    ++m_samplesWritten;
    if (level != m_state.lastLevel && m_state.levelChangeCount < 3) {
        m_state.levelChangeTimes[m_state.levelChangeCount] = m_state.elapsed;
        ++m_state.levelChangeCount;
        m_state.lastLevel = level;
    }
    m_state.elapsed = m_state.elapsed + m_state.timeStep;
    return true;
}

void TestSession::endRegular()
{
    if (!stopTest()) {
        failTest(m_writeError);
        return;
    }
    // The locks go before the results window opens, which may stay open
    // for as long as the user likes.
    Q_EMIT testEnded(End::Regular);
    // The results window opens once this tick has returned.
    QMetaObject::invokeMethod(this, &TestSession::showResults, Qt::QueuedConnection);
}

void TestSession::interruptTest(const QString& reason)
{
    if (!m_file.isOpen())
        return; // no test running, or it has ended already
    if (!stopTest()) {
        failTest(m_writeError);
        return;
    }
    m_view.setActionText(QCoreApplication::translate("ampero", "testing interrupted"));
    m_state.mode = TestMode::None;
    Q_EMIT testEnded(End::Interrupted);
    if (reason.isEmpty())
        return;
    m_dialogs.showError(reason);
    // The labels and the test actions as the power now stands.
    m_watcher.afterResultsCheck();
}

uint64_t TestSession::workCount()
{
    if (m_workload && *m_workload != Workload::FullLoad) {
        stopLoad();
        return 0;
    }
    if (m_state.loadActive)
        return stopLoad();
    return estimatedWorkCount(m_measureCpuClock ? m_measureCpuClock() : 0.0, m_state.elapsed);
}

bool TestSession::stopTest()
{
    m_testTimer.stop();
    // A load start still pending would leave workers spinning after the test.
    m_loadTimer.stop();
    if (!m_file.isOpen()) {
        // No test running: nothing is written and no label changes.
        if (m_state.loadActive)
            stopLoad();
        if (m_testing.isShowing())
            m_testing.closeWindow();
        restoreBrightness();
        return m_writeError.isEmpty();
    }
    const uint64_t work = workCount();
    const bool fast = m_state.mode == TestMode::Fast;
    // finish() closes the file even when a write fails.
    // The file stores an unknown capacity as 0.
    const bool ok = m_file.finish(fast ? &m_state.levelChangeTimes : nullptr, m_capacity.value_or(0), work);
    if (ok)
        m_view.setActionText(QCoreApplication::translate("ampero", "testing completed"));
    else
        m_writeError = QString::fromStdString(m_file.errorString());
    if (m_testing.isShowing())
        m_testing.closeWindow();
    restoreBrightness();
    return ok;
}

void TestSession::failTest(const QString& message)
{
    m_testTimer.stop();
    m_loadTimer.stop();
    if (m_state.loadActive)
        stopLoad();
    m_file.abandon();
    restoreBrightness();
    if (m_writeError.isEmpty())
        m_writeError = message;
    m_view.setActionText(QCoreApplication::translate("ampero", "testing interrupted"));
    if (m_testing.isShowing())
        m_testing.closeWindow();
    m_state.mode = TestMode::None;
    Q_EMIT testEnded(End::Failed);
    m_dialogs.showError(m_writeError);
}

void TestSession::showResults()
{
    m_testing.hideWindow();
    QPointer<TestSession> self(this);
    auto closed = [self] {
        if (!self)
            return;
        self->m_watcher.afterResultsCheck();
        self->m_state.mode = TestMode::None;
        Q_EMIT self->resultsClosed();
    };
    if (m_showResultsWindow)
        m_showResultsWindow(m_state.resultsPath, closed);
    else
        closed();
}

void TestSession::toggleNoLoad()
{
    m_view.setNoLoadChecked(!m_view.noLoadChecked());
}

void TestSession::startLoad()
{
    m_loadTimer.stop();
    if (m_state.mode == TestMode::None || m_state.loadActive)
        return;
    if (m_workload && *m_workload != Workload::FullLoad) {
        if (m_workloads && m_workloads->start(*m_workload))
            m_state.loadActive = true;
        return;
    }
    // A failed start leaves no worker running and the test counts as one
    // without load.
    if (m_load.start())
        m_state.loadActive = true;
}

uint64_t TestSession::stopLoad()
{
    if (m_workloads && m_workloads->isRunning()) {
        m_workloadTally = m_workloads->stop();
        m_state.loadActive = false;
        return 0;
    }
    const uint64_t total = m_load.stop();
    m_state.loadActive = false;
    return total;
}

} // namespace ampero
