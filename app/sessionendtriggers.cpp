// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/sessionendtriggers.h"

#include "session/sessionend.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QSessionManager>

namespace ampero {

SessionEndTriggers::SessionEndTriggers(SessionEnd& sessionEnd, QGuiApplication* app, QObject* parent)
    : QObject(parent)
    , m_end(sessionEnd)
    , m_signals(true)
{
    if (app) {
        connect(app, &QGuiApplication::commitDataRequest, this, &SessionEndTriggers::onCommitDataRequest);
        // The run-once entry brings the program back when a test needs it;
        // a session manager restoring it as well would start it twice.
        connect(app, &QGuiApplication::saveStateRequest, this,
            [](QSessionManager& manager) { manager.setRestartHint(QSessionManager::RestartNever); });
    }
    connect(&m_signals, &TerminationSignals::received, &m_end, &SessionEnd::onTerminationSignal);
    // The program runs on the application's one event loop, so ending it
    // ends the program; no modal loop is left to break out of.
    connect(&m_end, &SessionEnd::quitRequested, this, [] { QCoreApplication::exit(0); });
}

int SessionEndTriggers::commitData()
{
    return m_end.queryEndSession();
}

void SessionEndTriggers::onCommitDataRequest(QSessionManager& manager)
{
    manager.setRestartHint(QSessionManager::RestartNever);
    if (commitData() == 0 && manager.allowsInteraction())
        manager.cancel();
}

} // namespace ampero
