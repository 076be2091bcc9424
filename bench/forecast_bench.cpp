// SPDX-License-Identifier: GPL-3.0-or-later
// How far to trust a fast test: runs fast tests on simulated batteries of
// many curve shapes, each to the very end, on a simulated clock, and compares
// two forecasts of the battery life with the time the battery really lasted:
//   line:   the fast test's own forecast, the line to 0 % through the three
//           level changes, as the results file's evaluation draws it;
//   energy: the energy left when the fast test stops divided by the average
//           power until then (summarizeEnergy), added to the time so far.
// Both count from the test's first sample. Prints the mean and the worst
// absolute error in percent of the true life, per curve and overall.
//
//   forecast_bench [--csv]
#include "core/timeunits.h"
#include "platform/clock.h"
#include "platform/simpowersource.h"
#include "results/energysummary.h"
#include "results/evaluation.h"
#include "session/loadworkers.h"
#include "session/testsession.h"
#include "tests/support/sessionfakes.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

using namespace ampero;

namespace {

// The session's load workers, without threads: the simulated battery learns
// from them how many processors are busy. The load stays on after the fast
// test stops, so that the rest of the run drains as the test did.
struct BenchLoad final : LoadWorkers {
    bool start() override
    {
        on = true;
        return true;
    }
    uint64_t stop() override { return 1000000; }
    bool on = false;
};

struct Curve {
    const char* name;
    SimBatterySettings shape; // the shape's own settings; battery and load come from the variant
};

// One battery and load of a curve.
struct Variant {
    double capacityWh, healthPercent, baseW, loadWPerCore;
    int busyCores; // 0: a test without load
    uint32_t seed;
};

struct Outcome {
    bool ok = false;
    double trueSeconds = 0, lineSeconds = 0, energySeconds = 0, fastTestSeconds = 0;
};

Outcome runOne(const Curve& curve, const Variant& v, const QString& dir)
{
    SimBatterySettings s = curve.shape;
    s.capacityWh = v.capacityWh;
    s.healthPercent = v.healthPercent;
    s.baseW = v.baseW;
    s.loadW = v.loadWPerCore;
    s.seed = v.seed * 7919u + static_cast<uint32_t>(std::strlen(curve.name));

    auto clock = std::make_shared<FakeClock>();
    BenchLoad load;
    SimPowerSource sim(
        clock, s, [&] { return load.on ? double(v.busyCores) : 0.0; }, 0);

    test::FakeMainView view;
    view.noLoad = v.busyCores == 0;
    test::FakeChart chart;
    test::FakeDialogs dialogs;
    dialogs.path = dir + QStringLiteral("/fast.apr");
    test::FakeTestingWindow testing;
    TestSession session(view, chart, dialogs, testing, sim, *clock, load);

    Outcome out;
    std::optional<double> lineEnd;
    session.setShowResultsWindow([&](const QString& path, const std::function<void()>& closed) {
        lineEnd = evaluateResultsFile(path).forecastEnd;
        closed();
    });
    std::vector<EnergySample> samples;
    int64_t firstSampleMs = -1;
    QObject::connect(&session, &TestSession::sampleTaken, &session, [&](double elapsed, int level) {
        if (firstSampleMs < 0)
            firstSampleMs = clock->gapNowMs();
        const PowerStatus& st = sim.status();
        samples.push_back({ toSeconds(elapsed), level, st.energyWh, st.powerW, st.voltageV });
    });

    session.startTest(TestMode::Fast);
    if (session.state().mode != TestMode::Fast)
        return out;
    if (v.busyCores > 0)
        session.startLoad(); // 10 ms after the start in the program
    while (session.state().mode != TestMode::None && samples.size() < 200000) {
        clock->advanceMs(1000);
        sim.checkForChange();
        session.onTick();
        // The results window opens from the loop once the ending tick is done.
        QCoreApplication::processEvents();
    }
    if (!lineEnd || samples.empty())
        return out;
    const EnergySummary summary = summarizeEnergy(samples);
    if (!summary.energyForecastSeconds)
        return out;
    out.fastTestSeconds = samples.back().seconds;
    out.lineSeconds = toSeconds(*lineEnd);
    out.energySeconds = *summary.energyForecastSeconds;

    // The rest of the battery, second by second, under the same load.
    while (sim.status().energyWh.value_or(0) > 0) {
        clock->advanceMs(1000);
        sim.checkForChange();
    }
    out.trueSeconds = static_cast<double>(clock->gapNowMs() - firstSampleMs) / 1000.0;
    out.ok = out.trueSeconds > 0;
    return out;
}

struct Errors {
    double sum = 0, worst = 0;
    int count = 0;
    void add(double percent)
    {
        sum += percent;
        worst = std::max(worst, percent);
        ++count;
    }
    double mean() const { return count ? sum / count : 0; }
};

double errorPercent(double predicted, double truth)
{
    return std::fabs(predicted - truth) / truth * 100.0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const bool csv = argc > 1 && std::strcmp(argv[1], "--csv") == 0;

    const auto shape = [](auto edit) {
        SimBatterySettings s;
        edit(s);
        return s;
    };
    const Curve curves[] = {
        { "straight", shape([](SimBatterySettings&) {}) },
        { "plateau 3%", shape([](SimBatterySettings& s) { s.plateauPercent = 3; }) },
        { "plateau 8%", shape([](SimBatterySettings& s) { s.plateauPercent = 8; }) },
        { "steeper end x3", shape([](SimBatterySettings& s) { s.endFactor = 3; }) },
        { "steeper end x6", shape([](SimBatterySettings& s) { s.endFactor = 6; }) },
        { "noise 10%", shape([](SimBatterySettings& s) { s.noisePercent = 10; }) },
        { "noise 30%", shape([](SimBatterySettings& s) { s.noisePercent = 30; }) },
        { "half-way x1.5", shape([](SimBatterySettings& s) { s.halfwayFactor = 1.5; }) },
        { "half-way x0.6", shape([](SimBatterySettings& s) { s.halfwayFactor = 0.6; }) },
        { "plateau+end", shape([](SimBatterySettings& s) {
             s.plateauPercent = 5;
             s.endFactor = 4;
         }) },
        { "noise+half-way", shape([](SimBatterySettings& s) {
             s.noisePercent = 20;
             s.halfwayFactor = 1.4;
         }) },
        { "worn, all of it", shape([](SimBatterySettings& s) {
             s.plateauPercent = 4;
             s.endFactor = 3;
             s.noisePercent = 15;
             s.halfwayFactor = 1.2;
         }) },
    };
    // Each curve on three batteries, without load, with two and with four busy processors.
    const Variant variants[] = {
        { 45, 96, 6.5, 0, 0, 1 },
        { 57, 88, 8.0, 4.5, 2, 2 },
        { 86, 79, 11.0, 6.0, 4, 3 },
    };

    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "forecast_bench: no temporary folder\n");
        return 1;
    }
    QElapsedTimer wall;
    wall.start();
    Errors lineAll, energyAll;
    if (csv)
        std::printf("curve,variant,true_s,fast_test_s,line_s,energy_s\n");
    else
        std::printf("%-18s %5s  %10s %10s  %10s %10s\n", "curve", "runs", "line mean", "line worst",
            "energy mean", "worst");
    int runs = 0;
    for (const Curve& curve : curves) {
        Errors line, energy;
        for (size_t i = 0; i < std::size(variants); ++i) {
            const Outcome o = runOne(curve, variants[i], dir.path());
            if (!o.ok) {
                std::fprintf(stderr, "forecast_bench: %s, variant %zu did not finish\n", curve.name, i);
                return 1;
            }
            ++runs;
            line.add(errorPercent(o.lineSeconds, o.trueSeconds));
            energy.add(errorPercent(o.energySeconds, o.trueSeconds));
            if (csv)
                std::printf("%s,%zu,%.0f,%.0f,%.0f,%.0f\n", curve.name, i, o.trueSeconds, o.fastTestSeconds,
                    o.lineSeconds, o.energySeconds);
        }
        lineAll.sum += line.sum;
        lineAll.count += line.count;
        lineAll.worst = std::max(lineAll.worst, line.worst);
        energyAll.sum += energy.sum;
        energyAll.count += energy.count;
        energyAll.worst = std::max(energyAll.worst, energy.worst);
        if (!csv)
            std::printf("%-18s %5d  %9.1f%% %9.1f%%  %9.1f%% %9.1f%%\n", curve.name, line.count, line.mean(),
                line.worst, energy.mean(), energy.worst);
    }
    if (!csv) {
        std::printf("%-18s %5d  %9.1f%% %9.1f%%  %9.1f%% %9.1f%%\n", "overall", runs, lineAll.mean(),
            lineAll.worst, energyAll.mean(), energyAll.worst);
        std::printf("(absolute error of the forecast battery life in %% of the true life; %lld ms)\n",
            static_cast<long long>(wall.elapsed()));
    }
    return 0;
}
