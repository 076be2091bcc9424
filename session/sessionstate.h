// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "core/testmode.h"
#include "core/timeunits.h"

#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>

namespace ampero {

// The state of the test session, alive for the whole run of the program. The
// session controller writes it; the power watcher and the session-end handler
// read it.
struct SessionState {
    // The running test's mode, None when no test runs.
    ampero::TestMode mode = ampero::TestMode::None;
    // Full path of the results file of the running or last started test.
    QString resultsPath;
    // The same path as the file system's bytes: the name the file was made with.
    QByteArray resultsFileName;
    // Elapsed time of the next sample as a day fraction: 0 for the first.
    double elapsed = 0.0;
    // Added to elapsed after every sample.
    double timeStep = kDayPerSecond;
    // Gap clock (Clock::gapNowMs, milliseconds) at the start of the test,
    // then at the last tick. Only differences of it are used.
    int64_t lastTickMs = 0;
    // Time spent suspended (Clock::suspendedMs) at the same moment.
    int64_t lastTickSuspendedMs = 0;
    // The power watcher's count of sleeps announced by the system
    // (PowerWatcher::sleepCount) at the same moment.
    uint64_t lastTickSleeps = 0;
    // The elapsed times of the samples at which the first three level changes were seen.
    std::array<double, 3> levelChangeTimes { 0.0, 0.0, 0.0 };
    // Level the next sample is compared against; -1 before the first sample.
    int32_t lastLevel = -1;
    // Level changes recorded in levelChangeTimes, 0 to 3.
    uint8_t levelChangeCount = 0;
    // True while the CPU load workers run.
    bool loadActive = false;
};

// A gap between ticks of this many milliseconds or more ends a test when the
// machine slept in it: the time spent suspended grew by SleepSeenMs or more,
// or the system announced a sleep.
inline constexpr int64_t TickGapMs = 5000;
inline constexpr int64_t SleepSeenMs = 1000;
// A program that stalled (no sleep) for longer than this ends its test as
// interrupted; shorter stalls are filled with the last level.
inline constexpr int64_t StallLimitMs = 60000;

} // namespace ampero
