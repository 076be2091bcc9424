// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/valuelabel.h"

#include <QEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QLayout>
#include <algorithm>

namespace ampero {

namespace {

// Watches one value label: after a font or style change its fixed size no
// longer fits, so the label follows its text until its next figure.
class ValueLabelKeeper final : public QObject {
public:
    explicit ValueLabelKeeper(QLabel* label)
        : QObject(label)
    {
        setObjectName(QStringLiteral("valueLabelKeeper"));
        label->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        const QEvent::Type type = event->type();
        if (type == QEvent::FontChange || type == QEvent::StyleChange) {
            auto* label = static_cast<QLabel*>(watched);
            label->setMinimumSize(0, 0);
            label->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        }
        return false;
    }
};

// The size of the text with each digit replaced by the font's widest digit,
// measured as QLabel measures its text: the room a figure of this shape takes.
QSize steadyTextSize(const QLabel& label, const QString& text)
{
    const QFontMetrics fm = label.fontMetrics();
    QChar widest = QLatin1Char('0');
    for (char16_t d = u'1'; d <= u'9'; ++d)
        if (fm.horizontalAdvance(QChar(d)) > fm.horizontalAdvance(widest))
            widest = QChar(d);
    QString shape = text;
    for (QChar& c : shape)
        if (c.isDigit())
            c = widest;
    const int flags = static_cast<int>(label.alignment() & ~(Qt::AlignVCenter | Qt::AlignHCenter));
    return fm.boundingRect(0, 0, 2000, 2000, flags, shape).size();
}

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
    if (!label->findChild<ValueLabelKeeper*>(QString(), Qt::FindDirectChildrenOnly)) {
        new ValueLabelKeeper(label);
        if (QWidget* parent = label->parentWidget(); parent && parent->layout())
            alignInLayout(parent->layout(), label);
    }
    // With the room QLabel gives its text: its margin on each side and the
    // contents margins.
    const QMargins m = label->contentsMargins();
    const QSize textSize = steadyTextSize(*label, text);
    const int width = textSize.width() + 2 * label->margin() + m.left() + m.right();
    const int height = textSize.height() + 2 * label->margin() + m.top() + m.bottom();
    const int kept = fixed ? label->minimumWidth() : 0;
    if (!fixed || width > kept || height != label->minimumHeight())
        label->setFixedSize(std::max(width, kept), height);
    label->setText(text);
}

} // namespace ampero
