// SPDX-License-Identifier: GPL-3.0-or-later
// The workloads' schedules on a fake clock: the work of each burst is fixed,
// a slow machine falls behind and says so, and the driver runs them.
#include "session/workloadrunner.h"

#include <QCoreApplication>
#include <QTest>
#include <gtest/gtest.h>

using namespace ampero;

namespace {

constexpr int64_t Ms = 1000;
constexpr int64_t S = 1000 * Ms;

// Runs a schedule from 0 to endUs on a fake clock: every burst takes
// burstUs, and each wake-up comes when the schedule asks for it.
WorkloadTally simulate(Workload w, int64_t burstUs, int64_t endUs)
{
    WorkloadSchedule schedule(workloadStreams(w));
    std::vector<std::pair<int64_t, int>> running; // end time, stream
    int64_t now = 0;
    while (now <= endUs) {
        for (int i : schedule.startDue(now))
            running.emplace_back(now + burstUs, i);
        std::optional<int64_t> next = schedule.nextWakeUs();
        for (const auto& [end, i] : running)
            if (!next || end < *next)
                next = end;
        if (!next || *next > endUs)
            break;
        now = std::max(now, *next);
        std::erase_if(running, [&](const auto& r) {
            if (r.first > now)
                return false;
            schedule.finished(r.second, now);
            return true;
        });
    }
    return schedule.tally(endUs);
}

} // namespace

TEST(WorkloadSchedule, EveryWorkloadHasFixedUnitsAndThreads)
{
    EXPECT_TRUE(workloadStreams(Workload::FullLoad).empty());
    const auto web = workloadStreams(Workload::Web);
    ASSERT_EQ(web.size(), 2u);
    EXPECT_EQ(web[0].threads, 4); // whatever the processor count
    const auto video = workloadStreams(Workload::Video);
    ASSERT_EQ(video.size(), 1u);
    EXPECT_EQ(video[0].threads, 2);
    for (Workload w : AllWorkloads)
        EXPECT_EQ(workloadFromKey(workloadKey(w)), w);
    EXPECT_EQ(workloadFromKey(u"Office"), Workload::Office);
    EXPECT_FALSE(workloadFromKey(u"gaming"));
}

TEST(WorkloadSchedule, AFastMachineDoesAllTheWorkOnTime)
{
    // Two minutes of video: 30 frames a second, all on time, each of fixed units.
    const WorkloadTally video = simulate(Workload::Video, 5 * Ms, 120 * S - 20 * Ms);
    EXPECT_EQ(video.burstsDue, 3600);
    EXPECT_EQ(video.burstsOnTime, video.burstsDue);
    EXPECT_EQ(video.unitsDone, video.unitsDue);
    EXPECT_EQ(video.onTimeShare(), 1.0);

    // Web: page loads at 0 and 60 s, scrolls of 18 frames at 5, 15, ... s.
    const WorkloadTally web = simulate(Workload::Web, 1 * Ms, 120 * S - 1);
    EXPECT_EQ(web.burstsDue, 2 + 12 * 18);
    EXPECT_EQ(web.unitsDone, web.unitsDue);
}

TEST(WorkloadSchedule, ASlowMachineFallsBehindAndDropsBursts)
{
    // Video frames of 50 ms against an interval of 33 ms: of every three
    // frames one starts on time, one late and one is dropped.
    const WorkloadTally t = simulate(Workload::Video, 50 * Ms, 60 * S - 1);
    EXPECT_NEAR(t.burstsDue, 1800, 1);
    EXPECT_NEAR(*t.onTimeShare(), 1.0 / 3, 0.01);
    EXPECT_NEAR(t.burstsDropped, 600, 2);
    EXPECT_NEAR(double(t.unitsDone) / double(t.unitsDue), 2.0 / 3, 0.01);

    // A burst a little late (within a quarter of its interval) is on time.
    WorkloadSchedule s(workloadStreams(Workload::Reading));
    EXPECT_EQ(s.nextWakeUs(), 0);
    EXPECT_EQ(s.startDue(40 * Ms), std::vector<int> { 0 });
    EXPECT_FALSE(s.nextWakeUs()); // busy: its end says when to wake
    s.finished(0, 300 * Ms);
    EXPECT_EQ(s.nextWakeUs(), 30 * S);
    EXPECT_TRUE(s.startDue(30 * S - 1).empty());
    EXPECT_EQ(s.startDue(30 * S + 60 * Ms), std::vector<int> { 0 });
    const WorkloadTally r = s.tally(30 * S + 60 * Ms);
    EXPECT_EQ(r.burstsDue, 2);
    EXPECT_EQ(r.burstsOnTime, 1);
    EXPECT_EQ(r.unitsDone, r.unitsDue / 2); // the second is still running
    // A stop now cuts the second: it is neither due nor done.
    const WorkloadTally stopped = s.tallyAtStop(30 * S + 60 * Ms);
    EXPECT_EQ(stopped.burstsDue, 1);
    EXPECT_EQ(stopped.burstsOnTime, 1);
    EXPECT_EQ(stopped.unitsDone, stopped.unitsDue);
}

TEST(WorkloadRunner, RunsBurstsOnItsTimerAndStopsAtOnce)
{
    WorkloadRunner runner;
    int repaints = 0;
    QObject::connect(&runner, &WorkloadRunner::repaintWanted, &runner, [&](Repaint r) {
        EXPECT_EQ(r, Repaint::Small);
        ++repaints;
    });
    ASSERT_FALSE(runner.start(Workload::FullLoad));
    ASSERT_TRUE(runner.start(Workload::Office));
    QTRY_VERIFY_WITH_TIMEOUT(repaints >= 3, 10000); // key presses, 5 a second
    const WorkloadTally t = runner.stop();
    EXPECT_FALSE(runner.isRunning());
    EXPECT_GE(t.burstsDue, 3);
    EXPECT_GE(t.unitsDone, 3 * workloadStreams(Workload::Office)[0].units);
    EXPECT_GE(runner.wakeUps(), 3);
}
