// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli.h"
#include "app/report.h"
#include "core/figuretext.h"
#include "core/phrases.h"
#include "core/testmode.h"
#include "core/timetext.h"
#include "core/timeunits.h"
#include "results/evaluation.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QLocale>
#include <cmath>
#include <cstdio>
#include <optional>

namespace ampero {

namespace {

void put(FILE* out, const QByteArray& bytes)
{
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), out);
}

// One clear line for a file that cannot be shown.
int fail(FILE* err, const QString& path, const ResultsEvaluation& e)
{
    put(err, QStringLiteral("ampero: %1: %2\n").arg(path, e.failure).toUtf8());
    std::fflush(err);
    return 2;
}

QByteArray jsonString(const QString& text)
{
    QByteArray out("\"");
    for (const char c : text.toUtf8()) {
        const auto u = static_cast<unsigned char>(c);
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (u < 0x20)
                out += QByteArray("\\u00") + QByteArray::number(u, 16).rightJustified(2, '0');
            else
                out += c;
        }
    }
    return out + '"';
}

// Shortest text that reads back as the same double; finite values only.
QByteArray jsonNumber(double v)
{
    return QByteArray::number(v, 'g', QLocale::FloatingPointShortest);
}

// A duration in seconds, rounded to the millisecond as its text is; null
// where the text reads "N/A" (not finite, or beyond 64 bits of milliseconds).
QByteArray jsonSeconds(double dayFraction)
{
    const std::optional<qint64> ms = durationShown(dayFraction);
    if (!ms)
        return QByteArrayLiteral("null");
    return jsonNumber(static_cast<double>(*ms) / 1000.0);
}

// An optional duration in seconds as jsonSeconds gives it.
QByteArray jsonOptionalSeconds(const std::optional<double>& dayFraction)
{
    return dayFraction ? jsonSeconds(*dayFraction) : QByteArrayLiteral("null");
}

// A reading-derived figure, rounded to what the readings can tell (0.1 mW,
// 0.1 mWh, a millisecond): no float noise such as 17.999999999996.
QByteArray jsonOptional(const std::optional<double>& v, double scale = 10000.0)
{
    if (!v || !std::isfinite(*v) || !std::isfinite(*v * scale))
        return QByteArrayLiteral("null");
    return jsonNumber(std::round(*v * scale) / scale);
}

// A number of the companion as CSV: empty where unknown.
QByteArray csvNumber(const std::optional<double>& v)
{
    return v && std::isfinite(*v) ? jsonNumber(*v) : QByteArray();
}

} // namespace

QByteArray reportJson(const QString& path, const ResultsEvaluation& e)
{
    QByteArray o("{");
    auto field = [&o](const char* key, const QByteArray& value) {
        if (o.size() > 1)
            o += ", ";
        o += '"' + QByteArray(key) + "\": " + value;
    };
    field("file", jsonString(path));
    field("mode", jsonString(modeKeyword(e.mode)));
    field("load", jsonString(loadKeyword(e.noLoad)));
    // The workload as the companion names it (its version, units and share
    // on time are in the setup); null without one.
    const QJsonValue workload = e.setup.value(QLatin1String("workload"));
    field("workload", workload.isString() ? jsonString(workload.toString()) : QByteArray("null"));
    field("forecast_seconds",
        e.forecast == ForecastUnknown ? QByteArray("null") : QByteArray::number(e.forecast));
    field("forecast_text", jsonString(durationText(e.systemForecast)));
    field("battery_life_seconds", jsonSeconds(e.bottomMaximum));
    field("battery_life_text", jsonString(durationText(e.bottomMaximum)));
    field("battery_life_full_seconds", jsonOptionalSeconds(e.fullBatteryLife));
    field("mark", QByteArray::number(static_cast<qint64>(e.mark)));
    field("mark_text", jsonString(markText(e.mark)));
    field("mark_estimated", e.markEstimated() ? QByteArray("true") : QByteArray("false"));
    field("samples", QByteArray::number(e.sampleCount));
    field("first_level", QByteArray::number(e.firstLevel));
    field("last_level", QByteArray::number(e.lastLevel));
    field("capacity", QByteArray::number(e.capacity));
    field("work_count", QByteArray::number(static_cast<qulonglong>(e.workCount)));
    field("complete", e.complete ? QByteArray("true") : QByteArray("false"));
    field("forecast_line",
        e.forecastEnd && durationShown(*e.forecastEnd) ? jsonNumber(toSeconds(*e.forecastEnd))
                                                       : QByteArray("null"));
    // From the companion file; null without one.
    field("average_power_w", jsonOptional(e.energy.averagePowerW));
    field("energy_used_wh", jsonOptional(e.energy.energyUsedWh));
    field("battery_health_percent", jsonOptional(e.batteryHealth));
    field("energy_full_wh", jsonOptional(e.energyFullWh));
    field("energy_full_design_wh", jsonOptional(e.energyFullDesignWh));
    field("energy_forecast_seconds", jsonOptional(e.energy.energyForecastSeconds, 1000.0));
    // The brightness the test held, null where it set none or there is no companion.
    const auto& b = e.brightnessSet;
    field("brightness_set",
        b ? "{\"percent\": " + QByteArray::number(b->percent) + ", \"raw\": " + QByteArray::number(b->value)
                + ", \"max\": " + QByteArray::number(b->max) + '}'
          : QByteArray("null"));
    field(
        "setup", e.hasCompanion ? QJsonDocument(e.setup).toJson(QJsonDocument::Compact) : QByteArray("null"));
    return o + '}';
}

int printReport(const QByteArray& path, bool json, FILE* out, FILE* err)
{
    const ResultsEvaluation e = evaluateResultsFileAt(path);
    const QString shownPath = QFile::decodeName(path);
    if (!e.ok)
        return fail(err, shownPath, e);
    if (json) {
        put(out, reportJson(shownPath, e) + '\n');
    } else {
        const auto line = [](const QString& pattern, const QString& value) -> QString {
            return pattern.arg(value) + QLatin1Char('\n');
        };
        const bool fast = e.mode == modeByte(TestMode::Fast);
        QString text = line(phrase("Report file name: %1"), e.fileName)
            + line(phrase("Test mode: %1"), modeText(e.mode)) + line(phrase("Load CPU: %1"), loadText(e))
            + line(phrase("System forecast: %1"), durationText(e.systemForecast))
            + line(phrase("By test results: %1"), durationText(e.bottomMaximum))
            + line(phrase("Full battery, by test: %1"), durationText(e.fullBatteryLife));
        if (e.longExtrapolation())
            text += longExtrapolationText(e.coveredLevels) + QLatin1Char('\n');
        else if (fast && e.forecastEnd)
            text += fastLineTrustText() + QLatin1Char('\n');
        text += line(phrase("Mark: %1"), markText(e.mark));
        if (e.markEstimated())
            text += estimatedMarkText() + QLatin1Char('\n');
        if (e.hasCompanion) {
            text += line(phrase("Average power: %1"), wattsText(e.energy.averagePowerW))
                + line(phrase("Energy used: %1"), wattHoursText(e.energy.energyUsedWh))
                + line(phrase("Battery health: %1"), percentText(e.batteryHealth));
            if (fast) {
                const auto& s = e.energy.energyForecastSeconds;
                text += line(
                    phrase("By energy: %1"), durationText(s ? std::optional(toDays(*s)) : std::nullopt));
            }
        }
        if (const QString brightness = brightnessSetText(e); !brightness.isEmpty())
            text += line(phrase("Brightness set: %1"), brightness);
        if (const QString done = workDoneText(e); !done.isEmpty())
            text += phrase("Work done: %1").arg(done) + QLatin1Char('\n');
        if (const QString onTime = onTimeText(e); !onTime.isEmpty())
            text += phrase("Bursts on time: %1").arg(onTime) + QLatin1Char('\n');
        if (!e.complete)
            text += phrase("The file is incomplete: the test did not end normally, so it has no work count, "
                           "capacity or level-change times.")
                + QLatin1Char('\n');
        put(out, text.toUtf8());
    }
    std::fflush(out);
    return 0;
}

int printSamplesCsv(const QByteArray& path, FILE* out, FILE* err)
{
    const ResultsEvaluation e = evaluateResultsFileAt(path);
    if (!e.ok)
        return fail(err, QFile::decodeName(path), e);
    // Written in pieces straight from the file's levels: a two-year file
    // makes a gigabyte of text, which never has to be in memory at once.
    // With a companion, its readings follow as columns, matched to the
    // sample by its second; a cell stays empty where there is no reading.
    QByteArray csv(
        e.hasCompanion ? "elapsed_seconds,level,energy_wh,power_w,voltage_v\n" : "elapsed_seconds,level\n");
    csv.reserve(1 << 16);
    const std::vector<uint8_t>& levels = *e.samples;
    const std::vector<EnergySample>* extra = e.hasCompanion ? e.energySamples.get() : nullptr;
    std::size_t next = 0;
    char row[32];
    for (std::size_t k = 0; k < levels.size(); ++k) {
        const int n = std::snprintf(
            row, sizeof row, extra ? "%zu,%u" : "%zu,%u\n", k, static_cast<unsigned>(levels[k]));
        csv.append(row, n);
        if (extra) {
            // The readings come one per sample at most, in the order of their seconds.
            const auto sampleOf = [&](std::size_t i) {
                return companionSampleIndex((*extra)[i].seconds, e.sampleCount).value_or(e.sampleCount);
            };
            while (next < extra->size() && sampleOf(next) < static_cast<qint64>(k))
                ++next;
            const EnergySample* s = next < extra->size() && sampleOf(next) == static_cast<qint64>(k)
                ? &(*extra)[next]
                : nullptr;
            csv += ',' + (s ? csvNumber(s->energyWh) : QByteArray()) + ','
                + (s ? csvNumber(s->powerW) : QByteArray()) + ','
                + (s ? csvNumber(s->voltageV) : QByteArray()) + '\n';
        }
        if (csv.size() >= (1 << 16) - 32) {
            put(out, csv);
            csv.clear();
        }
    }
    put(out, csv);
    std::fflush(out);
    return 0;
}

int runReport(const CliOptions& options)
{
    int status = 0;
    if (!options.reportFile.isEmpty())
        status = printReport(options.reportFile, options.json, stdout);
    if (status == 0 && !options.exportCsv.isEmpty())
        status = printSamplesCsv(options.exportCsv, stdout);
    if (options.reportFile.isEmpty() && options.exportCsv.isEmpty()) {
        std::fputs("ampero: --json needs --report FILE\n", stderr);
        status = 2;
    }
    return status;
}

} // namespace ampero
