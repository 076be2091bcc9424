// SPDX-License-Identifier: GPL-3.0-or-later
// The chart: elapsed-time labels in every time zone, axes, series, the
// bottom-axis maximum, bulk replacement and the bitmap it saves.
#include "results/evaluation.h"
#include "ui/charttime.h"
#include "ui/chartwidget.h"
#include "ui/uMain.h"

#include <QCategoryAxis>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLineSeries>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QValueAxis>
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

TEST(Chart, BottomAxisStartsAtZeroInEveryTimeZone)
{
    for (const char* zone :
        { "UTC", "Asia/Kolkata", "America/St_Johns", "Pacific/Kiritimati", "America/Los_Angeles" }) {
        SCOPED_TRACE(zone);
        ScopedTz tz(zone);
        ChartWidget chart;
        chart.resize(600, 300);
        for (int k = 0; k <= 90; ++k)
            chart.addPoint1(k * Second, 100 - k / 30);
        const QStringList labels = chart.bottomLabels();
        ASSERT_FALSE(labels.isEmpty());
        EXPECT_EQ(labels.first(), QStringLiteral("0:00:00"));
        EXPECT_TRUE(labels.contains(QStringLiteral("0:00:30")));
    }
}

TEST(Chart, ConfigurationOfAxesAndSeries)
{
    ChartWidget chart;
    EXPECT_EQ(chart.leftAxis()->min(), 0.0);
    EXPECT_EQ(chart.leftAxis()->max(), 101.0);
    EXPECT_EQ(chart.leftAxis()->titleText(), QStringLiteral("Battery level, %"));
    EXPECT_EQ(chart.bottomAxis()->titleText(), QStringLiteral("Elapsed time"));
    EXPECT_FALSE(chart.chart()->legend()->isVisible());
    EXPECT_EQ(chart.chart()->margins(), QMargins(5, 5, 5, 5));

    EXPECT_EQ(chart.series1()->pen().color(), QColor(Qt::red));
    EXPECT_EQ(chart.series1()->pen().width(), 2);
    EXPECT_EQ(chart.series1()->pen().capStyle(), Qt::FlatCap);
    EXPECT_EQ(chart.series2()->pen().color(), QColor(130, 155, 254));
    EXPECT_EQ(chart.series2()->pen().width(), 1);
    EXPECT_FALSE(chart.series1()->pointsVisible());
    EXPECT_EQ(chart.series1()->count(), 0);
    EXPECT_EQ(chart.series2()->count(), 0);

    // The left axis never follows the points.
    chart.addPoint1(0, 250);
    EXPECT_EQ(chart.leftAxis()->max(), 101.0);
}

TEST(Chart, BottomAxisFollowsPointsAndTakesAMaximum)
{
    ChartWidget chart;
    chart.addPoint1(0, 90);
    chart.addPoint1(120 * Second, 89);
    EXPECT_DOUBLE_EQ(chart.bottomMinimum(), 0.0);
    EXPECT_DOUBLE_EQ(chart.bottomMaximum(), 120 * Second);

    QString error;
    ASSERT_TRUE(chart.setBottomMaximum(600 * Second, &error)) << error.toStdString();
    EXPECT_EQ(chart.bottomMaximum(), 600 * Second); // reads back unchanged

    // Below the minimum: refused, old maximum kept, a message says why.
    chart.setPoints1({ { 60 * Second, 80 }, { 120 * Second, 79 } });
    const double before = chart.bottomMaximum();
    EXPECT_FALSE(chart.setBottomMaximum(30 * Second, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(chart.bottomMaximum(), before);
    EXPECT_FALSE(chart.setBottomMaximum(std::nan(""), &error));
    EXPECT_EQ(chart.bottomMaximum(), before);

    // The next range from the points replaces the set maximum.
    ASSERT_TRUE(chart.setBottomMaximum(900 * Second, &error));
    chart.addPoint2(60 * Second, 80);
    EXPECT_DOUBLE_EQ(chart.bottomMaximum(), 120 * Second);

    chart.clearSeries1();
    chart.clearSeries2();
    EXPECT_EQ(chart.series1()->count(), 0);
    EXPECT_DOUBLE_EQ(chart.bottomMinimum(), 0.0);
}

TEST(Chart, PointsAddedUnseenAreDrawnInOneGoAndNeverLost)
{
    ChartWidget chart;
    auto* drawn = chart.chart()->findChild<QLineSeries*>(QStringLiteral("Series1"));
    ASSERT_NE(drawn, nullptr);
    chart.addPoint1(0, 90);
    chart.setDeferringPoints(true);
    for (int s = 1; s <= 30; ++s)
        chart.addPoint1(s * Second, 90 - s / 10);
    EXPECT_EQ(drawn->count(), 1); // nothing laid out while unseen
    EXPECT_DOUBLE_EQ(chart.bottomMaximum(), 30 * Second); // but whoever asks sees them all
    EXPECT_EQ(drawn->count(), 31);

    chart.addPoint1(31 * Second, 87);
    chart.addPoint2(0, 90);
    chart.setDeferringPoints(false);
    EXPECT_EQ(drawn->count(), 32);
    EXPECT_EQ(chart.series2()->count(), 1);
    EXPECT_EQ(chart.series1()->at(31), QPointF(31 * Second, 87));
    EXPECT_DOUBLE_EQ(chart.bottomMaximum(), 31 * Second);

    // A clear while deferring drops the queued points with the rest.
    chart.setDeferringPoints(true);
    chart.addPoint1(32 * Second, 87);
    chart.clearSeries1();
    chart.setDeferringPoints(false);
    EXPECT_EQ(drawn->count(), 0);
}

TEST(Chart, APointThatMovesNothingByAPixelWaitsForOneThatDoes)
{
    ChartWidget chart;
    chart.resize(600, 300);
    chart.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&chart));
    auto* drawn = chart.chart()->findChild<QLineSeries*>(QStringLiteral("Series1"));
    ASSERT_NE(drawn, nullptr);
    // Early in a test every second widens the axis by pixels: drawn at once.
    for (int s = 0; s <= 20; ++s)
        chart.addPoint1(s * Second, 90);
    EXPECT_EQ(drawn->count(), 21);
    // An hour in, a second at the same level moves nothing by a pixel.
    chart.addPoint1(3600 * Second, 90);
    EXPECT_EQ(drawn->count(), 22); // a jump of an hour shows
    chart.addPoint1(3601 * Second, 90);
    chart.addPoint1(3602 * Second, 90);
    EXPECT_EQ(drawn->count(), 22);
    // A new level shows as a step at once, with the points before it.
    chart.addPoint1(3603 * Second, 89);
    EXPECT_EQ(drawn->count(), 25);
    EXPECT_EQ(drawn->at(24), QPointF(3603 * Second, 89));
    // Seconds that add up to a pixel of widening show.
    const double pixelsPerSecond = chart.chart()->plotArea().width() / 3603.0;
    int s = 3604;
    while (drawn->count() == 25 && s < 3700)
        chart.addPoint1(s++ * Second, 89);
    const int last = s - 1; // the point that made it show
    EXPECT_GE((last - 3603) * pixelsPerSecond, 1.0);
    EXPECT_LT((last - 1 - 3603) * pixelsPerSecond, 1.0);
    EXPECT_DOUBLE_EQ(chart.bottomMaximum(), last * Second);
    // Whoever asks sees every point, drawn or waiting.
    chart.addPoint1(s * Second, 89);
    const QLineSeries* asked = chart.series1();
    EXPECT_EQ(asked->count(), drawn->count());
    EXPECT_EQ(asked->at(asked->count() - 1), QPointF(s * Second, 89));
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

    TfMain window(nullptr);
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
    plain.addPoint1(0, 90);
    const double before = plain.bottomMaximum();
    EXPECT_FALSE(plain.setBottomMaximum(std::numeric_limits<double>::infinity(), &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(plain.bottomMaximum(), before);
}

TEST(Chart, HundredThousandPointsReplacedInOneCall)
{
    ChartWidget chart;
    QList<QPointF> points;
    points.reserve(100000);
    for (int k = 0; k < 100000; ++k)
        points.append({ k * Second, 100.0 - k / 1000 });
    QSignalSpy replaced(chart.series1(), &QXYSeries::pointsReplaced);
    QSignalSpy added(chart.series1(), &QXYSeries::pointAdded);
    chart.setPoints1(points);
    EXPECT_EQ(replaced.count(), 1);
    EXPECT_EQ(added.count(), 0);
    EXPECT_EQ(chart.series1()->count(), 100000);
    EXPECT_DOUBLE_EQ(chart.bottomMaximum(), 99999 * Second);
}

TEST(Chart, ZoomAndPanningFollowTheSwitch)
{
    ChartWidget chart;
    EXPECT_FALSE(chart.isInteractive());
    EXPECT_EQ(chart.rubberBand(), QChartView::NoRubberBand);
    chart.setInteractive(true);
    EXPECT_EQ(chart.rubberBand(), QChartView::RectangleRubberBand);
    EXPECT_TRUE(chart.chart()->animationOptions().testFlag(QChart::SeriesAnimations));
    chart.setInteractive(false);
    EXPECT_EQ(chart.rubberBand(), QChartView::NoRubberBand);
    EXPECT_EQ(chart.chart()->animationOptions(), QChart::NoAnimation);
}

TEST(Chart, SavesABitmapOfItsOnScreenSizeOnWhite)
{
    QTemporaryDir dir;
    ChartWidget chart;
    chart.resize(420, 260);
    chart.addPoint1(0, 100);
    chart.addPoint1(60 * Second, 50);
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
    // Somewhere the red curve was drawn.
    bool red = false;
    for (int y = 0; y < image.height() && !red; ++y)
        for (int x = 0; x < image.width() && !red; ++x) {
            const QColor c = image.pixelColor(x, y);
            red = c.red() > 200 && c.green() < 60 && c.blue() < 60;
        }
    EXPECT_TRUE(red);
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
    chart.setPoints1(curve);
    chart.setPoints2({ { 0, 90 }, { 3600 * Second, 0 } });
    QString error;
    EXPECT_TRUE(chart.setBottomMaximum(3600 * Second, &error)) << error.toStdString();
    chart.setInteractive(true);
}

// A test start clears the chart; then its ticks draw the first seconds.
void clearForNewTest(ChartWidget& chart)
{
    chart.clearSeries1();
    chart.clearSeries2();
    chart.setInteractive(false);
}

void drawFirstSeconds(ChartWidget& chart)
{
    for (int k = 0; k <= 20; ++k)
        chart.addPoint1(k * Second, 75.0 - k / 10);
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
    chart.setPoints1(points);
    chart.setPoints2({ { 0, 100 }, { 4 * 3600 * Second, 0 } });
    EXPECT_EQ(chart.bottomLabels().first(), QStringLiteral("0:00:00"));
    EXPECT_TRUE(chart.bottomLabels().contains(QStringLiteral("2:00:00")));
    QDir().mkpath(QStringLiteral(AMPERO_BINARY_DIR "/screenshots"));
    EXPECT_TRUE(chart.grab().save(QStringLiteral(AMPERO_BINARY_DIR "/screenshots/chart-long-test.png")));
}

} // namespace
