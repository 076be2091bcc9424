// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/windowcover.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QWidget>
#include <cstdlib>
#include <qguiapplication_platform.h>
#include <xcb/xcb.h>

namespace ampero {

WindowCover::WindowCover(QWidget* window, QObject* parent)
    : QObject(parent)
    , m_window(window)
{
    QCoreApplication::instance()->installNativeEventFilter(this);
    window->installEventFilter(this);
    if (window->testAttribute(Qt::WA_WState_Created))
        askForVisibility();
}

WindowCover::~WindowCover()
{
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(this);
}

void WindowCover::askForVisibility()
{
    if (!m_window)
        return;
    const auto id = static_cast<quintptr>(m_window->winId());
    if (id == m_id)
        return;
    m_id = id;
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* c = x11 ? x11->connection() : nullptr;
    if (!c)
        return;
    // The window keeps every event Qt asked for; this adds the visibility
    // changes. One round trip, once per native window.
    const auto window = static_cast<xcb_window_t>(id);
    xcb_get_window_attributes_reply_t* attributes
        = xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, window), nullptr);
    if (!attributes)
        return;
    const uint32_t mask = attributes->your_event_mask | XCB_EVENT_MASK_VISIBILITY_CHANGE;
    std::free(attributes);
    xcb_change_window_attributes(c, window, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(c);
}

bool WindowCover::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    if (m_id == 0 || eventType != "xcb_generic_event_t")
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != XCB_VISIBILITY_NOTIFY)
        return false;
    const auto* visibility = static_cast<const xcb_visibility_notify_event_t*>(message);
    if (visibility->window == m_id)
        setCovered(visibility->state == XCB_VISIBILITY_FULLY_OBSCURED);
    return false; // other watchers of the same window see it too
}

bool WindowCover::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_window) {
        if (event->type() == QEvent::Show)
            askForVisibility(); // the native window may be new
        else if (event->type() == QEvent::Hide)
            setCovered(false); // mapped again, the server tells afresh
    }
    return QObject::eventFilter(watched, event);
}

void WindowCover::setCovered(bool covered)
{
    if (m_covered == covered)
        return;
    m_covered = covered;
    Q_EMIT coveredChanged(covered);
}

} // namespace ampero
