// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QChartView>
#include <QList>
#include <QPointF>

class QCategoryAxis;
class QLineSeries;
class QValueAxis;

namespace ampero {

// Chart1: the battery level (0 to 101 %) over elapsed time. x values are
// elapsed times as day fractions (1.0 = 24 hours), y values percentages.
// Series1 holds the measured levels, Series2 the fast-mode forecast line.
// The bottom axis follows the points (automatic range) and labels its ticks
// "h:mm:ss" with the user's regional time separator, counted from x = 0 in
// every time zone.
class ChartWidget : public QChartView {
    Q_OBJECT
public:
    explicit ChartWidget(QWidget* parent = nullptr);

    QLineSeries* series1() const
    {
        flushPending();
        return m_series1;
    }
    QLineSeries* series2() const
    {
        flushPending();
        return m_series2;
    }
    QValueAxis* leftAxis() const { return m_left; }
    QCategoryAxis* bottomAxis() const { return m_bottom; }

    void clearSeries1();
    void clearSeries2();
    void addPoint1(double x, double y);
    void addPoint2(double x, double y);
    // Replace every point of a series in one call (100 000 points included).
    void setPoints1(const QList<QPointF>& points);
    void setPoints2(const QList<QPointF>& points);

    // The bottom axis maximum. It reads back unchanged until the range is next
    // worked out from the points (one equal to the minimum widens to a second:
    // the axis never takes an empty range). A value below the axis minimum (or
    // not a finite number) is refused: false, the old maximum stays, *error
    // says why.
    bool setBottomMaximum(double dayFraction, QString* error);
    double bottomMaximum() const;
    double bottomMinimum() const;

    // Zooming (rubber band, animated) and panning (middle button drag) with the mouse.
    void setInteractive(bool on);
    bool isInteractive() const { return m_interactive; }

    // A point that would not change the picture by a whole pixel waits to be
    // drawn with the next one that does. While nobody can see the chart (the
    // screen is locked) every added point waits, instead of the chart being
    // laid out anew each second; they are drawn in one go when deferring
    // ends. Anything that asks the chart for its state sees every point.
    void setDeferringPoints(bool on);
    bool isDeferringPoints() const { return m_deferring; }

    // The texts the bottom axis shows now, left to right.
    QStringList bottomLabels() const;

    // Draws the chart at its on-screen size onto white and writes it as a
    // Windows bitmap. False and *error on failure; an existing file is replaced.
    bool saveBitmap(const QString& path, QString* error) const;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void clearSeries(QLineSeries* series);
    void autoRange();
    bool changesPicture() const;
    void applyRange(double min, double max);
    void relabel();
    void flushPending() const;

    QLineSeries* m_series1 = nullptr;
    QLineSeries* m_series2 = nullptr;
    QValueAxis* m_left = nullptr;
    QCategoryAxis* m_bottom = nullptr;
    double m_dataMin = 0; // smallest and largest x of both series
    double m_dataMax = 0;
    bool m_interactive = false;
    bool m_relabelling = false;
    bool m_panning = false;
    bool m_deferring = false;
    mutable QList<QPointF> m_pending1; // points added but not drawn yet
    mutable QList<QPointF> m_pending2;
    QPointF m_panFrom;
};

} // namespace ampero
