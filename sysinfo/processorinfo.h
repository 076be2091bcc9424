// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "platform/processor.h"

#include <QLocale>
#include <QString>
#include <cstdint>
#include <optional>

namespace ampero {

// The processor's brand string: "Unknown", or exactly 48 characters, one per
// byte of the brand bytes (0x80..0xFF become U+0080..U+00FF, zero bytes
// become U+0000; nothing trimmed).
QString cpuBrandString(Processor& processor);

// The same text made from brand bytes already read; std::nullopt, or bytes
// that are not exactly 48, give "Unknown".
QString brandStringFromBytes(const std::optional<QByteArray>& bytes);

// The caption shown for a brand string: leading spaces (U+0020 only)
// removed, and everything from the first U+0000 on dropped. Spaces inside
// or at the end stay.
QString cpuNameCaption(const QString& brand);

// Clock estimate in MHz from the ticks counted across 100 ms: the whole
// 64-bit difference divided by 100000.
double clockFromTicks(uint64_t ticks);

// Counts the processor's ticks across a 100 ms sleep and returns the clock
// estimate in MHz. Blocks the calling thread for about 100 ms.
double measureCpuClock(Processor& processor);

// "(2394.53 MHz)": the estimate in fixed notation with two decimals, the
// locale's decimal separator, no group separators.
QString clockText(double mhz, const QLocale& locale = QLocale());

// Left edge of the clock label: 6 pixels right of the name label's right edge.
int clockLabelLeft(int nameLabelLeft, int nameLabelWidth);

} // namespace ampero
