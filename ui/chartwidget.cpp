// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/chartwidget.h"

#include "core/figuretext.h"
#include "core/phrases.h"
#include "core/timeunits.h"
#include "ui/charttime.h"

#include <QAccessibleWidget>
#include <QBuffer>
#include <QEvent>
#include <QImageWriter>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QRubberBand>
#include <QSaveFile>
#include <QSvgGenerator>
#include <algorithm>
#include <cmath>

namespace ampero {

namespace {

// An empty chart spans one minute so the axis has something to show.
constexpr double EmptySpan = 60 * kDayPerSecond;
constexpr int Margin = 5;
constexpr int TickLength = 4;
constexpr int LabelGap = 3;
constexpr int RightPadding = 10;
// Room around the axis titles, as the plot had it before.
constexpr int TitleInset = 14;
constexpr int TitleGap = 5;
// The zoom animation: 20 steps of a 60 Hz frame.
constexpr int ZoomSteps = 20;
constexpr int ZoomStepMs = 16;

// Round steps for a value axis: 1, 2 or 5 times a power of ten.
double niceStep(double span, int ticks)
{
    if (!(span > 0) || !std::isfinite(span))
        return 0;
    const double raw = span / ticks;
    const double p = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : { 1.0, 2.0, 5.0 })
        if (m * p >= raw)
            return m * p;
    return 10 * p;
}

QList<double> valueTicks(double lo, double hi, double step)
{
    QList<double> out;
    if (!(hi > lo) || !(step > 0))
        return out;
    for (double k = std::ceil(lo / step - 1e-9); k * step <= hi + step * 1e-9 && out.size() < 100; k += 1)
        out.append(k * step);
    return out;
}

QString valueLabel(double v)
{
    return QString::number(std::abs(v) < 1e-9 ? 0.0 : v, 'g', 6);
}

// What a screen reader says of the chart: its name, and a summary of the
// curves as its description, worked out when asked for.
class ChartAccessible final : public QAccessibleWidget {
public:
    explicit ChartAccessible(ChartWidget* chart)
        : QAccessibleWidget(chart, QAccessible::Chart)
    {
    }
    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Description)
            return static_cast<const ChartWidget*>(widget())->summary();
        return QAccessibleWidget::text(t);
    }
};

QAccessibleInterface* makeChartAccessible(const QString& key, QObject* object)
{
    auto* chart = qobject_cast<ChartWidget*>(object);
    return chart && key == QLatin1String(ChartWidget::staticMetaObject.className())
        ? new ChartAccessible(chart)
        : nullptr;
}

} // namespace

ChartWidget::ChartWidget(QWidget* parent)
    : QWidget(parent)
{
    static const bool accessible = [] {
        QAccessible::installFactory(makeChartAccessible);
        return true;
    }();
    Q_UNUSED(accessible);
    setAccessibleName(ampero::phrase("Battery level chart"));
    addSeries(QStringLiteral("levels"), LevelsColor, 2);
    addSeries(QStringLiteral("forecast"), ForecastColor, 1);
    m_left.title = ampero::phrase("Battery level, %");
    m_left.min = 0;
    m_left.max = 101;
    m_left.tickStep = 10;
    m_left.visible = true;

    // Everything is painted, edge to edge: the windows behind need no repaint.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(120, 80);
    m_animation.setInterval(ZoomStepMs);
    m_animation.setTimerType(Qt::PreciseTimer);
    connect(&m_animation, &QTimer::timeout, this, &ChartWidget::stepAnimation);
    dataChanged();
}

ChartWidget::~ChartWidget() = default;

int ChartWidget::addSeries(const QString& name, int colorSlot, qreal width, ChartAxisSide axis)
{
    const QColor light = lightChartColors().series.at(static_cast<std::size_t>(colorSlot));
    m_series.push_back(std::make_unique<ChartSeries>(name, light, width, Qt::FlatCap, axis));
    m_series.back()->setColorSlot(colorSlot);
    return seriesCount() - 1;
}

void ChartWidget::setRightAxis(const ChartValueAxis& axis)
{
    m_right = axis;
    m_frameSize = {};
    update();
}

void ChartWidget::setLeftAxis(const ChartValueAxis& axis)
{
    m_left = axis;
    m_frameSize = {};
    update();
}

void ChartWidget::setDateAxis(bool on)
{
    m_dateAxis = on;
    m_frameSize = {};
    update();
}

void ChartWidget::setDescription(const QString& text)
{
    m_description = text;
}

QString ChartWidget::bottomAxisTitle() const
{
    if (m_dateAxis)
        return ampero::phrase("Date");
    return m_normalized ? ampero::phrase("Share of battery life, %") : ampero::phrase("Elapsed time");
}

void ChartWidget::setNormalized(bool on)
{
    if (m_normalized == on)
        return;
    m_normalized = on;
    m_frameSize = {};
    dataChanged();
}

double ChartWidget::xScale(const ChartSeries& s) const
{
    if (!m_normalized)
        return 1;
    double life = s.life();
    if (!(life > 0)) {
        // The levels and the forecast are one run: the measured curve and its forecast.
        for (int i = 0; i < 2; ++i)
            if (!m_series[static_cast<size_t>(i)]->isEmpty())
                life = std::max(life, m_series[static_cast<size_t>(i)]->maxX());
    }
    return life > 0 && std::isfinite(life) ? 1 / life : 1;
}

void ChartWidget::removeSeries(int index)
{
    if (index < 2 || index >= seriesCount())
        return;
    m_series.erase(m_series.begin() + index);
    dataChanged();
}

void ChartWidget::setSeriesLegend(int index, const QString& text)
{
    m_series.at(static_cast<size_t>(index))->setLegend(text);
    update();
}

void ChartWidget::setSeriesLife(int index, double life)
{
    m_series.at(static_cast<size_t>(index))->setLife(life);
    if (m_normalized)
        dataChanged();
}

// --- Data ------------------------------------------------------------------

void ChartWidget::clearSeries(int index)
{
    m_series.at(static_cast<size_t>(index))->clear();
    dataChanged();
}

void ChartWidget::setPoints(int index, const QList<QPointF>& points)
{
    m_series.at(static_cast<size_t>(index))->setPoints(points);
    dataChanged();
}

void ChartWidget::setSamples(
    int index, double first, double step, std::shared_ptr<const std::vector<uint8_t>> levels)
{
    m_series.at(static_cast<size_t>(index))->setSamples(first, step, std::move(levels));
    dataChanged();
}

ChartWidget::View ChartWidget::fullView() const
{
    double lo = 0, hi = 0;
    bool any = false;
    for (const auto& s : m_series) {
        if (s->isEmpty())
            continue;
        const double k = xScale(*s);
        lo = any ? std::min(lo, s->minX() * k) : s->minX() * k;
        hi = any ? std::max(hi, s->maxX() * k) : s->maxX() * k;
        // A compared run reaches to its battery life (a fast test's forecast).
        if (s->life() > 0)
            hi = std::max(hi, s->life() * k);
        any = true;
    }
    if (m_normalized) {
        // Every run from its start to its end of life.
        lo = 0;
        hi = 1;
    } else if (!any) {
        lo = 0;
        hi = EmptySpan;
    }
    // The axis never gets an end that is not finite, nor an empty range.
    const AxisRange r = usableAxisRange(lo, hi);
    lo = r.min;
    hi = r.max;
    View v;
    v.x0 = lo;
    v.x1 = hi;
    return v;
}

QSize ChartWidget::sizeHint() const
{
    const QFontMetrics fm(font());
    return { fm.averageCharWidth() * 70, fm.height() * 12 };
}

QString ChartWidget::summary() const
{
    if (!m_description.isEmpty())
        return m_description;
    const ChartSeries& levels = *m_series[0];
    QString text = ampero::phrase("Battery level, %1 samples").arg(levels.count());
    const auto percent = [](double y) { return QStringLiteral("%1%").arg(qRound(y)); };
    if (!levels.isEmpty())
        text += ampero::phrase(", from %1 to %2")
                    .arg(percent(levels.at(0).y()), percent(levels.at(levels.count() - 1).y()));
    const ChartSeries& forecast = *m_series[1];
    if (!forecast.isEmpty()) {
        const QPointF end = forecast.at(forecast.count() - 1);
        text += ampero::phrase(", forecast line to %1 at %2")
                    .arg(percent(end.y()), axisTimeLabel(end.x(), regionalTimeSeparator()));
    }
    return text;
}

void ChartWidget::dataChanged()
{
    // A new curve shows whole: a zoom into the old one means nothing now.
    m_animation.stop();
    m_zoomed = false;
    const View v = fullView();
    m_x0 = v.x0;
    m_x1 = v.x1;
    if (m_deferring) {
        m_dirtyWhileDeferring = true;
        return;
    }
    m_drawn = v;
    update();
}

void ChartWidget::addPoint(int index, double x, double y)
{
    ChartSeries& s = *m_series.at(static_cast<size_t>(index));
    s.append({ x, y });
    m_animation.stop();
    m_zoomed = false;
    const View full = fullView();
    m_x0 = full.x0;
    m_x1 = full.x1;
    if (m_deferring) {
        m_dirtyWhileDeferring = true;
        return;
    }
    // The picture follows the range once it has moved by a whole pixel; a
    // second more late in a long test moves nothing.
    const QRect plot = plotArea();
    const double perDay = plot.width() / (m_drawn.x1 - m_drawn.x0);
    const bool moved = !(std::abs(full.x0 - m_drawn.x0) * perDay < 1.0)
        || !(std::abs(full.x1 - m_drawn.x1) * perDay < 1.0) || m_drawn.f0 != 0 || m_drawn.f1 != 1;
    if (moved || s.count() < 2) {
        if (moved) {
            m_drawn = full;
            update();
        }
        return;
    }
    // At an unchanged scale only the new segment is painted, and only when
    // it shows: a point in the same pixel as the last one changes nothing.
    const QPointF a = toPixel(s, s.at(s.count() - 2), m_drawn, plot);
    const QPointF b = toPixel(s, s.at(s.count() - 1), m_drawn, plot);
    if (std::floor(a.x()) == std::floor(b.x()) && std::abs(a.y() - b.y()) < 0.5)
        return;
    const int pad = static_cast<int>(std::ceil(s.pen().widthF())) + 2;
    update(QRectF(a, b).normalized().toAlignedRect().adjusted(-pad, -pad, pad, pad) & rect());
}

void ChartWidget::setDeferringPoints(bool on)
{
    m_deferring = on;
    if (!on && m_dirtyWhileDeferring) {
        m_dirtyWhileDeferring = false;
        m_drawn = View { m_x0, m_x1, 0, 1 };
        update();
    }
}

bool ChartWidget::setBottomMaximum(double dayFraction, QString* error)
{
    if (!std::isfinite(dayFraction)) {
        if (error)
            *error = ampero::phrase("The axis maximum %1 is not a finite number.").arg(dayFraction);
        return false;
    }
    if (dayFraction < m_x0) {
        if (error)
            *error = ampero::phrase("The axis maximum %1 is below the axis minimum %2.")
                         .arg(dayFraction)
                         .arg(m_x0);
        return false;
    }
    m_animation.stop();
    m_zoomed = false;
    if (m_normalized) {
        // Shares of each run's life: the axis stays 0 to 100 %.
        dataChanged();
        return true;
    }
    // Runs compared beside the curve keep the axis wide enough for them.
    for (size_t i = 2; i < m_series.size(); ++i)
        if (!m_series[i]->isEmpty())
            dayFraction = std::max({ dayFraction, m_series[i]->maxX(), m_series[i]->life() });
    // One equal to the minimum widens to a second: never an empty range.
    m_x1 = usableAxisRange(m_x0, dayFraction).max;
    m_drawn = View { m_x0, m_x1, 0, 1 };
    update();
    return true;
}

// --- Zoom and pan ----------------------------------------------------------

void ChartWidget::setInteractive(bool on)
{
    m_interactive = on;
    m_panning = false;
    m_banding = false;
    if (m_band)
        m_band->hide();
    setFocusPolicy(on ? Qt::ClickFocus : Qt::NoFocus);
    if (!on)
        resetZoom();
}

void ChartWidget::resetZoom()
{
    m_animation.stop();
    if (!m_zoomed)
        return;
    m_zoomed = false;
    setView(m_home);
}

void ChartWidget::setView(const View& view)
{
    m_x0 = view.x0;
    m_x1 = view.x1;
    m_drawn = view;
    update();
}

void ChartWidget::stepAnimation()
{
    ++m_animStep;
    const double t = static_cast<double>(m_animStep) / ZoomSteps;
    const auto mix = [t](double a, double b) { return a + (b - a) * t; };
    if (m_animStep >= ZoomSteps) {
        m_animation.stop();
        setView(m_animTo);
        return;
    }
    setView(View { mix(m_animFrom.x0, m_animTo.x0), mix(m_animFrom.x1, m_animTo.x1),
        mix(m_animFrom.f0, m_animTo.f0), mix(m_animFrom.f1, m_animTo.f1) });
}

void ChartWidget::mousePressEvent(QMouseEvent* event)
{
    if (!m_interactive) {
        QWidget::mousePressEvent(event);
        return;
    }
    const bool pan = event->button() == Qt::MiddleButton
        || (event->button() == Qt::LeftButton && event->modifiers().testFlag(Qt::ControlModifier));
    if (pan) {
        m_animation.stop();
        m_panning = true;
        m_panFrom = event->position();
    } else if (event->button() == Qt::LeftButton && plotArea().contains(event->position().toPoint())) {
        m_banding = true;
        m_bandFrom = event->position().toPoint();
        if (!m_band)
            m_band = new QRubberBand(QRubberBand::Rectangle, this);
        m_band->setGeometry(QRect(m_bandFrom, QSize()));
        m_band->show();
    } else if (event->button() == Qt::RightButton) {
        resetZoom();
    }
    event->accept();
}

void ChartWidget::mouseMoveEvent(QMouseEvent* event)
{
    if (m_banding) {
        m_band->setGeometry(QRect(m_bandFrom, event->position().toPoint()).normalized() & plotArea());
    } else if (m_panning) {
        const QRect plot = plotArea();
        const QPointF d = event->position() - m_panFrom;
        m_panFrom = event->position();
        if (!m_zoomed) {
            m_home = View { m_x0, m_x1, 0, 1 };
            m_zoomed = true;
        }
        View v = m_drawn;
        const double dx = -d.x() / plot.width() * (v.x1 - v.x0);
        const double df = d.y() / plot.height() * (v.f1 - v.f0);
        setView(View { v.x0 + dx, v.x1 + dx, v.f0 + df, v.f1 + df });
    } else {
        QWidget::mouseMoveEvent(event);
        return;
    }
    event->accept();
}

void ChartWidget::mouseReleaseEvent(QMouseEvent* event)
{
    if (m_panning && (event->button() == Qt::MiddleButton || event->button() == Qt::LeftButton)) {
        m_panning = false;
    } else if (m_banding && event->button() == Qt::LeftButton) {
        m_banding = false;
        const QRectF r(m_band->geometry());
        m_band->hide();
        if (r.width() < 4 || r.height() < 4)
            return;
        const QRectF plot(plotArea());
        const View v = m_drawn;
        const double dx = (v.x1 - v.x0) / plot.width();
        const double df = (v.f1 - v.f0) / plot.height();
        if (!m_zoomed) {
            m_home = View { m_x0, m_x1, 0, 1 };
            m_zoomed = true;
        }
        m_animFrom = v;
        m_animTo = View { v.x0 + (r.left() - plot.left()) * dx, v.x0 + (r.right() - plot.left()) * dx,
            v.f0 + (plot.bottom() - r.bottom()) * df, v.f0 + (plot.bottom() - r.top()) * df };
        m_animStep = 0;
        m_animation.start();
    } else {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    event->accept();
}

void ChartWidget::keyPressEvent(QKeyEvent* event)
{
    if (m_interactive && event->key() == Qt::Key_Escape && m_zoomed) {
        resetZoom();
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

// --- Geometry --------------------------------------------------------------

ChartWidget::Layout ChartWidget::layoutFor(const QSize& size) const
{
    const QFontMetrics fm(font());
    QFont bold = font();
    bold.setBold(true);
    const QFontMetrics bfm(bold);
    const int side = Margin + TitleInset + bfm.height() + TitleGap
        + fm.horizontalAdvance(QStringLiteral("100")) + 2 + TickLength;
    const int left = side;
    const int right = m_right.visible ? side : Margin + RightPadding;
    const int top = Margin + fm.height() / 2 + 4;
    const int bottom = Margin + TitleInset + bfm.height() + TitleGap + fm.height() + 2 + TickLength;
    Layout l;
    l.plot = QRect(
        left, top, std::max(1, size.width() - left - right), std::max(1, size.height() - top - bottom));
    l.bottomLabelsTop = l.plot.bottom() + 1 + TickLength + 2;
    return l;
}

QRect ChartWidget::plotArea() const
{
    return layoutFor(size()).plot;
}

QPointF ChartWidget::toPixel(
    const ChartSeries& s, const QPointF& point, const View& view, const QRect& plot) const
{
    const ChartValueAxis& axis = s.axis() == ChartAxisSide::Right ? m_right : m_left;
    const double span = axis.max - axis.min;
    const double y0 = axis.min + view.f0 * span;
    const double y1 = axis.min + view.f1 * span;
    const QRectF r(plot);
    return { r.left() + (point.x() * xScale(s) - view.x0) / (view.x1 - view.x0) * r.width(),
        r.bottom() - (point.y() - y0) / (y1 - y0) * r.height() };
}

QList<QPair<double, QString>> ChartWidget::bottomTicks(double x0, double x1, const QRect& plot) const
{
    QList<QPair<double, QString>> out;
    if (!std::isfinite(x0) || !std::isfinite(x1) || !(x1 > x0))
        return out;
    // About one label per 90 pixels, at most 8.
    const int most = std::clamp(plot.width() / 90 + 1, 2, 8);
    if (m_normalized) {
        for (double t : valueTicks(x0, x1, niceStep(x1 - x0, most - 1)))
            out.append({ t, percentText(std::round(t * 100)) });
        return out;
    }
    if (m_dateAxis)
        return dateAxisTicks(x0, x1, std::min(most, std::max(2, plot.width() / 110 + 1)));
    const QChar sep = regionalTimeSeparator();
    for (double t : axisTicks(x0, x1, most)) {
        // A label right at the end would be cut by the chart's edge.
        if (t > x0 && x1 - t < (x1 - x0) * 0.04)
            continue;
        out.append({ t, axisTimeLabel(t, sep) });
    }
    return out;
}

QStringList ChartWidget::bottomLabels() const
{
    QStringList labels;
    for (const auto& tick : bottomTicks(m_x0, m_x1, plotArea()))
        labels.append(tick.second);
    return labels;
}

// --- Painting --------------------------------------------------------------

void ChartWidget::paintFrame(
    QPainter& p, const View& view, const QSize& size, const ChartColors& colors) const
{
    const Layout l = layoutFor(size);
    const QRect plot = l.plot;
    const QRectF pf(plot);
    const QColor& GridColor = colors.grid;
    const QColor& AxisColor = colors.axis;
    const QColor& LabelColor = colors.text;
    p.fillRect(QRect(QPoint(0, 0), size), colors.background);
    const QFontMetrics fm(font());
    QFont bold = font();
    bold.setBold(true);
    const QFontMetrics bfm(bold);

    // Horizontal grid and the vertical axes' labels.
    for (const ChartValueAxis* axis : { &m_left, &m_right }) {
        if (!axis->visible)
            continue;
        const bool left = axis == &m_left;
        const double span = axis->max - axis->min;
        const double y0 = axis->min + view.f0 * span;
        const double y1 = axis->min + view.f1 * span;
        double step = axis->tickStep > 0 ? axis->tickStep : niceStep(y1 - y0, 5);
        if (step > 0 && (y1 - y0) / step < 2)
            step = niceStep(y1 - y0, 5);
        for (double v : valueTicks(y0, y1, step)) {
            if (v > axis->max)
                continue;
            const double y = pf.bottom() - (v - y0) / (y1 - y0) * pf.height();
            const int yi = static_cast<int>(std::round(y - 0.5));
            if (left) {
                p.fillRect(QRect(plot.left(), yi, plot.width(), 1), GridColor);
                p.fillRect(QRect(plot.left() - TickLength, yi, TickLength, 1), AxisColor);
            } else {
                p.fillRect(QRect(plot.right() + 1, yi, TickLength, 1), AxisColor);
            }
            const QString text = valueLabel(v);
            const int w = fm.horizontalAdvance(text);
            const int x
                = left ? plot.left() - TickLength - LabelGap - w : plot.right() + 1 + TickLength + LabelGap;
            p.setPen(LabelColor);
            p.setFont(font());
            p.drawText(QPointF(x, yi + fm.ascent() / 2.0 - 1), text);
        }
        // The title, turned to read upwards beside its labels.
        p.save();
        p.setFont(bold);
        p.setPen(LabelColor);
        const int tx = left ? Margin + TitleInset : size.width() - Margin - TitleInset - bfm.height();
        p.translate(tx + bfm.ascent(), plot.center().y() + bfm.horizontalAdvance(axis->title) / 2.0);
        p.rotate(-90);
        p.drawText(QPointF(0, 0), axis->title);
        p.restore();
    }

    // Vertical grid and the bottom axis' labels.
    p.setFont(font());
    for (const auto& [t, text] : bottomTicks(view.x0, view.x1, plot)) {
        const double x = pf.left() + (t - view.x0) / (view.x1 - view.x0) * pf.width();
        const int xi = static_cast<int>(std::round(x - 0.5));
        p.fillRect(QRect(xi, plot.top(), 1, plot.height()), GridColor);
        p.fillRect(QRect(xi, plot.bottom() + 1, 1, TickLength), AxisColor);
        const int w = fm.horizontalAdvance(text);
        p.setPen(LabelColor);
        p.drawText(
            QPointF(std::min(x - w / 2.0, size.width() - 1.0 - w), l.bottomLabelsTop + fm.ascent()), text);
    }
    p.setFont(bold);
    const QString title = bottomAxisTitle();
    p.drawText(QPointF(pf.center().x() - bfm.horizontalAdvance(title) / 2.0,
                   l.bottomLabelsTop + fm.height() + TitleGap + bfm.ascent()),
        title);

    // The plot's frame; the axes in a stronger line.
    p.fillRect(QRect(plot.left(), plot.top(), plot.width(), 1), GridColor);
    p.fillRect(QRect(plot.right(), plot.top(), 1, plot.height()), GridColor);
    p.fillRect(QRect(plot.left() - 1, plot.top(), 1, plot.height() + 1), AxisColor);
    p.fillRect(QRect(plot.left() - 1, plot.bottom() + 1, plot.width() + 1, 1), AxisColor);
    if (m_right.visible)
        p.fillRect(QRect(plot.right() + 1, plot.top(), 1, plot.height() + 1), AxisColor);
}

void ChartWidget::paintSeries(
    QPainter& p, const ChartSeries& s, const View& view, const QRect& plot, int c0, int c1) const
{
    const qsizetype n = s.count();
    if (n < 2)
        return;
    QList<QPointF> line;
    // A point that is not a number is left out, one far off the plot is
    // brought near it: the painter gets only coordinates it can handle.
    const auto add = [&line](QPointF q) {
        if (std::isnan(q.x()) || std::isnan(q.y()))
            return;
        line.append({ std::clamp(q.x(), -1e5, 1e5), std::clamp(q.y(), -1e5, 1e5) });
    };
    if (!s.isOrdered()) { // not in x order: draw it as given
        line.reserve(n);
        for (qsizetype i = 0; i < n; ++i)
            add(toPixel(s, s.at(i), view, plot));
        p.drawPolyline(line.constData(), static_cast<int>(line.size()));
        return;
    }
    // Columns are found in the series' own x: the chart's x over its scale.
    const double k = xScale(s);
    const double perPixel = (view.x1 - view.x0) / plot.width();
    const auto xAt = [&](int column) { return (view.x0 + column * perPixel) / k; };
    const qsizetype i0 = s.lowerBound(xAt(c0));
    const qsizetype i1 = s.lowerBound(xAt(c1 + 1));
    line.reserve(4 * static_cast<qsizetype>(c1 - c0 + 3));
    if (i0 > 0)
        add(toPixel(s, s.at(i0 - 1), view, plot));
    // One vertical span per pixel column: the first point, the column's
    // lowest and highest level, the last point.
    for (qsizetype i = i0; i < i1;) {
        const QPointF first = s.at(i);
        const int column = static_cast<int>(std::clamp(
            std::floor((first.x() * k - view.x0) / perPixel), -1.0, static_cast<double>(plot.width())));
        qsizetype j = std::max(i + 1, s.lowerBound(xAt(column + 1)));
        j = std::min(j, n);
        add(toPixel(s, first, view, plot));
        if (j - i > 2) {
            double lo = 0, hi = 0;
            s.yRange(i, j, &lo, &hi);
            const double cx = first.x();
            add(toPixel(s, { cx, lo }, view, plot));
            add(toPixel(s, { cx, hi }, view, plot));
        }
        if (j - i > 1)
            add(toPixel(s, s.at(j - 1), view, plot));
        i = j;
    }
    if (i1 < n)
        add(toPixel(s, s.at(i1), view, plot));
    p.drawPolyline(line.constData(), static_cast<int>(line.size()));
}

void ChartWidget::paintChart(QPainter& p, const QRect& clip, const View& view, const QSize& size, bool cached,
    const ChartColors& colors) const
{
    if (cached) {
        const qreal ratio = devicePixelRatioF();
        if (m_frame.isNull() || m_frameSize != size || m_frameRatio != ratio || m_frameView.x0 != view.x0
            || m_frameView.x1 != view.x1 || m_frameView.f0 != view.f0 || m_frameView.f1 != view.f1) {
            m_frame = QPixmap(size * ratio);
            m_frame.setDevicePixelRatio(ratio);
            QPainter fp(&m_frame);
            paintFrame(fp, view, size, colors);
            m_frameView = view;
            m_frameSize = size;
            m_frameRatio = ratio;
        }
        p.drawPixmap(QRectF(clip), m_frame,
            QRectF(clip.x() * ratio, clip.y() * ratio, clip.width() * ratio, clip.height() * ratio));
    } else {
        paintFrame(p, view, size, colors);
    }
    const QRect plot = layoutFor(size).plot;
    const QRect area = plot.adjusted(-1, -1, 1, 1) & clip;
    if (area.isEmpty())
        return;
    p.save();
    p.setClipRect(area);
    p.setRenderHint(QPainter::Antialiasing, true);
    const int c0 = std::max(0, area.left() - plot.left() - 2);
    const int c1 = std::min(plot.width() - 1, area.right() - plot.left() + 2);
    // Later series over earlier ones, the measured curve on top.
    for (auto it = m_series.rbegin(); it != m_series.rend(); ++it) {
        p.setPen(seriesPen(**it, colors));
        paintSeries(p, **it, view, plot, c0, c1);
    }
    p.setRenderHint(QPainter::Antialiasing, false);
    paintLegend(p, plot, colors);
    p.restore();
}

QPen ChartWidget::seriesPen(const ChartSeries& s, const ChartColors& colors) const
{
    QPen pen = s.pen();
    if (s.colorSlot() >= 0 && s.colorSlot() < ChartColorCount)
        pen.setColor(colors.series.at(static_cast<std::size_t>(s.colorSlot())));
    return pen;
}

QString ChartWidget::legendText(std::size_t index) const
{
    const ChartSeries& s = *m_series.at(index);
    if (!s.legend().isEmpty() || index > 1)
        return s.legend();
    return index == 0 ? ampero::phrase("Battery level") : ampero::phrase("Forecast");
}

void ChartWidget::paintLegend(QPainter& p, const QRect& plot, const ChartColors& colors) const
{
    // A legend once there is more than the measured curve: the forecast,
    // the power or the runs compared with it.
    const auto named = [this](std::size_t i) { return !m_series[i]->isEmpty() && !legendText(i).isEmpty(); };
    bool more = false;
    for (std::size_t i = 1; i < m_series.size(); ++i)
        more = more || named(i);
    if (!more)
        return;
    const QColor& AxisColor = colors.axis;
    const QColor& LabelColor = colors.text;
    const QFontMetrics fm(font());
    constexpr int Pad = 4;
    constexpr int Swatch = 18;
    int width = 0;
    int rows = 0;
    for (std::size_t i = 0; i < m_series.size(); ++i) {
        if (named(i)) {
            width = std::max(width, fm.horizontalAdvance(legendText(i)));
            ++rows;
        }
    }
    const int line = fm.height();
    const QRect box(plot.right() - Pad - (Swatch + 2 * Pad + width + Pad), plot.top() + Pad,
        Swatch + 3 * Pad + width, rows * line + 2 * Pad);
    p.setPen(AxisColor);
    QColor boxColor = colors.background;
    boxColor.setAlpha(230);
    p.setBrush(boxColor);
    p.drawRect(box);
    p.setBrush(Qt::NoBrush);
    p.setFont(font());
    int y = box.top() + Pad;
    for (std::size_t i = 0; i < m_series.size(); ++i) {
        if (!named(i))
            continue;
        QPen pen = seriesPen(*m_series[i], colors);
        pen.setWidthF(std::max<qreal>(2, pen.widthF()));
        p.setPen(pen);
        const int mid = y + line / 2;
        p.drawLine(box.left() + Pad, mid, box.left() + Pad + Swatch, mid);
        p.setPen(LabelColor);
        p.drawText(QPointF(box.left() + 2 * Pad + Swatch, y + fm.ascent()), legendText(i));
        y += line;
    }
}

void ChartWidget::paintEvent(QPaintEvent* event)
{
    QPainter p(this);
    paintChart(p, event->rect(), m_drawn, size(), true, chartColors(palette()));
}

void ChartWidget::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_drawn = View { m_x0, m_x1, m_drawn.f0, m_drawn.f1 };
}

void ChartWidget::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange || event->type() == QEvent::LocaleChange
        || event->type() == QEvent::PaletteChange)
        m_frameSize = {};
    QWidget::changeEvent(event);
}

bool ChartWidget::saveBitmap(const QString& path, QString* error) const
{
    return savePicture(path, PictureFormat::Bmp, error);
}

bool ChartWidget::savePicture(const QString& path, PictureFormat format, QString* error) const
{
    const View view { m_x0, m_x1, m_drawn.f0, m_drawn.f1 };
    const auto failed = [&](const QString& why) {
        if (error)
            *error = ampero::phrase("Cannot write %1: %2").arg(path, why);
        return false;
    };
    if (format == PictureFormat::Svg) {
        // Drawn into memory first, so that a failed write is reported with
        // its reason and leaves no half-written file.
        QByteArray svg;
        {
            QBuffer buffer(&svg);
            QSvgGenerator generator;
            generator.setOutputDevice(&buffer);
            generator.setSize(size());
            generator.setViewBox(rect());
            generator.setResolution(logicalDpiX());
            generator.setTitle(QStringLiteral("Orvex Ampero"));
            QPainter p(&generator);
            p.fillRect(rect(), Qt::white);
            paintChart(p, rect(), view, size(), false, lightChartColors());
        }
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(svg) != svg.size() || !file.commit())
            return failed(file.errorString());
        return true;
    }
    QImage image(size(), QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        // Every point, also those that have not reached the screen yet.
        QPainter p(&image);
        paintChart(p, image.rect(), view, size(), false, lightChartColors());
    }
    QImageWriter writer(path, format == PictureFormat::Png ? "png" : "bmp");
    if (!writer.write(image))
        return failed(writer.errorString());
    return true;
}

} // namespace ampero
