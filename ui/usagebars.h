// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "sysinfo/usagedisplay.h"

#include <QList>
#include <QObject>

class QBoxLayout;
class QLabel;
class QProgressBar;
class QWidget;

namespace ampero {

// One smooth 0..100 progress bar per processor inside group (the main
// window's processor group box), side by side in the group's row
// "usageBarsLayout" (added below its contents if it has none). When the bars
// would be narrower than MinimumBarWidth they are hidden and only the average
// remains. show() puts a timer tick's values on the bars and into label.
class UsageBars final : public QObject {
    Q_OBJECT
public:
    UsageBars(QWidget* group, QLabel* label, int processorCount, QObject* parent = nullptr);

    void show(const UsageDisplay& display);
    void relayout();
    const QList<QProgressBar*>& bars() const { return m_bars; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static QBoxLayout* rowIn(QWidget* group);

    QWidget* m_group;
    QLabel* m_label;
    QBoxLayout* m_row;
    QList<QProgressBar*> m_bars;
};

} // namespace ampero
