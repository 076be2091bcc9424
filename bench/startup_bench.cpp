// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up time and idle cost of the program.
//
//   xvfb-run -a build/bench/startup_bench [SECONDS] [PROGRAM]
//
// Starts the program (default: ../ampero beside this binary) on the current
// display, prints the time from launch to its first shown main window, then
// lets it sit idle for SECONDS (default 60) and prints its CPU time, scaled
// to one hour, and its wake-ups (context switches) per second, read from
// /proc/PID/stat (or, finer, each thread's schedstat) and the status files
// of every thread under /proc/PID/task.
// Targets: shown in under 400 ms, under 2 s of CPU per hour, at most 3
// wake-ups per second.
#include "procusage.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>
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
        "launch to first shown main window: %lld ms (target < 400)\n", static_cast<long long>(shownMs));
    std::fflush(stdout);

    // Let start-up settle, then measure the idle program.
    QThread::msleep(1000);
    const ProcUsage before = readProcUsage(proc.processId());
    QElapsedTimer idle;
    idle.start();
    QThread::msleep(static_cast<unsigned long>(seconds) * 1000);
    const ProcUsage after = readProcUsage(proc.processId());
    const double span = idle.elapsed() / 1000.0;
    const double cpu = after.cpuSeconds - before.cpuSeconds;
    std::printf(
        "idle for %.1f s: CPU %.3f s = %.2f s per hour (target < 2)\n", span, cpu, cpu * 3600.0 / span);
    std::printf("wake-ups (context switches): %lld = %.2f per second (target <= 3)\n",
        after.switches - before.switches, static_cast<double>(after.switches - before.switches) / span);
    proc.terminate();
    if (!proc.waitForFinished(5000))
        proc.kill();
    return 0;
}
