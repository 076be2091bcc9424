// SPDX-License-Identifier: GPL-3.0-or-later
#include "modaldriver.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>

namespace ampero::test {

ModalDriver::ModalDriver(int watchdogMs)
{
    qApp->installEventFilter(this);
    m_watchdog.setSingleShot(true);
    m_watchdog.setInterval(watchdogMs);
    connect(&m_watchdog, &QTimer::timeout, this, &ModalDriver::watchdog);
    m_watchdog.start();
}

ModalDriver::~ModalDriver()
{
    qApp->removeEventFilter(this);
}

void ModalDriver::on(const QString& name, std::function<void(QWidget*)> answer)
{
    m_answers[name] = std::move(answer);
}

bool ModalDriver::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::Show || !watched->isWidgetType())
        return false;
    auto* w = static_cast<QWidget*>(watched);
    if (!w->isWindow() || (w->windowModality() == Qt::NonModal && !w->testAttribute(Qt::WA_ShowModal)))
        return false;
    m_seen << w->objectName();
    if (m_answers.count(w->objectName()) != 0)
        QMetaObject::invokeMethod(
            this, [this, window = QPointer<QWidget>(w)] { answer(window); }, Qt::QueuedConnection);
    return false;
}

void ModalDriver::answer(const QPointer<QWidget>& window)
{
    if (!window || !window->isVisible())
        return;
    // Keys go to the active window: act only once it is the one on top.
    if (!QTest::qWaitFor([&] { return !window || QApplication::activeModalWidget() == window; }, 5000)) {
        ADD_FAILURE() << "the modal window " << window->objectName().toStdString()
                      << " never became the active one";
        return;
    }
    if (!window)
        return;
    // A person acts on a window they see: on the screen and the active one.
    EXPECT_TRUE(QTest::qWaitForWindowExposed(window));
    EXPECT_TRUE(window && QTest::qWaitForWindowActive(window));
    if (window->objectName() == m_awaited)
        m_awaited.clear();
    const auto it = m_answers.find(window->objectName());
    if (it != m_answers.end())
        it->second(window);
}

void ModalDriver::watchdog()
{
    QStringList open;
    while (QWidget* w = QApplication::activeModalWidget()) {
        open << w->objectName();
        if (auto* b = w->findChild<QPushButton*>(QStringLiteral("cancelButton"));
            b && w->objectName() == QStringLiteral("TestProgressDialog"))
            b->click();
        else if (auto* d = qobject_cast<QDialog*>(w))
            d->reject();
        else
            w->close();
        QCoreApplication::processEvents();
        if (open.size() > 20)
            break;
    }
    if (!open.isEmpty())
        ADD_FAILURE() << "modal windows still open after " << m_watchdog.interval()
                      << " ms, closed: " << open.join(QStringLiteral(", ")).toStdString();
    if (!m_awaited.isEmpty())
        ADD_FAILURE() << "no modal window " << m_awaited.toStdString() << " opened within "
                      << m_watchdog.interval() << " ms";
    if (QThread::currentThread()->loopLevel() > 0)
        QCoreApplication::exit(1);
    if (!m_awaited.isEmpty())
        deleteLater();
}

void whenModal(const QString& name, std::function<void(QWidget*)> act, int watchdogMs)
{
    auto* driver = new ModalDriver(watchdogMs);
    driver->m_awaited = name;
    driver->on(name, [driver, act = std::move(act)](QWidget* w) {
        act(w);
        driver->deleteLater();
    });
}

} // namespace ampero::test
