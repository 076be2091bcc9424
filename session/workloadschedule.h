// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The schedules of the workloads of fixed work, and the arithmetic that
// times their bursts against them. A schedule is a set of streams; each
// stream has bursts of a fixed number of work units on a fixed number of
// threads, due at fixed times. Nothing here depends on the machine: a
// faster processor finishes its bursts sooner and sleeps longer, a slower
// one falls behind, and the tally says by how much. Times are microseconds
// from the start of the workload, so a test drives it with a fake clock.
#include "core/workload.h"

#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

namespace ampero {

// What the window repaints after a burst.
enum class Repaint {
    None,
    Small, // a few characters: a key press
    Region720p, // a 1280 x 720 region: a video frame
    Full, // the whole main window
};

// One stream of bursts. Occurrence k starts at offsetUs + k x periodUs and
// holds `frames` bursts frameIntervalUs apart (one burst for most streams;
// a scroll is a run of frames).
struct BurstStream {
    const char* label; // for the benchmark's lines
    int64_t periodUs;
    int64_t offsetUs = 0;
    int frames = 1;
    int64_t frameIntervalUs = 0;
    int units; // work units per burst, split over the threads
    int threads;
    Repaint repaint = Repaint::None;
    int writeBytes = 0; // written and synced to a temporary file after the work

    // The time from one burst of the stream to its next (the shortest).
    int64_t burstIntervalUs() const { return frames > 1 ? frameIntervalUs : periodUs; }
    // The due time of burst n of the stream (n counts frames across occurrences).
    int64_t dueUs(int64_t n) const
    {
        return offsetUs + (n / frames) * periodUs + (n % frames) * frameIntervalUs;
    }
};

// The streams of a workload; empty for full load, which is not a schedule.
std::vector<BurstStream> workloadStreams(Workload w);

// What a workload did, up to a time.
struct WorkloadTally {
    int64_t burstsDue = 0; // bursts whose due time has passed
    int64_t burstsOnTime = 0; // of those, the ones that started on time
    int64_t burstsDropped = 0; // never started: their stream was a whole interval behind
    int64_t unitsDue = 0; // the units of the bursts due
    int64_t unitsDone = 0; // the units of the bursts finished
    // The share of due bursts that started on time, 0 to 1; none before any was due.
    std::optional<double> onTimeShare() const
    {
        return burstsDue > 0 ? std::optional<double>(double(burstsOnTime) / double(burstsDue)) : std::nullopt;
    }
};

// A burst starts on time when it starts at most this long after its due
// time: a quarter of its stream's interval, and never more than 50 ms.
int64_t onTimeToleranceUs(const BurstStream& stream);

// The timing of one workload's bursts. The driver asks when to wake next,
// starts the bursts due at that time and reports each burst's end. A burst
// whose stream is still busy waits for it; a stream a whole interval behind
// drops the bursts it missed, so a slow machine does less work rather than
// run without pause.
class WorkloadSchedule {
public:
    explicit WorkloadSchedule(std::vector<BurstStream> streams);

    const std::vector<BurstStream>& streams() const { return m_streams; }
    // When the next burst is due on a stream that is idle; none while every
    // stream is busy (a burst's end then says when).
    std::optional<int64_t> nextWakeUs() const;
    // The streams whose burst starts now: each idle stream whose burst is
    // due at or before nowUs. Marks them busy.
    std::vector<int> startDue(int64_t nowUs);
    // The burst running on stream i has ended.
    void finished(int stream, int64_t nowUs);
    // The tally up to nowUs. A burst still running counts as due, not done.
    WorkloadTally tally(int64_t nowUs) const;
    // The tally of a workload stopped at nowUs: the bursts still running
    // were cut by the stop, not missed, and count as neither due nor done.
    WorkloadTally tallyAtStop(int64_t nowUs) const;

private:
    struct StreamState {
        int64_t next = 0; // the number of the next burst to start
        bool busy = false;
        bool runningOnTime = false; // of the burst running
        int64_t onTime = 0;
        int64_t dropped = 0;
        int64_t unitsDone = 0;
    };
    std::vector<BurstStream> m_streams;
    std::vector<StreamState> m_state;
};

} // namespace ampero
