// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/comparisonwindow.h"

#include "ui/windowfit.h"
#include "ui_comparisonwindow.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLayout>
#include <algorithm>

namespace ampero {

ComparisonWindow::ComparisonWindow(QWidget* parent)
    : QWidget(parent, Qt::Window)
    , ui(std::make_unique<Ui::ComparisonWindow>())
{
    ui->setupUi(this);
    auto* copy = new QAction(this);
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WindowShortcut);
    addAction(copy);
    connect(copy, &QAction::triggered, this, &ComparisonWindow::copyText);
    // Escape closes it, as it closes every window but the main and testing ones.
    auto* close = new QAction(this);
    close->setShortcut(Qt::Key_Escape);
    close->setShortcutContext(Qt::WindowShortcut);
    addAction(close);
    connect(close, &QAction::triggered, this, &QWidget::close);
    connect(ui->copyButton, &QPushButton::clicked, this, &ComparisonWindow::copyText);
    connect(ui->closeButton, &QPushButton::clicked, this, &QWidget::close);
    ui->differNote->hide();
}

ComparisonWindow::~ComparisonWindow() = default;

void ComparisonWindow::setRuns(const QList<RunSummary>& runs)
{
    m_rows = comparisonRows(runs);
    QTableWidget* table = ui->comparisonTable;
    table->clear();
    table->setRowCount(static_cast<int>(m_rows.size()));
    table->setColumnCount(static_cast<int>(runs.size()) + 1);
    bool anyMarked = false;
    for (int r = 0; r < m_rows.size(); ++r) {
        const ComparisonRow& row = m_rows[r];
        anyMarked = anyMarked || row.differs;
        QFont font = table->font();
        font.setBold(row.differs || r == 0);
        auto* label = new QTableWidgetItem(row.differs ? row.label + QStringLiteral(" *") : row.label);
        label->setFont(font);
        if (row.differs)
            label->setToolTip(tr("The runs differ in this setting."));
        table->setItem(r, 0, label);
        for (int c = 0; c < row.values.size(); ++c) {
            auto* item = new QTableWidgetItem(row.values[c]);
            item->setFont(font);
            table->setItem(r, c + 1, item);
        }
    }
    ui->differNote->setVisible(anyMarked);
    table->resizeColumnsToContents();
    table->resizeRowsToContents();
    // The window takes the table's size, up to its screen's; the table
    // scrolls beyond that.
    int width = 2 * table->frameWidth();
    for (int c = 0; c < table->columnCount(); ++c)
        width += table->columnWidth(c);
    int height = 2 * table->frameWidth();
    for (int r = 0; r < table->rowCount(); ++r)
        height += table->rowHeight(r);
    const QSize extra = layout()->sizeHint() - table->sizeHint();
    resize(std::max(width + extra.width(), 320), std::max(height + extra.height(), 160));
    fitWindowToScreen(*this);
}

QString ComparisonWindow::text() const
{
    return comparisonText(m_rows);
}

void ComparisonWindow::copyText()
{
    if (QClipboard* clipboard = QGuiApplication::clipboard())
        clipboard->setText(text());
}

} // namespace ampero
