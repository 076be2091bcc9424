// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The data of one chart line and what drawing it needs: the points in the
// order of their x values, the smallest and largest y over a run of them, and
// the index of the first point at or after an x.
//
// A series holds either loose points (a running test, a forecast line) or
// evenly spaced samples of one byte each (a results file): x = first + k *
// step, y = the byte. Samples take one byte per point and share the caller's
// vector (the results file's bytes as the evaluation keeps them), so a 64 MiB
// file of tens of millions of samples costs 64 MiB once;
// a pyramid of block minima and maxima (about 1/32 of that) answers the
// smallest and largest level of any run without walking it.
#include <QColor>
#include <QList>
#include <QPen>
#include <QPointF>
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

namespace ampero {

// Which vertical axis a series is drawn against.
enum class ChartAxisSide { Left, Right };

class ChartSeries {
public:
    ChartSeries(QString name, QColor color, qreal width, Qt::PenCapStyle cap,
        ChartAxisSide axis = ChartAxisSide::Left);

    const QString& name() const { return m_name; }
    // The text of the series in the chart's legend; empty: not in the legend.
    const QString& legend() const { return m_legend; }
    void setLegend(const QString& text) { m_legend = text; }
    // The x at which the run the series shows ended (its battery life), for
    // a chart that shows each run against its own life; 0: not known.
    double life() const { return m_life; }
    void setLife(double x) { m_life = x; }
    // The pen in the series' own colour (the one of the light list for a
    // series with a colour slot).
    QPen pen() const;
    // Its place in the chart's colour lists (ChartColorSlot); -1: none, the
    // series keeps its own colour.
    int colorSlot() const { return m_colorSlot; }
    void setColorSlot(int slot) { m_colorSlot = slot; }
    ChartAxisSide axis() const { return m_axis; }

    qsizetype count() const;
    bool isEmpty() const { return count() == 0; }
    QPointF at(qsizetype i) const;
    // Every point; for samples this builds the list, so it is for readers
    // of short series and for tests.
    QList<QPointF> points() const;

    // Smallest and largest x (0, 0 when empty).
    double minX() const { return m_minX; }
    double maxX() const { return m_maxX; }

    void clear();
    // Appends one loose point (samples turn into loose points first).
    void append(const QPointF& p);
    void setPoints(const QList<QPointF>& points);
    // Sample k is (first + k * step, (*levels)[k]); the vector is shared, not
    // copied. step must be above 0.
    void setSamples(double first, double step, std::shared_ptr<const std::vector<uint8_t>> levels);

    // The first index whose x is at or after x (count() when none); meaningful
    // when the x values do not decrease, see isOrdered().
    qsizetype lowerBound(double x) const;
    bool isOrdered() const { return m_ordered; }
    // Smallest and largest y of the points [from, to), to > from.
    void yRange(qsizetype from, qsizetype to, double* lo, double* hi) const;

private:
    void buildPyramid();
    void toPoints();

    QString m_name;
    QColor m_color;
    int m_colorSlot = -1;
    qreal m_width;
    Qt::PenCapStyle m_cap;
    ChartAxisSide m_axis;
    QString m_legend;
    double m_life = 0;

    QList<QPointF> m_points;
    bool m_samples = false;
    double m_first = 0;
    double m_step = 1;
    std::shared_ptr<const std::vector<uint8_t>> m_levels;
    const uint8_t* m_bytes = nullptr; // m_levels' data
    qsizetype m_byteCount = 0;
    // Level l holds the minimum and maximum of each block of Block^(l+1) samples.
    std::vector<std::vector<uint8_t>> m_min;
    std::vector<std::vector<uint8_t>> m_max;

    double m_minX = 0;
    double m_maxX = 0;
    bool m_ordered = true;
};

} // namespace ampero
