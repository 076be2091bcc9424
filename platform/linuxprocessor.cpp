// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/linuxprocessor.h"

#include "platform/kernelfile.h"

#include <QList>
#include <cerrno>
#include <pthread.h>
#include <sched.h>
#include <time.h>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <x86intrin.h>
#define AMPERO_HAVE_CPUID 1
#endif

namespace ampero {

namespace {

// A kernel file whole (up to 4 MiB, far beyond a /proc/cpuinfo of hundreds
// of processors); empty when unreadable or not a regular file.
[[maybe_unused]] QByteArray readWhole(const QString& path)
{
    return readKernelFile(path, qsizetype(4) << 20).value_or(QByteArray());
}

void sleepMs(int ms)
{
    timespec req { ms / 1000, static_cast<long>(ms % 1000) * 1000000L };
    // Sleep the whole time even when a signal interrupts the sleep.
    while (clock_nanosleep(CLOCK_MONOTONIC, 0, &req, &req) == EINTR) { }
}

// Raises the calling thread to SCHED_FIFO at the highest priority for its
// lifetime, where the system allows it, and restores the old policy after.
class RealtimeScope {
public:
    RealtimeScope()
    {
        m_saved = pthread_getschedparam(pthread_self(), &m_policy, &m_param) == 0;
        if (!m_saved)
            return;
        sched_param fifo {};
        fifo.sched_priority = sched_get_priority_max(SCHED_FIFO);
        m_raised = pthread_setschedparam(pthread_self(), SCHED_FIFO, &fifo) == 0;
    }
    ~RealtimeScope()
    {
        if (m_raised)
            pthread_setschedparam(pthread_self(), m_policy, &m_param);
    }
    RealtimeScope(const RealtimeScope&) = delete;
    RealtimeScope& operator=(const RealtimeScope&) = delete;

private:
    bool m_saved = false;
    bool m_raised = false;
    int m_policy = SCHED_OTHER;
    sched_param m_param {};
};

} // namespace

QByteArray cpuinfoField(const QByteArray& cpuinfo, const QByteArray& key)
{
    for (const QByteArray& line : cpuinfo.split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon < 0)
            continue;
        if (line.left(colon).trimmed() == key)
            return line.mid(colon + 1).trimmed();
    }
    return {};
}

LinuxProcessor::LinuxProcessor(QString cpuinfoPath)
    : m_cpuinfoPath(std::move(cpuinfoPath))
{
}

std::optional<QByteArray> LinuxProcessor::brandBytes()
{
#ifdef AMPERO_HAVE_CPUID
    unsigned a = 0, b = 0, c = 0, d = 0;
    __cpuid(0x80000000u, a, b, c, d);
    if ((a & 0x80000000u) == 0)
        return std::nullopt;
    QByteArray out;
    out.reserve(48);
    for (unsigned leaf = 0x80000002u; leaf <= 0x80000004u; ++leaf) {
        __cpuid(leaf, a, b, c, d);
        for (unsigned reg : { a, b, c, d })
            for (int i = 0; i < 4; ++i)
                out.append(static_cast<char>((reg >> (8 * i)) & 0xFFu));
    }
    return out;
#else
    QByteArray name = cpuinfoField(readWhole(m_cpuinfoPath), "model name");
    if (name.isEmpty())
        name = cpuinfoField(readWhole(m_cpuinfoPath), "Processor");
    if (name.isEmpty())
        return std::nullopt;
    name = name.left(48);
    name.append(QByteArray(48 - name.size(), '\0'));
    return name;
#endif
}

uint64_t LinuxProcessor::ticksAcross(int sleepMs_)
{
#ifdef AMPERO_HAVE_CPUID
    RealtimeScope realtime;
    const uint64_t t0 = __rdtsc();
    sleepMs(sleepMs_);
    const uint64_t t1 = __rdtsc();
    return t1 - t0;
#else
    // No cycle counter readable from user space: the current frequency of
    // processor 0 times the time slept stands in for it.
    {
        RealtimeScope realtime;
        sleepMs(sleepMs_);
    }
    const auto khz = parseKernelNumber(
        readWhole(QStringLiteral("/sys/devices/system/cpu/cpu0/cpufreq/scaling_cur_freq")));
    if (khz && *khz > 0)
        return static_cast<uint64_t>(*khz) * static_cast<uint64_t>(sleepMs_);
    bool ok = false;
    const double mhz = cpuinfoField(readWhole(m_cpuinfoPath), "cpu MHz").toDouble(&ok);
    if (ok && mhz > 0)
        return static_cast<uint64_t>(mhz * 1000.0 * sleepMs_);
    return 0;
#endif
}

} // namespace ampero
