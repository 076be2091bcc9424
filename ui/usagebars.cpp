// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/usagebars.h"

#include "core/phrases.h"
#include "ui/valuelabel.h"

#include <QBoxLayout>
#include <QEvent>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QStyle>
#include <QWidget>
#include <algorithm>

namespace ampero {

namespace {

// A usage bar painted as three plain rectangles: its frame, the used part in
// the highlight colour and the rest in the base colour. A style's own
// progress bar draws its outline and shine as antialiased lines, which the
// raster engine fills pixel by pixel; once such a line is some hundred
// pixels long Qt hands it to its threads, and every change of the bars woke
// them, idle or not. Rectangles are filled in place. A new value repaints
// only the strip between the old end of the used part and the new one, with
// the rest of the window's changes rather than at once.
class UsageBar final : public QProgressBar {
public:
    explicit UsageBar(QWidget* parent)
        : QProgressBar(parent)
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

    void setUsage(int value)
    {
        value = std::clamp(value, minimum(), maximum());
        if (value == this->value())
            return;
        const int before = usedWidth(this->value());
        // QProgressBar repaints at once; the strip that changed is enough.
        const bool held = testAttribute(Qt::WA_UpdatesDisabled);
        setAttribute(Qt::WA_UpdatesDisabled, true);
        setValue(value);
        setAttribute(Qt::WA_UpdatesDisabled, held);
        const int after = usedWidth(value);
        if (before != after)
            update(QStyle::visualRect(layoutDirection(), rect(), strip(before, after)));
    }

protected:
    bool event(QEvent* event) override
    {
        const bool done = QProgressBar::event(event);
        // A style's polish may declare the bar see-through again, and every
        // new value would then repaint the group behind it.
        if (event->type() == QEvent::Polish || event->type() == QEvent::StyleChange)
            setAttribute(Qt::WA_OpaquePaintEvent);
        return done;
    }

    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        const QRect inner = innerRect();
        const int used = usedWidth(value());
        const QPalette& colors = palette();
        p.fillRect(rect(), colors.color(QPalette::Mid));
        p.fillRect(
            QStyle::visualRect(layoutDirection(), rect(), strip(0, used)), colors.color(QPalette::Highlight));
        p.fillRect(QStyle::visualRect(layoutDirection(), rect(), strip(used, inner.width())),
            colors.color(QPalette::Base));
    }

private:
    // Inside a frame of one line.
    QRect innerRect() const { return rect().adjusted(1, 1, -1, -1); }

    int usedWidth(int value) const
    {
        const int span = maximum() - minimum();
        const int width = innerRect().width();
        return span > 0
            ? static_cast<int>((static_cast<long long>(value - minimum()) * width + span / 2) / span)
            : 0;
    }

    // The columns from..to of the inside, left to right.
    QRect strip(int from, int to) const
    {
        const QRect inner = innerRect();
        return QRect(inner.left() + std::min(from, to), inner.top(), std::abs(to - from), inner.height());
    }
};

} // namespace

UsageBars::UsageBars(QWidget* group, QLabel* label, int processorCount, QObject* parent)
    : QObject(parent)
    , m_group(group)
    , m_label(label)
    , m_row(rowIn(group))
{
    for (int i = 0; i < processorCount; ++i) {
        auto* bar = new UsageBar(group);
        bar->setObjectName(QStringLiteral("UsageBar%1").arg(i));
        bar->setRange(0, 100);
        bar->setValue(0);
        bar->setTextVisible(false);
        // A screen reader says which processor a bar shows, not only the group's title.
        bar->setAccessibleName(phrase("Processor %1").arg(i + 1));
        // Equal shares of the row, however narrow.
        bar->setMinimumWidth(MinimumBarWidth);
        bar->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
        m_bars.append(bar);
        m_row->addWidget(bar);
    }
    relayout();
    group->installEventFilter(this);
}

QBoxLayout* UsageBars::rowIn(QWidget* group)
{
    // The group's own row for the bars, or one added below its contents.
    if (auto* row = group->findChild<QBoxLayout*>(QStringLiteral("usageBarsLayout")))
        return row;
    auto* outer = qobject_cast<QBoxLayout*>(group->layout());
    if (!outer)
        outer = new QVBoxLayout(group);
    auto* row = new QHBoxLayout;
    row->setObjectName(QStringLiteral("usageBarsLayout"));
    outer->addLayout(row);
    return row;
}

void UsageBars::relayout()
{
    // Bars narrower than the minimum say nothing: then the average alone.
    const int count = static_cast<int>(m_bars.size());
    const QMargins margins = m_group->layout() ? m_group->layout()->contentsMargins() : QMargins();
    const int room = m_group->contentsRect().width() - margins.left() - margins.right();
    const int spacing = std::max(0, m_row->spacing());
    const bool visible = count > 0 && (room - (count - 1) * spacing) / count >= MinimumBarWidth;
    for (QProgressBar* bar : std::as_const(m_bars))
        bar->setVisible(visible);
}

void UsageBars::show(const UsageDisplay& display)
{
    const qsizetype n = std::min<qsizetype>(m_bars.size(), static_cast<qsizetype>(display.positions.size()));
    for (qsizetype i = 0; i < n; ++i)
        static_cast<UsageBar*>(m_bars[i])->setUsage(display.positions[static_cast<size_t>(i)]);
    if (m_label)
        setValueText(m_label, display.caption);
}

bool UsageBars::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_group && event->type() == QEvent::Resize)
        relayout();
    return QObject::eventFilter(watched, event);
}

} // namespace ampero
