// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "ui/x11frames.h"

#include <QBasicTimer>
#include <QList>
#include <QPixmap>
#include <QPointer>
#include <QWidget>

class QWindow;

namespace ampero {

class WindowCover;

// An animated image (GIF) that costs as little as a moving picture can: the
// frames are decoded once and laid over the widget's background colour, so a
// frame is one opaque pixmap copy and nothing behind the widget repaints.
// Under X11 the frames are kept on the server and a frame is one copy request
// there, without painting at all, sent from a thread that wakes for nothing
// else.
// It plays only while somebody can see it: shown, its window exposed on the
// screen and not wholly covered by other windows, and not paused (for
// example while the screen is blanked). Stopped, it has no timer and wakes
// the program not at all.
class BusyAnimation : public QWidget {
    Q_OBJECT
public:
    explicit BusyAnimation(QWidget* parent = nullptr);

    // Reads every frame and its delay. False and *error when the file cannot
    // be read; the old frames are kept then.
    bool load(const QString& fileName, QString* error = nullptr);

    QString fileName() const { return m_fileName; }
    int frameCount() const { return static_cast<int>(m_images.size()); }
    int currentFrame() const;
    int frameDelay(int frame) const { return m_delays.value(frame); }
    // -1: repeats for ever; otherwise how many times the animation repeats.
    int loopCount() const { return m_loopCount; }

    // Pausing keeps the frame that shows; resuming goes on from it.
    void setPaused(bool paused);
    bool isPaused() const { return m_paused; }
    // True while frames advance.
    bool isRunning() const { return m_timer.isActive() || m_onServer.isPlaying(); }

    QSize sizeHint() const override;

Q_SIGNALS:
    void runningChanged(bool running);

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void compose();
    void updateRunning();
    void startFrames();
    void stopFrames();
    void watchWindow();

    QString m_fileName;
    QList<QImage> m_images; // as decoded, with their transparency
    QList<QPixmap> m_frames; // over the background colour, ready to copy
    QList<int> m_delays; // milliseconds
    QColor m_composedOn;
    int m_loopCount = -1;
    int m_loopsDone = 0;
    int m_current = 0;
    bool m_paused = false;
    bool m_finished = false;
    QBasicTimer m_timer;
    QPointer<QWindow> m_window;
    QPointer<WindowCover> m_cover;
    X11Frames m_onServer; // the frames kept by the X server, where it can
    QPointer<QWidget> m_coverFor; // the top-level m_cover watches
};

} // namespace ampero
