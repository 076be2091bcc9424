// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "sysinfo/usagedisplay.h"

#include <QList>
#include <QObject>

class QLabel;
class QProgressBar;
class QWidget;

namespace ampero {

// One smooth 0..100 progress bar per processor inside group (the main
// window's processor group box), laid out side by side 58 pixels from its
// top and laid out again whenever the group is resized. When the bars would
// be narrower than MinimumBarWidth they are hidden and only the average
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
    QWidget* m_group;
    QLabel* m_label;
    QList<QProgressBar*> m_bars;
};

} // namespace ampero
