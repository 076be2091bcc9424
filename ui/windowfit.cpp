// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/windowfit.h"

#include <QEvent>
#include <QGuiApplication>
#include <QLayout>
#include <QScreen>
#include <QScrollBar>
#include <QWidget>

namespace ampero {

namespace {
// Room for a title bar and borders before the window manager has said how
// wide they are: a generous title bar at the screen's font.
QSize frameAllowance(const QWidget& window)
{
    const int title = window.fontMetrics().height() * 2 + 8;
    return { 8, title };
}
} // namespace

QSize windowRoom(const QScreen* screen)
{
    return screen ? screen->availableGeometry().size() : QSize();
}

QScreen* windowScreen(const QWidget& window)
{
    const QWidget* parent = window.parentWidget() ? window.parentWidget()->window() : nullptr;
    QScreen* screen = parent ? parent->screen() : window.screen();
    return screen ? screen : QGuiApplication::primaryScreen();
}

void fitWindow(QWidget& window, const QSize& room)
{
    if (!room.isValid())
        return;
    const QSize frame = window.isVisible() ? window.frameGeometry().size() - window.size() : QSize();
    const QSize inner = room - (frame.isEmpty() ? frameAllowance(window) : frame);
    if (QLayout* layout = window.layout())
        layout->activate();
    QSize minimum = window.minimumSize();
    if (QLayout* layout = window.layout())
        minimum = minimum.expandedTo(layout->totalMinimumSize());
    window.setMinimumSize(minimum.boundedTo(inner));
    const QSize wanted = window.size().expandedTo(window.sizeHint());
    window.resize(wanted.boundedTo(inner).expandedTo(window.minimumSize()));
}

void fitWindowToScreen(QWidget& window)
{
    QScreen* screen = windowScreen(window);
    if (!screen)
        return;
    if (window.isWindow() && window.screen() != screen)
        window.setScreen(screen);
    fitWindow(window, windowRoom(screen));
}

QSize FitScrollArea::sizeHint() const
{
    const QWidget* contents = widget();
    if (!contents)
        return QScrollArea::sizeHint();
    const int frame = 2 * frameWidth();
    return contents->sizeHint() + QSize(frame, frame);
}

QSize FitScrollArea::minimumSizeHint() const
{
    const QWidget* contents = widget();
    if (!contents)
        return QScrollArea::minimumSizeHint();
    // As wide as the contents (they scroll down, never sideways) and at
    // least a few lines tall.
    const int frame = 2 * frameWidth();
    return { contents->minimumSizeHint().width() + verticalScrollBar()->sizeHint().width() + frame,
        std::min(contents->sizeHint().height(), fontMetrics().height() * 4) + frame };
}

bool FitScrollArea::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == widget() && event->type() == QEvent::LayoutRequest)
        updateGeometry();
    return QScrollArea::eventFilter(watched, event);
}

} // namespace ampero
