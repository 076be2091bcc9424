// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cstdint>
#include <functional>

namespace ampero {

// Tells whether the machine was suspended since the last check, by watching
// the time spent suspended grow: CLOCK_BOOTTIME counts it, CLOCK_MONOTONIC
// does not, so their difference rises by the length of each sleep. Backends
// that poll use it to announce a resume, after which everything may differ.
class ResumeDetector {
public:
    // Milliseconds the machine has spent suspended since boot.
    using SuspendedMs = std::function<int64_t()>;
    static int64_t systemSuspendedMs();

    explicit ResumeDetector(SuspendedMs source = systemSuspendedMs);

    // True once for each sleep of at least a second since the last call.
    bool resumedSinceLastCheck();

private:
    SuspendedMs m_source;
    int64_t m_last;
};

} // namespace ampero
