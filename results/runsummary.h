// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One run's column of a comparison, and the comparison table of several runs:
// what the comparison window, the terminal's --compare and the chart legend
// show, worked out without any display.
#include "core/figuretext.h"
#include "results/evaluation.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace ampero {

// The machine and its settings while a run was taken. An empty text is a
// value the run did not record.
struct RunSetup {
    QString machine; // vendor and model
    QString kernel;
    QString powerProfile;
    QString brightness; // e.g. "60%"
    QString governor;
};

struct RunSummary {
    QString path; // as given
    ResultsEvaluation evaluation; // ok false: the file could not be read

    // What the test's energy readings add; empty where the run has none.
    std::optional<double> averagePowerW;
    std::optional<double> energyUsedWh;
    std::optional<double> batteryHealthPercent;
    std::optional<RunSetup> setup;

    bool ok() const { return evaluation.ok; }
    // The measured battery life as a day fraction (the evaluation's bottom
    // axis maximum: the last sample, or a fast test's forecast end).
    double batteryLife() const { return evaluation.bottomMaximum; }
    // "file name, mode, load", as the chart's legend shows a run.
    QString legendText() const;
};

// Reads and evaluates the results file at path (the file system's bytes for
// loadRunSummaryAt) into a summary. An unreadable file gives a summary whose
// ok() is false and whose evaluation.failure says why.
RunSummary loadRunSummary(const QString& path);
RunSummary loadRunSummaryAt(const QByteArray& path);
// The same from an evaluation already made.
RunSummary summarizeRun(const QString& path, ResultsEvaluation evaluation);

// One row of the comparison table: a label and one value per run. A setup
// row in which two runs recorded different values is marked; a row with a
// note is marked with a dagger, and the note is printed under the table.
struct ComparisonRow {
    QString label;
    QStringList values;
    bool setupRow = false;
    bool differs = false;
    Figure figure = Figure::None; // the figure the row shows, if any
    QString note;
};

// The rows, in order: file; mode, load; system forecast, measured battery
// life, full-battery life, mark; average power, energy used, battery health; machine, kernel,
// power profile, brightness, brightness set (where a run set one), governor. The energy rows and the setup
// rows appear only when some run has a value for them; a value a run lacks reads "unknown". A setup row
// differs when two runs recorded different values (a run that recorded none is no evidence either way). A
// mark from an estimated work count reads "(estimated)"; where the runs have both kinds of mark, the mark row
// carries a note that they cannot be compared.
QList<ComparisonRow> comparisonRows(const QList<RunSummary>& runs);

// The table as aligned plain text: one line per row, the label column and
// one column per run, padded with blanks; a marked row carries "*" after
// its label, a row with a note "†", and closing lines explain the marks.
QString comparisonText(const QList<ComparisonRow>& rows);

// The level of a run at a share of its own battery life (0 to 1): the
// sample at that time, or beyond the last sample on a fast test's forecast
// line. No value for a run without samples or without a positive life.
std::optional<double> levelAtLifeShare(const RunSummary& run, double share);

} // namespace ampero
