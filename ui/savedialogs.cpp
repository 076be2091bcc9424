// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/savedialogs.h"

#include "ui/modalwindow.h"

#include <QCoreApplication>
#include <QFileDialog>

namespace ampero {

namespace {

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

QFileDialog* makeSaveReportDialog(QWidget* parent)
{
    return makeDialog(parent, "saveReportDialog", QCoreApplication::translate("ampero", "Save report"),
        QStringLiteral("Orvex Ampero Results Files (*.APR)|*.apr|All files|*.*"), QStringLiteral("apr"),
        QStringLiteral("results"));
}

QFileDialog* makeSaveGraphDialog(QWidget* parent)
{
    return makeDialog(parent, "saveGraphDialog", QCoreApplication::translate("ampero", "Save graph"),
        QStringLiteral("Bitmaps (*.bmp)|*.bmp"), QStringLiteral("bmp"), QStringLiteral("graph.bmp"));
}

void openSaveDialog(QFileDialog* dialog, std::function<void(const QString&)> chosen)
{
    QObject::connect(dialog, &QDialog::finished, dialog, [dialog, chosen = std::move(chosen)](int result) {
        const QStringList files = dialog->selectedFiles();
        chosen(result == QDialog::Accepted && !files.isEmpty() ? files.constFirst() : QString());
    });
    openModalOnce(dialog);
}

} // namespace ampero
