// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/busyanimation.h"

#include "core/phrases.h"
#include "ui/windowcover.h"

#include <QEvent>
#include <QImageReader>
#include <QPainter>
#include <QTimerEvent>
#include <QWindow>

namespace ampero {

namespace {

// Browsers and Qt's own player give a frame without a delay a tenth of a
// second rather than running as fast as they can.
constexpr int DefaultDelayMs = 100;

} // namespace

BusyAnimation::BusyAnimation(QWidget* parent)
    : QWidget(parent)
{
    // Every pixel is painted from an opaque frame: the parent need not paint
    // first, which is what makes a frame cheap.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

bool BusyAnimation::load(const QString& fileName, QString* error)
{
    QImageReader reader(fileName);
    QList<QImage> images;
    QList<int> delays;
    while (true) {
        QImage image = reader.read();
        if (image.isNull())
            break;
        const int delay = reader.nextImageDelay();
        images.append(image.convertToFormat(QImage::Format_ARGB32_Premultiplied));
        delays.append(delay > 0 ? delay : DefaultDelayMs);
        if (!reader.canRead())
            break;
    }
    if (images.isEmpty()) {
        if (error)
            *error = ampero::phrase("Cannot read the animation %1: %2").arg(fileName, reader.errorString());
        return false;
    }
    stopFrames();
    m_fileName = fileName;
    m_images = images;
    m_delays = delays;
    m_loopCount = reader.loopCount();
    m_loopsDone = 0;
    m_current = 0;
    m_finished = false;
    m_frames.clear();
    m_onServer.release();
    compose();
    updateGeometry();
    update();
    updateRunning();
    return true;
}

void BusyAnimation::setPaused(bool paused)
{
    if (m_paused == paused)
        return;
    m_paused = paused;
    updateRunning();
}

QSize BusyAnimation::sizeHint() const
{
    return m_images.isEmpty() ? QSize(32, 32) : m_images.first().size();
}

void BusyAnimation::compose()
{
    const QColor background = palette().color(backgroundRole());
    if (!m_frames.isEmpty() && background == m_composedOn)
        return;
    m_composedOn = background;
    m_onServer.release();
    m_frames.clear();
    m_frames.reserve(m_images.size());
    for (const QImage& image : std::as_const(m_images)) {
        QImage flat(image.size(), QImage::Format_RGB32);
        flat.fill(background);
        QPainter p(&flat);
        p.drawImage(0, 0, image);
        p.end();
        m_frames.append(QPixmap::fromImage(flat));
    }
}

int BusyAnimation::currentFrame() const
{
    return m_onServer.isPlaying() ? m_onServer.playingFrame() : m_current;
}

void BusyAnimation::paintEvent(QPaintEvent*)
{
    // A widget that moved in its window repaints: the frames played on the
    // X server follow it there.
    if (m_onServer.isPlaying() && !m_onServer.follow(this)) {
        stopFrames();
        m_onServer.release();
        startFrames();
    }
    QPainter p(this);
    if (m_frames.isEmpty()) {
        p.fillRect(rect(), palette().color(backgroundRole()));
        return;
    }
    const QPixmap& frame = m_frames.at(currentFrame());
    if (frame.width() < width() || frame.height() < height())
        p.fillRect(rect(), m_composedOn);
    p.drawPixmap(0, 0, frame);
}

void BusyAnimation::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    watchWindow();
    updateRunning();
}

void BusyAnimation::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    updateRunning();
}

void BusyAnimation::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange) {
        const bool running = isRunning();
        stopFrames();
        compose();
        update();
        if (running)
            startFrames();
    }
    QWidget::changeEvent(event);
}

void BusyAnimation::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != m_timer.timerId()) {
        QWidget::timerEvent(event);
        return;
    }
    int next = m_current + 1;
    if (next >= frameCount()) {
        ++m_loopsDone;
        // A loop count of n plays the animation n + 1 times in all.
        if (m_loopCount >= 0 && m_loopsDone > m_loopCount) {
            m_finished = true;
            updateRunning();
            return;
        }
        next = 0;
    }
    const int oldDelay = m_delays.at(m_current);
    m_current = next;
    // Frames of one delay share one repeating timer: restarting it each frame
    // would let the frames drift against the program's other timers.
    if (m_delays.at(m_current) != oldDelay)
        m_timer.start(m_delays.at(m_current), Qt::PreciseTimer, this);
    if (!m_onServer.show(this, m_frames, m_current))
        repaint();
}

bool BusyAnimation::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_window && event->type() == QEvent::Expose)
        updateRunning();
    return QWidget::eventFilter(watched, event);
}

void BusyAnimation::watchWindow()
{
    if (window() != m_coverFor) {
        delete m_cover;
        m_coverFor = window();
        m_cover = new WindowCover(window(), this);
        connect(m_cover, &WindowCover::coveredChanged, this, [this] { updateRunning(); });
    }
    QWindow* handle = window()->windowHandle();
    if (handle == m_window)
        return;
    if (m_window)
        m_window->removeEventFilter(this);
    m_window = handle;
    if (m_window)
        m_window->installEventFilter(this);
}

void BusyAnimation::updateRunning()
{
    // A minimised or unmapped window is not exposed, a covered one may be:
    // frames nobody can see are not drawn, and their timer would only wake
    // the program.
    const bool exposed = m_window ? m_window->isExposed() : false;
    const bool covered = m_cover && m_cover->covered();
    const bool run = isVisible() && exposed && !covered && !m_paused && !m_finished && frameCount() > 1;
    if (run == isRunning())
        return;
    if (run) {
        startFrames();
    } else {
        stopFrames();
        // Frames copied on the X server bypass the window's backing store:
        // the held frame goes there too, for when the window shows it again.
        update();
    }
    Q_EMIT runningChanged(run);
}

void BusyAnimation::startFrames()
{
    // An animation that repeats for ever plays on the X server where it can;
    // one that ends is played here, where the count of its loops is kept.
    if (m_loopCount < 0 && m_onServer.play(this, m_frames, m_delays, m_current))
        return;
    // Precise: a coarse timer may fire up to 5 % early or late, and the
    // loop then wakes once more to catch up; a precise one wakes once a frame.
    m_timer.start(m_delays.at(m_current), Qt::PreciseTimer, this);
}

void BusyAnimation::stopFrames()
{
    if (m_onServer.isPlaying())
        m_current = m_onServer.stop();
    m_timer.stop();
}

} // namespace ampero
