// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/chartseries.h"

#include <algorithm>
#include <cmath>

namespace ampero {

namespace {
// Samples per pyramid block, and blocks per block of the level above.
constexpr qsizetype Block = 32;
} // namespace

ChartSeries::ChartSeries(QString name, QColor color, qreal width, Qt::PenCapStyle cap, ChartAxisSide axis)
    : m_name(std::move(name))
    , m_color(color)
    , m_width(width)
    , m_cap(cap)
    , m_axis(axis)
{
}

QPen ChartSeries::pen() const
{
    QPen pen(m_color, m_width);
    pen.setCapStyle(m_cap);
    pen.setJoinStyle(Qt::BevelJoin);
    return pen;
}

qsizetype ChartSeries::count() const
{
    return m_samples ? m_byteCount : m_points.size();
}

QPointF ChartSeries::at(qsizetype i) const
{
    if (m_samples)
        return { m_first + static_cast<double>(i) * m_step, static_cast<double>(m_bytes[i]) };
    return m_points.at(i);
}

QList<QPointF> ChartSeries::points() const
{
    if (!m_samples)
        return m_points;
    QList<QPointF> out;
    out.reserve(count());
    for (qsizetype i = 0; i < count(); ++i)
        out.append(at(i));
    return out;
}

void ChartSeries::clear()
{
    m_points = {};
    m_samples = false;
    m_levels.reset();
    m_bytes = nullptr;
    m_byteCount = 0;
    m_min.clear();
    m_max.clear();
    m_minX = m_maxX = 0;
    m_ordered = true;
}

void ChartSeries::toPoints()
{
    if (!m_samples)
        return;
    QList<QPointF> pts = points();
    const double lo = m_minX, hi = m_maxX;
    clear();
    m_points = std::move(pts);
    m_minX = lo;
    m_maxX = hi;
}

void ChartSeries::append(const QPointF& p)
{
    toPoints();
    if (m_points.isEmpty()) {
        m_minX = m_maxX = p.x();
    } else {
        m_ordered = m_ordered && p.x() >= m_points.constLast().x();
        m_minX = std::min(m_minX, p.x());
        m_maxX = std::max(m_maxX, p.x());
    }
    m_points.append(p);
}

void ChartSeries::setPoints(const QList<QPointF>& points)
{
    clear();
    m_points = points;
    for (qsizetype i = 0; i < points.size(); ++i) {
        const double x = points[i].x();
        m_minX = i == 0 ? x : std::min(m_minX, x);
        m_maxX = i == 0 ? x : std::max(m_maxX, x);
        if (i > 0 && x < points[i - 1].x())
            m_ordered = false;
    }
}

void ChartSeries::setSamples(double first, double step, std::shared_ptr<const std::vector<uint8_t>> levels)
{
    clear();
    if (!levels || levels->empty() || !(step > 0))
        return;
    m_samples = true;
    m_first = first;
    m_step = step;
    m_levels = std::move(levels);
    m_bytes = m_levels->data();
    m_byteCount = static_cast<qsizetype>(m_levels->size());
    m_minX = first;
    m_maxX = first + static_cast<double>(m_byteCount - 1) * step;
    buildPyramid();
}

void ChartSeries::buildPyramid()
{
    const uint8_t* below = m_bytes;
    const uint8_t* belowMax = below;
    qsizetype n = m_byteCount;
    while (n > Block) {
        const qsizetype blocks = (n + Block - 1) / Block;
        std::vector<uint8_t> mins(static_cast<size_t>(blocks)), maxs(static_cast<size_t>(blocks));
        for (qsizetype b = 0; b < blocks; ++b) {
            const qsizetype end = std::min(n, (b + 1) * Block);
            uint8_t lo = 255, hi = 0;
            for (qsizetype i = b * Block; i < end; ++i) {
                lo = std::min(lo, below[i]);
                hi = std::max(hi, belowMax[i]);
            }
            mins[static_cast<size_t>(b)] = lo;
            maxs[static_cast<size_t>(b)] = hi;
        }
        m_min.push_back(std::move(mins));
        m_max.push_back(std::move(maxs));
        below = m_min.back().data();
        belowMax = m_max.back().data();
        n = blocks;
    }
}

qsizetype ChartSeries::lowerBound(double x) const
{
    const qsizetype n = count();
    if (m_samples) {
        const double k = std::ceil((x - m_first) / m_step);
        if (!(k > 0))
            return 0;
        return k >= static_cast<double>(n) ? n : static_cast<qsizetype>(k);
    }
    const auto it = std::lower_bound(
        m_points.cbegin(), m_points.cend(), x, [](const QPointF& p, double v) { return p.x() < v; });
    return it - m_points.cbegin();
}

void ChartSeries::yRange(qsizetype from, qsizetype to, double* lo, double* hi) const
{
    if (!m_samples) {
        double l = m_points[from].y(), h = l;
        for (qsizetype i = from + 1; i < to; ++i) {
            l = std::min(l, m_points[i].y());
            h = std::max(h, m_points[i].y());
        }
        *lo = l;
        *hi = h;
        return;
    }
    // Walk up the pyramid: loose ends at each level, whole blocks above.
    uint8_t l = 255, h = 0;
    const uint8_t* mins = m_bytes;
    const uint8_t* maxs = mins;
    for (size_t level = 0;; ++level) {
        if (level >= m_min.size() || to - from < 2 * Block) {
            for (qsizetype i = from; i < to; ++i) {
                l = std::min(l, mins[i]);
                h = std::max(h, maxs[i]);
            }
            break;
        }
        const qsizetype a = (from + Block - 1) / Block;
        const qsizetype b = to / Block;
        for (qsizetype i = from; i < a * Block; ++i) {
            l = std::min(l, mins[i]);
            h = std::max(h, maxs[i]);
        }
        for (qsizetype i = b * Block; i < to; ++i) {
            l = std::min(l, mins[i]);
            h = std::max(h, maxs[i]);
        }
        mins = m_min[level].data();
        maxs = m_max[level].data();
        from = a;
        to = b;
    }
    *lo = l;
    *hi = h;
}

} // namespace ampero
