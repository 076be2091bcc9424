// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Stands in for the main window's chart: keeps what it was given and notes
// each call by name.
#include "session/sessionports.h"

#include <QStringList>

namespace ampero::test {

class FakeChart final : public ChartView {
public:
    void clearSeries() override { calls << QStringLiteral("clear"), samples.clear(), forecast.clear(); }
    void addSample(double x, double y) override
    {
        calls << QStringLiteral("add"), samples.append(QPointF(x, y));
    }
    void setSamples(const QList<QPointF>& p) override { calls << QStringLiteral("samples"), samples = p; }
    void setForecastLine(const QList<QPointF>& p) override
    {
        calls << QStringLiteral("forecast"), forecast = p;
    }
    void setInteractive(bool on) override { calls << QStringLiteral("interactive"), interactive = on; }
    AxisLimitResult setBottomMaximum(double d) override
    {
        calls << QStringLiteral("maximum");
        if (refuseMaximum)
            return { false, QStringLiteral("refused") };
        maximum = d;
        return {};
    }
    double bottomMaximum() const override { return maximum; }

    QStringList calls;
    QList<QPointF> samples, forecast;
    bool interactive = false;
    double maximum = 0.0;
    bool refuseMaximum = false; // setBottomMaximum refuses every value
};

} // namespace ampero::test
