// SPDX-License-Identifier: GPL-3.0-or-later
#include "results/runsummary.h"

#include "core/phrases.h"

#include <QFile>
#include <QJsonObject>
#include <algorithm>
#include <cmath>
#include <functional>

namespace ampero {

QString RunSummary::legendText() const
{
    return evaluation.fileName + QStringLiteral(", ") + modeText(evaluation.mode) + QStringLiteral(", ")
        + loadText(evaluation);
}

RunSummary summarizeRun(const QString& path, ResultsEvaluation evaluation)
{
    RunSummary run;
    run.path = path;
    run.evaluation = std::move(evaluation);
    const ResultsEvaluation& e = run.evaluation;
    if (!e.hasCompanion)
        return run;
    // What the companion file beside the results file recorded.
    run.averagePowerW = e.energy.averagePowerW;
    run.energyUsedWh = e.energy.energyUsedWh;
    run.batteryHealthPercent = e.batteryHealth;
    const auto text = [](const QJsonObject& o, const char* key) {
        return o.value(QLatin1String(key)).toString().trimmed();
    };
    const QJsonObject machine = e.setup.value(QLatin1String("machine")).toObject();
    RunSetup setup;
    setup.machine = QString(text(machine, "vendor") + QLatin1Char(' ') + text(machine, "model")).trimmed();
    setup.kernel = text(e.setup, "kernel");
    setup.powerProfile = text(e.setup, "power_profile");
    const QJsonValue brightness = e.setup.value(QLatin1String("brightness_percent"));
    if (brightness.isDouble())
        setup.brightness = percentText(brightness.toDouble());
    setup.governor = text(e.setup, "cpu_governor");
    run.setup = setup;
    return run;
}

RunSummary loadRunSummary(const QString& path)
{
    return summarizeRun(path, evaluateResultsFile(path));
}

RunSummary loadRunSummaryAt(const QByteArray& path)
{
    return summarizeRun(QFile::decodeName(path), evaluateResultsFileAt(path));
}

namespace {

// Adds a row of optional values only when some run has one.
void addOptionalRow(QList<ComparisonRow>& rows, const QString& label, const QList<RunSummary>& runs,
    const std::function<QString(const RunSummary&)>& value, bool setupRow, Figure figure = Figure::None)
{
    ComparisonRow row;
    row.label = label;
    row.setupRow = setupRow;
    row.figure = figure;
    bool any = false;
    QString known;
    for (const RunSummary& run : runs) {
        const QString v = value(run);
        if (v.isEmpty()) {
            row.values.append(unknownText());
            continue;
        }
        row.values.append(v);
        if (setupRow && any && v != known)
            row.differs = true;
        if (!any)
            known = v;
        any = true;
    }
    if (any)
        rows.append(row);
}

void addRow(QList<ComparisonRow>& rows, const QString& label, const QList<RunSummary>& runs,
    const std::function<QString(const RunSummary&)>& value, Figure figure = Figure::None)
{
    ComparisonRow row;
    row.label = label;
    row.figure = figure;
    for (const RunSummary& run : runs)
        row.values.append(value(run));
    rows.append(row);
}

// The mark of each run; an estimated one says so. Marks of tests without
// load (an estimated work count) and with load (a counted one) measure
// different things: where the runs have both, the row says so in a note.
void addMarkRow(QList<ComparisonRow>& rows, const QList<RunSummary>& runs)
{
    bool estimated = false;
    bool counted = false;
    for (const RunSummary& run : runs) {
        estimated = estimated || run.evaluation.markEstimated();
        counted = counted || (run.evaluation.mark != 0 && !run.evaluation.markEstimated());
    }
    addRow(
        rows, phrase("Mark"), runs,
        [](const RunSummary& r) {
            const QString text = markText(r.evaluation.mark);
            return r.evaluation.markEstimated() ? phrase("%1 (estimated)").arg(text) : text;
        },
        Figure::Mark);
    if (estimated && counted)
        rows.last().note
            = phrase("Marks of tests without load come from an estimated work count and cannot be "
                     "compared with marks of tests with load.");
}

QString setupValue(const RunSummary& run, QString RunSetup::*field)
{
    return run.setup ? (*run.setup).*field : QString();
}

} // namespace

QList<ComparisonRow> comparisonRows(const QList<RunSummary>& runs)
{
    QList<ComparisonRow> rows;
    addRow(rows, phrase("File"), runs, [](const RunSummary& r) { return r.evaluation.fileName; });
    addRow(rows, phrase("Test mode"), runs, [](const RunSummary& r) { return modeText(r.evaluation.mode); });
    addRow(rows, phrase("Load CPU"), runs, [](const RunSummary& r) { return loadText(r.evaluation); });
    addRow(
        rows, phrase("System forecast"), runs,
        [](const RunSummary& r) { return durationText(r.evaluation.systemForecast); },
        Figure::SystemForecast);
    addRow(
        rows, phrase("Measured battery life"), runs,
        [](const RunSummary& r) { return durationText(r.batteryLife()); }, Figure::BatteryLife);
    addRow(
        rows, phrase("Full battery, by test"), runs,
        [](const RunSummary& r) { return durationText(r.evaluation.fullBatteryLife); },
        Figure::FullBatteryLife);
    addMarkRow(rows, runs);
    addOptionalRow(
        rows, phrase("Work done"), runs, [](const RunSummary& r) { return workDoneText(r.evaluation); },
        false);
    addOptionalRow(
        rows, phrase("Bursts on time"), runs, [](const RunSummary& r) { return onTimeText(r.evaluation); },
        false);

    const auto energy = [](std::optional<double> RunSummary::*field, QString (*text)(std::optional<double>)) {
        return [field, text](const RunSummary& r) { return r.*field ? text(r.*field) : QString(); };
    };
    addOptionalRow(rows, phrase("Average power"), runs, energy(&RunSummary::averagePowerW, wattsText), false,
        Figure::AveragePower);
    addOptionalRow(rows, phrase("Energy used"), runs, energy(&RunSummary::energyUsedWh, wattHoursText), false,
        Figure::EnergyUsed);
    addOptionalRow(rows, phrase("Battery health"), runs,
        energy(&RunSummary::batteryHealthPercent, percentText), false, Figure::BatteryHealth);

    const auto setup = [](QString RunSetup::*field) {
        return [field](const RunSummary& r) { return setupValue(r, field); };
    };
    addOptionalRow(rows, phrase("Machine"), runs, setup(&RunSetup::machine), true);
    addOptionalRow(rows, phrase("Kernel"), runs, setup(&RunSetup::kernel), true);
    addOptionalRow(rows, phrase("Power profile"), runs, setup(&RunSetup::powerProfile), true);
    addOptionalRow(rows, phrase("Brightness"), runs, setup(&RunSetup::brightness), true);
    // Only where some run held a brightness: "not set" alone tells nothing.
    if (std::any_of(runs.begin(), runs.end(),
            [](const RunSummary& r) { return r.evaluation.brightnessSet.has_value(); }))
        addOptionalRow(
            rows, phrase("Brightness set"), runs,
            [](const RunSummary& r) { return brightnessSetText(r.evaluation); }, true);
    addOptionalRow(rows, phrase("Governor"), runs, setup(&RunSetup::governor), true);
    return rows;
}

QString comparisonText(const QList<ComparisonRow>& rows)
{
    const QString mark = QStringLiteral(" *");
    const QString dagger = QStringLiteral(" \u2020");
    const auto label = [&](const ComparisonRow& row) -> QString {
        return row.label + (row.differs ? mark : QString()) + (row.note.isEmpty() ? QString() : dagger);
    };
    qsizetype columns = 0;
    qsizetype labelWidth = 0;
    bool anyMarked = false;
    QStringList notes;
    for (const ComparisonRow& row : rows) {
        columns = std::max(columns, row.values.size());
        labelWidth = std::max(labelWidth, label(row).size());
        anyMarked = anyMarked || row.differs;
        if (!row.note.isEmpty())
            notes.append(dagger.trimmed() + QLatin1Char(' ') + row.note);
    }
    QList<qsizetype> widths(columns, 0);
    for (const ComparisonRow& row : rows)
        for (qsizetype c = 0; c < row.values.size(); ++c)
            widths[c] = std::max(widths[c], row.values[c].size());

    QString text;
    for (const ComparisonRow& row : rows) {
        QString line = label(row).leftJustified(labelWidth);
        for (qsizetype c = 0; c < row.values.size(); ++c)
            line += QStringLiteral("  ") + row.values[c].leftJustified(widths[c]);
        while (line.endsWith(QLatin1Char(' ')))
            line.chop(1);
        text += line + QLatin1Char('\n');
    }
    if (anyMarked)
        text += phrase("* The runs differ in this setting.") + QLatin1Char('\n');
    for (const QString& note : notes)
        text += note + QLatin1Char('\n');
    return text;
}

std::optional<double> levelAtLifeShare(const RunSummary& run, double share)
{
    const ResultsEvaluation& e = run.evaluation;
    const double life = e.bottomMaximum;
    if (!e.ok || !e.samples || e.samples->empty() || !(life > 0) || !std::isfinite(share))
        return std::nullopt;
    const double t = std::clamp(share, 0.0, 1.0) * life;
    if (t > e.lastSampleTime && e.forecastEnd && *e.forecastEnd > 0) {
        // Past the measured curve a fast test follows its forecast line.
        const double m = *e.forecastEnd;
        return std::max(0.0, e.firstLevel * (1.0 - t / m));
    }
    const auto last = static_cast<double>(e.samples->size() - 1);
    const auto k = static_cast<std::size_t>(std::clamp(std::round(t / TimeStep), 0.0, last));
    return (*e.samples)[k];
}

} // namespace ampero
