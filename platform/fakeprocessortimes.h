// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "platform/processortimes.h"

namespace ampero {

// Times and tick counter set by hand. failNext makes the next snapshot fail.
class FakeProcessorTimes final : public ProcessorTimesSource {
public:
    std::optional<ProcessorSnapshot> snapshot() override
    {
        if (failNext) {
            failNext = false;
            return std::nullopt;
        }
        return current;
    }
    std::chrono::milliseconds tickCount() override { return tick; }

    void setTimes(const std::vector<ProcessorTimes>& times)
    {
        current.clear();
        for (const auto& t : times)
            current.push_back({ t, true });
    }

    ProcessorSnapshot current;
    std::chrono::milliseconds tick { 0 };
    bool failNext = false;
};

} // namespace ampero
