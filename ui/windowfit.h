// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Windows that fit their screen, whatever its size, scale and font.
#include <QScrollArea>
#include <QSize>

class QScreen;
class QWidget;

namespace ampero {

// The room a window has on a screen: its available geometry less a title
// bar and borders, which a window manager adds around the window.
QSize windowRoom(const QScreen* screen);

// The screen a window opens on: that of its parent window, or its own.
QScreen* windowScreen(const QWidget& window);

// Keeps a window within room: its minimum size gives way to a smaller
// screen, and it takes its preferred size as far as room allows.
void fitWindow(QWidget& window, const QSize& room);

// fitWindow for the screen the window opens on; puts the window on that
// screen too.
void fitWindowToScreen(QWidget& window);

// A scroll area that asks for the whole of its contents, so that a window
// shows them all where the screen has room and scrolls where it has not.
class FitScrollArea : public QScrollArea {
    Q_OBJECT
public:
    using QScrollArea::QScrollArea;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

} // namespace ampero
