// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The one way the widget tests drive modal windows.
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <map>

class QWidget;

namespace ampero::test {

// Answers modal windows as the program opens them. Every window shown
// modally while the driver lives is noted by object name, in order; one
// named in on() is answered from a queued call once it is the active modal
// window, so the code that opened it has returned to the event loop first.
// The program opens its windows and returns, so a test starts an action,
// then waits for its outcome with QTest::qWaitFor.
//
// A watchdog ends a driver that is still waiting: when it fires while a
// modal window is open, the test fails naming the windows, they are closed
// and a running event loop is left, so a broken program fails instead of
// hanging until ctest's limit.
class ModalDriver : public QObject {
public:
    explicit ModalDriver(int watchdogMs = 20000);
    ~ModalDriver() override;

    // answer runs for each window named name that opens from now on.
    void on(const QString& name, std::function<void(QWidget*)> answer);
    const QStringList& seen() const { return m_seen; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void answer(const QPointer<QWidget>& window);
    void watchdog();

    QStringList m_seen;
    std::map<QString, std::function<void(QWidget*)>> m_answers;
    QTimer m_watchdog;
    QString m_awaited; // whenModal's one window: a failure when it never came
    friend void whenModal(const QString&, std::function<void(QWidget*)>, int);
};

// Waits for the next modal window named name, runs act on it as above and
// lets it go; a test that needs nothing more than one answer.
void whenModal(const QString& name, std::function<void(QWidget*)> act, int watchdogMs = 20000);

} // namespace ampero::test
