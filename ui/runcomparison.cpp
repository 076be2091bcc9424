// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/runcomparison.h"

#include "ui/chartwidget.h"
#include "ui/comparisonwindow.h"
#include "ui/recentresults.h"
#include "ui/savedialogs.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QScreen>
#include <algorithm>

namespace ampero {

static_assert(FirstRunColor + RunComparison::MaxRuns == ChartColorCount, "a colour for every run");

RunComparison::RunComparison(ChartWidget& chart, QWidget* window, QObject* parent)
    : QObject(parent)
    , m_chart(chart)
    , m_window(window)
{
}

RunComparison::~RunComparison() = default;

void RunComparison::setOwnRun(const QString& path)
{
    m_ownPath = path;
    m_own.reset();
    // A file opened while runs are compared takes the own run's place.
    if (!m_runs.isEmpty())
        refresh();
}

ComparisonWindow* RunComparison::tableWindow() const
{
    return m_table;
}

void RunComparison::chooseFiles()
{
    auto* dialog = new QFileDialog(m_window, tr("Compare with"));
    dialog->setObjectName(QStringLiteral("CompareDialog"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setFileMode(QFileDialog::ExistingFiles);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setNameFilters(resultsOpenFilters());
    if (const QString folder = lastResultsFolder(); !folder.isEmpty())
        dialog->setDirectory(folder);
    connect(dialog, &QFileDialog::filesSelected, this, [this](const QStringList& files) { addFiles(files); });
    dialog->open();
}

int RunComparison::addFiles(const QStringList& paths)
{
    QStringList unreadable;
    QStringList refused;
    int added = 0;
    for (const QString& path : paths) {
        const QString name = QFileInfo(path).fileName();
        if (m_runs.size() >= MaxRuns) {
            refused.append(name);
            continue;
        }
        RunSummary run = loadRunSummary(path);
        if (!run.ok()) {
            unreadable.append(tr("%1: %2").arg(name, run.evaluation.failure));
            continue;
        }
        const int index
            = m_chart.addSeries(run.legendText(), FirstRunColor + static_cast<int>(m_runs.size()), 1.5);
        m_chart.setSeriesLegend(index, run.legendText());
        m_chart.setSeriesLife(index, run.batteryLife());
        m_chart.setSamples(index, 0, TimeStep, run.evaluation.samples);
        m_series.append(index);
        m_runs.append(std::move(run));
        ++added;
    }
    if (added > 0)
        refresh();

    QStringList problems;
    if (!unreadable.isEmpty())
        problems.append(
            tr("These files cannot be read:") + QLatin1Char('\n') + unreadable.join(QLatin1Char('\n')));
    if (!refused.isEmpty())
        problems.append(tr("At most %1 runs can be compared at once. Not added:").arg(MaxRuns)
            + QLatin1Char('\n') + refused.join(QLatin1Char('\n')) + QLatin1Char('\n')
            + tr("Clear the comparison to compare other runs."));
    if (!problems.isEmpty()) {
        auto* box = new QMessageBox(QMessageBox::Warning, tr("Compare with"),
            problems.join(QStringLiteral("\n\n")), QMessageBox::Ok, m_window);
        box->setObjectName(QStringLiteral("CompareMessage"));
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
    }
    return added;
}

void RunComparison::clear()
{
    const bool had = !m_runs.isEmpty();
    // Highest index first: the indices of the others stay valid.
    std::sort(m_series.begin(), m_series.end(), std::greater<>());
    for (int index : std::as_const(m_series))
        m_chart.removeSeries(index);
    m_series.clear();
    m_runs.clear();
    if (m_table)
        m_table->close();
    if (had)
        refresh();
}

void RunComparison::setNormalized(bool on)
{
    m_normalized = on;
    m_chart.setNormalized(m_normalized && !m_runs.isEmpty());
}

void RunComparison::refresh()
{
    const bool comparing = !m_runs.isEmpty();
    // The chart's own curve gets a legend entry while others are beside it.
    QString ownLegend;
    QList<RunSummary> tableRuns;
    if (comparing) {
        if (!m_own)
            m_own = m_ownPath.isEmpty() ? RunSummary() : loadRunSummary(m_ownPath);
        ownLegend = m_own->ok() ? m_own->legendText() : tr("Measured curve");
        if (m_own->ok())
            tableRuns.append(*m_own);
        tableRuns += m_runs;
    }
    m_chart.setSeriesLegend(0, ownLegend);
    m_chart.setNormalized(m_normalized && comparing);
    if (comparing) {
        if (!m_table) {
            m_table = new ComparisonWindow(m_window);
            m_table->setAttribute(Qt::WA_DeleteOnClose);
            // Beside the main window where the screen has room, else over it.
            if (m_window && m_window->isVisible()) {
                const QRect main = m_window->frameGeometry();
                const QScreen* screen = m_window->screen();
                const QPoint right = main.topRight() + QPoint(8, 0);
                if (screen && screen->availableGeometry().contains(QRect(right, m_table->size())))
                    m_table->move(right);
            }
        }
        m_table->setRuns(tableRuns);
        m_table->show();
        m_table->raise();
    }
    Q_EMIT changed();
}

} // namespace ampero
