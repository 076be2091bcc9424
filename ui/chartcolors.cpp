// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/chartcolors.h"

#include <QPalette>

namespace ampero {

namespace {

// Light list: contrast 4.0 to 11 against white, nearest pair 28 apart.
constexpr std::array<QRgb, ChartColorCount> LightSeries = { qRgb(255, 0, 0), qRgb(70, 100, 230),
    qRgb(0, 128, 0), qRgb(0, 90, 160), qRgb(200, 90, 0), qRgb(140, 60, 200), qRgb(120, 80, 40),
    qRgb(200, 0, 140), qRgb(0, 130, 130), qRgb(110, 110, 0), qRgb(60, 60, 60) };
// Dark list: contrast 4.6 to 8.8 against (43, 43, 43), nearest pair 21 apart.
constexpr std::array<QRgb, ChartColorCount> DarkSeries = { qRgb(255, 90, 90), qRgb(130, 160, 255),
    qRgb(60, 200, 60), qRgb(80, 170, 240), qRgb(255, 160, 40), qRgb(200, 140, 255), qRgb(210, 170, 120),
    qRgb(255, 110, 210), qRgb(40, 210, 200), qRgb(210, 210, 60), qRgb(200, 200, 200) };

QColor mix(const QColor& a, const QColor& b, double share)
{
    return QColor::fromRgbF(static_cast<float>(a.redF() + (b.redF() - a.redF()) * share),
        static_cast<float>(a.greenF() + (b.greenF() - a.greenF()) * share),
        static_cast<float>(a.blueF() + (b.blueF() - a.blueF()) * share));
}

ChartColors make(
    const QColor& background, const QColor& text, const std::array<QRgb, ChartColorCount>& series)
{
    ChartColors c;
    c.background = background;
    c.text = text;
    c.grid = mix(background, text, 0.12);
    c.axis = mix(background, text, 0.45);
    for (std::size_t i = 0; i < series.size(); ++i)
        c.series[i] = QColor(series[i]);
    return c;
}

} // namespace

ChartColors chartColors(const QPalette& palette)
{
    const QColor base = palette.color(QPalette::Base);
    const bool dark = base.lightnessF() < 0.5;
    return make(base, palette.color(QPalette::Text), dark ? DarkSeries : LightSeries);
}

ChartColors lightChartColors()
{
    return make(Qt::white, Qt::black, LightSeries);
}

} // namespace ampero
