// SPDX-License-Identifier: GPL-3.0-or-later
#include "session/workloadschedule.h"

#include <algorithm>

namespace ampero {

namespace {

constexpr int64_t Ms = 1000;
constexpr int64_t S = 1000 * Ms;

// The units of each burst, fixed once from the time it takes on the
// reference machine (a work unit there takes about 0.1 ms; see
// bench/workload_bench) and never adjusted to the machine a test runs on.
constexpr int ReadingUnits = 2000; // ~200 ms on one thread
constexpr int KeyPressUnits = 30; // ~3 ms on one thread
constexpr int RecalcUnits = 30000; // ~1.5 s on two threads
constexpr int RecalcWriteBytes = 1 << 20;
constexpr int PageLoadUnits = 50000; // ~2.5 s on four threads over two cores
constexpr int ScrollFrameUnits = 10; // ~1 ms on one thread
constexpr int VideoFrameUnits = 160; // ~8 ms on two threads

} // namespace

std::vector<BurstStream> workloadStreams(Workload w)
{
    switch (w) {
    case Workload::FullLoad:
        return {};
    case Workload::Reading:
        return { { "page turn", 30 * S, 0, 1, 0, ReadingUnits, 1, Repaint::Full } };
    case Workload::Office:
        return { { "key press", 200 * Ms, 0, 1, 0, KeyPressUnits, 1, Repaint::Small },
            { "recalculate and save", 60 * S, 2 * S, 1, 0, RecalcUnits, 2, Repaint::Full,
                RecalcWriteBytes } };
    case Workload::Web:
        return { { "page load", 60 * S, 0, 1, 0, PageLoadUnits, 4, Repaint::Full },
            // Five scrolls between two page loads, each 300 ms of frames at 60 a second.
            { "scroll", 10 * S, 5 * S, 18, 1000 * Ms / 60, ScrollFrameUnits, 1, Repaint::Small } };
    case Workload::Video:
        return { { "frame", 1000 * Ms / 30, 0, 1, 0, VideoFrameUnits, 2, Repaint::Region720p } };
    }
    return {};
}

int64_t onTimeToleranceUs(const BurstStream& stream)
{
    return std::min<int64_t>(stream.burstIntervalUs() / 4, 50 * Ms);
}

WorkloadSchedule::WorkloadSchedule(std::vector<BurstStream> streams)
    : m_streams(std::move(streams))
    , m_state(m_streams.size())
{
}

std::optional<int64_t> WorkloadSchedule::nextWakeUs() const
{
    std::optional<int64_t> wake;
    for (std::size_t i = 0; i < m_streams.size(); ++i) {
        if (m_state[i].busy)
            continue;
        const int64_t due = m_streams[i].dueUs(m_state[i].next);
        if (!wake || due < *wake)
            wake = due;
    }
    return wake;
}

std::vector<int> WorkloadSchedule::startDue(int64_t nowUs)
{
    std::vector<int> started;
    for (std::size_t i = 0; i < m_streams.size(); ++i) {
        const BurstStream& s = m_streams[i];
        StreamState& st = m_state[i];
        if (st.busy || s.dueUs(st.next) > nowUs)
            continue;
        // A burst whose successor is due too is a whole interval late: it is
        // dropped, as a player drops a frame it cannot show in time.
        while (s.dueUs(st.next + 1) <= nowUs) {
            ++st.dropped;
            ++st.next;
        }
        st.runningOnTime = nowUs - s.dueUs(st.next) <= onTimeToleranceUs(s);
        if (st.runningOnTime)
            ++st.onTime;
        ++st.next;
        st.busy = true;
        started.push_back(static_cast<int>(i));
    }
    return started;
}

void WorkloadSchedule::finished(int stream, int64_t /*nowUs*/)
{
    if (stream < 0 || static_cast<std::size_t>(stream) >= m_state.size())
        return;
    StreamState& st = m_state[static_cast<std::size_t>(stream)];
    if (!st.busy)
        return;
    st.busy = false;
    st.unitsDone += m_streams[static_cast<std::size_t>(stream)].units;
}

WorkloadTally WorkloadSchedule::tally(int64_t nowUs) const
{
    WorkloadTally t;
    for (std::size_t i = 0; i < m_streams.size(); ++i) {
        const BurstStream& s = m_streams[i];
        const StreamState& st = m_state[i];
        int64_t due = 0;
        if (nowUs >= s.offsetUs) {
            const int64_t since = nowUs - s.offsetUs;
            const int64_t occurrences = since / s.periodUs;
            const int64_t within = since - occurrences * s.periodUs;
            const int64_t framesNow = s.frames > 1 && s.frameIntervalUs > 0
                ? std::min<int64_t>(s.frames, within / s.frameIntervalUs + 1)
                : 1;
            due = occurrences * s.frames + framesNow;
        }
        t.burstsDue += due;
        t.burstsOnTime += st.onTime;
        t.burstsDropped += st.dropped;
        t.unitsDue += due * s.units;
        t.unitsDone += st.unitsDone;
    }
    return t;
}

WorkloadTally WorkloadSchedule::tallyAtStop(int64_t nowUs) const
{
    WorkloadTally t = tally(nowUs);
    for (std::size_t i = 0; i < m_streams.size(); ++i) {
        if (!m_state[i].busy)
            continue;
        --t.burstsDue;
        t.unitsDue -= m_streams[i].units;
        if (m_state[i].runningOnTime)
            --t.burstsOnTime;
    }
    return t;
}

} // namespace ampero
