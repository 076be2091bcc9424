// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QByteArray>
#include <cstdint>
#include <optional>

namespace ampero {

// The processor's own identification and its cycle counter.
class Processor {
public:
    virtual ~Processor() = default;

    // The 48 bytes of the processor's brand string, exactly as the extended
    // CPUID leaves 0x80000002..0x80000004 return them (registers EAX, EBX,
    // ECX, EDX of each leaf, each register's bytes from least to most
    // significant; zero bytes kept, nothing trimmed). std::nullopt when the
    // processor does not offer the extended leaves (bit 31 of CPUID
    // 0x80000000's EAX clear) or when no brand can be read at all.
    virtual std::optional<QByteArray> brandBytes() = 0;

    // Sleeps sleepMs milliseconds and returns how many cycle-counter ticks
    // (time-stamp counter on x86) passed meanwhile, as the whole unsigned
    // 64-bit difference. The calling thread runs at the highest scheduling
    // priority the system grants for the measurement and gets its old one back
    // before the call returns.
    virtual uint64_t ticksAcross(int sleepMs) = 0;
};

} // namespace ampero
