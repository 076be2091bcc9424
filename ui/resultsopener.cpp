// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/resultsopener.h"

#include "results/evaluation.h"
#include "session/sessionports.h"
#include "ui/modalwindow.h"
#include "ui/resultswindow.h"

#include <QFileInfo>
#include <QTimer>
#include <exception>
#include <memory>

namespace ampero {

bool loadResults(const QString& path, ChartView& chart, ResultsWindow& window, ResultsProblem* problem)
{
    const ResultsEvaluation evaluation = evaluateResultsFile(path);
    if (!showOnChart(evaluation, chart)) {
        if (problem)
            *problem = { evaluation.failure, evaluation.rejected };
        return false;
    }
    window.showEvaluation(evaluation);
    return true;
}

bool showResultsWindow(const QString& path, ChartView& chart, QWidget* parent, UrlOpener& opener,
    const std::function<void()>& saveGraph, std::function<void()> closed, ResultsProblem* problem)
{
    auto window = std::make_unique<ResultsWindow>(opener, parent);
    if (saveGraph)
        QObject::connect(window.get(), &ResultsWindow::saveGraphRequested, window.get(), saveGraph);
    if (!loadResults(path, chart, *window, problem))
        return false;
    if (closed)
        QObject::connect(
            window.get(), &QDialog::finished, window.get(), [closed = std::move(closed)] { closed(); });
    // From here the window owns itself; a parent that goes first takes it along.
    openModalOnce(window.release());
    return true;
}

CommandLineResults::CommandLineResults(QTimer& loadResultsTimer, ChartView& chart, QWidget* window,
    UrlOpener& opener, std::function<void()> saveGraph, QObject* parent)
    : QObject(parent)
    , m_timer(loadResultsTimer)
    , m_chart(chart)
    , m_window(window)
    , m_opener(opener)
    , m_saveGraph(std::move(saveGraph))
{
    connect(&m_timer, &QTimer::timeout, this, &CommandLineResults::openPendingResults);
}

void CommandLineResults::windowShown(const QStringList& arguments)
{
    // Only the first show counts: restoring the window later must not open
    // the results again.
    if (m_armed || arguments.isEmpty())
        return;
    const QFileInfo info(arguments.first());
    if (!info.exists() || info.isDir())
        return;
    m_path = arguments.first();
    m_armed = true;
    m_timer.start();
}

void CommandLineResults::openPendingResults()
{
    m_timer.stop();
    if (m_path.isEmpty())
        return;
    const QString path = m_path;
    m_path.clear();
    try {
        if (showResultsWindow(path, m_chart, m_window, m_opener, m_saveGraph))
            Q_EMIT opened(path);
    } catch (const std::exception&) {
        // Nothing is reported for a file opened at start-up.
    }
}

} // namespace ampero
