// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Comparing runs in the window: "Compare with..." puts other results files
// on the main window's chart, each as a series of its own colour with a
// legend entry, and lists them in the comparison table beside the run the
// chart already shows. The chart's own two series are never touched.
#include "results/runsummary.h"

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <optional>

class QWidget;

namespace ampero {

class ChartWidget;
class ComparisonWindow;

class RunComparison : public QObject {
    Q_OBJECT
public:
    // At most this many runs besides the chart's own.
    static constexpr int MaxRuns = 8;

    // window owns the dialogs, the message and the table window.
    RunComparison(ChartWidget& chart, QWidget* window, QObject* parent = nullptr);
    ~RunComparison() override;

    // "Compare with...": a file dialog for one or more results files, opened
    // with open(); the chosen files go to addFiles().
    void chooseFiles();
    // Puts each readable file on the chart and into the table, which opens.
    // Files that cannot be read and files beyond MaxRuns are named in one
    // message, opened with open(). Returns how many runs were added.
    int addFiles(const QStringList& paths);
    // "Clear comparison" (and every test start): the added runs go, the
    // table window closes. The own run stays until setOwnRun() changes it.
    void clear();
    // Each curve against the share of its own battery life, while runs are
    // compared.
    void setNormalized(bool on);

    // The run the chart's own curve shows (a results file), for its legend
    // entry and its column; empty when the curve is a test's or unknown.
    // While runs are compared, the legend and the table follow at once.
    void setOwnRun(const QString& path);

    const QList<RunSummary>& runs() const { return m_runs; }
    ComparisonWindow* tableWindow() const; // null while none is open

Q_SIGNALS:
    void changed();

private:
    void refresh();

    ChartWidget& m_chart;
    QWidget* m_window;
    QList<RunSummary> m_runs;
    QList<int> m_series; // chart series index of each run
    QString m_ownPath;
    std::optional<RunSummary> m_own; // read once per own run, when first needed
    bool m_normalized = false;
    QPointer<ComparisonWindow> m_table;
};

} // namespace ampero
