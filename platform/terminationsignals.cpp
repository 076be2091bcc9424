// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/terminationsignals.h"

#include <QSocketNotifier>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace ampero {

namespace {
int g_pipe[2] = { -1, -1 };
std::atomic<bool> g_installed { false };
// SIGINT last: it is taken only when asked for.
constexpr int kSignals[] = { SIGTERM, SIGHUP, SIGUSR1, SIGUSR2, SIGINT };
constexpr int kSignalCount = sizeof kSignals / sizeof kSignals[0];
struct sigaction g_old[kSignalCount];

extern "C" void onSignal(int signo)
{
    const int saved = errno;
    const unsigned char b = static_cast<unsigned char>(signo);
    // Non-blocking: should the pipe be full, earlier notices are still
    // pending and this one adds nothing.
    [[maybe_unused]] const ssize_t n = ::write(g_pipe[1], &b, 1);
    errno = saved;
}
} // namespace

TerminationSignals::TerminationSignals(QObject* parent)
    : TerminationSignals(false, parent)
{
}

TerminationSignals::TerminationSignals(bool alsoInterrupt, QObject* parent)
    : QObject(parent)
{
    bool expected = false;
    if (!g_installed.compare_exchange_strong(expected, true))
        return;
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        g_installed = false;
        return;
    }
    struct sigaction sa = {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    m_interrupt = alsoInterrupt;
    for (int i = 0; i < signalCount(); ++i)
        ::sigaction(kSignals[i], &sa, &g_old[i]);

    m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationSignals::readPipe);
    m_active = true;
}

TerminationSignals::~TerminationSignals()
{
    if (!m_active)
        return;
    for (int i = 0; i < signalCount(); ++i)
        ::sigaction(kSignals[i], &g_old[i], nullptr);
    delete m_notifier;
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
    g_installed = false;
}

int TerminationSignals::signalCount() const
{
    return m_interrupt ? kSignalCount : kSignalCount - 1;
}

void TerminationSignals::readPipe()
{
    unsigned char buf[16];
    ssize_t n;
    while ((n = ::read(g_pipe[0], buf, sizeof buf)) > 0) {
        for (ssize_t i = 0; i < n; ++i)
            Q_EMIT received(buf[i]);
    }
}

} // namespace ampero
