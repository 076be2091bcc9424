// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/figuretext.h"
#include "core/timetext.h"
#include "core/timeunits.h"
#include "results/energysummary.h"
#include "results/evaluation.h"
#include "session/sessionports.h"
#include "support/fakechart.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>

using namespace ampero;
using ampero::test::FakeChart;

namespace {

constexpr double Sec = 1.0 / 86400.0;
using Bytes = std::vector<uint8_t>;

// Header, samples, then the Terminator and trailer (trailer false: Terminator only).
Bytes file(uint8_t mode, uint8_t noLoad, uint32_t forecast, const Bytes& samples, bool trailer = true,
    const std::array<double, 3>* times = nullptr, uint32_t capacity = 48000, uint64_t work = 5)
{
    Bytes out = encodeResultsHeader(mode, noLoad, forecast);
    out.insert(out.end(), samples.begin(), samples.end());
    const Bytes t = trailer ? encodeResultsTrailer(times, capacity, work) : Bytes { ResultsTerminator };
    out.insert(out.end(), t.begin(), t.end());
    return out;
}

ResultsEvaluation evaluate(const Bytes& bytes, const QString& path = QStringLiteral("/tmp/r/run.apr"))
{
    return evaluateResults(parseResults(bytes), path);
}

// count samples falling from `from` by one point every `every` samples.
Bytes falling(int from, int every, int count)
{
    Bytes s;
    for (int i = 0; i < count; ++i)
        s.push_back(static_cast<uint8_t>(from - i / every));
    return s;
}

// A normal test with full load and no forecast: levels 100, 100, 99, then
// the terminator, a capacity of 48 000 mWh and a work count of 5.
const Bytes kNormalExample { 3, 'A', 'P', 'R', 2, 0, 0xFF, 0xFF, 0xFF, 0xFF, 100, 100, 99, 0xFF, 0x80, 0xBB,
    0, 0, 5, 0, 0, 0, 0, 0, 0, 0 };
const std::array<double, 3> kWorkedTimes { 120 * Sec, 300 * Sec, 500 * Sec };

// 501 samples, level 80 changing at 120 s, 300 s and 500 s.
Bytes workedFastSamples()
{
    Bytes s(501, 80);
    for (int i = 120; i < 501; ++i)
        s[i] = i < 300 ? 79 : i < 500 ? 78 : 77;
    return s;
}

} // namespace

TEST(ForecastLine, WorkedExamplesAndGuards)
{
    struct Row {
        const char* name;
        uint8_t first;
        std::array<double, 3> t;
        double seconds; // < 0: no line
        const char* life;
    };
    const Row rows[] = {
        { "worked example", 80, kWorkedTimes, 15199.9998, "4:13:20" },
        { "equal short intervals", 100, { 60 * Sec, 90 * Sec, 120 * Sec }, 3000.0, "0:50:00" },
        { "all zero", 80, { 0, 0, 0 }, -1, nullptr },
        { "t1 equals t0", 80, { 60 * Sec, 60 * Sec, 90 * Sec }, -1, nullptr },
        { "one change only", 80, { 60 * Sec, 0, 0 }, -1, nullptr },
        { "two changes only", 80, { 120 * Sec, 300 * Sec, 0 }, -1, nullptr },
        { "not a number", 80, { 60 * Sec, std::nan(""), 90 * Sec }, -1, nullptr },
    };
    for (const Row& r : rows) {
        const auto m = fastForecast(r.first, r.t);
        ASSERT_EQ(m.has_value(), r.seconds >= 0) << r.name;
        if (!m)
            continue;
        EXPECT_NEAR(*m * 86400, r.seconds, 0.5e-4) << r.name;
        EXPECT_EQ(elapsedTimeText(*m), QString::fromLatin1(r.life)) << r.name;
    }
    EXPECT_NEAR(*fastForecast(80, kWorkedTimes), 0.17592592, 0.5e-8);
    // Without the rising-times rule two changes would forecast 115201 days (21:19:59).
    const auto raw = forecastLineEnd(80, { 120 * Sec, 300 * Sec, 0 });
    ASSERT_TRUE(raw.has_value());
    EXPECT_NEAR(*raw, 115201.0, 1.0);
    EXPECT_TRUE(elapsedTimeText(*raw).endsWith(QStringLiteral(" 21:19:59")));
}

TEST(Mark, ValuesAndTexts)
{
    const double tenHours = 36000.0 / 86400.0;
    EXPECT_EQ(computeMark(tenHours, 500000000000ull, 48000, 100, 5), 394737) << "exact capacity scale";
    EXPECT_EQ(computeMark(tenHours, 500000000000ull, 48000, 5, 100), -394737) << "level rose";
    EXPECT_GT(computeMark(1.0, 0x8000000000000000ull, 4000000, 100, 0), 0)
        << "work count 2^63 stays positive";
    EXPECT_EQ(computeMark(0.5, 1000, 0, 100, 5), 0) << "no capacity";
    EXPECT_EQ(computeMark(0.5, 1000, 48000, 80, 80), 0) << "no level drop";
    EXPECT_EQ(computeMark(1e300, UINT64_MAX, 1, 100, 99), 0) << "beyond 64 bits";
    EXPECT_EQ(computeMark(std::nan(""), 1000, 48000, 80, 70), 0) << "not a number";

    const std::pair<int64_t, const char*> texts[]
        = { { 0, "N/A" }, { 1, "1 mark" }, { 2, "2 marks" }, { 11, "11 marks" }, { 21, "21 marks" },
              { -5, "-5 marks" }, { INT64_MIN, "-9223372036854775808 marks" } };
    for (const auto& [mark, text] : texts)
        EXPECT_EQ(markText(mark), QString::fromLatin1(text)) << mark;
}

TEST(ResultsTexts, ForecastPathsAndMail)
{
    const std::pair<uint32_t, const char*> forecasts[] = { { 4294967294u, "49710 days 6:28:14" },
        { 90061, "1 day 1:01:01" }, { 86400, "1 day 0:00:00" }, { 3725, "1:02:05" } };
    for (const auto& [v, text] : forecasts)
        EXPECT_EQ(durationText(toDays(v)), QString::fromLatin1(text)) << v;

    const char* paths[][3] = { { "/home/ann/Tests/run1.apr", "/home/ann/Tests", "run1.apr" },
        { "/run.apr", "/", "run.apr" }, { "run.apr", "", "run.apr" }, { "//run.apr", "//", "run.apr" },
        { "/data/c:\\x\\r.apr", "/data", "c:\\x\\r.apr" } }; // backslash and colon are plain characters
    for (const auto& p : paths) {
        const PathParts parts = splitResultsPath(QString::fromUtf8(p[0]));
        EXPECT_EQ(parts.folder, QString::fromUtf8(p[1])) << p[0];
        EXPECT_EQ(parts.fileName, QString::fromUtf8(p[2])) << p[0];
    }

    EXPECT_EQ(reportMailUrl(QStringLiteral("/"), QStringLiteral("run.apr")),
        QStringLiteral("mailto:Orvex%20Company%20<support@orvex.example>?subject=Orvex%20Ampero%20Report"
                       "&body=Do%20not%20forget%20to%20include%20information%20about%20your%20laptop%20and%20"
                       "battery.%0a%0dAlso%20attach%20report%20file:%20//run.apr."));
    EXPECT_TRUE(reportMailUrl(QStringLiteral("/a b&c"), QStringLiteral("r#1%?.apr"))
                    .endsWith(QStringLiteral("file:%20/a%20b%26c/r%231%25%3F.apr.")));
}

TEST(Evaluation, WholeFiles)
{
    Bytes tenHours = falling(100, 379, 36001);
    tenHours.back() = 5;
    Bytes extraBytes = kNormalExample;
    extraBytes.insert(extraBytes.end(), { 1, 2, 0xFF });
    Bytes recovered = encodeResultsHeader(2, 0, ForecastUnknown);
    recovered.insert(recovered.end(), { 100, 99, 99, 98 });
    const std::array<double, 3> interrupted { 120 * Sec, 300 * Sec, 0 };
    const std::array<double, 3> early { 1 * Sec, 2 * Sec, 3 * Sec };

    struct Row {
        const char* name;
        Bytes bytes;
        const char* mode;
        const char* load;
        const char* forecast;
        const char* life;
        const char* mark;
        int samples;
        bool line;
    };
    const Row rows[] = {
        { "normal test of three samples", kNormalExample, "normal", "full", "unknown", "0:00:02", "N/A", 3,
            false },
        { "bytes after WorkCount", extraBytes, "normal", "full", "unknown", "0:00:02", "N/A", 3, false },
        { "one sample", file(2, 0, 3600, { 77 }), "normal", "full", "1:00:00", "0:00:00", "N/A", 1, false },
        { "normal without trailer", file(2, 0, 0, falling(90, 10, 100), false), "normal", "full", "0:00:00",
            "0:01:39", "N/A", 100, false },
        { "fast without level-change block", file(1, 0, 60, falling(80, 60, 200), false), "fast", "full",
            "0:01:00", "0:03:19", "N/A", 200, false },
        { "fast worked example", file(1, 0, 20000, workedFastSamples(), true, &kWorkedTimes), "fast", "full",
            "5:33:20", "4:13:20", "N/A", 501, true },
        { "fast forecast shorter than curve", file(1, 1, 0, Bytes(300, 100), true, &early), "fast", "none",
            "0:00:00", "0:04:59", "N/A", 300, true },
        { "fast interrupted after two changes", file(1, 0, 0, falling(80, 150, 301), true, &interrupted),
            "fast", "full", "0:00:00", "0:05:00", "N/A", 301, false },
        { "mode 0", file(0, 0, 0, falling(100, 30, 200)), "unknown", "full", "0:00:00", "0:03:19", "N/A", 200,
            false },
        { "mode 3", file(3, 0, 0, falling(100, 30, 200)), "unknown", "full", "0:00:00", "0:03:19", "N/A", 200,
            false },
        { "NoLoad 7", file(2, 7, 0, { 50, 49 }, true, nullptr, 0, 0), "normal", "none", "0:00:00", "0:00:01",
            "N/A", 2, false },
        { "level rose", file(2, 0, 0, { 50, 50, 60 }, true, nullptr, 1, 1000000000ull), "normal", "full",
            "0:00:00", "0:00:02", "-20000 marks", 3, false },
        { "ten-hour normal test", file(2, 0, 36000, tenHours, true, nullptr, 48000, 500000000000ull),
            "normal", "full", "10:00:00", "10:00:00", "394737 marks", 36001, false },
        { "25 hours keep the day", file(2, 0, 0, falling(100, 1000, 90001), false), "normal", "full",
            "0:00:00", "1 day 1:00:00", "N/A", 90001, false },
        { "sample 255 ends the samples", { 3, 'A', 'P', 'R', 2, 0, 0, 0, 0, 0, 90, 0xFF, 0x10, 0x27, 0, 0 },
            "normal", "full", "0:00:00", "0:00:00", "N/A", 1, false },
        { "recovered without Terminator", recovered, "normal", "full", "unknown", "0:00:03", "N/A", 4,
            false },
    };
    for (const Row& r : rows) {
        const ResultsEvaluation e = evaluate(r.bytes);
        ASSERT_TRUE(e.ok) << r.name << ": " << e.failure.toStdString();
        EXPECT_EQ(modeText(e.mode), QString::fromLatin1(r.mode)) << r.name;
        EXPECT_EQ(loadText(e.noLoad), QString::fromLatin1(r.load)) << r.name;
        EXPECT_EQ(durationText(e.systemForecast), QString::fromLatin1(r.forecast)) << r.name;
        EXPECT_EQ(durationText(e.bottomMaximum), QString::fromLatin1(r.life)) << r.name;
        EXPECT_EQ(markText(e.mark), QString::fromLatin1(r.mark)) << r.name;
        EXPECT_EQ(e.sampleCount, r.samples) << r.name;
        EXPECT_EQ(e.forecastLine.size(), r.line ? 2 : 0) << r.name;
        EXPECT_EQ(e.complete, std::string(r.name) != "recovered without Terminator") << r.name;
    }
    const ResultsEvaluation ex = evaluate(kNormalExample, QStringLiteral("/home/ann/example.apr"));
    EXPECT_EQ(ex.fileName, QStringLiteral("example.apr"));
    EXPECT_EQ(ex.reportFolder, QStringLiteral("/home/ann"));
    EXPECT_EQ(ex.capacity, 48000u);
    EXPECT_EQ(ex.workCount, 5u);
    EXPECT_EQ(curvePoints(*ex.samples).back(), QPointF(TimeStep + TimeStep, 99)); // summed, not multiplied
}

TEST(Evaluation, ChartGetsCurveLineAndMaximum)
{
    const ResultsEvaluation e = evaluate(file(1, 0, 0, workedFastSamples(), true, &kWorkedTimes));
    FakeChart chart;
    chart.interactive = false;
    ASSERT_TRUE(showOnChart(e, chart));
    EXPECT_EQ(chart.samples.size(), 7) << "two ends of the runs at 80, 79 and 78, the single 77";
    EXPECT_EQ(chart.samples.back(), QPointF(e.lastSampleTime, 77));
    ASSERT_EQ(chart.forecast.size(), 2);
    EXPECT_EQ(chart.forecast[0], QPointF(0, 80));
    EXPECT_EQ(chart.forecast[1], QPointF(*e.forecastEnd, 0));
    EXPECT_EQ(chart.maximum, *e.forecastEnd);
    EXPECT_TRUE(chart.interactive);

    // A later file without a line takes the old line away.
    ASSERT_TRUE(showOnChart(evaluate(kNormalExample), chart));
    EXPECT_TRUE(chart.forecast.isEmpty());
    EXPECT_EQ(chart.maximum, TimeStep + TimeStep + TimeStep - TimeStep) << "x after the loop less one step";

    // A chart that refuses the maximum shows nothing and takes no zooming.
    chart.refuseMaximum = true;
    EXPECT_FALSE(showOnChart(evaluate(kNormalExample), chart));
    EXPECT_TRUE(chart.samples.isEmpty());
    EXPECT_FALSE(chart.interactive);
}

TEST(Evaluation, FailuresAndRejection)
{
    const struct {
        const char* name;
        Bytes bytes;
        bool rejected;
    } rows[] = {
        { "first byte not 0x03", { 4, 'A', 'P', 'R', 2, 0, 0, 0, 0, 0, 0xFF }, true },
        { "lower-case letters", { 3, 'a', 'p', 'r', 2, 0, 0, 0, 0, 0, 0xFF }, true },
        { "empty file", {}, true },
        { "header and Terminator only", file(2, 0, 0, {}, false), false },
        { "cut inside the header", { 3, 'A', 'P', 'R', 2, 0, 0xFF }, false },
    };
    for (const auto& r : rows) {
        const ResultsEvaluation e = evaluate(r.bytes);
        EXPECT_FALSE(e.ok) << r.name;
        EXPECT_EQ(e.rejected, r.rejected) << r.name;
        EXPECT_FALSE(e.failure.isEmpty()) << r.name;
        FakeChart chart;
        chart.samples = { QPointF(0, 50) };
        chart.interactive = true;
        EXPECT_FALSE(showOnChart(e, chart));
        // A foreign file leaves the chart untouched; a broken one clears it.
        EXPECT_EQ(chart.calls.isEmpty(), r.rejected) << r.name;
        EXPECT_EQ(chart.samples.isEmpty(), !r.rejected) << r.name;
        EXPECT_EQ(chart.interactive, r.rejected) << r.name;
    }
    const ResultsEvaluation missing = evaluateResultsFile(QStringLiteral("/nonexistent/run.apr"));
    EXPECT_TRUE(missing.failure.contains(QStringLiteral("No such file"))) << missing.failure.toStdString();
}

TEST(CompactCurve, KeepsTheEndsOfEachRun)
{
    const QList<QPointF> in { { 0, 80 }, { 1, 80 }, { 2, 80 }, { 3, 79 }, { 4, 78 }, { 5, 78 }, { 6, 80 } };
    EXPECT_EQ(compactCurve(in),
        (QList<QPointF> { { 0, 80 }, { 2, 80 }, { 3, 79 }, { 4, 78 }, { 5, 78 }, { 6, 80 } }));
    EXPECT_EQ(compactCurve({ { 0, 80 } }), QList<QPointF> { QPointF(0, 80) });
    const ResultsEvaluation day = evaluate(file(2, 0, 0, falling(100, 1011, 100000)));
    EXPECT_EQ(compactCurve(curvePoints(*day.samples)).size(), 2 * 99);
}

// What a chart gets for a file: the exact line while it fits, else per slice
// the first, lowest, highest and last level, never more than asked for.
TEST(LevelCurve, ExactWhileItFitsThenBoundedWithTheExtremes)
{
    const std::vector<uint8_t> runs { 80, 80, 80, 79, 78, 78, 80 };
    EXPECT_EQ(levelCurve(runs, TimeStep, 100), compactCurve(curvePoints(runs)));

    // A file whose level flips every second: two years of it would be
    // 64 million points. The chart gets at most what it asked for, with
    // the lowest and highest level and the last sample kept.
    std::vector<uint8_t> flips(1000000);
    for (std::size_t k = 0; k < flips.size(); ++k)
        flips[k] = k % 2 ? 40 : 60;
    flips[777777] = 3;
    const QList<QPointF> bounded = levelCurve(flips, TimeStep, 4096);
    EXPECT_LE(bounded.size(), 4096);
    EXPECT_GT(bounded.size(), 2048);
    double lo = 100, hi = 0;
    for (const QPointF& p : bounded) {
        lo = std::min(lo, p.y());
        hi = std::max(hi, p.y());
    }
    EXPECT_EQ(lo, 3);
    EXPECT_EQ(hi, 60);
    EXPECT_TRUE(std::is_sorted(
        bounded.begin(), bounded.end(), [](const QPointF& a, const QPointF& b) { return a.x() < b.x(); }));
    EXPECT_EQ(bounded.front(), QPointF(0, 60));
    EXPECT_EQ(bounded.back().y(), 40);
    EXPECT_NEAR(bounded.back().x(), 999999 * TimeStep, 1e-9);
}

TEST(EnergySummary, AverageFromEnergyUsedElseFromPowerReadings)
{
    // 10 Wh used in half an hour: 20 W on average, whatever the noisy readings say;
    // the 30 Wh left last 1.5 hours more at that draw.
    const EnergySample run[]
        = { { 0, 80, 40.0, 25.0, 12.0 }, { 900, 70, {}, 18.0, {} }, { 1800, 60, 30.0, 15.0, 11.8 } };
    const EnergySummary s = summarizeEnergy(run);
    EXPECT_DOUBLE_EQ(*s.energyUsedWh, 10.0);
    EXPECT_DOUBLE_EQ(*s.averagePowerW, 20.0);
    EXPECT_DOUBLE_EQ(*s.energyAtEndWh, 30.0);
    EXPECT_DOUBLE_EQ(*s.energyForecastSeconds, 1800.0 + 5400.0);

    // No energy at all: the power readings' mean, and nothing to forecast from.
    const EnergySample powerOnly[] = { { 0, 80, {}, 10.0, {} }, { 1, 80, {}, 14.0, {} } };
    const EnergySummary p = summarizeEnergy(powerOnly);
    EXPECT_DOUBLE_EQ(*p.averagePowerW, 12.0);
    EXPECT_FALSE(p.energyUsedWh || p.energyForecastSeconds);

    // A battery that gained energy was charged: no energy used to report.
    const EnergySample charged[] = { { 0, 50, 20.0, {}, {} }, { 60, 51, 21.0, {}, {} } };
    EXPECT_FALSE(summarizeEnergy(charged).energyUsedWh);
    EXPECT_FALSE(summarizeEnergy(std::span<const EnergySample>()).averagePowerW);
}

TEST(EnergySummary, HealthNeedsBothEnergies)
{
    EXPECT_DOUBLE_EQ(*batteryHealthPercent(45.0, 50.0), 90.0);
    EXPECT_FALSE(batteryHealthPercent(45.0, std::nullopt));
    EXPECT_FALSE(batteryHealthPercent(45.0, 0.0));
}
