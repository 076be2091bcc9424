// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/valuelabel.h"

#include <QEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QLayout>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <algorithm>

namespace ampero {

namespace {

// Keeps one value label cheap to repaint.
//
// Its size: after a font or style change its fixed size no longer fits, so
// the label follows its text until its next figure; the room a figure takes
// is measured again only when its shape changes (see shapeSize()).
//
// Its backdrop: a label draws only its text, so each new figure would make
// the group around it paint too (its frame, its title laid out again) for
// the label's few pixels. The keeper holds what lies beneath the label, as
// the window paints it with the label left out, and lays it down before the
// label draws its text; the label is opaque then, and nothing behind it
// repaints. The backdrop is painted again, at the next figure, after the
// label moves or resizes, the window resizes, or a palette, style or font
// changes; until then the label is drawn as any label is.
class ValueLabelKeeper final : public QObject {
public:
    explicit ValueLabelKeeper(QLabel* label)
        : QObject(label)
        , m_label(label)
    {
        setObjectName(QStringLiteral("valueLabelKeeper"));
        label->installEventFilter(this);
    }

    // The size of `text` with each digit replaced by the font's widest
    // digit, as QLabel measures its text: the room a figure of this shape
    // takes.
    QSize shapeSize(const QString& text)
    {
        if (m_widest.isNull()) {
            const QFontMetrics fm = m_label->fontMetrics();
            m_widest = QLatin1Char('0');
            for (char16_t d = u'1'; d <= u'9'; ++d)
                if (fm.horizontalAdvance(QChar(d)) > fm.horizontalAdvance(m_widest))
                    m_widest = QChar(d);
        }
        QString shape = text;
        for (QChar& c : shape)
            if (c.isDigit())
                c = m_widest;
        if (shape != m_shape || !m_shapeSize.isValid()) {
            const int flags = static_cast<int>(m_label->alignment() & ~(Qt::AlignVCenter | Qt::AlignHCenter));
            m_shapeSize = m_label->fontMetrics().boundingRect(0, 0, 2000, 2000, flags, shape).size();
            m_shape = shape;
        }
        return m_shapeSize;
    }

    // Paints the backdrop afresh if the label or its window changed, and
    // makes the label opaque once there is one. A figure set once (a file's
    // figures) is drawn as any label: only one that changes again at the
    // same place (a ticking one) is worth a backdrop.
    void keepBackdrop()
    {
        QWidget* window = m_label->window();
        if (!m_label->isVisible() || window == m_label)
            return;
        const QRect at(m_label->mapTo(window, QPoint(0, 0)), m_label->size());
        const qreal ratio = m_label->devicePixelRatioF();
        if (!m_backdrop.isNull() && at == m_at && ratio == m_ratio)
            return;
        if (at != m_at || ratio != m_ratio) {
            m_at = at;
            m_ratio = ratio;
            return;
        }
        if (window != m_window) {
            if (m_window)
                m_window->removeEventFilter(this);
            m_window = window;
            window->installEventFilter(this);
        }
        m_backdrop = QPixmap(at.size() * ratio);
        m_backdrop.setDevicePixelRatio(ratio);
        m_backdrop.fill(Qt::transparent);
        m_painting = true;
        window->render(
            &m_backdrop, QPoint(), QRegion(at), QWidget::DrawWindowBackground | QWidget::DrawChildren);
        m_painting = false;
        m_label->setAttribute(Qt::WA_OpaquePaintEvent, true);
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != m_label) {
            // The window: a new size may change what lies beneath the label.
            if (event->type() == QEvent::Resize)
                dropBackdrop();
            return false;
        }
        switch (event->type()) {
        case QEvent::Paint:
            if (m_painting)
                return true; // the backdrop is what lies beneath the label
            if (m_label->testAttribute(Qt::WA_OpaquePaintEvent)) {
                QPainter p(m_label);
                p.drawPixmap(0, 0, m_backdrop);
            }
            return false;
        case QEvent::FontChange:
        case QEvent::StyleChange:
            m_label->setMinimumSize(0, 0);
            m_label->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
            m_widest = QChar();
            m_shapeSize = QSize();
            dropBackdrop();
            return false;
        case QEvent::PaletteChange:
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::Hide:
            dropBackdrop();
            return false;
        default:
            return false;
        }
    }

private:
    // Until the next figure the label is drawn as any label is.
    void dropBackdrop()
    {
        m_backdrop = QPixmap();
        m_label->setAttribute(Qt::WA_OpaquePaintEvent, false);
    }

    QLabel* m_label;
    QPointer<QWidget> m_window; // watched for its size
    QChar m_widest;
    QString m_shape;
    QSize m_shapeSize;
    QPixmap m_backdrop;
    QRect m_at; // the label's place in its window at its last figure
    qreal m_ratio = 0;
    bool m_painting = false;
};

// Puts the label at the start of its place in the layout: a label of fixed
// size would otherwise sit in the middle of a wider cell.
bool alignInLayout(QLayout* layout, QLabel* label)
{
    for (int i = 0; i < layout->count(); ++i) {
        QLayoutItem* item = layout->itemAt(i);
        if (item->widget() == label) {
            if (!(item->alignment() & Qt::AlignHorizontal_Mask)) {
                item->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
                layout->invalidate();
            }
            return true;
        }
        if (item->layout() && alignInLayout(item->layout(), label))
            return true;
    }
    return false;
}

} // namespace

void setValueText(QLabel* label, const QString& text)
{
    const bool fixed = label->minimumSize() == label->maximumSize();
    if (fixed && label->text() == text)
        return;
    auto* keeper = label->findChild<ValueLabelKeeper*>(QString(), Qt::FindDirectChildrenOnly);
    if (!keeper) {
        keeper = new ValueLabelKeeper(label);
        if (QWidget* parent = label->parentWidget(); parent && parent->layout())
            alignInLayout(parent->layout(), label);
    }
    // With the room QLabel gives its text: its margin on each side and the
    // contents margins.
    const QMargins m = label->contentsMargins();
    const QSize textSize = keeper->shapeSize(text);
    const int width = textSize.width() + 2 * label->margin() + m.left() + m.right();
    const int height = textSize.height() + 2 * label->margin() + m.top() + m.bottom();
    const int kept = fixed ? label->minimumWidth() : 0;
    if (!fixed || width > kept || height != label->minimumHeight())
        label->setFixedSize(std::max(width, kept), height);
    keeper->keepBackdrop();
    label->setText(text);
}

} // namespace ampero
