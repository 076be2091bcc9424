// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the start-up power check shows for each power state, shared by the
// watcher's tests (fake window) and the main window's (real widgets).
#include "platform/powersource.h"

#include <optional>
#include <ostream>
#include <string>

namespace ampero::test {

struct CheckCase {
    const char* name;
    PowerLine line;
    std::optional<int> level;
    const char* mode;
    const char* levelText;
    const char* action;
    bool enabled;
    friend void PrintTo(const CheckCase& c, std::ostream* os) { *os << c.name; }
};

inline const CheckCase kStartupChecks[] = {
    { "BatteryAt9", PowerLine::Battery, 9, "powered by battery", "9%",
        "not ready for test (battery below 10%)", false },
    { "BatteryAt10", PowerLine::Battery, 10, "powered by battery", "10%", "ready for test", true },
    { "BatteryAt0", PowerLine::Battery, 0, "powered by battery", "0%",
        "not ready for test (battery below 10%)", false },
    { "BatteryFull", PowerLine::Battery, 100, "powered by battery", "100%", "ready for test", true },
    // No sample could be taken: a test may not start.
    { "BatteryLevelUnknown", PowerLine::Battery, std::nullopt, "powered by battery", "255%",
        "not ready for test (battery level unknown)", false },
    // On AC the level label keeps its design-time "0%".
    { "OnAc", PowerLine::Mains, 80, "powered by AC", "0%", "testing disabled", false },
    { "LineUnknown", PowerLine::Unknown, 80, "unknown", "0%", "testing disabled", false },
};

inline std::string checkCaseName(const CheckCase& c)
{
    return c.name;
}

} // namespace ampero::test
