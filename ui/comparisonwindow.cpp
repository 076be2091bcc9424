// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/comparisonwindow.h"

#include "ui/figuretips.h"
#include "ui/windowfit.h"
#include "ui_comparisonwindow.h"

#include <QAction>
#include <QBoxLayout>
#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
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
    // The note on marks that cannot be compared, under the one on settings.
    m_rowNote = new QLabel(this);
    m_rowNote->setObjectName(QStringLiteral("rowNote"));
    m_rowNote->setWordWrap(true);
    m_rowNote->hide();
    if (auto* box = qobject_cast<QBoxLayout*>(layout()))
        box->insertWidget(box->indexOf(ui->differNote) + 1, m_rowNote);
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
    QStringList notes;
    for (int r = 0; r < m_rows.size(); ++r) {
        const ComparisonRow& row = m_rows[r];
        anyMarked = anyMarked || row.differs;
        QFont font = table->font();
        font.setBold(row.differs || r == 0);
        const QString dagger = row.note.isEmpty() ? QString() : QStringLiteral(" \u2020");
        auto* label
            = new QTableWidgetItem(row.label + (row.differs ? QStringLiteral(" *") : QString()) + dagger);
        label->setFont(font);
        // The figure's explanation, and the note or the mark that concerns the row.
        QString tip = figureToolTip(row.figure);
        if (row.differs)
            tip = tr("The runs differ in this setting.");
        if (!row.note.isEmpty()) {
            tip += QLatin1Char(' ') + row.note;
            notes.append(dagger.trimmed() + QLatin1Char(' ') + row.note);
        }
        label->setToolTip(tip.trimmed());
        table->setItem(r, 0, label);
        for (int c = 0; c < row.values.size(); ++c) {
            auto* item = new QTableWidgetItem(row.values[c]);
            item->setFont(font);
            item->setToolTip(label->toolTip());
            table->setItem(r, c + 1, item);
        }
    }
    ui->differNote->setVisible(anyMarked);
    m_rowNote->setText(notes.join(QLatin1Char('\n')));
    m_rowNote->setVisible(!notes.isEmpty());
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
