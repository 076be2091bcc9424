// SPDX-License-Identifier: GPL-3.0-or-later
// The chart as the user sees it: elapsed-time labels in every time zone, the
// curves' colours and widths, what stays on screen after a clear or a partial
// repaint, the bottom-axis maximum, zooming and panning with the mouse, and
// the bitmap it saves.
#include "results/evaluation.h"
#include "support/testutil.h"
#include "ui/charttime.h"
#include "ui/chartwidget.h"
#include "ui/mainwindow.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPalette>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <array>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>
#include <limits>
#include <unistd.h>

using namespace ampero;

namespace {

constexpr double Second = 1.0 / 86400.0;

struct LabelCase {
    const char* name;
    double dayFraction;
    char sep;
    const char* text;
};

void PrintTo(const LabelCase& c, std::ostream* os)
{
    *os << c.name;
}

class AxisLabel : public ::testing::TestWithParam<LabelCase> { };

TEST_P(AxisLabel, ReadsElapsedTime)
{
    const LabelCase& c = GetParam();
    EXPECT_EQ(axisTimeLabel(c.dayFraction, QLatin1Char(c.sep)), QString::fromLatin1(c.text));
}

INSTANTIATE_TEST_SUITE_P(Cases, AxisLabel,
    ::testing::Values(LabelCase { "zero", 0.0, ':', "0:00:00" },
        LabelCase { "oneSecond", Second, ':', "0:00:01" },
        LabelCase { "hourMinuteSecond", 3909 * Second, ':', "1:05:09" },
        LabelCase { "lastSecondOfDay", 86399 * Second, ':', "23:59:59" },
        LabelCase { "dayDropped", 25 * 3600 * Second, ':', "1:00:00" },
        LabelCase { "roundsToNearestMs", 59.9996 * Second, ':', "0:01:00" },
        LabelCase { "belowHalfMsStays", 59.9994 * Second, ':', "0:00:59" },
        LabelCase { "regionalDot", 3909 * Second, '.', "1.05.09" },
        LabelCase { "negativeEmpty", -Second, ':', "" }),
    [](const ::testing::TestParamInfo<LabelCase>& i) { return std::string(i.param.name); });

TEST(AxisTicks, StepsAreRoundAndInsideTheRange)
{
    // One minute: every 10 seconds.
    const QList<double> minute = axisTicks(0, 60 * Second);
    ASSERT_EQ(minute.size(), 7);
    EXPECT_EQ(axisTimeLabel(minute[1], QLatin1Char(':')), QStringLiteral("0:00:10"));
    // Three hours: every 30 minutes.
    const QList<double> hours = axisTicks(0, 3 * 3600 * Second);
    EXPECT_EQ(axisTimeLabel(hours[1], QLatin1Char(':')), QStringLiteral("0:30:00"));
    for (double t : hours) {
        EXPECT_GE(t, 0.0);
        EXPECT_LE(t, 3 * 3600 * Second + 1e-12);
    }
    // A range that starts off zero starts at the next round step.
    const QList<double> shifted = axisTicks(7 * Second, 67 * Second);
    EXPECT_EQ(axisTimeLabel(shifted.first(), QLatin1Char(':')), QStringLiteral("0:00:10"));
    EXPECT_TRUE(axisTicks(5 * Second, 5 * Second).isEmpty());
    EXPECT_TRUE(axisTicks(5 * Second, Second).isEmpty());
}

TEST(AxisTicks, EndForAnyFiniteRange)
{
    // Each range in a child process that is stopped after a few seconds: a
    // tick routine that never ends must fail here, not hang the suite.
    const struct {
        const char* what;
        double min, max;
    } rows[] = {
        { "narrowest range far out", 1e12, std::nextafter(1e12, 2e12) },
        { "a second far out", 1e15, 1e15 + Second },
        { "huge span", 0.0, 1e306 },
        { "widest span", -std::numeric_limits<double>::max(), std::numeric_limits<double>::max() },
        { "tiny numbers", 0.0, 5e-324 },
    };
    for (const auto& r : rows) {
        EXPECT_EXIT(
            {
                alarm(5);
                const QList<double> ticks = axisTicks(r.min, r.max);
                bool inside = ticks.size() <= 8;
                for (double t : ticks)
                    inside = inside && std::isfinite(t) && t >= r.min && t <= r.max;
                std::_Exit(inside ? 0 : 1);
            },
            ::testing::ExitedWithCode(0), "")
            << r.what;
    }
}

TEST(AxisLabel, NumbersBeyondAnyTimeGiveNoText)
{
    for (double v :
        { std::numeric_limits<double>::infinity(), std::nan(""), 1e306, std::numeric_limits<double>::max() })
        EXPECT_EQ(axisTimeLabel(v, QLatin1Char(':')).toStdString(), "") << v;
}

class ScopedTz {
public:
    explicit ScopedTz(const char* zone)
        : m_old(qgetenv("TZ"))
    {
        qputenv("TZ", zone);
        tzset();
    }
    ~ScopedTz()
    {
        if (m_old.isNull())
            qunsetenv("TZ");
        else
            qputenv("TZ", m_old);
        tzset();
    }

private:
    QByteArray m_old;
};

QImage render(const ChartWidget& chart)
{
    return const_cast<ChartWidget&>(chart).grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// What the screen shows of a shown chart: the window's backing store, with
// every partial repaint as it happened.
QImage onScreen(ChartWidget& chart)
{
    QCoreApplication::processEvents();
    return chart.screen()->grabWindow(chart.winId()).toImage().convertToFormat(QImage::Format_RGB32);
}

// A shown chart of the main window's size.
struct ShownChart {
    ShownChart()
    {
        chart.resize(626, 250);
        chart.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&chart));
    }
    ChartWidget chart;
};

// How much of a line of colour ink covers the pixels of one column, summed:
// the line's width in pixels, whatever the antialiasing spread it over.
double coverage(const QImage& drawn, const QImage& empty, int x, int y0, int y1, QColor ink, bool redChannel)
{
    double sum = 0;
    for (int y = y0; y <= y1; ++y) {
        const QColor b = empty.pixelColor(x, y);
        const QColor r = drawn.pixelColor(x, y);
        sum += redChannel ? double(b.red() - r.red()) / (b.red() - ink.red())
                          : double(b.green() - r.green()) / (b.green() - ink.green());
    }
    return sum;
}

TEST(Chart, BottomAxisStartsAtZeroInEveryTimeZone)
{
    QImage utc;
    for (const char* zone :
        { "UTC", "Asia/Kolkata", "America/St_Johns", "Pacific/Kiritimati", "America/Los_Angeles" }) {
        SCOPED_TRACE(zone);
        ScopedTz tz(zone);
        ChartWidget chart;
        chart.resize(600, 300);
        for (int k = 0; k <= 90; ++k)
            chart.addPoint(ChartSeriesRole::Levels, k * Second, 100 - k / 30);
        const QStringList labels = chart.bottomLabels();
        ASSERT_FALSE(labels.isEmpty());
        EXPECT_EQ(labels.first(), QStringLiteral("0:00:00"));
        EXPECT_TRUE(labels.contains(QStringLiteral("0:00:30")));
        // And the picture is the same in every zone, labels included.
        const QImage image = render(chart);
        if (utc.isNull())
            utc = image;
        EXPECT_TRUE(image == utc);
    }
}

TEST(Chart, CurvesHaveTheirColourAndWidth)
{
    ChartWidget chart;
    chart.resize(626, 250);
    const QImage empty = render(chart);
    chart.addPoint(ChartSeriesRole::Levels, 0, 55);
    chart.addPoint(ChartSeriesRole::Levels, 60 * Second, 55);
    chart.setPoints(ChartSeriesRole::Forecast, { { 0, 25 }, { 60 * Second, 25 } });
    const QImage drawn = render(chart);
    const QRect plot = chart.plotArea();
    const int x = plot.left() + plot.width() * 3 / 8;
    const int mid = plot.top() + plot.height() * 6 / 10; // between the two lines
    EXPECT_NEAR(coverage(drawn, empty, x, plot.top(), mid, Qt::red, false), 2.0, 0.25);
    const QColor forecast = lightChartColors().series[ForecastColor];
    EXPECT_NEAR(coverage(drawn, empty, x, mid, plot.bottom(), forecast, true), 1.0, 0.2);
    EXPECT_NEAR(coverage(drawn, empty, x, mid, plot.bottom(), forecast, false), 1.0, 0.2);
    // A pure red at the thick line's centre.
    bool red = false;
    for (int y = plot.top(); y <= plot.bottom(); ++y)
        red = red || drawn.pixelColor(x, y) == QColor(Qt::red);
    EXPECT_TRUE(red);
    // Flat ends: nothing of the red line left of the first point.
    EXPECT_EQ(drawn.pixelColor(plot.left() - 3, plot.top() + plot.height() / 2),
        empty.pixelColor(plot.left() - 3, plot.top() + plot.height() / 2));
    // The left axis stays 0 to 101 whatever the points.
    chart.addPoint(ChartSeriesRole::Levels, 61 * Second, 250);
    EXPECT_EQ(chart.leftAxis().min, 0.0);
    EXPECT_EQ(chart.leftAxis().max, 101.0);
}

TEST(Chart, AThirdSeriesOnARightAxisOfItsOwn)
{
    ChartWidget chart;
    chart.resize(626, 250);
    const int watts = chart.addSeries(QStringLiteral("Power"), PowerColor, 2, ChartAxisSide::Right);
    chart.setRightAxis({ QStringLiteral("Power, W"), 0, 40, 0, true });
    chart.setPoints(watts, { { 0, 20 }, { 60 * Second, 20 } });
    chart.setPoints(ChartSeriesRole::Levels, { { 0, 80 }, { 60 * Second, 80 } });
    const QImage image = render(chart);
    const QRect plot = chart.plotArea();
    // 20 W is half way up the right axis, 80 % high on the left one.
    const int x = plot.left() + plot.width() * 3 / 8;
    const auto rowOf = [&](QColor ink) {
        for (int y = plot.top(); y <= plot.bottom(); ++y)
            if (image.pixelColor(x, y) == ink)
                return y;
        return -1;
    };
    EXPECT_NEAR(rowOf(QColor(0, 128, 0)), plot.top() + plot.height() / 2.0, 2);
    EXPECT_NEAR(rowOf(Qt::red), plot.bottom() - plot.height() * 80 / 101.0, 2);
    EXPECT_LT(plot.right(), 626 - 40); // room for the right axis' labels and title
}

TEST(Chart, ScreenShowsExactlyThePointsAfterPartialRepaintsAndClears)
{
    ShownChart shown;
    ChartWidget& chart = shown.chart;
    // A test an hour in, then seconds that mostly change nothing on screen,
    // then a level change: each repaints only what it must.
    for (int s = 0; s <= 3600; ++s)
        chart.addPoint(ChartSeriesRole::Levels, s * Second, 100 - s / 600);
    EXPECT_TRUE(onScreen(chart) == render(chart));
    for (int s = 3601; s <= 3700; ++s) {
        chart.addPoint(ChartSeriesRole::Levels, s * Second, s < 3650 ? 94 : 93);
        QCoreApplication::processEvents();
    }
    EXPECT_TRUE(onScreen(chart) == render(chart));

    // A forecast line, then a new test: nothing of the old curves remains.
    chart.setPoints(ChartSeriesRole::Forecast, { { 0, 100 }, { 4 * 3600 * Second, 0 } });
    QCoreApplication::processEvents();
    chart.clearSeries(ChartSeriesRole::Levels);
    chart.clearSeries(ChartSeriesRole::Forecast);
    const QImage cleared = onScreen(chart);
    ChartWidget fresh;
    fresh.resize(chart.size());
    EXPECT_TRUE(cleared == render(fresh));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("graph.bmp"));
    ASSERT_TRUE(chart.saveBitmap(path, nullptr));
    EXPECT_TRUE(QImage(path, "BMP").convertToFormat(QImage::Format_RGB32) == render(fresh));
}

TEST(Chart, APointThatChangesNothingOnScreenIsNotPainted)
{
    ShownChart shown;
    ChartWidget& chart = shown.chart;
    for (int s = 0; s <= 36000; ++s)
        chart.addPoint(ChartSeriesRole::Levels, s * Second, 100 - s / 360);
    QCoreApplication::processEvents();
    test::PaintCounter counter;
    chart.installEventFilter(&counter);
    chart.addPoint(ChartSeriesRole::Levels, 36001 * Second, 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(counter.paints, 0);
    // Kept for whoever asks, and for the bitmap.
    EXPECT_EQ(chart.series(ChartSeriesRole::Levels)->count(), 36002);
    EXPECT_DOUBLE_EQ(chart.bottomMaximum(), 36001 * Second);
}

TEST(Chart, TheBottomMaximumIsSetAndABadOneRefused)
{
    ChartWidget chart;
    chart.addPoint(ChartSeriesRole::Levels, 0, 90);
    chart.addPoint(ChartSeriesRole::Levels, 120 * Second, 89);
    EXPECT_DOUBLE_EQ(chart.bottomMinimum(), 0.0);
    EXPECT_DOUBLE_EQ(chart.bottomMaximum(), 120 * Second);

    QString error;
    ASSERT_TRUE(chart.setBottomMaximum(600 * Second, &error)) << error.toStdString();
    EXPECT_EQ(chart.bottomMaximum(), 600 * Second); // reads back unchanged

    // Below the minimum: refused, old maximum kept, a message says why.
    chart.setPoints(ChartSeriesRole::Levels, { { 60 * Second, 80 }, { 120 * Second, 79 } });
    const double before = chart.bottomMaximum();
    EXPECT_FALSE(chart.setBottomMaximum(30 * Second, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(chart.bottomMaximum(), before);
    EXPECT_FALSE(chart.setBottomMaximum(std::nan(""), &error));
    EXPECT_FALSE(chart.setBottomMaximum(HUGE_VAL, &error));
    EXPECT_EQ(chart.bottomMaximum(), before);

    // The next range from the points replaces the set maximum.
    ASSERT_TRUE(chart.setBottomMaximum(900 * Second, &error));
    chart.addPoint(1, 60 * Second, 80);
    EXPECT_DOUBLE_EQ(chart.bottomMaximum(), 120 * Second);
}

TEST(Chart, AbsurdForecastGivesTimeLabelsOrNone)
{
    // A fast file whose level changes lie 10^305 days apart puts its
    // forecast line's end near 10^307 days.
    std::vector<uint8_t> bytes = encodeResultsHeader(1, 1, 3600);
    bytes.insert(bytes.end(), { 80, 80, 79, 78, 77 });
    const std::array<double, 3> times { 0.0, 1e305, 2e305 };
    const auto trailer = encodeResultsTrailer(&times, 41000, 0);
    bytes.insert(bytes.end(), trailer.begin(), trailer.end());
    const ResultsEvaluation e = evaluateResults(parseResults(bytes), QStringLiteral("/tmp/absurd.apr"));
    ASSERT_TRUE(e.ok) << e.failure.toStdString();

    MainWindow window(nullptr);
    ASSERT_TRUE(showOnChart(e, window));
    const ChartWidget& chart = *window.chart();
    EXPECT_TRUE(std::isfinite(chart.bottomMinimum()));
    EXPECT_TRUE(std::isfinite(chart.bottomMaximum()));
    EXPECT_GT(chart.bottomMaximum(), chart.bottomMinimum());
    const QRegularExpression time(QStringLiteral("^([0-9]|1[0-9]|2[0-3]):[0-5][0-9]:[0-5][0-9]$"));
    for (const QString& label : chart.bottomLabels())
        EXPECT_TRUE(label.isEmpty() || time.match(label).hasMatch()) << label.toStdString();

    // Neither a maximum that is no number nor an endless one reaches the axis.
    QString error;
    ChartWidget plain;
    plain.addPoint(ChartSeriesRole::Levels, 0, 90);
    const double before = plain.bottomMaximum();
    EXPECT_FALSE(plain.setBottomMaximum(std::numeric_limits<double>::infinity(), &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(plain.bottomMaximum(), before);
}

TEST(Chart, ZoomAndPanWithTheMouseAndBackToTheWholeRange)
{
    ShownChart shown;
    ChartWidget& chart = shown.chart;
    for (int s = 0; s <= 600; s += 10)
        chart.addPoint(ChartSeriesRole::Levels, s * Second, 100 - s / 60);
    const QRect plot = chart.plotArea();
    const double perPixel = 600 * Second / plot.width();
    const QPoint from = plot.topLeft() + QPoint(plot.width() / 4, 20);
    const QPoint to = plot.topLeft() + QPoint(plot.width() / 2, 120);
    const auto drag = [&](Qt::MouseButton button, Qt::KeyboardModifiers mods = {}) {
        QTest::mousePress(&chart, button, mods, from);
        QTest::mouseMove(&chart, (from + to) / 2);
        QTest::mouseMove(&chart, to);
        QTest::mouseRelease(&chart, button, mods, to);
    };

    // Off, as during a test: a drag changes nothing.
    drag(Qt::LeftButton);
    EXPECT_FALSE(chart.isAnimating());
    EXPECT_DOUBLE_EQ(chart.bottomMaximum(), 600 * Second);

    chart.setInteractive(true);
    drag(Qt::LeftButton);
    EXPECT_TRUE(chart.isAnimating()); // on its way, not there at once
    EXPECT_GT(chart.bottomMaximum(), 400 * Second);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !chart.isAnimating(); }, 3000));
    EXPECT_NEAR(chart.bottomMinimum(), (from.x() - plot.left()) * perPixel, 2 * perPixel);
    EXPECT_NEAR(chart.bottomMaximum(), (to.x() - plot.left()) * perPixel, 2 * perPixel);
    EXPECT_TRUE(onScreen(chart) == render(chart));

    // Panning: the middle button drags the picture, the range follows.
    const double min = chart.bottomMinimum(), max = chart.bottomMaximum();
    const double zoomedPerPixel = (max - min) / plot.width();
    drag(Qt::MiddleButton);
    EXPECT_NEAR(chart.bottomMinimum(), min - (to.x() - from.x()) * zoomedPerPixel, 1e-9);
    EXPECT_NEAR(chart.bottomMaximum() - chart.bottomMinimum(), max - min, 1e-9);

    // Escape and a right click go back to the whole range.
    chart.setFocus();
    QTest::keyClick(&chart, Qt::Key_Escape);
    EXPECT_DOUBLE_EQ(chart.bottomMinimum(), 0.0);
    EXPECT_DOUBLE_EQ(chart.bottomMaximum(), 600 * Second);
    drag(Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !chart.isAnimating(); }, 3000));
    QTest::mouseClick(&chart, Qt::RightButton, {}, plot.center());
    EXPECT_DOUBLE_EQ(chart.bottomMaximum(), 600 * Second);

    // A new test after zooming starts from its own range.
    drag(Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !chart.isAnimating(); }, 3000));
    chart.setInteractive(false);
    chart.clearSeries(ChartSeriesRole::Levels);
    chart.addPoint(ChartSeriesRole::Levels, 0, 80);
    chart.addPoint(ChartSeriesRole::Levels, 5 * Second, 80);
    EXPECT_DOUBLE_EQ(chart.bottomMinimum(), 0.0);
    EXPECT_DOUBLE_EQ(chart.bottomMaximum(), 5 * Second);
}

TEST(Chart, SavesABitmapOfItsOnScreenSizeOnWhite)
{
    QTemporaryDir dir;
    ChartWidget chart;
    chart.resize(420, 260);
    chart.addPoint(ChartSeriesRole::Levels, 0, 100);
    chart.addPoint(ChartSeriesRole::Levels, 60 * Second, 50);
    const QString path = dir.filePath(QStringLiteral("graph.bmp"));
    QString error;
    ASSERT_TRUE(chart.saveBitmap(path, &error)) << error.toStdString();
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.read(2), QByteArray("BM"));
    const QImage image(path, "BMP");
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), QSize(420, 260));
    EXPECT_EQ(image.pixelColor(1, 1), QColor(Qt::white));
    EXPECT_EQ(image.pixelColor(418, 258), QColor(Qt::white));
    EXPECT_TRUE(image.convertToFormat(QImage::Format_RGB32) == render(chart));
    // An unwritable path is reported, not ignored.
    EXPECT_FALSE(chart.saveBitmap(dir.filePath(QStringLiteral("no/such/dir/graph.bmp")), &error));
    EXPECT_FALSE(error.isEmpty());
}

// What a chart shows after a clear is what a chart that never held the old
// curves shows: compared pixel by pixel through the bitmap the user saves.
QImage savedPicture(const ChartWidget& chart, const QString& path)
{
    QString error;
    EXPECT_TRUE(chart.saveBitmap(path, &error)) << error.toStdString();
    return QImage(path, "BMP");
}

// Pixels in which two pictures of the same size differ.
int differingPixels(const QImage& a, const QImage& b)
{
    if (a.size() != b.size())
        return a.width() * a.height() + 1;
    int n = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            n += a.pixel(x, y) != b.pixel(x, y);
    return n;
}

// Results of a fast test on show (curve, forecast line, zoom allowed).
void showFastResults(ChartWidget& chart)
{
    QList<QPointF> curve;
    for (int k = 0; k <= 120; ++k)
        curve.append({ k * Second, 90.0 - k / 40 });
    chart.setPoints(ChartSeriesRole::Levels, curve);
    chart.setPoints(ChartSeriesRole::Forecast, { { 0, 90 }, { 3600 * Second, 0 } });
    QString error;
    EXPECT_TRUE(chart.setBottomMaximum(3600 * Second, &error)) << error.toStdString();
    chart.setInteractive(true);
}

// A test start clears the chart; then its ticks draw the first seconds.
void clearForNewTest(ChartWidget& chart)
{
    chart.clearSeries(ChartSeriesRole::Levels);
    chart.clearSeries(ChartSeriesRole::Forecast);
    chart.setInteractive(false);
}

void drawFirstSeconds(ChartWidget& chart)
{
    for (int k = 0; k <= 20; ++k)
        chart.addPoint(ChartSeriesRole::Levels, k * Second, 75.0 - k / 10);
}

void startNewTest(ChartWidget& chart)
{
    clearForNewTest(chart);
    drawFirstSeconds(chart);
}

void showAndWait(ChartWidget& chart)
{
    chart.resize(626, 250);
    chart.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&chart));
}

TEST(ChartClear, NothingOfTheOldCurvesRemainsOnScreenOrInTheBitmap)
{
    QTemporaryDir dir;
    ChartWidget used;
    showAndWait(used);
    showFastResults(used);
    QTest::qWait(100); // the results are on screen for a moment
    startNewTest(used);

    ChartWidget fresh;
    showAndWait(fresh);
    startNewTest(fresh);

    // The old line stayed for the whole new test, so look once any animation
    // of the clear would long be over.
    QTest::qWait(800);
    const QImage seen = savedPicture(used, dir.filePath(QStringLiteral("used.bmp")));
    const QImage expected = savedPicture(fresh, dir.filePath(QStringLiteral("fresh.bmp")));
    ASSERT_FALSE(seen.isNull());
    const int differing = differingPixels(seen, expected);
    EXPECT_EQ(differing, 0) << "the chart after a clear differs from a fresh one; see "
                               "screenshots/chart-after-clear.png";
    if (differing != 0 && QDir().mkpath(QStringLiteral(AMPERO_BINARY_DIR "/screenshots")))
        seen.save(QStringLiteral(AMPERO_BINARY_DIR "/screenshots/chart-after-clear.png"));
    EXPECT_EQ(differingPixels(used.grab().toImage().convertToFormat(QImage::Format_RGB32),
                  fresh.grab().toImage().convertToFormat(QImage::Format_RGB32)),
        0);
}

TEST(ChartClear, ANewTestDoesNotGoBackToTheRangeBeforeAZoom)
{
    QTemporaryDir dir;
    ChartWidget used;
    showAndWait(used);
    showFastResults(used);
    // The user zooms into the first minutes, dragging a rectangle with the
    // left button over the plot (on whichever widget draws it).
    const QPoint from(used.width() / 6, used.height() / 6);
    const QPoint to(used.width() / 3, used.height() * 2 / 3);
    QWidget* surface = used.childAt(from) ? used.childAt(from) : &used;
    const QPoint offset = surface->mapFrom(&used, QPoint(0, 0));
    QTest::mousePress(surface, Qt::LeftButton, {}, from + offset);
    for (int i = 1; i <= 10; ++i)
        QTest::mouseMove(surface, from + (to - from) * i / 10 + offset);
    QTest::mouseRelease(surface, Qt::LeftButton, {}, to + offset);
    QTest::qWait(800); // the zoom animation
    ASSERT_LT(used.bottomMaximum(), 3600 * Second) << "the drag did not zoom";
    ChartWidget fresh;
    showAndWait(fresh);

    // From the test start to its first sample, and with the first seconds.
    for (auto step : { clearForNewTest, drawFirstSeconds }) {
        step(used);
        step(fresh);
        QTest::qWait(800);
        EXPECT_EQ(used.bottomMaximum(), fresh.bottomMaximum());
        EXPECT_EQ(used.bottomLabels().join(QLatin1Char(' ')).toStdString(),
            fresh.bottomLabels().join(QLatin1Char(' ')).toStdString());
        EXPECT_EQ(differingPixels(savedPicture(used, dir.filePath(QStringLiteral("used.bmp"))),
                      savedPicture(fresh, dir.filePath(QStringLiteral("fresh.bmp")))),
            0);
    }
}

TEST(ChartSeries, SamplesKeepEveryLevelOfARunInTheirRange)
{
    // Random levels: the smallest and largest of any run, by the pyramid.
    auto shared = std::make_shared<std::vector<uint8_t>>(100000);
    const std::vector<uint8_t>& levels = *shared;
    QRandomGenerator rng(7);
    for (uint8_t& c : *shared)
        c = static_cast<uint8_t>(rng.bounded(20, 90));
    ChartSeries s(QStringLiteral("s"), Qt::red, 1, Qt::FlatCap);
    s.setSamples(0, Second, shared);
    EXPECT_EQ(s.count(), 100000);
    EXPECT_EQ(s.at(99999), QPointF(99999 * Second, levels[99999]));
    EXPECT_EQ(s.lowerBound(10.5 * Second), 11);
    for (int k = 0; k < 300; ++k) {
        const int a = rng.bounded(100000);
        const int b = a + 1 + rng.bounded(100000 - a);
        double lo = 0, hi = 0;
        s.yRange(a, b, &lo, &hi);
        const auto [mn, mx] = std::minmax_element(levels.begin() + a, levels.begin() + b);
        ASSERT_EQ(lo, *mn) << a << " " << b;
        ASSERT_EQ(hi, *mx) << a << " " << b;
    }
}

TEST(Chart, SamplesDrawAsTheSamePointsWould)
{
    // Alternating levels, as in a file from a battery that flickers between
    // two values: many samples per pixel, drawn as spans between them.
    auto levels = std::make_shared<std::vector<uint8_t>>(200000);
    QList<QPointF> points;
    for (int k = 0; k < 200000; ++k) {
        (*levels)[static_cast<size_t>(k)] = k % 2 ? 60 : 40;
        points.append({ k * Second, k % 2 ? 60.0 : 40.0 });
    }
    ChartWidget a, b;
    a.resize(626, 250);
    b.resize(626, 250);
    a.setSamples(0, 0, Second, levels);
    b.setPoints(ChartSeriesRole::Levels, points);
    const QImage image = render(a);
    EXPECT_TRUE(image == render(b));
    const QRect plot = a.plotArea();
    const int x = plot.center().x();
    int red = 0;
    for (int y = plot.top(); y <= plot.bottom(); ++y)
        red += image.pixelColor(x, y) == QColor(Qt::red);
    EXPECT_GE(red, plot.height() * 20 / 101 - 2); // the band from 40 to 60
}

} // namespace

namespace {

// A three-hour curve with a forecast line, kept in the build folder so a
// person can check the axis texts; it must read 0:00:00 at the origin.
TEST(Chart, PictureOfALongTestForReview)
{
    ChartWidget chart;
    chart.resize(626, 250);
    QList<QPointF> points;
    for (int k = 0; k <= 3 * 3600; k += 10)
        points.append({ k * Second, 100.0 - k / 200 });
    chart.setPoints(ChartSeriesRole::Levels, points);
    chart.setPoints(ChartSeriesRole::Forecast, { { 0, 100 }, { 4 * 3600 * Second, 0 } });
    EXPECT_EQ(chart.bottomLabels().first(), QStringLiteral("0:00:00"));
    EXPECT_TRUE(chart.bottomLabels().contains(QStringLiteral("2:00:00")));
    QDir().mkpath(QStringLiteral(AMPERO_BINARY_DIR "/screenshots"));
    EXPECT_TRUE(chart.grab().save(QStringLiteral(AMPERO_BINARY_DIR "/screenshots/chart-long-test.png")));
}

} // namespace

namespace {

double linear(double c)
{
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double luminance(const QColor& c)
{
    return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
}

double contrast(const QColor& a, const QColor& b)
{
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// CIE76: the distance of two colours in CIE L*a*b* (D65).
double deltaE(const QColor& a, const QColor& b)
{
    const auto lab = [](const QColor& c) {
        const double r = linear(c.redF()), g = linear(c.greenF()), bl = linear(c.blueF());
        const auto f = [](double t) { return t > 0.008856 ? std::cbrt(t) : 7.787 * t + 16.0 / 116; };
        const double x = f((0.4124 * r + 0.3576 * g + 0.1805 * bl) / 0.95047);
        const double y = f(0.2126 * r + 0.7152 * g + 0.0722 * bl);
        const double z = f((0.0193 * r + 0.1192 * g + 0.9505 * bl) / 1.08883);
        return std::array<double, 3> { 116 * y - 16, 500 * (x - y), 200 * (y - z) };
    };
    const auto p = lab(a), q = lab(b);
    return std::hypot(p[0] - q[0], p[1] - q[1], p[2] - q[2]);
}

} // namespace

TEST(Chart, DarkPaletteGivesADarkChartWhoseCurvesStandOut)
{
    QPalette dark;
    dark.setColor(QPalette::Base, QColor(30, 30, 30));
    dark.setColor(QPalette::Window, QColor(45, 45, 45));
    dark.setColor(QPalette::Text, QColor(230, 230, 230));
    ChartWidget chart;
    chart.setPalette(dark);
    chart.resize(626, 250);
    chart.setPoints(ChartSeriesRole::Levels, { { 0, 90 }, { 60 * Second, 90 } });
    chart.setPoints(ChartSeriesRole::Forecast, { { 0, 80 }, { 60 * Second, 80 } });
    for (int slot = PowerColor; slot < ChartColorCount; ++slot)
        chart.setPoints(chart.addSeries(QStringLiteral("s"), slot, 2),
            { { 0, 70.0 - 6 * (slot - PowerColor) }, { 60 * Second, 70.0 - 6 * (slot - PowerColor) } });
    const QImage image = render(chart);
    const QColor background = image.pixelColor(2, 2);
    EXPECT_LT(luminance(background), 0.05);

    // Every curve is on the picture in its colour, and that colour stands
    // out from the background and from every other curve.
    const ChartColors colors = chartColors(dark);
    const int x = chart.plotArea().center().x();
    for (std::size_t i = 0; i < colors.series.size(); ++i) {
        const QColor ink = colors.series[i];
        // (The forecast's thin line is spread over two rows by antialiasing.)
        bool found = i == ForecastColor;
        for (int y = 0; y < image.height() && !found; ++y)
            found = deltaE(image.pixelColor(x, y), ink) < 3;
        EXPECT_TRUE(found) << "curve " << i;
        EXPECT_GE(contrast(ink, background), 3.0) << "curve " << i;
        for (std::size_t j = 0; j < i; ++j)
            EXPECT_GE(deltaE(ink, colors.series[j]), 20) << "curves " << i << " and " << j;
    }
    // The light list, for light desktops and saved pictures, likewise.
    const ChartColors light = lightChartColors();
    for (std::size_t i = 0; i < light.series.size(); ++i) {
        EXPECT_GE(contrast(light.series[i], Qt::white), 3.0) << "curve " << i;
        for (std::size_t j = 0; j < i; ++j)
            EXPECT_GE(deltaE(light.series[i], light.series[j]), 20) << "curves " << i << " and " << j;
    }
}
