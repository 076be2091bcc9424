// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// ComparisonWindow: the comparison table, one column per run and one row per
// figure or setting. Not modal: it stays open beside the main window. Rows
// of the setup in which the runs differ are set in bold and marked with "*".
// The table can be copied as aligned text (the button or Ctrl+C).
#include "results/runsummary.h"

#include <QWidget>
#include <memory>

class QLabel;

namespace Ui {
class ComparisonWindow;
}

namespace ampero {

class ComparisonWindow : public QWidget {
    Q_OBJECT
public:
    // A window of its own over parent (it closes with it).
    explicit ComparisonWindow(QWidget* parent = nullptr);
    ~ComparisonWindow() override;

    void setRuns(const QList<RunSummary>& runs);
    const QList<ComparisonRow>& rows() const { return m_rows; }
    // The text "Copy as text" puts on the clipboard.
    QString text() const;

public Q_SLOTS:
    void copyText();

private:
    std::unique_ptr<Ui::ComparisonWindow> ui;
    QList<ComparisonRow> m_rows;
    QLabel* m_rowNote = nullptr; // the notes of rows marked with a dagger
};

} // namespace ampero
