// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// CPU time and wake-ups of a running process, from /proc.
#include <QByteArray>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QList>
#include <QMap>
#include <QStringList>
#include <ctime>
#include <unistd.h>

namespace ampero::bench {

// Milliseconds on a wall-clock timer.
inline double ms(const QElapsedTimer& t)
{
    return static_cast<double>(t.nsecsElapsed()) / 1e6;
}

// CPU time of this thread in ms: on a shared machine it leaves out the
// time the thread waited for a core.
inline double threadCpuMs()
{
    timespec ts {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

struct ProcUsage {
    double cpuSeconds = 0; // user + system, every thread
    long long switches = 0; // voluntary + involuntary context switches, every thread
    long long voluntary = 0;
};

// Reads /proc/PID/stat (utime, stime) and, finer, each thread's schedstat,
// and the context switches from each thread's status file: every thread of
// the program wakes on its own, so they are all added up.
inline ProcUsage readProcUsage(qint64 pid)
{
    ProcUsage u;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (stat.open(QIODevice::ReadOnly)) {
        const QByteArray line = stat.readAll();
        const QList<QByteArray> f = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (f.size() > 12)
            u.cpuSeconds
                = (f.at(11).toDouble() + f.at(12).toDouble()) / static_cast<double>(sysconf(_SC_CLK_TCK));
    }
    const QStringList tasks
        = QDir(QStringLiteral("/proc/%1/task").arg(pid)).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    double scheduledSeconds = 0;
    for (const QString& tid : tasks) {
        QFile sched(QStringLiteral("/proc/%1/task/%2/schedstat").arg(pid).arg(tid));
        if (sched.open(QIODevice::ReadOnly))
            scheduledSeconds += sched.readAll().split(' ').value(0).toDouble() / 1e9;
        QFile status(QStringLiteral("/proc/%1/task/%2/status").arg(pid).arg(tid));
        if (!status.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray& line : status.readAll().split('\n')) {
            const bool vol = line.startsWith("voluntary_ctxt_switches:");
            if (vol || line.startsWith("nonvoluntary_ctxt_switches:")) {
                const long long n = line.mid(line.indexOf(':') + 1).trimmed().toLongLong();
                u.switches += n;
                if (vol)
                    u.voluntary += n;
            }
        }
    }
    if (scheduledSeconds > 0)
        u.cpuSeconds = scheduledSeconds;
    return u;
}

// Context switches of each thread, by thread id: a thread that ends in
// between takes its count with it, so wake-ups over a span are added up
// thread by thread (newWakeups) rather than from two totals. Voluntary
// only: the times a thread went to sleep, leaving out those it was
// preempted (which a busy machine adds).
inline QMap<QString, long long> switchesByThread(qint64 pid, bool voluntaryOnly = false)
{
    QMap<QString, long long> out;
    const QStringList tasks
        = QDir(QStringLiteral("/proc/%1/task").arg(pid)).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& tid : tasks) {
        QFile status(QStringLiteral("/proc/%1/task/%2/status").arg(pid).arg(tid));
        if (!status.open(QIODevice::ReadOnly))
            continue;
        long long n = 0;
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith("voluntary_ctxt_switches:")
                || (!voluntaryOnly && line.startsWith("nonvoluntary_ctxt_switches:")))
                n += line.mid(line.indexOf(':') + 1).trimmed().toLongLong();
        out[tid] = n;
    }
    return out;
}

inline long long newWakeups(const QMap<QString, long long>& before, const QMap<QString, long long>& after)
{
    long long n = 0;
    for (auto it = after.begin(); it != after.end(); ++it)
        n += it.value() - before.value(it.key());
    return n;
}

} // namespace ampero::bench
