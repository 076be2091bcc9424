// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/figuretips.h"

#include "core/phrases.h"

namespace ampero {

QString figureToolTip(Figure figure)
{
    switch (figure) {
    case Figure::SystemForecast:
        return phrase("The battery life the system forecast for a full battery when the test started, at the "
                      "power drawn then.");
    case Figure::BatteryLife:
        return phrase("The time the test measured from the level it started at to the level it ended at; a "
                      "fast test's line goes on to 0%.");
    case Figure::FullBatteryLife:
        return phrase(
            "The battery life by test results scaled to a full battery: that time x 100 / the points "
            "of charge it covered. It compares with the system forecast.");
    case Figure::EnergyForecast:
        return phrase(
            "The battery life the battery's own energy gives: the time the test ran, plus the energy "
            "left then at the average power.");
    case Figure::Mark:
        return phrase(
            "The work the processors did over the battery life, per watt-hour of capacity and scaled "
            "to a full battery. Only a normal test gets one.");
    case Figure::AveragePower:
        return phrase("The power the battery gave on average during the test, from its energy readings (or "
                      "its power readings where the energy is unknown).");
    case Figure::EnergyUsed:
        return phrase("The energy the battery gave during the test, from its first to its last energy "
                      "reading.");
    case Figure::BatteryHealth:
        return phrase(
            "The battery's full energy as a percentage of its design energy, as the battery reported "
            "them during the test.");
    case Figure::None:
        break;
    }
    return {};
}

} // namespace ampero
