// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/figuretext.h"

#include "core/phrases.h"
#include "core/testmode.h"
#include "core/timetext.h"

#include <cmath>

namespace ampero {

namespace {

// The number with its decimals, "." and no grouping; empty when unknown.
QString number(std::optional<double> v, int decimals)
{
    if (!v || !std::isfinite(*v))
        return {};
    // A value that rounds to zero from below reads "0.0", not "-0.0".
    const double shown = std::abs(*v) < 0.5 * std::pow(10.0, -decimals) ? 0.0 : *v;
    return QString::number(shown, 'f', decimals);
}

QString withUnit(std::optional<double> v, int decimals, const QString& pattern)
{
    const QString n = number(v, decimals);
    return n.isEmpty() ? unknownText() : pattern.arg(n);
}

} // namespace

QString unknownText()
{
    return phrase("unknown");
}

QString percentText(std::optional<double> percent)
{
    return withUnit(percent, 0, QStringLiteral("%1%"));
}

QString wattsText(std::optional<double> watts)
{
    return withUnit(watts, 1, phrase("%1 W"));
}

QString wattHoursText(std::optional<double> wattHours)
{
    return withUnit(wattHours, 2, phrase("%1 Wh"));
}

QString voltsText(std::optional<double> volts)
{
    return withUnit(volts, 2, phrase("%1 V"));
}

QString durationText(std::optional<double> dayFraction)
{
    return dayFraction ? elapsedTimeText(*dayFraction) : unknownText();
}

QString modeText(uint8_t mode)
{
    switch (static_cast<TestMode>(mode)) {
    case TestMode::Fast:
        return phrase("fast");
    case TestMode::Normal:
        return phrase("normal");
    default:
        return unknownText();
    }
}

QString loadText(uint8_t noLoad)
{
    return noLoad != 0 ? phrase("none") : phrase("full");
}

QString markText(int64_t mark)
{
    if (mark == 0)
        return phrase("N/A");
    const uint64_t n = static_cast<uint64_t>(mark);
    const uint64_t r = n % 10;
    const uint64_t h = n % 100;
    QString suffix;
    if (r >= 2 && r <= 4)
        suffix = phrase("", "plural ending of \"mark\" for 2 to 4 (few form)");
    if (r >= 5 || r == 0 || (r >= 1 && r <= 4 && h >= 11 && h <= 15))
        suffix = phrase("", "plural ending of \"mark\" for 0 and 5 to 9 (many form)");
    if (n > 1)
        suffix = phrase("s", "plural ending of \"mark\"") + suffix;
    return phrase("%1 mark%2").arg(mark).arg(suffix);
}

QString longExtrapolationText(int coveredLevels)
{
    return phrase("A long extrapolation: the charge fell by only %1% during the test.").arg(coveredLevels);
}

QString fastLineTrustText()
{
    return phrase("A fast test's line misses the true battery life by %1% on average and by up to %2%.")
        .arg(FastLineMeanErrorPercent)
        .arg(FastLineWorstErrorPercent);
}

QString estimatedMarkText()
{
    return phrase("The mark comes from an estimated work count (a test without load), not a counted one.");
}

} // namespace ampero
