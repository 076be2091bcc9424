// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/historywindow.h"

#include "core/figuretext.h"
#include "ui/chartwidget.h"
#include "ui/windowfit.h"
#include "ui_historywindow.h"

#include <QHeaderView>
#include <QLocale>
#include <algorithm>
#include <cmath>
#include <set>

namespace ampero {

namespace {

enum Column {
    DateColumn,
    ModeColumn,
    WorkloadColumn,
    LifeColumn,
    FullLifeColumn,
    MarkColumn,
    PowerColumn,
    HealthColumn,
    ColumnCount
};

QString lifeText(std::optional<double> seconds)
{
    return seconds ? durationText(*seconds / 86400.0) : unknownText();
}

QStringList cells(const HistoryRunRow& run)
{
    QString mark = run.mark ? markText(static_cast<int64_t>(*run.mark)) : unknownText();
    if (run.mark && run.markEstimated)
        mark += QLatin1Char(' ') + HistoryWindow::tr("(estimated)");
    return { QLocale().toString(run.finishedAt.toLocalTime(), QLocale::ShortFormat), run.mode, run.workload,
        lifeText(run.lifeSeconds), lifeText(run.fullLifeSeconds), mark, wattsText(run.averagePowerW),
        percentText(run.healthPercent) };
}

// The health axis: around the figures in steps of 5, up to 100 at least, so
// that a fall of a point or two shows.
ChartValueAxis healthAxis(const QList<QPointF>& health)
{
    double lo = 100, hi = 100;
    for (const QPointF& p : health) {
        lo = std::min(lo, p.y());
        hi = std::max(hi, p.y());
    }
    return { HistoryWindow::tr("Health, %"), std::max(0.0, std::floor((lo - 2) / 5) * 5),
        std::ceil((hi + 1) / 5) * 5, 0, true };
}

// The right axis' top: the largest cycle count with room above, in round tens.
double cycleAxisTop(const QList<QPointF>& cycles)
{
    double top = 0;
    for (const QPointF& p : cycles)
        top = std::max(top, p.y());
    return std::max(10.0, std::ceil(top * 1.1 / 10) * 10);
}

} // namespace

HistoryWindow::HistoryWindow(QWidget* parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::HistoryWindow>())
{
    ui->setupUi(this);
    QTableWidget* table = ui->runsTable;
    table->setColumnCount(ColumnCount);
    table->setHorizontalHeaderLabels({ tr("Date"), tr("Mode"), tr("Workload"), tr("Battery life"),
        tr("Full battery"), tr("Mark"), tr("Average power"), tr("Health") });
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);

    ChartWidget* chart = ui->chart;
    chart->setDateAxis(true);
    chart->setSeriesLegend(static_cast<int>(ChartSeriesRole::Levels), tr("Health"));
    const int cycles = chart->addSeries(QStringLiteral("cycles"), PowerColor, 2, ChartAxisSide::Right);
    chart->setSeriesLegend(cycles, tr("Cycle count"));

    connect(table, &QTableWidget::cellDoubleClicked, this, [this](int row, int) {
        if (row >= 0 && row < m_view.runs.size())
            Q_EMIT openRunRequested(m_view.runs[row].path);
    });
    connect(table, &QTableWidget::itemSelectionChanged, this, &HistoryWindow::selectionChanged);
    connect(ui->openButton, &QPushButton::clicked, this, [this] {
        const QStringList files = selectedFiles();
        if (files.size() == 1)
            Q_EMIT openRunRequested(files.first());
    });
    connect(ui->compareButton, &QPushButton::clicked, this, [this] {
        const QStringList files = selectedFiles();
        if (files.size() >= 2)
            Q_EMIT compareRequested(files);
    });
    connect(ui->closeButton, &QPushButton::clicked, this, &QDialog::reject);
}

HistoryWindow::~HistoryWindow() = default;

ChartWidget* HistoryWindow::chart() const
{
    return ui->chart;
}

void HistoryWindow::setHistory(const HistoryView& view)
{
    m_view = view;
    QTableWidget* table = ui->runsTable;
    table->setUpdatesEnabled(false);
    table->clearContents();
    table->setRowCount(static_cast<int>(view.runs.size()));
    for (int r = 0; r < view.runs.size(); ++r) {
        const QStringList texts = cells(view.runs[r]);
        for (int c = 0; c < texts.size(); ++c) {
            auto* item = new QTableWidgetItem(texts[c]);
            item->setToolTip(view.runs[r].path);
            if (c != DateColumn && c != ModeColumn && c != WorkloadColumn)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            table->setItem(r, c, item);
        }
    }
    table->setUpdatesEnabled(true);
    showChart();
    selectionChanged();
}

void HistoryWindow::showEvent(QShowEvent* event)
{
    if (!m_fitted) {
        m_fitted = true;
        fitWindowToScreen(*this);
    }
    QDialog::showEvent(event);
}

void HistoryWindow::showChart()
{
    ChartWidget* chart = ui->chart;
    chart->setLeftAxis(healthAxis(m_view.health));
    chart->setPoints(ChartSeriesRole::Levels, m_view.health);
    chart->setPoints(2, m_view.cycles);
    chart->setRightAxis({ tr("Cycle count"), 0, cycleAxisTop(m_view.cycles), 0, !m_view.cycles.isEmpty() });
    // What a screen reader says of it: the first and latest figures.
    QString text = m_view.health.isEmpty() ? tr("Battery health, no figures yet") : tr("Battery health");
    if (!m_view.health.isEmpty())
        text += tr(", from %1 to %2")
                    .arg(percentText(m_view.health.first().y()), percentText(m_view.health.last().y()));
    if (!m_view.cycles.isEmpty())
        text += tr("; cycle count from %1 to %2")
                    .arg(qRound64(m_view.cycles.first().y()))
                    .arg(qRound64(m_view.cycles.last().y()));
    chart->setDescription(text);
}

QStringList HistoryWindow::selectedFiles() const
{
    std::set<int> rows;
    for (const QModelIndex& index : ui->runsTable->selectionModel()->selectedRows())
        rows.insert(index.row());
    QStringList files;
    for (const int r : rows)
        if (r < m_view.runs.size())
            files << m_view.runs[r].path;
    return files;
}

void HistoryWindow::selectionChanged()
{
    const qsizetype n = selectedFiles().size();
    ui->openButton->setEnabled(n == 1);
    ui->compareButton->setEnabled(n >= 2);
}

} // namespace ampero
