// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QList>
#include <QObject>

class QSocketNotifier;

namespace ampero {

// Turns SIGTERM and SIGHUP (what a logout or a shutdown sends to the
// session's processes) into a Qt signal on the main thread, and SIGUSR1 and
// SIGUSR2 too: their default action ends the program, so whoever sends one
// expects an end, and gets one that completes the file. The C signal handler
// only writes the signal's number into a pipe; a socket notifier on the main
// thread reads it and emits received(). One instance at a time; the previous
// handlers come back when it is destroyed.
//
// SIGQUIT is left alone on purpose: it asks for a core dump, which is what a
// person wants from a program that seems stuck, and a handler would take
// that away. The file written so far still reads (as incomplete).
class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(QObject* parent = nullptr);
    // With alsoInterrupt, SIGINT (Ctrl+C) arrives the same way: both the
    // terminal mode and the window program treat it as SIGTERM.
    TerminationSignals(bool alsoInterrupt, QObject* parent = nullptr);
    ~TerminationSignals() override;
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    // False when the pipe or the handlers could not be set up (or another
    // instance already has them); nothing is emitted then.
    bool isActive() const { return m_active; }

Q_SIGNALS:
    // SIGTERM, SIGHUP, SIGUSR1 or SIGUSR2 (or SIGINT, when asked for)
    // arrived; emitted on the thread that created this.
    void received(int signalNumber);

private:
    void readPipe();
    int signalCount() const;

    bool m_active = false;
    bool m_interrupt = false;
    QSocketNotifier* m_notifier = nullptr;
};

} // namespace ampero
