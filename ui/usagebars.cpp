// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/usagebars.h"

#include "core/phrases.h"

#include <QBoxLayout>
#include <QEvent>
#include <QLabel>
#include <QProgressBar>
#include <QWidget>
#include <algorithm>

namespace ampero {

UsageBars::UsageBars(QWidget* group, QLabel* label, int processorCount, QObject* parent)
    : QObject(parent)
    , m_group(group)
    , m_label(label)
    , m_row(rowIn(group))
{
    for (int i = 0; i < processorCount; ++i) {
        auto* bar = new QProgressBar(group);
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
        m_bars[i]->setValue(std::clamp(display.positions[static_cast<size_t>(i)], 0, 100));
    if (m_label)
        m_label->setText(display.caption);
}

bool UsageBars::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_group && event->type() == QEvent::Resize)
        relayout();
    return QObject::eventFilter(watched, event);
}

} // namespace ampero
