// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The two kinds of test, numbered as the results file stores them in its Mode
// byte and as the start actions carry them.
#include <cstdint>

namespace ampero {

enum class TestMode : uint8_t {
    None = 0, // no test running
    Fast = 1,
    Normal = 2,
};

// The Mode byte of the results file.
constexpr uint8_t modeByte(TestMode mode)
{
    return static_cast<uint8_t>(mode);
}

} // namespace ampero
