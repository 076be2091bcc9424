// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the start-up power check shows for each power state, shared by the
// watcher's tests (fake window) and the main window's (real widgets).
#include <cstdint>
#include <ostream>
#include <string>

namespace ampero::test {

struct CheckCase {
    const char* name;
    uint8_t ac;
    uint8_t level;
    const char* mode;
    const char* levelText;
    const char* action;
    bool enabled;
    friend void PrintTo(const CheckCase& c, std::ostream* os) { *os << c.name; }
};

inline const CheckCase kStartupChecks[] = {
    { "BatteryAt9", 0, 9, "powered by battery", "9%", "not ready for test", false },
    { "BatteryAt10", 0, 10, "powered by battery", "10%", "ready for test", true },
    { "BatteryAt0", 0, 0, "powered by battery", "0%", "not ready for test", false },
    { "BatteryFull", 0, 100, "powered by battery", "100%", "ready for test", true },
    { "BatteryLevelUnknown", 0, 255, "powered by battery", "255%", "ready for test", true },
    // On AC the level label keeps its design-time "0%".
    { "OnAc", 1, 80, "powered by AC", "0%", "testing disabled", false },
    { "LineUnknown", 255, 80, "unknown", "0%", "testing disabled", false },
    { "LineOddValue", 7, 80, "unknown", "0%", "testing disabled", false },
};

inline std::string checkCaseName(const CheckCase& c)
{
    return c.name;
}

} // namespace ampero::test
