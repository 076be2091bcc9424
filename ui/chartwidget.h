// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "ui/chartcolors.h"
#include "ui/chartseries.h"

#include <QPixmap>
#include <QTimer>
#include <QWidget>
#include <memory>
#include <vector>

class QRubberBand;

namespace ampero {

// One vertical axis: its title (with the unit), its range and the step
// between labelled ticks (0: worked out from the range).
struct ChartValueAxis {
    QString title;
    double min = 0;
    double max = 1;
    double tickStep = 0;
    bool visible = false;
};

// The series every chart has, by what they show: the measured levels and the
// fast-mode forecast line.
enum class ChartSeriesRole { Levels = 0, Forecast = 1 };

// The file formats a chart can be saved in.
enum class PictureFormat { Bmp, Png, Svg };

// The battery level (0 to 101 %) over elapsed time, painted with QPainter.
// x values are elapsed times as day fractions (1.0 = 24 hours), y values
// percentages. Two series hold the measured levels and the fast-mode
// forecast line (ChartSeriesRole); more series and a right axis with a unit of its
// own can be added. The bottom axis follows the points (automatic range) and
// labels its ticks "h:mm:ss" with the user's regional time separator, counted
// from x = 0 in every time zone.
//
// Drawing is kept cheap for a test that runs for hours: the axes, grid and
// labels sit in a cached pixmap that is redrawn only when the range moves by
// a pixel or the size changes; a new point at an unchanged scale repaints
// only its own segment, and a point that changes nothing on screen nothing;
// a curve is drawn as at most one vertical span per pixel column, however
// many points it has.
//
// With zooming on, dragging with the left button zooms into the rectangle
// (animated in 20 steps), dragging with the middle button (or the left one
// with Ctrl held) pans, and a right click or Escape returns to the full view.
class ChartWidget : public QWidget {
    Q_OBJECT
public:
    explicit ChartWidget(QWidget* parent = nullptr);
    ~ChartWidget() override;

    // --- Series ---------------------------------------------------------
    // Series 0 holds the levels, series 1 the forecast (ChartSeriesRole).
    // A series takes its colour from the chart's lists by colorSlot
    // (ChartColorSlot), in the light or dark list as the palette is.
    // Returns the new series' index.
    int addSeries(const QString& name, int colorSlot, qreal width, ChartAxisSide axis = ChartAxisSide::Left);
    // For screen readers: the curves in words ("Battery level, 3601
    // samples, from 100% to 62%, forecast line to 0% at 4:12:00").
    QString summary() const;
    // Room for the axes' labels and a readable curve in the widget's font;
    // the minimum is far smaller, so the chart gives way first on a small
    // screen.
    QSize sizeHint() const override;
    int seriesCount() const { return static_cast<int>(m_series.size()); }
    const ChartSeries* series(int index) const { return m_series.at(static_cast<size_t>(index)).get(); }
    const ChartSeries* series(ChartSeriesRole role) const { return series(static_cast<int>(role)); }

    // Takes a series added by addSeries() away; the levels and the forecast stay.
    void removeSeries(int index);
    void setSeriesLegend(int index, const QString& text);
    void setSeriesLife(int index, double life);

    void clearSeries(int index);
    // Points are expected in ascending x.
    void addPoint(int index, double x, double y);
    void setPoints(int index, const QList<QPointF>& points);
    // Evenly spaced one-byte samples: (first + k * step, (*levels)[k]), as a
    // results file holds its levels. The vector is shared, not copied.
    void setSamples(int index, double first, double step, std::shared_ptr<const std::vector<uint8_t>> levels);

    // The same for the series every chart has, by role.
    void clearSeries(ChartSeriesRole role) { clearSeries(static_cast<int>(role)); }
    void addPoint(ChartSeriesRole role, double x, double y) { addPoint(static_cast<int>(role), x, y); }
    void setPoints(ChartSeriesRole role, const QList<QPointF>& points)
    {
        setPoints(static_cast<int>(role), points);
    }
    void setSamples(
        ChartSeriesRole role, double first, double step, std::shared_ptr<const std::vector<uint8_t>> levels)
    {
        setSamples(static_cast<int>(role), first, step, std::move(levels));
    }

    // --- Axes -----------------------------------------------------------
    const ChartValueAxis& leftAxis() const { return m_left; }
    const ChartValueAxis& rightAxis() const { return m_right; }
    // Shows a right axis for series that use it.
    void setRightAxis(const ChartValueAxis& axis);
    // The left axis in place of the battery level's.
    void setLeftAxis(const ChartValueAxis& axis);
    // The bottom axis as a calendar: x is days since 1970-01-01 UTC, labelled
    // by day or by month (dateAxisTicks) in place of elapsed time.
    void setDateAxis(bool on);
    // What screen readers hear of a chart that is not a test's, in place of
    // summary()'s battery level; empty: summary().
    void setDescription(const QString& text);
    QString bottomAxisTitle() const;
    // Shows every series against the share of its own run's battery life:
    // x runs from 0 to 1 and the bottom axis reads percent. A series' life is
    // its own (setSeriesLife) or, for the levels and the forecast, the end of the
    // farther of the two. The points themselves stay as they are.
    void setNormalized(bool on);
    bool isNormalized() const { return m_normalized; }

    // The bottom axis maximum. It reads back unchanged until the range is next
    // worked out from the points (one equal to the minimum widens to a second:
    // the axis never takes an empty range). A value below the axis minimum (or
    // not a finite number) is refused: false, the old maximum stays, *error
    // says why.
    bool setBottomMaximum(double dayFraction, QString* error);
    double bottomMaximum() const { return m_x1; }
    double bottomMinimum() const { return m_x0; }
    // The texts the bottom axis shows now, left to right.
    QStringList bottomLabels() const;

    // --- Mouse ----------------------------------------------------------
    // Zooming and panning with the mouse; switching off returns to the full view.
    void setInteractive(bool on);
    bool isInteractive() const { return m_interactive; }
    bool isZoomed() const { return m_zoomed; }
    bool isAnimating() const { return m_animation.isActive(); }
    // Back to the whole range of the points.
    void resetZoom();

    // While nobody can see the chart (the screen is locked) added points
    // only go into the series; the picture catches up when deferring ends.
    void setDeferringPoints(bool on);
    bool isDeferringPoints() const { return m_deferring; }

    // The rectangle the curves are drawn in, in widget coordinates.
    QRect plotArea() const;

    // Draws the chart at its on-screen size onto white and writes it as a
    // Windows bitmap. False and *error on failure; an existing file is replaced.
    bool saveBitmap(const QString& path, QString* error) const;
    // The same in any format: BMP and PNG as pixels, SVG as a drawing of the
    // same size. The legend of compared runs is part of the picture.
    bool savePicture(const QString& path, PictureFormat format, QString* error) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    struct View {
        double x0 = 0, x1 = 1; // bottom axis
        double f0 = 0, f1 = 1; // fraction of the vertical axes' ranges shown
    };
    struct Layout {
        QRect plot;
        int bottomLabelsTop = 0;
    };

    void dataChanged(); // work the full range out again and show it
    void setAxisRange(double x0, double x1);
    void followAxis(bool segmentOnly, const QRectF& segment);
    void setView(const View& view);
    Layout layoutFor(const QSize& size) const;
    QList<QPair<double, QString>> bottomTicks(double x0, double x1, const QRect& plot) const;
    void paintChart(QPainter& p, const QRect& clip, const View& view, const QSize& size, bool cached,
        const ChartColors& colors) const;
    void paintFrame(QPainter& p, const View& view, const QSize& size, const ChartColors& colors) const;
    void paintSeries(
        QPainter& p, const ChartSeries& s, const View& view, const QRect& plot, int c0, int c1) const;
    QPointF toPixel(const ChartSeries& s, const QPointF& point, const View& view, const QRect& plot) const;
    double xScale(const ChartSeries& s) const; // 1, or 1 / the series' life when normalized
    void paintLegend(QPainter& p, const QRect& plot, const ChartColors& colors) const;
    QPen seriesPen(const ChartSeries& s, const ChartColors& colors) const;
    QString legendText(std::size_t index) const;
    View fullView() const;
    void stepAnimation();

    std::vector<std::unique_ptr<ChartSeries>> m_series;
    ChartValueAxis m_left;
    ChartValueAxis m_right;

    double m_x0 = 0, m_x1 = 0; // the bottom axis range callers see
    View m_drawn; // the range the picture shows; lags m_x0..m_x1 by less than a pixel
    bool m_zoomed = false;
    View m_home; // the range before the first zoom or pan
    bool m_interactive = false;
    bool m_normalized = false;
    bool m_dateAxis = false;
    QString m_description;
    bool m_deferring = false;
    bool m_dirtyWhileDeferring = false;

    mutable QPixmap m_frame; // axes, grid and labels for m_frameView at m_frameSize
    mutable View m_frameView;
    mutable QSize m_frameSize;
    mutable qreal m_frameRatio = 0;

    QTimer m_animation;
    View m_animFrom, m_animTo;
    int m_animStep = 0;

    QRubberBand* m_band = nullptr;
    QPoint m_bandFrom;
    bool m_banding = false;
    bool m_panning = false;
    QPointF m_panFrom;
};

} // namespace ampero
