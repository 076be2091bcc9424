// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli.h"
#include "app/compare.h"
#include "app/report.h"
#include "core/phrases.h"
#include "results/runsummary.h"
#include "session/runentry.h"

#include <QFile>
#include <QLocale>

namespace ampero {

namespace {

void put(FILE* out, const QByteArray& bytes)
{
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), out);
}

QString levelText(const std::optional<double>& level)
{
    return level ? QString::number(*level, 'f', 0) : phrase("unknown");
}

// The levels at every tenth of each run's own life, as more table rows.
QList<ComparisonRow> lifeShareRows(const QList<RunSummary>& runs)
{
    QList<ComparisonRow> rows;
    ComparisonRow head;
    head.label = phrase("Share of battery life, %");
    for (const RunSummary& run : runs)
        head.values.append(phrase("Level, %1").arg(run.evaluation.fileName));
    rows.append(head);
    for (int tenth = 0; tenth <= 10; ++tenth) {
        ComparisonRow row;
        row.label = QString::number(tenth * 10);
        for (const RunSummary& run : runs)
            row.values.append(levelText(levelAtLifeShare(run, tenth / 10.0)));
        rows.append(row);
    }
    return rows;
}

QByteArray lifeShareJson(const RunSummary& run)
{
    QByteArray list("[");
    for (int step = 0; step <= 20; ++step) {
        if (step > 0)
            list += ", ";
        const std::optional<double> level = levelAtLifeShare(run, step / 20.0);
        list += level ? QByteArray::number(*level, 'g', QLocale::FloatingPointShortest) : QByteArray("null");
    }
    return list + ']';
}

} // namespace

int printComparison(const QList<QByteArray>& paths, bool json, bool normalize, FILE* out, FILE* err)
{
    QList<RunSummary> runs;
    for (const QByteArray& path : paths) {
        RunSummary run = loadRunSummaryAt(path);
        if (!run.ok()) {
            put(err, QStringLiteral("ampero: %1: %2\n").arg(run.path, run.evaluation.failure).toUtf8());
            continue;
        }
        runs.append(std::move(run));
    }
    std::fflush(err);
    if (runs.isEmpty())
        return 2;
    if (json) {
        QByteArray array("[");
        for (qsizetype i = 0; i < runs.size(); ++i) {
            // The report's own object, so every key it has is here too.
            QByteArray object = reportJson(runs[i].path, runs[i].evaluation);
            if (normalize && object.endsWith('}'))
                object.insert(object.size() - 1, ", \"levels_by_life_share\": " + lifeShareJson(runs[i]));
            array += (i > 0 ? ",\n " : "") + object;
        }
        put(out, array + "]\n");
    } else {
        QString text = comparisonText(comparisonRows(runs));
        if (normalize)
            text += QLatin1Char('\n') + comparisonText(lifeShareRows(runs));
        put(out, text.toUtf8());
    }
    std::fflush(out);
    return 0;
}

int runCompare(const CliOptions& options)
{
    if (options.positional.isEmpty()) {
        std::fputs("ampero: --compare needs results files\n", stderr);
        return 2;
    }
    QList<QByteArray> paths;
    for (const QString& file : options.positional)
        paths.append(resultsFileFromArgument(QFile::encodeName(file)));
    return printComparison(paths, options.json, options.normalize, stdout);
}

} // namespace ampero
