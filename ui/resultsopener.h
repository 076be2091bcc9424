// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Showing a results file: the evaluation put on the main window's chart and
// into a results window, which is opened modally and deletes itself once it
// has closed.
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

class QTimer;
class QWidget;

namespace ampero {

class ChartView;
class ResultsWindow;
class UrlOpener;

// Why a results file was not shown: failure in one line, as the terminal
// report says it; rejected for a file that is not a results file at all
// (the chart then stays as it was; any other failure clears it).
struct ResultsProblem {
    QString failure;
    bool rejected = false;
};

// Reads and evaluates path, puts the curve on chart and fills window.
// False when the file was rejected or unreadable: a non-results file leaves
// the chart as it was, any other failure clears it. problem, when given,
// says why.
bool loadResults(
    const QString& path, ChartView& chart, ResultsWindow& window, ResultsProblem* problem = nullptr);

// Creates a results window over parent, loads path into it and, when that
// succeeded, opens it modally and returns true; closed runs once the window
// has closed (it may be empty). When the file is rejected no window opens,
// closed never runs and the answer is false. saveGraph is what "Save graph"
// runs (the main window's save-picture action), may be empty.
bool showResultsWindow(const QString& path, ChartView& chart, QWidget* parent, UrlOpener& opener,
    const std::function<void()>& saveGraph, std::function<void()> closed = {},
    ResultsProblem* problem = nullptr);

// Opening a results file named on the command line once the main window is
// up. The main window calls windowShown() from its show event and passes its
// one-shot load-results timer (10 ms); the timer's firing shows the results.
// A missing or non-results file shows nothing and says nothing.
class CommandLineResults : public QObject {
    Q_OBJECT
public:
    CommandLineResults(QTimer& loadResultsTimer, ChartView& chart, QWidget* window, UrlOpener& opener,
        std::function<void()> saveGraph, QObject* parent = nullptr);

    // Arms the timer when the first argument names an existing file.
    // Further arguments are ignored, and so are later shows once it has armed.
    void windowShown(const QStringList& arguments);

    // The timer fired: stops it, then shows the file's results.
    void openPendingResults();

Q_SIGNALS:
    // The file's results are on the chart and in their window.
    void opened(const QString& path);

private:
    QTimer& m_timer;
    ChartView& m_chart;
    QWidget* m_window;
    UrlOpener& m_opener;
    std::function<void()> m_saveGraph;
    QString m_path;
    bool m_armed = false;
};

} // namespace ampero
