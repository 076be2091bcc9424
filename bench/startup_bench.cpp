// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up time and idle cost of the program.
//
//   xvfb-run -a build/bench/startup_bench [SECONDS] [PROGRAM]
//
// Starts the program (default: ../ampero beside this binary) on the current
// display, prints the time from launch to its first shown main window, then
// lets it sit idle and prints its CPU time, scaled to one hour, and its
// wake-ups (context switches) per second, read from /proc/PID/stat (or,
// finer, each thread's schedstat) and the status files of every thread under
// /proc/PID/task. It does so twice: from the first second after the window
// shows to the 30th (what start-up leaves behind: threads, timers, first
// paints), and in the steady state from then on, for SECONDS (default 60).
// Targets: shown in under 100 ms; idle from the first second on at most 1.2
// wake-ups per second (the usage bars' timer) and under 0.5 s of CPU per
// hour.
#include "procusage.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <unistd.h>

using ampero::bench::ProcUsage;
using ampero::bench::readProcUsage;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int seconds = args.size() > 1 ? args.at(1).toInt() : 60;
    const QString program = args.size() > 2
        ? args.at(2)
        : QCoreApplication::applicationDirPath() + QStringLiteral("/../ampero");
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        std::fprintf(stderr, "startup_bench: no display; run it under xvfb-run -a\n");
        return 2;
    }

    QProcess proc;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("AMPERO_STARTUP_MARK"), QStringLiteral("1"));
    proc.setProcessEnvironment(env);
    // The mark comes on standard error: waiting for the default channel
    // (standard output) would time out each round and round the figure up
    // to the next 50 ms.
    proc.setReadChannel(QProcess::StandardError);
    QElapsedTimer clock;
    clock.start();
    proc.start(program, {});
    if (!proc.waitForStarted(5000)) {
        std::fprintf(stderr, "startup_bench: cannot start %s\n", qPrintable(program));
        return 1;
    }
    QByteArray err;
    qint64 shownMs = -1;
    while (clock.elapsed() < 10000 && shownMs < 0) {
        proc.waitForReadyRead(50);
        err += proc.readAllStandardError();
        if (err.contains("main window shown"))
            shownMs = clock.elapsed();
    }
    if (shownMs < 0) {
        std::fprintf(stderr, "startup_bench: the window never showed\n%s", err.constData());
        proc.kill();
        return 1;
    }
    std::printf(
        "launch to first shown main window: %lld ms (target < 100)\n", static_cast<long long>(shownMs));
    std::fflush(stdout);

    // Idle from the first second after the window showed to the 30th, then
    // the steady state.
    const auto idleSpan = [&proc, &clock, shownMs](const char* what, qint64 untilMs) {
        const ProcUsage before = readProcUsage(proc.processId());
        const auto threadsBefore = ampero::bench::switchesByThread(proc.processId());
        const auto sleepsBefore = ampero::bench::switchesByThread(proc.processId(), true);
        QElapsedTimer span;
        span.start();
        QThread::msleep(static_cast<unsigned long>(std::max<qint64>(0, shownMs + untilMs - clock.elapsed())));
        const ProcUsage after = readProcUsage(proc.processId());
        const auto threadsAfter = ampero::bench::switchesByThread(proc.processId());
        const long long sleeps = ampero::bench::newWakeups(
            sleepsBefore, ampero::bench::switchesByThread(proc.processId(), true));
        const double s = span.elapsed() / 1000.0;
        const double cpu = after.cpuSeconds - before.cpuSeconds;
        const long long wakes = ampero::bench::newWakeups(threadsBefore, threadsAfter);
        std::printf("idle %s (%.1f s): CPU %.3f s = %.2f s per hour (target < 0.5); wake-ups %lld = %.2f per "
                    "second (target <= 1.2)\n",
            what, s, cpu, cpu * 3600.0 / s, wakes, static_cast<double>(wakes) / s);
        std::printf("    of them voluntary (the rest preempted): %lld = %.2f per second\n", sleeps,
            static_cast<double>(sleeps) / s);
        if (threadsAfter.size() != threadsBefore.size())
            std::printf("    threads: %lld before, %lld after\n",
                static_cast<long long>(threadsBefore.size()), static_cast<long long>(threadsAfter.size()));
        std::fflush(stdout);
    };
    QThread::msleep(static_cast<unsigned long>(std::max<qint64>(0, shownMs + 1000 - clock.elapsed())));
    idleSpan("from 1 s to 30 s after showing", 30000);
    idleSpan("steady, from 30 s after showing", 30000 + static_cast<qint64>(seconds) * 1000);
    proc.terminate();
    if (!proc.waitForFinished(5000))
        proc.kill();
    return 0;
}
