// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QList>
#include <QPixmap>
#include <QPoint>
#include <cstdint>
#include <vector>

class QWidget;

namespace ampero {

// Without shared memory every repaint travels through the X connection's
// socket. A socket buffer that holds a whole window's repaint lets it go in
// one write, where the default one makes the program wait on the server
// three or four times for a large repaint (the chart early in a test). The
// kernel caps the size at its own limit. Does nothing off X11.
void enlargeX11SendBuffer();

// The frames of an animation kept on the X server, so that showing one is a
// single copy request of a few bytes: nothing is painted, no image is sent
// and no other widget is looked at. It serves an X11 window at a device
// pixel ratio of 1 whose widget shows whole; elsewhere show() says no and
// the widget paints itself as usual.
//
// The window's backing store keeps whatever frame was last painted into it;
// should Qt put that on screen (on an expose), the next frame covers it.
class X11Frames {
public:
    X11Frames() = default;
    ~X11Frames();
    X11Frames(const X11Frames&) = delete;
    X11Frames& operator=(const X11Frames&) = delete;

    // Puts frame `frame` of `frames` (opaque) at the widget's place in its
    // window, sending the frames to the server first if need be. False when
    // this cannot be done; the caller then paints.
    bool show(QWidget* widget, const QList<QPixmap>& frames, int frame);

    // Forgets the frames on the server (new frames, a move, a new window);
    // the next show() sends them afresh.
    void release();

private:
    bool prepare(QWidget* widget, const QList<QPixmap>& frames);

    void* m_connection = nullptr; // xcb_connection_t
    uint32_t m_window = 0;
    uint32_t m_gc = 0;
    std::vector<uint32_t> m_pixmaps;
    QPoint m_at;
    QSize m_size;
    bool m_refused = false; // tried and could not: paint until release()
};

} // namespace ampero
