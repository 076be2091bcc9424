// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "platform/processor.h"

namespace ampero {

// A processor whose brand bytes and tick counts are set by hand.
class FakeProcessor final : public Processor {
public:
    std::optional<QByteArray> brandBytes() override { return brand; }
    uint64_t ticksAcross(int sleepMs) override
    {
        lastSleepMs = sleepMs;
        return ticks;
    }

    std::optional<QByteArray> brand;
    uint64_t ticks = 0;
    int lastSleepMs = -1;
};

} // namespace ampero
