// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "core/timeunits.h"

#include <QtGlobal>
#include <cstdint>

namespace ampero {

// The two clocks of the program.
//
// localNow(): the local date and time as a day count (days since 1899-12-30,
// time of day as fraction, millisecond resolution). It is what the user's
// clock says, so it jumps with NTP steps and daylight-saving changes; use it
// only for what is shown.
//
// gapNowMs(): milliseconds on a clock that keeps counting while the machine is
// suspended and never jumps when the wall clock is set (CLOCK_BOOTTIME). The
// 5-second gap rules measure with this clock, so a sleep is seen and a clock
// change is not.
//
// monotonicNowMs(): milliseconds on a clock that stops while the machine is
// suspended (CLOCK_MONOTONIC). gapNowMs() minus monotonicNowMs() grows by the
// time spent suspended, which tells a sleep from a program that stalled.
class Clock {
public:
    virtual ~Clock() = default;
    virtual double localNow() const = 0;
    virtual int64_t gapNowMs() const = 0;
    virtual int64_t monotonicNowMs() const = 0;
    // Milliseconds spent suspended since boot; only its growth means anything.
    int64_t suspendedMs() const { return gapNowMs() - monotonicNowMs(); }
};

// The real clocks of this machine.
class SystemClock final : public Clock {
public:
    double localNow() const override;
    int64_t gapNowMs() const override;
    int64_t monotonicNowMs() const override;
};

// A clock that moves only when told to, for tests.
class FakeClock final : public Clock {
public:
    double localNow() const override { return m_local; }
    int64_t gapNowMs() const override { return m_gapMs; }
    int64_t monotonicNowMs() const override { return m_monoMs; }

    // Advances every clock by ms milliseconds, as real time passing while
    // the machine runs (a long advance is a stalled program).
    void advanceMs(int64_t ms)
    {
        m_monoMs += ms;
        sleepMs(ms);
    }
    // Moves only the wall clock (NTP step, daylight-saving change); ms may be negative.
    void stepWallClockMs(int64_t ms) { m_local += msToDays(ms); }
    // Time passes while suspended: the wall and gap clocks advance, the
    // monotonic clock does not.
    void sleepMs(int64_t ms)
    {
        m_gapMs += ms;
        m_local += msToDays(ms);
    }
    void setLocal(double dayCount) { m_local = dayCount; }

private:
    double m_local = 46000.5; // 2025-12-09 12:00, any day will do
    int64_t m_gapMs = 1000000;
    int64_t m_monoMs = 900000;
};

} // namespace ampero
