#include "results/evaluation.h"
#include "results/timetext.h"
#include "recordingchart.h"
#include "support/testutil.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <cmath>

using namespace ampero;
using ampero::test::RecordingChart;

namespace {

constexpr double Second = 1.0 / 86400.0;

std::vector<uint8_t> fileBytes(uint8_t mode, uint8_t noLoad, uint32_t forecast, const std::vector<uint8_t>& samples,
                               const std::array<double, 3>* times, uint32_t capacity, uint64_t work)
{
    std::vector<uint8_t> out = encodeResultsHeader(mode, noLoad, forecast);
    out.insert(out.end(), samples.begin(), samples.end());
    const auto trailer = encodeResultsTrailer(times, capacity, work);
    out.insert(out.end(), trailer.begin(), trailer.end());
    return out;
}

// Header, samples and Terminator only.
std::vector<uint8_t> withoutTrailer(uint8_t mode, const std::vector<uint8_t>& samples)
{
    std::vector<uint8_t> out = encodeResultsHeader(mode, 0, ForecastUnknown);
    out.insert(out.end(), samples.begin(), samples.end());
    out.push_back(ResultsTerminator);
    return out;
}

ResultsEvaluation evaluate(const std::vector<uint8_t>& bytes, const QString& path = QStringLiteral("/tmp/r/run.apr"))
{
    return evaluateResults(parseResults(bytes), path);
}

// Levels falling from `from` by one point every `every` samples, `count` samples.
std::vector<uint8_t> falling(int from, int every, int count)
{
    std::vector<uint8_t> s;
    for (int i = 0; i < count; ++i)
        s.push_back(static_cast<uint8_t>(from - i / every));
    return s;
}

const std::vector<uint8_t> kNormalExample{0x03, 0x41, 0x50, 0x52, 0x02, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0x64, 0x64, 0x63,
                                          0xFF, 0x80, 0xBB, 0x00, 0x00, 0x05, 0, 0, 0, 0, 0, 0, 0};

} // namespace

// --- Forecast line --------------------------------------------------------

TEST(ForecastLine, WorkedExampleGivesFourHoursThirteenMinutesTwenty)
{
    const std::array<double, 3> t{120 * Second, 300 * Second, 500 * Second};
    const auto m = fastForecast(80, t);
    ASSERT_TRUE(m.has_value());
    EXPECT_NEAR(*m, 0.17592592, 0.5e-8);
    EXPECT_NEAR(*m * 86400, 15199.9998, 0.5e-4);
    EXPECT_LT(*m * 86400, 15200.0); // just short of the plain product, rounded up by the text
    EXPECT_EQ(elapsedTimeText(*m), QStringLiteral("4:13:20"));
}

TEST(ForecastLine, ShortEqualIntervalsGiveLevelTimesMeanInterval)
{
    const std::array<double, 3> t{60 * Second, 90 * Second, 120 * Second};
    const auto m = fastForecast(100, t);
    ASSERT_TRUE(m.has_value());
    EXPECT_NEAR(*m * 86400, 3000.0, 1e-6);
    EXPECT_EQ(elapsedTimeText(*m), QStringLiteral("0:50:00"));
}

TEST(ForecastLine, TwoChangesOnlyWouldForecastOverAHundredThousandDaysAndIsNotDrawn)
{
    const std::array<double, 3> t{120 * Second, 300 * Second, 0.0};
    // The raw line through a negative second interval goes almost flat...
    const auto raw = forecastLineEnd(80, t);
    ASSERT_TRUE(raw.has_value());
    EXPECT_NEAR(*raw, 115201.0, 1.0);
    EXPECT_EQ(elapsedTimeText(*raw).section(QLatin1Char(' '), 2), QStringLiteral("21:19:59"));
    // ...so the program draws nothing for it.
    EXPECT_FALSE(fastForecast(80, t).has_value());
}

TEST(ForecastLine, NoLineUnlessTheTimesRiseStrictly)
{
    struct Row {
        const char* name;
        std::array<double, 3> t;
    };
    const Row rows[] = {
        {"all zero", {0.0, 0.0, 0.0}},
        {"t1 equals t0", {60 * Second, 60 * Second, 90 * Second}},
        {"one change only", {60 * Second, 0.0, 0.0}},
        {"t2 equals t1", {60 * Second, 90 * Second, 90 * Second}},
        {"falling", {90 * Second, 60 * Second, 30 * Second}},
        {"not a number", {60 * Second, std::nan(""), 90 * Second}},
    };
    for (const Row& row : rows)
        EXPECT_FALSE(fastForecast(80, row.t).has_value()) << row.name;
    EXPECT_FALSE(forecastLineEnd(80, {0.0, 0.0, 0.0}).has_value());
}

// --- Mark -----------------------------------------------------------------

TEST(Mark, WorkedExampleWithExactCapacityScale)
{
    EXPECT_EQ(computeMark(36000.0 / 86400.0, 500000000000ull, 48000, 100, 5), 394737);
}

TEST(Mark, EqualTestsOnDifferentCapacitiesScaleInverselyWithCapacity)
{
    const int64_t a = computeMark(36000.0 / 86400.0, 500000000000ull, 42950, 100, 5);
    const int64_t b = computeMark(36000.0 / 86400.0, 500000000000ull, 48000, 100, 5);
    EXPECT_NEAR(static_cast<double>(a) / static_cast<double>(b), 48000.0 / 42950.0, 1e-5);
}

TEST(Mark, ZeroForEveryDegenerateInput)
{
    EXPECT_EQ(computeMark(0.5, 1000, 0, 100, 5), 0) << "no capacity";
    EXPECT_EQ(computeMark(0.5, 1000, 48000, 80, 80), 0) << "no level drop";
    EXPECT_EQ(computeMark(0.0, 1000, 48000, 80, 70), 0) << "no time";
    EXPECT_EQ(computeMark(0.5, 0, 48000, 80, 70), 0) << "no work";
    EXPECT_EQ(computeMark(1e300, UINT64_MAX, 1, 100, 99), 0) << "beyond 64 bits";
    EXPECT_EQ(computeMark(std::nan(""), 1000, 48000, 80, 70), 0) << "not a number";
}

TEST(Mark, RisingLevelGivesNegativeMark)
{
    EXPECT_EQ(computeMark(36000.0 / 86400.0, 500000000000ull, 48000, 5, 100), -394737);
}

TEST(Mark, WorkCountAboveTwoToTheSixtyThreeStaysPositive)
{
    EXPECT_GT(computeMark(1.0, 0x8000000000000000ull, 4000000, 100, 0), 0);
}

TEST(Mark, TextWithPluralEnding)
{
    const std::pair<int64_t, const char*> rows[] = {
        {0, "N/A"},        {1, "1 mark"},          {2, "2 marks"},      {5, "5 marks"},
        {11, "11 marks"},  {21, "21 marks"},       {-1, "-1 marks"},    {-5, "-5 marks"},
        {394737, "394737 marks"}, {INT64_MIN, "-9223372036854775808 marks"},
    };
    for (const auto& [mark, text] : rows)
        EXPECT_EQ(markText(mark), QString::fromLatin1(text)) << mark;
}

// --- Texts ----------------------------------------------------------------

TEST(ResultsTexts, WindowsForecast)
{
    const std::pair<uint32_t, const char*> rows[] = {
        {4294967295u, "unknown"}, {4294967294u, "49710 days 6:28:14"}, {90061, "1 days 1:01:01"},
        {86400, "1 days 0:00:00"}, {3725, "1:02:05"}, {0, "0:00:00"},
    };
    for (const auto& [v, text] : rows)
        EXPECT_EQ(forecastText(v), QString::fromLatin1(text)) << v;
}

TEST(ResultsTexts, ModeAndLoad)
{
    EXPECT_EQ(modeText(1), QStringLiteral("fast"));
    EXPECT_EQ(modeText(2), QStringLiteral("normal"));
    for (int m : {0, 3, 255})
        EXPECT_EQ(modeText(static_cast<uint8_t>(m)), QStringLiteral("unknown")) << m;
    EXPECT_EQ(loadText(0), QStringLiteral("full"));
    for (int n : {1, 7, 255})
        EXPECT_EQ(loadText(static_cast<uint8_t>(n)), QStringLiteral("none")) << n;
}

TEST(ResultsTexts, FileNameAndFolder)
{
    struct Row {
        const char* path;
        const char* folder;
        const char* name;
    };
    const Row rows[] = {
        {"/home/ann/Tests/run1.apr", "/home/ann/Tests", "run1.apr"},
        {"/run.apr", "/", "run.apr"},
        {"run.apr", "", "run.apr"},
        {"tests/run.apr", "tests", "run.apr"},
        {"//run.apr", "//", "run.apr"},
        {"/a//run.apr", "/a//", "run.apr"},
        {"/data/c:\\x\\run.apr", "/data", "c:\\x\\run.apr"}, // backslash and colon are plain characters
        {"C:run.apr", "", "C:run.apr"},
    };
    for (const Row& r : rows) {
        const PathParts p = splitResultsPath(QString::fromUtf8(r.path));
        EXPECT_EQ(p.folder, QString::fromUtf8(r.folder)) << r.path;
        EXPECT_EQ(p.fileName, QString::fromUtf8(r.name)) << r.path;
    }
}

TEST(ResultsTexts, ReportMailForFileInRootFolder)
{
    EXPECT_EQ(reportMailUrl(QStringLiteral("/"), QStringLiteral("run.apr")),
              QStringLiteral("mailto:Orvex%20Company%20<support@orvex.example>?subject=Orvex%20Ampero%20Report"
                             "&body=Do%20not%20forget%20to%20include%20information%20about%20your%20laptop%20and%20"
                             "battery.%0a%0dAlso%20attach%20report%20file:%20//run.apr."));
}

TEST(ResultsTexts, ReportMailEncodesFolderAndNameOnly)
{
    const QString url = reportMailUrl(QStringLiteral("/home/ann/a b&c"), QStringLiteral("r#1%?.apr"));
    EXPECT_TRUE(url.endsWith(QStringLiteral("file:%20/home/ann/a%20b%26c/r%231%25%3F.apr."))) << url.toStdString();
    EXPECT_EQ(url.count(QLatin1Char('&')), 1);
    EXPECT_EQ(url.count(QLatin1Char('?')), 1);
    EXPECT_EQ(url.count(QLatin1Char('#')), 0);
}

// --- Whole files ----------------------------------------------------------

TEST(Evaluation, DocumentedNormalExample)
{
    const ResultsEvaluation e = evaluate(kNormalExample, QStringLiteral("/home/ann/example.apr"));
    ASSERT_TRUE(e.ok) << e.failure.toStdString();
    EXPECT_EQ(e.fileName, QStringLiteral("example.apr"));
    EXPECT_EQ(e.reportFolder, QStringLiteral("/home/ann"));
    EXPECT_EQ(e.modeText, QStringLiteral("normal"));
    EXPECT_EQ(e.loadText, QStringLiteral("full"));
    EXPECT_EQ(e.forecastText, QStringLiteral("unknown"));
    EXPECT_EQ(e.batteryLifeText, QStringLiteral("0:00:02"));
    EXPECT_EQ(e.markText, QStringLiteral("N/A"));
    EXPECT_EQ(e.capacity, 48000u);
    EXPECT_EQ(e.workCount, 5u);
    EXPECT_EQ(e.sampleCount, 3);
    EXPECT_EQ(e.firstLevel, 100);
    EXPECT_EQ(e.lastLevel, 99);
    EXPECT_TRUE(e.complete);
    EXPECT_FALSE(e.forecastEnd.has_value());
    ASSERT_EQ(e.curve.size(), 3);
    EXPECT_EQ(e.curve[0], QPointF(0.0, 100));
    EXPECT_EQ(e.curve[2].y(), 99);
    EXPECT_EQ(e.curve[2].x(), TimeStep + TimeStep); // summed, not multiplied
}

TEST(Evaluation, RejectedFileLeavesTheChartUntouched)
{
    for (const std::vector<uint8_t>& bytes : {std::vector<uint8_t>{0x04, 'A', 'P', 'R', 2, 0, 0, 0, 0, 0, 0xFF},
                                             std::vector<uint8_t>{0x03, 'a', 'p', 'r', 2, 0, 0, 0, 0, 0, 0xFF},
                                             std::vector<uint8_t>{}}) {
        const ResultsEvaluation e = evaluate(bytes);
        EXPECT_FALSE(e.ok);
        EXPECT_TRUE(e.rejected);
        RecordingChart chart;
        EXPECT_FALSE(showOnChart(e, chart));
        EXPECT_TRUE(chart.calls.isEmpty()) << chart.calls.join(QLatin1Char(',')).toStdString();
    }
}

TEST(Evaluation, FailedReadClearsTheChartAndSwitchesZoomOff)
{
    struct Row {
        const char* name;
        std::vector<uint8_t> bytes;
    };
    std::vector<uint8_t> cutCapacity = withoutTrailer(2, {90, 89});
    cutCapacity.push_back(0x80);
    cutCapacity.push_back(0xBB);
    const Row rows[] = {
        {"header and Terminator only", withoutTrailer(2, {})},
        {"header only", encodeResultsHeader(2, 0, 0)},
        {"cut inside the header", {0x03, 'A', 'P', 'R', 2, 0, 0xFF}},
        {"cut inside Capacity", cutCapacity},
    };
    for (const Row& row : rows) {
        const ResultsEvaluation e = evaluate(row.bytes);
        EXPECT_FALSE(e.ok) << row.name;
        EXPECT_FALSE(e.rejected) << row.name;
        EXPECT_FALSE(e.failure.isEmpty()) << row.name;
        RecordingChart chart;
        chart.samples = {QPointF(0, 50)};
        chart.forecast = {QPointF(0, 50), QPointF(1, 0)};
        chart.interactive = true;
        EXPECT_FALSE(showOnChart(e, chart)) << row.name;
        EXPECT_TRUE(chart.samples.isEmpty()) << row.name;
        EXPECT_TRUE(chart.forecast.isEmpty()) << row.name;
        EXPECT_FALSE(chart.interactive) << row.name;
    }
}

TEST(Evaluation, MissingFileFailsWithTheSystemsReason)
{
    const ResultsEvaluation e = evaluateResultsFile(QStringLiteral("/nonexistent/dir/run.apr"));
    EXPECT_FALSE(e.ok);
    EXPECT_FALSE(e.rejected);
    EXPECT_TRUE(e.failure.contains(QStringLiteral("No such file"))) << e.failure.toStdString();
}

TEST(Evaluation, OneSample)
{
    const ResultsEvaluation e = evaluate(fileBytes(2, 0, 3600, {77}, nullptr, 48000, 1000000));
    ASSERT_TRUE(e.ok);
    EXPECT_EQ(e.batteryLifeText, QStringLiteral("0:00:00"));
    EXPECT_EQ(e.bottomMaximum, 0.0);
    EXPECT_EQ(e.markText, QStringLiteral("N/A"));
    EXPECT_EQ(e.forecastText, QStringLiteral("1:00:00"));
    RecordingChart chart;
    EXPECT_TRUE(showOnChart(e, chart));
    EXPECT_EQ(chart.samples, QList<QPointF>{QPointF(0, 77)});
    EXPECT_TRUE(chart.interactive);
}

TEST(Evaluation, NormalFileEndingAfterTerminatorHasNoMark)
{
    const ResultsEvaluation e = evaluate(withoutTrailer(2, falling(90, 10, 100)));
    ASSERT_TRUE(e.ok);
    EXPECT_EQ(e.capacity, 0u);
    EXPECT_EQ(e.workCount, 0u);
    EXPECT_EQ(e.markText, QStringLiteral("N/A"));
    EXPECT_EQ(e.batteryLifeText, QStringLiteral("0:01:39"));
}

TEST(Evaluation, FastFileWithoutLevelChangeBlockDrawsNoLine)
{
    const ResultsEvaluation e = evaluate(withoutTrailer(1, falling(80, 60, 200)));
    ASSERT_TRUE(e.ok);
    EXPECT_EQ(e.modeText, QStringLiteral("fast"));
    EXPECT_FALSE(e.forecastEnd.has_value());
    EXPECT_TRUE(e.forecastLine.isEmpty());
    EXPECT_EQ(e.batteryLifeText, QStringLiteral("0:03:19"));
    EXPECT_EQ(e.markText, QStringLiteral("N/A"));
    RecordingChart chart;
    chart.forecast = {QPointF(0, 90), QPointF(0.5, 0)}; // left from an earlier file
    ASSERT_TRUE(showOnChart(e, chart));
    EXPECT_TRUE(chart.forecast.isEmpty());
    EXPECT_EQ(chart.maximum, e.lastSampleTime);
}

TEST(Evaluation, FastFileWorkedExampleDrawsTheForecastLine)
{
    // Level 80 at the start, changes seen at 120 s, 300 s and 500 s.
    std::vector<uint8_t> samples(501, 80);
    for (int i = 120; i < 501; ++i)
        samples[i] = i < 300 ? 79 : i < 500 ? 78 : 77;
    const std::array<double, 3> t{120 * Second, 300 * Second, 500 * Second};
    const ResultsEvaluation e = evaluate(fileBytes(1, 0, 20000, samples, &t, 48000, 123456789));
    ASSERT_TRUE(e.ok);
    ASSERT_TRUE(e.forecastEnd.has_value());
    EXPECT_NEAR(*e.forecastEnd * 86400, 15199.9998, 0.5e-4);
    EXPECT_EQ(e.batteryLifeText, QStringLiteral("4:13:20"));
    EXPECT_EQ(e.forecastText, QStringLiteral("5:33:20"));
    EXPECT_EQ(e.markText, QStringLiteral("N/A")) << "only normal tests get a mark";
    RecordingChart chart;
    ASSERT_TRUE(showOnChart(e, chart));
    ASSERT_EQ(chart.forecast.size(), 2);
    EXPECT_EQ(chart.forecast[0], QPointF(0, 80));
    EXPECT_EQ(chart.forecast[1], QPointF(*e.forecastEnd, 0));
    EXPECT_EQ(chart.maximum, *e.forecastEnd);
    EXPECT_EQ(chart.samples, compactCurve(e.curve));
    EXPECT_EQ(chart.samples.size(), 7) << "two ends of three levels, the single 77";
}

TEST(Evaluation, ForecastShorterThanCurveKeepsTheLastSampleTime)
{
    const std::array<double, 3> t{1 * Second, 2 * Second, 3 * Second};
    const ResultsEvaluation e = evaluate(fileBytes(1, 1, ForecastUnknown, falling(100, 1, 90), &t, 0, 0));
    ASSERT_TRUE(e.ok);
    ASSERT_TRUE(e.forecastEnd.has_value());
    EXPECT_LT(*e.forecastEnd, e.lastSampleTime * 2);
    EXPECT_EQ(e.forecastLine.size(), 2);
    const std::array<double, 3> t2{1 * Second, 2 * Second, 3 * Second};
    const ResultsEvaluation longer = evaluate(fileBytes(1, 1, ForecastUnknown, std::vector<uint8_t>(300, 100), &t2, 0, 0));
    ASSERT_TRUE(longer.ok);
    EXPECT_EQ(longer.bottomMaximum, longer.lastSampleTime);
    EXPECT_EQ(longer.batteryLifeText, QStringLiteral("0:04:59"));
}

TEST(Evaluation, InterruptedFastTestForecastsNothing)
{
    const std::array<double, 3> t{120 * Second, 300 * Second, 0.0};
    const ResultsEvaluation e = evaluate(fileBytes(1, 0, ForecastUnknown, falling(80, 150, 301), &t, 48000, 99));
    ASSERT_TRUE(e.ok);
    EXPECT_FALSE(e.forecastEnd.has_value());
    EXPECT_EQ(e.batteryLifeText, QStringLiteral("0:05:00"));
}

TEST(Evaluation, UnknownModesHaveNoLineAndNoMark)
{
    const std::array<double, 3> t{60 * Second, 90 * Second, 120 * Second};
    for (int mode : {0, 3, 200}) {
        // Without a fast mode the 24 bytes are read as Capacity and WorkCount.
        const ResultsEvaluation e = evaluate(fileBytes(static_cast<uint8_t>(mode), 0, 60, falling(100, 30, 200), &t, 48000, 1u << 30));
        ASSERT_TRUE(e.ok) << mode;
        EXPECT_EQ(e.modeText, QStringLiteral("unknown")) << mode;
        EXPECT_FALSE(e.forecastEnd.has_value()) << mode;
        EXPECT_EQ(e.markText, QStringLiteral("N/A")) << mode;
    }
}

TEST(Evaluation, NoLoadSevenReadsNone)
{
    const ResultsEvaluation e = evaluate(fileBytes(2, 7, 0, {50, 49}, nullptr, 1, 1));
    ASSERT_TRUE(e.ok);
    EXPECT_EQ(e.loadText, QStringLiteral("none"));
}

TEST(Evaluation, RisingLevelGivesNegativeMarkWithPluralEnding)
{
    const ResultsEvaluation e = evaluate(fileBytes(2, 0, 0, {50, 50, 60}, nullptr, 1, 1000000000ull));
    ASSERT_TRUE(e.ok);
    EXPECT_LT(e.mark, 0);
    EXPECT_EQ(e.markText, QString::number(e.mark) + QStringLiteral(" marks"));
}

TEST(Evaluation, MarkOfATenHourNormalTest)
{
    // 36001 samples: ten hours from the first to the last, level 100 down to 5.
    std::vector<uint8_t> samples = falling(100, 379, 36001);
    samples.back() = 5;
    const ResultsEvaluation e = evaluate(fileBytes(2, 0, 36000, samples, nullptr, 48000, 500000000000ull));
    ASSERT_TRUE(e.ok);
    EXPECT_EQ(e.batteryLifeText, QStringLiteral("10:00:00"));
    EXPECT_EQ(e.mark, computeMark(e.bottomMaximum, 500000000000ull, 48000, 100, 5));
    EXPECT_NEAR(static_cast<double>(e.mark), 394737.0, 1.0);
    EXPECT_EQ(e.markText, QString::number(e.mark) + QStringLiteral(" marks"));
}

TEST(Evaluation, TwentyFiveHoursKeepTheDay)
{
    const ResultsEvaluation e = evaluate(withoutTrailer(2, falling(100, 1000, 90001)));
    ASSERT_TRUE(e.ok);
    EXPECT_EQ(e.batteryLifeText, QStringLiteral("1 days 1:00:00"));
}

TEST(Evaluation, BytesAfterWorkCountAreIgnored)
{
    std::vector<uint8_t> bytes = kNormalExample;
    for (int b : {1, 2, 3, 0xFF, 0})
        bytes.push_back(static_cast<uint8_t>(b));
    const ResultsEvaluation plain = evaluate(kNormalExample);
    const ResultsEvaluation extra = evaluate(bytes);
    ASSERT_TRUE(extra.ok);
    EXPECT_EQ(extra.curve, plain.curve);
    EXPECT_EQ(extra.capacity, 48000u);
    EXPECT_EQ(extra.workCount, 5u);
    EXPECT_EQ(extra.markText, plain.markText);
}

TEST(Evaluation, SampleByte255EndsTheSamples)
{
    // 90, 255, then four bytes read as Capacity.
    const std::vector<uint8_t> bytes{0x03, 'A', 'P', 'R', 2, 0, 0, 0, 0, 0, 90, 0xFF, 0x10, 0x27, 0, 0};
    const ResultsEvaluation e = evaluate(bytes);
    ASSERT_TRUE(e.ok);
    EXPECT_EQ(e.sampleCount, 1);
    EXPECT_EQ(e.capacity, 10000u);
}

TEST(Evaluation, RecoveredFileWithoutTerminatorIsShownAsIncomplete)
{
    std::vector<uint8_t> bytes = encodeResultsHeader(2, 0, ForecastUnknown);
    for (int s : {100, 99, 99, 98})
        bytes.push_back(static_cast<uint8_t>(s));
    const ResultsEvaluation e = evaluate(bytes);
    ASSERT_TRUE(e.ok);
    EXPECT_FALSE(e.complete);
    EXPECT_EQ(e.sampleCount, 4);
    EXPECT_EQ(e.batteryLifeText, QStringLiteral("0:00:03"));
    EXPECT_EQ(e.markText, QStringLiteral("N/A"));
}

TEST(Evaluation, ReadsFromDisk)
{
    QTemporaryDir dir;
    const QString path = test::writeFile(dir, QStringLiteral("disk.apr"),
                                         QByteArray(reinterpret_cast<const char*>(kNormalExample.data()),
                                                    static_cast<qsizetype>(kNormalExample.size())));
    const ResultsEvaluation e = evaluateResultsFile(path);
    ASSERT_TRUE(e.ok);
    EXPECT_EQ(e.fileName, QStringLiteral("disk.apr"));
    EXPECT_EQ(e.reportFolder, dir.path());
}

TEST(CompactCurve, KeepsTheEndsOfEachRunOfEqualLevels)
{
    const auto pts = [](std::initializer_list<std::pair<double, double>> xy) {
        QList<QPointF> out;
        for (const auto& [x, y] : xy)
            out.append(QPointF(x, y));
        return out;
    };
    EXPECT_EQ(compactCurve({}), QList<QPointF>{});
    EXPECT_EQ(compactCurve(pts({{0, 80}})), pts({{0, 80}}));
    EXPECT_EQ(compactCurve(pts({{0, 80}, {1, 80}, {2, 80}, {3, 79}, {4, 78}, {5, 78}, {6, 78}, {7, 80}})),
              pts({{0, 80}, {2, 80}, {3, 79}, {4, 78}, {6, 78}, {7, 80}}));
    // A 28-hour curve shrinks to a few hundred points.
    const ResultsEvaluation e = evaluate(withoutTrailer(2, falling(100, 1011, 100000)));
    ASSERT_TRUE(e.ok);
    const QList<QPointF> c = compactCurve(e.curve);
    EXPECT_EQ(c.size(), 2 * 99);
    EXPECT_EQ(c.front(), e.curve.front());
    EXPECT_EQ(c.back(), e.curve.back());
}
