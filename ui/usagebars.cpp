// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/usagebars.h"

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
{
    for (int i = 0; i < processorCount; ++i) {
        auto* bar = new QProgressBar(group);
        bar->setObjectName(QStringLiteral("UsageBar%1").arg(i));
        bar->setRange(0, 100);
        bar->setValue(0);
        bar->setTextVisible(false);
        m_bars.append(bar);
    }
    relayout();
    group->installEventFilter(this);
}

void UsageBars::relayout()
{
    const std::vector<BarGeometry> layout = usageBarLayout(m_group->width(), static_cast<int>(m_bars.size()));
    const bool visible = usageBarsVisible(layout);
    for (qsizetype i = 0; i < m_bars.size(); ++i) {
        const BarGeometry& g = layout[static_cast<size_t>(i)];
        if (visible)
            m_bars[i]->setGeometry(g.left, g.top, g.width, g.height);
        m_bars[i]->setVisible(visible);
    }
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
