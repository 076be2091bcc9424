// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// HistoryWindow (Battery > History...): the battery's health and cycle count
// over the months in a chart, and the runs of the history in a table, newest
// first. A double-click (or Open) asks to open a run's results file; Compare
// asks to compare the selected runs. Not modal: the runs it opens show in the
// main window and beside it. Escape closes it.
#include "results/historyview.h"

#include <QDialog>
#include <memory>

namespace Ui {
class HistoryWindow;
}

namespace ampero {

class ChartWidget;

class HistoryWindow : public QDialog {
    Q_OBJECT
public:
    explicit HistoryWindow(QWidget* parent = nullptr);
    ~HistoryWindow() override;

    void setHistory(const HistoryView& view);
    const HistoryView& history() const { return m_view; }
    ChartWidget* chart() const;
    // The results files of the selected runs, newest first.
    QStringList selectedFiles() const;

Q_SIGNALS:
    void openRunRequested(const QString& path);
    void compareRequested(const QStringList& paths);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void selectionChanged();
    void showChart();

    std::unique_ptr<Ui::HistoryWindow> ui;
    HistoryView m_view;
    bool m_fitted = false;
};

} // namespace ampero
