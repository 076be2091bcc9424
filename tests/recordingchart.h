#pragma once
// A ChartView that keeps what it was given and counts every call, standing in
// for the main window's chart in tests.
#include "session/sessionports.h"

#include <QStringList>

namespace ampero::test {

class RecordingChart final : public ChartView {
public:
    void clearSeries() override
    {
        calls << QStringLiteral("clear");
        samples.clear();
        forecast.clear();
    }
    void addSample(double x, double y) override
    {
        calls << QStringLiteral("add");
        samples.append(QPointF(x, y));
    }
    void setSamples(const QList<QPointF>& points) override
    {
        calls << QStringLiteral("samples");
        samples = points;
    }
    void setForecastLine(const QList<QPointF>& points) override
    {
        calls << QStringLiteral("forecast");
        forecast = points;
    }
    void setInteractive(bool on) override
    {
        calls << (on ? QStringLiteral("interactive on") : QStringLiteral("interactive off"));
        interactive = on;
    }
    void setBottomMaximum(double dayFraction) override
    {
        calls << QStringLiteral("maximum");
        maximum = dayFraction;
    }
    double bottomMaximum() const override { return maximum; }

    QStringList calls;
    QList<QPointF> samples;
    QList<QPointF> forecast;
    bool interactive = false;
    double maximum = 0.0;
};

} // namespace ampero::test
