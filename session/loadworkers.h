// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cstdint>

namespace ampero {

// The CPU load of a test: one busy worker per processor, each counting its
// own loop iterations. The session controller starts the load a moment after
// a test starts and stops it when the test stops; the sum of the counts is
// the test's work count.
class LoadWorkers {
public:
    virtual ~LoadWorkers() = default;

    // Starts one worker per processor, each at the lowest normal priority.
    // Returns true when every worker runs. On false no worker is left
    // running: the ones already started have been stopped and joined.
    virtual bool start() = 0;

    // Stops and joins every worker and returns the sum of their iteration
    // counts (64 bits wide, so a long test keeps its true count). Returns 0
    // when any worker could not be stopped cleanly; every worker is still
    // stopped and joined. Without running workers it returns 0.
    virtual uint64_t stop() = 0;
};

} // namespace ampero
