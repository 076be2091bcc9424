// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QList>
#include <QPixmap>
#include <QPoint>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
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
//
// play() goes further: a thread of its own sleeps until each frame is due
// and sends its copy, so a frame wakes that thread once and nothing else.
// The program's event loop, with its timers, event filters and dispatch,
// then wakes only for its own work. The connection is libxcb's, which
// serialises requests from any thread.
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

    // Shows the frames one after another for ever from `first` on, each for
    // its delay in `delays` (milliseconds), until stop(). False when this
    // cannot be done; the caller then plays them itself.
    bool play(QWidget* widget, const QList<QPixmap>& frames, const QList<int>& delays, int first);
    // Stops playing; returns the frame that shows.
    int stop();
    bool isPlaying() const { return m_player.joinable(); }
    // The frame that shows while playing.
    int playingFrame() const { return m_playing.load(std::memory_order_relaxed); }
    // The widget may have moved in its window (it repaints then): frames go
    // to its new place. False when it is in another native window now, and
    // the frames must be sent afresh (stop, release, play).
    bool follow(QWidget* widget);

    // Forgets the frames on the server (new frames, a move, a new window);
    // the next show() sends them afresh. Stops playing first.
    void release();

private:
    bool prepare(QWidget* widget, const QList<QPixmap>& frames);
    void copy(int frame) const;
    void run(std::vector<int> delays, int first);

    void* m_connection = nullptr; // xcb_connection_t
    uint32_t m_window = 0;
    uint32_t m_gc = 0;
    std::vector<uint32_t> m_pixmaps;
    QPoint m_at; // guarded by m_mutex while playing
    QSize m_size;
    bool m_refused = false; // tried and could not: paint until release()

    std::thread m_player;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stopping = false; // guarded by m_mutex
    std::atomic<int> m_playing { 0 };
};

} // namespace ampero
