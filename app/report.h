// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The results of a results file printed for terminals and scripts, from the
// same evaluation the results window shows.
#include <QByteArray>
#include <QString>
#include <cstdio>

namespace ampero {

// Prints the results window's fields as "Name: value" lines, or with json one
// JSON object, to out. A rejected or unreadable file prints one line to err.
// Returns the exit status: 0, or 2 when the file could not be evaluated.
// The path is the file system's bytes, as the command line gave them.
int printReport(const QByteArray& path, bool json, FILE* out, FILE* err = stderr);

// Prints the samples as CSV, "elapsed_seconds,level" and one row per sample.
// Same failures and exit status as printReport.
// Memory stays at the file's size, however many rows are printed.
int printSamplesCsv(const QByteArray& path, FILE* out, FILE* err = stderr);

// The report's JSON object for an evaluated file (one line, no newline).
struct ResultsEvaluation;
QByteArray reportJson(const QString& path, const ResultsEvaluation& evaluation);

} // namespace ampero
