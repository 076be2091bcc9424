// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target for the results-file reader: any input must parse or fail
// cleanly; a parsed file written back by the writer's encoders must read
// again to the same data. Every file that reads is also evaluated, drawn
// into a bounded chart curve and printed as the JSON report, and every
// number that JSON holds must be a finite one.
#include "app/report.h"
#include "results/evaluation.h"
#include "results/resultsformat.h"
#include "session/sessionports.h"

#include <QByteArray>
#include <QString>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

using namespace ampero;

namespace {

void check(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "round trip differs: %s\n", what);
        std::abort();
    }
}

std::vector<uint8_t> encode(const ResultsData& d)
{
    std::vector<uint8_t> out = encodeResultsHeader(d.mode, d.noLoad, d.forecast);
    out.insert(out.end(), d.samples.begin(), d.samples.end());
    if (d.complete) {
        // The writer puts the level-change times into every fast file.
        const std::array<double, 3>* times = d.mode == 1 ? &d.levelChangeTimes : nullptr;
        const auto trailer = encodeResultsTrailer(times, d.capacity, d.workCount);
        out.insert(out.end(), trailer.begin(), trailer.end());
    }
    return out;
}

// Every number of a JSON text, outside strings: it must read as a finite
// double. A bare word other than true, false and null (nan, inf) fails too.
void checkJsonNumbers(const QByteArray& json)
{
    bool inString = false;
    for (qsizetype i = 0; i < json.size(); ++i) {
        const char c = json[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
            continue;
        }
        if (c == '"') {
            inString = true;
            continue;
        }
        if (c == '-' || (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) {
            qsizetype j = i;
            while (j < json.size() && json[j] != ',' && json[j] != '}' && json[j] != ' ')
                ++j;
            const QByteArray word = json.mid(i, j - i);
            if (word != "true" && word != "false" && word != "null") {
                bool ok = false;
                const double v = word.toDouble(&ok);
                if (!ok || !std::isfinite(v)) {
                    std::fprintf(stderr, "JSON prints a number that is not finite: %s\n%s\n",
                        word.constData(), json.constData());
                    std::abort();
                }
            }
            i = j - 1;
        }
    }
}

class NullChart final : public ampero::ChartView {
public:
    void clearSeries() override { points = 0; }
    void addSample(double, double) override { ++points; }
    void setSamples(const QList<QPointF>& p) override { points = p.size(); }
    void setForecastLine(const QList<QPointF>&) override { }
    void setInteractive(bool) override { }
    AxisLimitResult setBottomMaximum(double d) override
    {
        max = d;
        return {};
    }
    double bottomMaximum() const override { return max; }
    qsizetype points = 0;
    double max = 0;
};

void evaluateAndReport(const ResultsReadResult& read)
{
    const QString path = QStringLiteral("/tmp/fuzz.apr");
    const ResultsEvaluation e = evaluateResults(read, path);
    if (!e.ok)
        return;
    check(e.sampleCount == static_cast<qint64>(read.data.samples.size()), "evaluated sample count");
    NullChart chart;
    check(showOnChart(e, chart), "an evaluated file does not show");
    check(chart.points >= 1 && chart.points <= 16384, "chart curve size");
    checkJsonNumbers(reportJson(path, e));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const ResultsReadResult first = parseResults(std::span<const uint8_t>(data, size));
    if (!first.ok()) {
        check(!first.describe().empty(), "failure without a reason");
        check(first.offset <= size, "failure offset past the input");
        return 0;
    }
    const ResultsData& a = first.data;
    check(a.samples.size() <= size, "more samples than bytes");
    for (uint8_t s : a.samples)
        check(s != ResultsTerminator, "terminator inside the samples");

    const std::vector<uint8_t> bytes = encode(a);
    const ResultsReadResult second = parseResults(bytes);
    check(second.ok(), "written file does not read");
    const ResultsData& b = second.data;
    check(a.mode == b.mode && a.noLoad == b.noLoad && a.forecast == b.forecast, "header");
    check(a.samples == b.samples, "samples");
    check(a.complete == b.complete, "completeness");
    if (a.complete) {
        check(b.hasLevelChangeTimes == (a.mode == 1), "level-change times present");
        // Bit for bit: NaNs must survive too.
        check(std::memcmp(a.levelChangeTimes.data(), b.levelChangeTimes.data(), sizeof(double) * 3) == 0,
            "level-change times");
        check(a.capacity == b.capacity && a.workCount == b.workCount, "capacity or work count");
    }
    check(encode(b) == bytes, "second write differs from the first");
    evaluateAndReport(first);
    return 0;
}
