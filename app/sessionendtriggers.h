// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "platform/terminationsignals.h"

#include <QObject>

class QGuiApplication;
class QSessionManager;

namespace ampero {

class SessionEnd;

// Feeds the session-end rule from the sources a desktop program has besides
// logind: the desktop session manager's commit-data request (X11 sessions;
// Qt has no session manager on Wayland) and SIGTERM/SIGHUP, which a logout
// sends to the session's processes, or SIGINT (Ctrl+C in the terminal that
// started the window program). After a signal the rule runs and the
// application quits cleanly. Pass a null app in the terminal mode: only the
// signals are handled there.
class SessionEndTriggers : public QObject {
    Q_OBJECT
public:
    SessionEndTriggers(SessionEnd& sessionEnd, QGuiApplication* app, QObject* parent = nullptr);

    // The commit-data handler: runs the rule; its answer 1 lets the logout
    // go on, 0 cancels it where the session manager allows.
    void onCommitDataRequest(QSessionManager& manager);
    // The rule's answer, as the session manager would get it.
    int commitData();

    bool signalsActive() const { return m_signals.isActive(); }

private:
    SessionEnd& m_end;
    TerminationSignals m_signals;
};

} // namespace ampero
