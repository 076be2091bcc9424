// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/chartwidget.h"

#include "platform/phrases.h"
#include "ui/charttime.h"

#include <QCategoryAxis>
#include <QCoreApplication>
#include <QGraphicsLayout>
#include <QImageWriter>
#include <QLineSeries>
#include <QMouseEvent>
#include <QPainter>
#include <QValueAxis>
#include <algorithm>
#include <cmath>
#include <utility>

namespace ampero {

namespace {

constexpr double OneSecond = 1000.0 / 86400000.0;
// An empty chart spans one minute so the axis has something to show.
constexpr double EmptySpan = 60 * OneSecond;
// The zoom animation: 20 steps of a 60 Hz frame.
constexpr int ZoomAnimationMs = 20 * 16;

void extendBy(const QList<QPointF>& points, double& lo, double& hi, bool& any)
{
    for (const QPointF& p : points) {
        lo = any ? std::min(lo, p.x()) : p.x();
        hi = any ? std::max(hi, p.x()) : p.x();
        any = true;
    }
}

} // namespace

ChartWidget::ChartWidget(QWidget* parent)
    : QChartView(parent)
{
    auto* chart = new QChart;
    chart->legend()->hide();
    chart->setTitle(QString());
    chart->setDropShadowEnabled(false);
    chart->setMargins(QMargins(5, 5, 5, 5));
    chart->setBackgroundRoundness(0);
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->setAnimationDuration(ZoomAnimationMs);

    m_series1 = new QLineSeries(chart);
    m_series1->setObjectName(QStringLiteral("Series1"));
    QPen pen1(Qt::red);
    pen1.setWidth(2);
    pen1.setCapStyle(Qt::FlatCap);
    m_series1->setPen(pen1);
    m_series1->setPointsVisible(false);
    m_series1->setPointLabelsVisible(false);

    m_series2 = new QLineSeries(chart);
    m_series2->setObjectName(QStringLiteral("Series2"));
    QPen pen2(QColor(130, 155, 254));
    pen2.setWidth(1);
    m_series2->setPen(pen2);
    m_series2->setPointsVisible(false);
    m_series2->setPointLabelsVisible(false);

    chart->addSeries(m_series1);
    chart->addSeries(m_series2);

    // Fixed 0 to 101, labelled every 10 %.
    auto* left = new QCategoryAxis(chart);
    left->setObjectName(QStringLiteral("LeftAxis"));
    left->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    for (int v = 0; v <= 100; v += 10)
        left->append(QString::number(v), v);
    left->setStartValue(0);
    left->setRange(0, 101);
    m_left = left;
    m_left->setTitleText(ampero::tr("Battery level, %"));

    m_bottom = new QCategoryAxis(chart);
    m_bottom->setObjectName(QStringLiteral("BottomAxis"));
    m_bottom->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    m_bottom->setTitleText(ampero::tr("Elapsed time"));

    // Axis texts in the window's own font rather than the chart's larger one.
    QFont labels = font();
    m_left->setLabelsFont(labels);
    m_bottom->setLabelsFont(labels);
    labels.setBold(true);
    m_left->setTitleFont(labels);
    m_bottom->setTitleFont(labels);

    m_left->setTruncateLabels(false);
    m_bottom->setTruncateLabels(false);

    chart->addAxis(m_left, Qt::AlignLeft);
    chart->addAxis(m_bottom, Qt::AlignBottom);
    for (QLineSeries* s : { m_series1, m_series2 }) {
        s->attachAxis(m_bottom);
        s->attachAxis(m_left);
    }
    setChart(chart);
    setRenderHint(QPainter::Antialiasing, true);
    setFrameShape(QFrame::NoFrame);
    // The view paints a plain white background, edge to edge, in one fill.
    // The chart's own background is off: it stops short of the view's edges,
    // and the theme's gradient is filled span by span on Qt's thread pool,
    // which woke two threads at every repaint. Opaque, the view spares the
    // windows behind it a repaint whenever it repaints, once a second during
    // a test.
    chart->setBackgroundVisible(false);
    setBackgroundBrush(QBrush(Qt::white));
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);

    // Zooming and panning change the range directly: the labels follow.
    connect(m_bottom, &QValueAxis::rangeChanged, this, [this] { relabel(); });
    autoRange();
}

void ChartWidget::clearSeries1()
{
    clearSeries(m_series1);
}

void ChartWidget::clearSeries2()
{
    clearSeries(m_series2);
}

void ChartWidget::clearSeries(QLineSeries* series)
{
    flushPending();
    // A clear starts a new picture. With series animations on (results on
    // show) the chart would animate the old line away and, when the
    // animations are switched off a moment later by the test start, leave it
    // drawn for good; and a zoom of the old results would come back on the
    // next reset. So: no animation for the clear, and no zoom to go back to.
    const QChart::AnimationOptions animations = chart()->animationOptions();
    chart()->setAnimationOptions(QChart::NoAnimation);
    if (chart()->isZoomed())
        chart()->zoomReset();
    series->clear();
    autoRange();
    chart()->setAnimationOptions(animations);
}

void ChartWidget::addPoint1(double x, double y)
{
    m_pending1.append({ x, y });
    if (!m_deferring && changesPicture())
        flushPending();
}

void ChartWidget::addPoint2(double x, double y)
{
    m_pending2.append({ x, y });
    if (!m_deferring && changesPicture())
        flushPending();
}

void ChartWidget::setDeferringPoints(bool on)
{
    m_deferring = on;
    if (!on)
        flushPending();
}

bool ChartWidget::changesPicture() const
{
    // Each new point widens the bottom axis, and Qt Charts then lays out and
    // draws the whole chart again. Late in a long test a second more moves
    // nothing by a whole pixel, while the level stays the same for minutes:
    // such points wait until together they show, or until anyone asks.
    const QRectF plot = chart()->plotArea();
    const double min = m_bottom->min();
    const double max = m_bottom->max();
    if (m_series1->count() + m_series2->count() == 0 || plot.width() < 1 || !(max > min))
        return true;
    double lo = m_dataMin, hi = m_dataMax;
    bool any = true;
    extendBy(m_pending1, lo, hi, any);
    extendBy(m_pending2, lo, hi, any);
    const double pixelsPerDay = plot.width() / (max - min);
    if (std::abs(hi - max) * pixelsPerDay >= 1.0 || std::abs(lo - min) * pixelsPerDay >= 1.0)
        return true;
    // A new level shows as a step at once.
    const auto stepsAway = [](const QLineSeries* series, const QList<QPointF>& pending) {
        if (pending.isEmpty() || series->count() == 0)
            return !pending.isEmpty();
        const double last = series->at(series->count() - 1).y();
        return std::any_of(
            pending.cbegin(), pending.cend(), [last](const QPointF& p) { return p.y() != last; });
    };
    return stepsAway(m_series1, m_pending1) || stepsAway(m_series2, m_pending2);
}

void ChartWidget::flushPending() const
{
    if (m_pending1.isEmpty() && m_pending2.isEmpty())
        return;
    // Catching the display up changes what is drawn, not what the chart
    // holds for its callers: they see the same points either way.
    auto* self = const_cast<ChartWidget*>(this);
    double lo = m_dataMin, hi = m_dataMax;
    bool any = m_series1->count() + m_series2->count() > 0;
    extendBy(m_pending1, lo, hi, any);
    extendBy(m_pending2, lo, hi, any);
    if (!m_pending1.isEmpty())
        m_series1->append(std::exchange(m_pending1, {}));
    if (!m_pending2.isEmpty())
        m_series2->append(std::exchange(m_pending2, {}));
    // Only the new points can widen the range: no need to look at the others.
    self->m_dataMin = lo;
    self->m_dataMax = hi;
    self->applyRange(lo, hi > lo ? hi : lo + OneSecond);
}

void ChartWidget::setPoints1(const QList<QPointF>& points)
{
    flushPending();
    m_series1->replace(points);
    autoRange();
}

void ChartWidget::setPoints2(const QList<QPointF>& points)
{
    flushPending();
    m_series2->replace(points);
    autoRange();
}

bool ChartWidget::setBottomMaximum(double dayFraction, QString* error)
{
    flushPending();
    const double min = m_bottom->min();
    if (!std::isfinite(dayFraction)) {
        if (error)
            *error = ampero::tr("The axis maximum %1 is not a finite number.").arg(dayFraction);
        return false;
    }
    if (dayFraction < min) {
        if (error)
            *error
                = ampero::tr("The axis maximum %1 is below the axis minimum %2.").arg(dayFraction).arg(min);
        return false;
    }
    applyRange(min, dayFraction);
    return true;
}

double ChartWidget::bottomMaximum() const
{
    flushPending();
    return m_bottom->max();
}

double ChartWidget::bottomMinimum() const
{
    flushPending();
    return m_bottom->min();
}

void ChartWidget::setInteractive(bool on)
{
    flushPending();
    m_interactive = on;
    m_panning = false;
    setRubberBand(on ? QChartView::RectangleRubberBand : QChartView::NoRubberBand);
    chart()->setAnimationOptions(on ? QChart::SeriesAnimations : QChart::NoAnimation);
    if (!on)
        chart()->zoomReset();
}

QStringList ChartWidget::bottomLabels() const
{
    flushPending();
    QStringList labels = m_bottom->categoriesLabels();
    // Labels that repeat carry zero-width spaces to stay distinct keys.
    for (QString& l : labels)
        l.remove(QChar(0x200B));
    return labels;
}

bool ChartWidget::saveBitmap(const QString& path, QString* error) const
{
    flushPending();
    QImage image(size(), QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing, true);
        const_cast<ChartWidget*>(this)->render(&painter, QRectF(QPointF(0, 0), QSizeF(size())), rect());
    }
    QImageWriter writer(path, "bmp");
    if (!writer.write(image)) {
        if (error)
            *error = ampero::tr("Cannot write %1: %2").arg(path, writer.errorString());
        return false;
    }
    return true;
}

void ChartWidget::autoRange()
{
    double lo = 0, hi = 0;
    bool any = false;
    extendBy(m_series1->points(), lo, hi, any);
    extendBy(m_series2->points(), lo, hi, any);
    m_dataMin = lo;
    m_dataMax = hi;
    if (!any) {
        lo = 0;
        hi = EmptySpan;
    } else if (hi <= lo) {
        hi = lo + OneSecond;
    }
    applyRange(lo, hi);
}

void ChartWidget::applyRange(double wantedMin, double wantedMax)
{
    // The axis never gets an end that is not finite, nor an empty range.
    const auto [min, max] = usableAxisRange(wantedMin, wantedMax);
    m_relabelling = true;
    m_bottom->setRange(min, max);
    m_relabelling = false;
    relabel();
    // Lay the chart out now rather than from a posted request after the next
    // repaint: one repaint per change instead of two.
    if (QGraphicsLayout* layout = chart()->layout())
        layout->activate();
}

void ChartWidget::relabel()
{
    if (m_relabelling)
        return;
    m_relabelling = true;
    const double min = m_bottom->min();
    const double max = m_bottom->max();
    const QChar sep = regionalTimeSeparator();
    QList<QPair<QString, double>> wanted;
    QStringList used;
    for (double t : axisTicks(min, max)) {
        // A label right at the end would be cut by the chart's edge.
        if (t > min && max - t < (max - min) * 0.04)
            continue;
        QString label = axisTimeLabel(t, sep);
        while (used.contains(label))
            label.append(QChar(0x200B));
        used.append(label);
        wanted.append({ label, t });
    }
    // During a test the range widens by a second at a time and the ticks
    // mostly stay where they are: every change of the categories makes the
    // chart lay out its axis again, so leave them alone when nothing moved.
    const QStringList current = m_bottom->categoriesLabels();
    bool same = current.size() == wanted.size();
    for (qsizetype i = 0; same && i < wanted.size(); ++i)
        same
            = current.at(i) == wanted.at(i).first && m_bottom->endValue(current.at(i)) == wanted.at(i).second;
    if (!same) {
        for (const QString& l : current)
            m_bottom->remove(l);
        for (const auto& [label, t] : std::as_const(wanted))
            m_bottom->append(label, t);
    }
    if (m_bottom->startValue() != min)
        m_bottom->setStartValue(min);
    // Appending may stretch the axis; the range stays what was asked for.
    if (m_bottom->min() != min || m_bottom->max() != max)
        m_bottom->setRange(min, max);
    m_relabelling = false;
}

void ChartWidget::mousePressEvent(QMouseEvent* event)
{
    if (m_interactive && event->button() == Qt::MiddleButton) {
        m_panning = true;
        m_panFrom = event->position();
        event->accept();
        return;
    }
    QChartView::mousePressEvent(event);
}

void ChartWidget::mouseMoveEvent(QMouseEvent* event)
{
    if (m_panning) {
        const QPointF d = event->position() - m_panFrom;
        m_panFrom = event->position();
        chart()->scroll(-d.x(), d.y());
        event->accept();
        return;
    }
    QChartView::mouseMoveEvent(event);
}

void ChartWidget::mouseReleaseEvent(QMouseEvent* event)
{
    if (m_panning && event->button() == Qt::MiddleButton) {
        m_panning = false;
        event->accept();
        return;
    }
    QChartView::mouseReleaseEvent(event);
}

} // namespace ampero
