// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "ui/chartwidget.h"

namespace ampero::bench {

// A chart that counts its finished paints, so a bench can wait for one.
class TimedChart : public ChartWidget {
public:
    int paints = 0;

protected:
    void paintEvent(QPaintEvent* event) override
    {
        ChartWidget::paintEvent(event);
        ++paints;
    }
};

} // namespace ampero::bench
