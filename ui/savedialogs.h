// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The two file-save dialogs of the main window, built the same way: the
// program's own (non-native) dialog, so it looks and behaves alike on every
// desktop; it asks before replacing a file, has no read-only box and resizes.
#include "ui/chartwidget.h"

#include <QString>
#include <QStringList>
#include <functional>

class QFileDialog;
class QWidget;

namespace ampero {

// Turns a filter of "text|pattern|text|pattern" pairs into Qt name filters.
// Patterns match in either case ("*.apr" also finds RESULTS.APR) and "*.*"
// matches every file, also those without a dot.
QStringList nameFiltersFromPairs(const QString& pairs);

// The file types of the dialogs that open results files (Open..., Compare
// with...): results files, then all files.
QStringList resultsOpenFilters();

// the save-report dialog: "Save report", initial name "results", extension apr.
QFileDialog* makeSaveReportDialog(QWidget* parent);
// the save-graph dialog: "Save graph", initial name "graph.bmp", extension bmp;
// the file types BMP (the first), PNG and SVG. Choosing a type gives the
// name its extension.
QFileDialog* makeSaveGraphDialog(QWidget* parent);

// The format to save a picture in: the one its name's extension says, or the
// file type chosen in the dialog when the name has no known extension.
PictureFormat pictureFormatFor(const QString& path, const QFileDialog& dialog);

// Opens a save dialog modally and returns; chosen gets the chosen path, or
// an empty one when the user cancelled. The dialog deletes itself afterwards.
void openSaveDialog(QFileDialog* dialog, std::function<void(const QString& path)> chosen);
// The same for the save-graph dialog, with the chosen format.
void openSaveGraphDialog(
    QWidget* parent, std::function<void(const QString& path, PictureFormat format)> chosen);

} // namespace ampero
