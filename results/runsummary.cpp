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
    return evaluation.fileName + QStringLiteral(", ") + evaluation.modeText + QStringLiteral(", ")
        + evaluation.loadText;
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
        setup.brightness = QString::number(brightness.toDouble(), 'g', 4) + QStringLiteral(" %");
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

QString unknownText()
{
    return phrase("unknown");
}

QString numberText(const std::optional<double>& v, int decimals, const QString& unit)
{
    if (!v || !std::isfinite(*v))
        return unknownText();
    return QString::number(*v, 'f', decimals) + QLatin1Char(' ') + unit;
}

// Adds a row of optional values only when some run has one.
void addOptionalRow(QList<ComparisonRow>& rows, const QString& label, const QList<RunSummary>& runs,
    const std::function<QString(const RunSummary&)>& value, bool setupRow)
{
    ComparisonRow row;
    row.label = label;
    row.setupRow = setupRow;
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
    const std::function<QString(const RunSummary&)>& value)
{
    ComparisonRow row;
    row.label = label;
    for (const RunSummary& run : runs)
        row.values.append(value(run));
    rows.append(row);
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
    addRow(rows, phrase("Test mode"), runs, [](const RunSummary& r) { return r.evaluation.modeText; });
    addRow(rows, phrase("Load CPU"), runs, [](const RunSummary& r) { return r.evaluation.loadText; });
    addRow(
        rows, phrase("System forecast"), runs, [](const RunSummary& r) { return r.evaluation.forecastText; });
    addRow(rows, phrase("Measured battery life"), runs,
        [](const RunSummary& r) { return r.evaluation.batteryLifeText; });
    addRow(rows, phrase("Mark"), runs, [](const RunSummary& r) { return r.evaluation.markText; });
    addOptionalRow(
        rows, phrase("Work done"), runs, [](const RunSummary& r) { return r.evaluation.workDoneText; },
        false);
    addOptionalRow(
        rows, phrase("Bursts on time"), runs, [](const RunSummary& r) { return r.evaluation.onTimeText; },
        false);

    const auto energy = [](std::optional<double> RunSummary::*field, int decimals, const QString& unit) {
        return [field, decimals, unit](const RunSummary& r) {
            return r.*field ? numberText(r.*field, decimals, unit) : QString();
        };
    };
    addOptionalRow(
        rows, phrase("Average power"), runs, energy(&RunSummary::averagePowerW, 1, phrase("W")), false);
    addOptionalRow(
        rows, phrase("Energy used"), runs, energy(&RunSummary::energyUsedWh, 1, phrase("Wh")), false);
    addOptionalRow(rows, phrase("Battery health"), runs,
        energy(&RunSummary::batteryHealthPercent, 0, phrase("%")), false);

    const auto setup = [](QString RunSetup::*field) {
        return [field](const RunSummary& r) { return setupValue(r, field); };
    };
    addOptionalRow(rows, phrase("Machine"), runs, setup(&RunSetup::machine), true);
    addOptionalRow(rows, phrase("Kernel"), runs, setup(&RunSetup::kernel), true);
    addOptionalRow(rows, phrase("Power profile"), runs, setup(&RunSetup::powerProfile), true);
    addOptionalRow(rows, phrase("Brightness"), runs, setup(&RunSetup::brightness), true);
    addOptionalRow(rows, phrase("Governor"), runs, setup(&RunSetup::governor), true);
    return rows;
}

QString comparisonText(const QList<ComparisonRow>& rows)
{
    const QString mark = QStringLiteral(" *");
    qsizetype columns = 0;
    qsizetype labelWidth = 0;
    bool anyMarked = false;
    for (const ComparisonRow& row : rows) {
        columns = std::max(columns, row.values.size());
        labelWidth = std::max(labelWidth, row.label.size() + (row.differs ? mark.size() : 0));
        anyMarked = anyMarked || row.differs;
    }
    QList<qsizetype> widths(columns, 0);
    for (const ComparisonRow& row : rows)
        for (qsizetype c = 0; c < row.values.size(); ++c)
            widths[c] = std::max(widths[c], row.values[c].size());

    QString text;
    for (const ComparisonRow& row : rows) {
        QString line = QString(row.label + (row.differs ? mark : QString())).leftJustified(labelWidth);
        for (qsizetype c = 0; c < row.values.size(); ++c)
            line += QStringLiteral("  ") + row.values[c].leftJustified(widths[c]);
        while (line.endsWith(QLatin1Char(' ')))
            line.chop(1);
        text += line + QLatin1Char('\n');
    }
    if (anyMarked)
        text += phrase("* The runs differ in this setting.") + QLatin1Char('\n');
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
