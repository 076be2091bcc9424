// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QAbstractNativeEventFilter>
#include <QObject>
#include <QPointer>

class QWidget;

namespace ampero {

// Whether a top-level window is wholly covered by other windows, so that
// nothing it draws can be seen. Qt leaves such a window "exposed"; the X
// server says it is fully obscured when it is asked to (the visibility
// events, which cost nothing until the stacking changes). A compositing
// window manager, Wayland or the offscreen platform never report it: the
// window then counts as uncovered, which only means it keeps drawing.
class WindowCover : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT
public:
    // window: a top-level widget; watched for as long as both live.
    explicit WindowCover(QWidget* window, QObject* parent = nullptr);
    ~WindowCover() override;

    bool covered() const { return m_covered; }

    // QAbstractNativeEventFilter
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

Q_SIGNALS:
    void coveredChanged(bool covered);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void askForVisibility();
    void setCovered(bool covered);

    QPointer<QWidget> m_window;
    quintptr m_id = 0; // the native window asked for its visibility events
    bool m_covered = false;
};

} // namespace ampero
