// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/savedialogs.h"

#include "ui/modalwindow.h"
#include "ui/recentresults.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <iterator>

namespace ampero {

namespace {

// Save graph...'s file types, BMP first, with their extensions in the order
// of PictureFormat.
const char* const PictureSuffixes[] = { "bmp", "png", "svg" };

// The chosen file type's place among the dialog's name filters, or -1. The
// dialog names it by its shown text, which lacks the patterns' list.
qsizetype selectedFilterIndex(const QFileDialog& dialog)
{
    const QString selected = dialog.selectedNameFilter();
    const QStringList filters = dialog.nameFilters();
    for (qsizetype i = 0; i < filters.size(); ++i)
        if (filters.at(i) == selected || filters.at(i).startsWith(selected + QStringLiteral(" (")))
            return i;
    return -1;
}

QFileDialog* makeDialog(QWidget* parent, const char* name, const QString& title, const QString& filterPairs,
    const QString& suffix, const QString& initialName)
{
    auto* d = new QFileDialog(parent, title);
    d->setObjectName(QString::fromLatin1(name));
    d->setOption(QFileDialog::DontUseNativeDialog, true);
    d->setOption(QFileDialog::HideNameFilterDetails, true);
    d->setAcceptMode(QFileDialog::AcceptSave);
    d->setFileMode(QFileDialog::AnyFile);
    d->setNameFilters(nameFiltersFromPairs(filterPairs));
    d->setDefaultSuffix(suffix);
    // Where the last results file was, when that folder is still there.
    const QString folder = lastResultsFolder();
    if (!folder.isEmpty())
        d->setDirectory(folder);
    d->selectFile(initialName);
    d->setSizeGripEnabled(true);
    return d;
}

} // namespace

QStringList nameFiltersFromPairs(const QString& pairs)
{
    QStringList filters;
    const QStringList parts = pairs.split(QLatin1Char('|'));
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns;
        for (const QString& p : parts.at(i + 1).split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            const QString pattern = p.trimmed();
            if (pattern == QLatin1String("*.*")) {
                patterns << QStringLiteral("*");
                continue;
            }
            for (const QString& variant : { pattern, pattern.toLower(), pattern.toUpper() })
                if (!patterns.contains(variant))
                    patterns << variant;
        }
        filters << parts.at(i) + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    return filters;
}

QStringList resultsOpenFilters()
{
    return { QCoreApplication::translate("ampero", "Orvex Ampero Results Files (*.apr *.APR)"),
        QCoreApplication::translate("ampero", "All files (*)") };
}

QFileDialog* makeSaveReportDialog(QWidget* parent)
{
    return makeDialog(parent, "saveReportDialog", QCoreApplication::translate("ampero", "Save report"),
        QStringLiteral("Orvex Ampero Results Files (*.APR)|*.apr|All files|*.*"), QStringLiteral("apr"),
        QStringLiteral("results"));
}

QFileDialog* makeSaveGraphDialog(QWidget* parent)
{
    QFileDialog* d
        = makeDialog(parent, "saveGraphDialog", QCoreApplication::translate("ampero", "Save graph"),
            QStringLiteral("Bitmaps (*.bmp)|*.bmp|PNG images (*.png)|*.png|SVG drawings (*.svg)|*.svg"),
            QStringLiteral("bmp"), QStringLiteral("graph.bmp"));
    // A name typed without an extension gets the chosen type's.
    QObject::connect(d, &QFileDialog::filterSelected, d, [d] {
        const qsizetype index = selectedFilterIndex(*d);
        if (index >= 0 && index < static_cast<qsizetype>(std::size(PictureSuffixes)))
            d->setDefaultSuffix(QString::fromLatin1(PictureSuffixes[index]));
    });
    return d;
}

PictureFormat pictureFormatFor(const QString& path, const QFileDialog& dialog)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    for (size_t i = 0; i < std::size(PictureSuffixes); ++i)
        if (suffix == QLatin1String(PictureSuffixes[i]))
            return static_cast<PictureFormat>(i);
    const qsizetype index = selectedFilterIndex(dialog);
    return index > 0 && index < static_cast<qsizetype>(std::size(PictureSuffixes))
        ? static_cast<PictureFormat>(index)
        : PictureFormat::Bmp;
}

void openSaveDialog(QFileDialog* dialog, std::function<void(const QString&)> chosen)
{
    QObject::connect(dialog, &QDialog::finished, dialog, [dialog, chosen = std::move(chosen)](int result) {
        const QStringList files = dialog->selectedFiles();
        chosen(result == QDialog::Accepted && !files.isEmpty() ? files.constFirst() : QString());
    });
    openModalOnce(dialog);
}

void openSaveGraphDialog(
    QWidget* parent, std::function<void(const QString& path, PictureFormat format)> chosen)
{
    QFileDialog* dialog = makeSaveGraphDialog(parent);
    openSaveDialog(dialog, [dialog, chosen = std::move(chosen)](const QString& path) {
        chosen(path, path.isEmpty() ? PictureFormat::Bmp : pictureFormatFor(path, *dialog));
    });
}

} // namespace ampero
