// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The end of the user's session (shutdown, logout, a termination signal)
// during a test: the results file is completed while there is still time,
// and the program registers itself to show the results at the next login.
#include <QObject>
#include <QString>
#include <functional>

namespace ampero {

class Inhibitor;
class SystemEvents;

// What the session-end rule needs from the test session controller.
struct SessionEndHooks {
    // True while a test runs (also while the results window of a test
    // that has just ended is open).
    std::function<bool()> testRunning;
    // The results file of the running or last started test.
    std::function<QString()> resultsPath;
    // Completes and closes the results file; does nothing visible
    // with no test running, and never fails outward.
    std::function<void()> stopTest;
};

struct SessionEndOptions {
    // The window program writes the run-once entry; the terminal mode only
    // completes its file, as Ctrl+C does.
    bool writeEntry = true;
    // The program file the entry starts; empty means this program's own.
    QString executable;
    // Where the entry goes; empty means the user's autostart directory.
    QString autostartDirectory;
};

// WMQueryEndSession and the locks around a test.
//
// The controller calls testStarted() once a test runs and testEnded() when it
// is over; this holds the delay and idle locks in between. Notices of the
// session's end arrive from logind (PrepareForShutdown through SystemEvents),
// from the desktop session manager and from SIGTERM/SIGHUP (through the app's
// SessionEndTriggers), each calling queryEndSession() on the main thread.
class SessionEnd : public QObject {
    Q_OBJECT
public:
    // inhibitor and events may be null (no locks, no logind notices); both
    // must outlive this object.
    SessionEnd(SessionEndHooks hooks, SessionEndOptions options, Inhibitor* inhibitor, SystemEvents* events,
        QObject* parent = nullptr);

    // The rule, in this order: with a test running, write the run-once entry
    // that starts this program with the results file; then stopTest, whether or
    // not a test runs; then release the locks; answer 1 (the session may
    // end). When the entry cannot be written the file is still completed and
    // the answer is still 1: holding up a shutdown while the battery dies
    // would lose the test instead of keeping it. Nothing is shown.
    int queryEndSession();

    // What the last queryEndSession() did with the entry, for diagnostics and
    // tests: true when one was written, and the reason when writing failed.
    bool lastEntryWritten() const { return m_lastEntryWritten; }
    QString lastEntryError() const { return m_lastEntryError; }

public Q_SLOTS:
    void testStarted();
    void testEnded();
    // SIGTERM or SIGHUP: the session is ending; runs the rule, then asks the
    // program to quit.
    void onTerminationSignal(int signalNumber);

Q_SIGNALS:
    // After a termination signal's rule: the program should quit cleanly.
    void quitRequested();

private Q_SLOTS:
    void onPrepareForShutdown(bool start);
    void onPrepareForSleep(bool start);

private:
    SessionEndHooks m_hooks;
    SessionEndOptions m_options;
    Inhibitor* m_inhibitor;
    // Between testStarted() and testEnded() or the session's end: only then
    // is a lock taken again after a resume.
    bool m_holdingForTest = false;
    bool m_lastEntryWritten = false;
    QString m_lastEntryError;
};

} // namespace ampero
