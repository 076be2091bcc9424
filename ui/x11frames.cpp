// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/x11frames.h"

#include <QGuiApplication>
#include <QImage>
#include <QWidget>
#include <chrono>
#include <cstdlib>
#include <pthread.h>
#include <qguiapplication_platform.h>
#include <sys/socket.h>
#include <xcb/xcb.h>

namespace ampero {

namespace {

// The depth of the window and whether the server takes its pixels as we
// hold them: 32 bits a pixel, least significant byte first.
int usableDepth(xcb_connection_t* c, xcb_window_t window)
{
    const xcb_setup_t* setup = xcb_get_setup(c);
    if (setup->image_byte_order != XCB_IMAGE_ORDER_LSB_FIRST)
        return 0;
    xcb_get_geometry_reply_t* geometry = xcb_get_geometry_reply(c, xcb_get_geometry(c, window), nullptr);
    if (!geometry)
        return 0;
    const int depth = geometry->depth;
    std::free(geometry);
    if (depth != 24 && depth != 32)
        return 0;
    for (auto it = xcb_setup_pixmap_formats_iterator(setup); it.rem; xcb_format_next(&it))
        if (it.data->depth == depth)
            return it.data->bits_per_pixel == 32 ? depth : 0;
    return 0;
}

} // namespace

void enlargeX11SendBuffer()
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    auto* c = x11 ? x11->connection() : nullptr;
    if (!c)
        return;
    // A full-screen repaint at 32 bits a pixel on a 1920 x 1200 screen.
    const int bytes = 1920 * 1200 * 4;
    setsockopt(xcb_get_file_descriptor(c), SOL_SOCKET, SO_SNDBUF, &bytes, sizeof bytes);
}

X11Frames::~X11Frames()
{
    stop();
    if (qGuiApp) // at exit the server frees everything with the connection
        release();
}

void X11Frames::release()
{
    stop();
    auto* c = static_cast<xcb_connection_t*>(m_connection);
    if (c) {
        for (const uint32_t pixmap : m_pixmaps)
            xcb_free_pixmap(c, pixmap);
        if (m_gc)
            xcb_free_gc(c, m_gc);
        xcb_flush(c);
    }
    m_pixmaps.clear();
    m_gc = 0;
    m_window = 0;
    m_connection = nullptr;
    m_refused = false;
}

bool X11Frames::prepare(QWidget* widget, const QList<QPixmap>& frames)
{
    m_refused = true;
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    auto* c = x11 ? x11->connection() : nullptr;
    if (!c || frames.isEmpty() || widget->devicePixelRatioF() != 1.0)
        return false;
    // The widget must show whole: the copy is clipped by nothing but the window.
    if (widget->visibleRegion() != QRegion(widget->rect()))
        return false;
    const QSize size = frames.first().size();
    for (const QPixmap& f : frames)
        if (f.size() != size || f.devicePixelRatio() != 1.0)
            return false;
    if (size.width() > widget->width() || size.height() > widget->height())
        return false;
    const auto window = static_cast<xcb_window_t>(widget->window()->winId());
    const int depth = usableDepth(c, window);
    const qint64 bytes = qint64(size.width()) * size.height() * 4;
    if (depth == 0 || bytes + 32 > qint64(xcb_get_maximum_request_length(c)) * 4)
        return false;

    m_connection = c;
    m_window = window;
    // No graphics exposures: a copy must not send an event back.
    m_gc = xcb_generate_id(c);
    const uint32_t noExposures = 0;
    xcb_create_gc(c, m_gc, window, XCB_GC_GRAPHICS_EXPOSURES, &noExposures);
    for (const QPixmap& f : frames) {
        const QImage image = f.toImage().convertToFormat(QImage::Format_RGB32);
        const uint32_t pixmap = xcb_generate_id(c);
        xcb_create_pixmap(c, static_cast<uint8_t>(depth), pixmap, window, static_cast<uint16_t>(size.width()),
            static_cast<uint16_t>(size.height()));
        // Row by row would be needed only if a row had padding; RGB32 rows have none.
        xcb_put_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap, m_gc, static_cast<uint16_t>(size.width()),
            static_cast<uint16_t>(size.height()), 0, 0, 0, static_cast<uint8_t>(depth),
            static_cast<uint32_t>(image.sizeInBytes()), image.constBits());
        m_pixmaps.push_back(pixmap);
    }
    m_at = widget->mapTo(widget->window(), QPoint(0, 0));
    m_size = size;
    m_refused = false;
    return true;
}

bool X11Frames::show(QWidget* widget, const QList<QPixmap>& frames, int frame)
{
    if (m_refused)
        return false;
    // Moved within its window, or a new native window: send afresh.
    if (!m_pixmaps.empty() && !follow(widget))
        release();
    if (m_pixmaps.empty() && !prepare(widget, frames))
        return false;
    if (frame < 0 || static_cast<size_t>(frame) >= m_pixmaps.size())
        return false;
    copy(frame);
    return true;
}

bool X11Frames::follow(QWidget* widget)
{
    if (m_pixmaps.empty())
        return true;
    if (widget->window()->internalWinId() != m_window)
        return false;
    const QPoint at = widget->mapTo(widget->window(), QPoint(0, 0));
    const std::lock_guard lock(m_mutex);
    m_at = at;
    return true;
}

void X11Frames::copy(int frame) const
{
    auto* c = static_cast<xcb_connection_t*>(m_connection);
    xcb_copy_area(c, m_pixmaps[static_cast<size_t>(frame)], m_window, m_gc, 0, 0,
        static_cast<int16_t>(m_at.x()), static_cast<int16_t>(m_at.y()), static_cast<uint16_t>(m_size.width()),
        static_cast<uint16_t>(m_size.height()));
    xcb_flush(c);
}

bool X11Frames::play(QWidget* widget, const QList<QPixmap>& frames, const QList<int>& delays, int first)
{
    if (isPlaying())
        return true;
    if (delays.size() != frames.size() || !show(widget, frames, first))
        return false;
    m_stopping = false;
    m_playing.store(first, std::memory_order_relaxed);
    m_player = std::thread(&X11Frames::run, this, std::vector<int>(delays.cbegin(), delays.cend()), first);
    return true;
}

int X11Frames::stop()
{
    if (m_player.joinable()) {
        {
            const std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        m_wake.notify_one();
        m_player.join();
    }
    return m_playing.load(std::memory_order_relaxed);
}

void X11Frames::run(std::vector<int> delays, int first)
{
    using Clock = std::chrono::steady_clock;
    using std::chrono::milliseconds;
    pthread_setname_np(pthread_self(), "ampero-frames");
    const int count = static_cast<int>(delays.size());
    int frame = first;
    // Each frame is due a whole delay after the one before, not after this
    // thread woke: the frames keep their pace however late a wake-up comes.
    auto due = Clock::now() + milliseconds(delays[static_cast<size_t>(frame)]);
    std::unique_lock lock(m_mutex);
    while (!m_wake.wait_until(lock, due, [this] { return m_stopping; })) {
        frame = (frame + 1) % count;
        copy(frame);
        m_playing.store(frame, std::memory_order_relaxed);
        due += milliseconds(delays[static_cast<size_t>(frame)]);
        // After the machine slept the frames do not race to catch up.
        const auto now = Clock::now();
        if (due < now)
            due = now + milliseconds(delays[static_cast<size_t>(frame)]);
    }
}

} // namespace ampero
