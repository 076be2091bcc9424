// SPDX-License-Identifier: GPL-3.0-or-later
#include "session/sessionend.h"

#include "platform/inhibitor.h"
#include "platform/systemevents.h"
#include "session/runentry.h"

namespace ampero {

SessionEnd::SessionEnd(SessionEndHooks hooks, SessionEndOptions options, Inhibitor* inhibitor,
    SystemEvents* events, QObject* parent)
    : QObject(parent)
    , m_hooks(std::move(hooks))
    , m_options(std::move(options))
    , m_inhibitor(inhibitor)
{
    if (events) {
        connect(events, &SystemEvents::prepareForShutdown, this, &SessionEnd::onPrepareForShutdown);
        connect(events, &SystemEvents::prepareForSleep, this, &SessionEnd::onPrepareForSleep);
    }
}

int SessionEnd::queryEndSession()
{
    m_lastEntryWritten = false;
    m_lastEntryError.clear();
    const bool running = m_hooks.testRunning && m_hooks.testRunning();

    if (running && m_options.writeEntry) {
        const QString exe = m_options.executable.isEmpty() ? ownExecutablePath() : m_options.executable;
        const QString path = m_hooks.resultsPath ? m_hooks.resultsPath() : QString();
        if (exe.isEmpty() || path.isEmpty()) {
            m_lastEntryError = QStringLiteral("no program file or results file to name");
        } else {
            m_lastEntryWritten = writeRunEntry(QString::fromLatin1(RunEntryName), runCommand(exe, path), true,
                &m_lastEntryError, m_options.autostartDirectory);
        }
    }

    if (m_hooks.stopTest)
        m_hooks.stopTest();

    // The file is complete: nothing is left to wait for, so the system may
    // go on at once.
    // The file is complete: nothing is left to hold the machine for.
    testEnded();
    return 1;
}

void SessionEnd::testStarted()
{
    m_holdingForTest = true;
    if (!m_inhibitor)
        return;
    m_inhibitor->takeDelayLock();
    m_inhibitor->takeIdleLock();
}

void SessionEnd::testEnded()
{
    m_holdingForTest = false;
    if (!m_inhibitor)
        return;
    m_inhibitor->releaseDelayLock();
    m_inhibitor->releaseIdleLock();
}

void SessionEnd::onTerminationSignal(int /*signalNumber*/)
{
    queryEndSession();
    Q_EMIT quitRequested();
}

void SessionEnd::onPrepareForShutdown(bool start)
{
    // PrepareForShutdown(false) means a shutdown was cancelled; the file is
    // already complete by then and the test cannot be taken up again.
    if (start)
        queryEndSession();
}

void SessionEnd::onPrepareForSleep(bool start)
{
    if (!m_inhibitor)
        return;
    if (start) {
        // Let the suspend go on; the gap rule ends the test after the resume.
        m_inhibitor->releaseDelayLock();
    } else if (m_holdingForTest && m_hooks.testRunning && m_hooks.testRunning()) {
        m_inhibitor->takeDelayLock();
    }
}

} // namespace ampero
