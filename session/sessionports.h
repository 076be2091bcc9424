// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the session logic needs from the windows, as small interfaces. The
// widgets implement them; tests implement them with fakes and no display.
#include "core/workload.h"
#include "results/evaluation.h"

#include <QFile>
#include <QList>
#include <QPointF>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace ampero {

// The main window's labels and test actions.
class MainView {
public:
    virtual ~MainView() = default;
    virtual void setTimerText(const QString& text) = 0; // the elapsed time
    virtual void setLevelText(const QString& text) = 0; // the battery level
    virtual void setActionText(const QString& text) = 0; // the current action
    virtual void setModeText(const QString& text) = 0; // the power source
    virtual void setCpuSpeedText(const QString& text) = 0; // the processor clock
    // Enables or greys the level and elapsed-time labels with their captions
    // and the actions that start a normal or a fast test or switch the load.
    virtual void setTestsEnabled(bool enabled) = 0;
    // The check mark of "No load CPU": checked means no CPU load.
    virtual bool noLoadChecked() const = 0;
    virtual void setNoLoadChecked(bool checked) = 0;
    // The workload chosen for a test with load (Test > Workload).
    virtual Workload workload() const { return Workload::FullLoad; }
};

// A chart's answer to a new axis limit. A refused value leaves the old limit
// in place; error then says why.
struct AxisLimitResult {
    bool accepted = true;
    QString error;
};

// The results chart: the samples series holds the measured levels, the
// forecast series the fast-mode forecast line. x is elapsed time as a day
// fraction, y the level in percent.
class ChartView {
public:
    virtual ~ChartView() = default;
    virtual void clearSeries() = 0; // both series
    virtual void addSample(double x, double y) = 0; // one point to the samples
    virtual void setSamples(const QList<QPointF>& points) = 0; // the samples in one call
    // The samples from a whole file's levels, level k at x = k steps. The levels
    // are shared, not copied, so a chart may keep them and draw, for the
    // range in view, only what its pixel columns show. By default the chart
    // gets a bounded curve (levelCurve) through setSamples.
    virtual void setLevels(const std::shared_ptr<const std::vector<uint8_t>>& levels, double step)
    {
        setSamples(levels ? levelCurve(*levels, step, 16384) : QList<QPointF>());
    }
    virtual void setForecastLine(const QList<QPointF>& points) = 0;
    // The power drawn, x as above, y in watts on an axis of its own; empty
    // for a file without energy readings. A chart without one ignores it.
    virtual void setPowerCurve(const QList<QPointF>& /*points*/) { }
    // Zooming and panning: off while a test runs, on for shown results.
    virtual void setInteractive(bool on) = 0;
    // The bottom axis maximum as a day fraction. A value below the axis
    // minimum, or not a finite number, is refused.
    [[nodiscard]] virtual AxisLimitResult setBottomMaximum(double dayFraction) = 0;
    virtual double bottomMaximum() const = 0;
};

// Puts an evaluation on the chart: the levels (ChartView::setLevels), the forecast line (or none),
// the bottom-axis maximum, zooming and panning on. A failed evaluation clears
// both series and switches zooming and panning off, except for a rejected
// file, which leaves the chart untouched; so does a bottom-axis maximum the
// chart refuses. Returns true when the evaluation is shown.
bool showOnChart(const ResultsEvaluation& evaluation, ChartView& chart);

// The windows a test start and a test end show. Each opens and returns at
// once; the answer comes later through the callback, from the application's
// event loop (or at once, for stand-ins that need no window).
class SessionDialogs {
public:
    virtual ~SessionDialogs() = default;
    // StartTestDialog, opened modally with modeText ("fast"/"normal") and
    // loadText ("none"/"full"); answered(true) when it closed with "Start test".
    virtual void confirmStart(
        const QString& modeText, const QString& loadText, std::function<void(bool started)> answered)
        = 0;
    // the save-report dialog ("Save report", initial name "results", extension apr);
    // answered with no value when the user cancelled.
    virtual void askResultsPath(std::function<void(std::optional<QString> path)> answered) = 0;
    // The chosen path as the file system's bytes. Empty for a name that
    // cannot be written as it reads: one that does not survive the trip to
    // bytes and back (a dialog shows bytes that are not valid text as U+FFFD,
    // and writing that would make a different file).
    virtual QByteArray fileSystemPath(const QString& path) const
    {
        QByteArray bytes = QFile::encodeName(path);
        if (path.contains(QChar::ReplacementCharacter) || QFile::decodeName(bytes) != path)
            return {};
        return bytes;
    }
    // The application's error report for a failure that reaches the user;
    // opens it and returns.
    virtual void showError(const QString& message) = 0;
    // The screen brightness in percent (1 to 100) the start just confirmed
    // asks the test to hold; none to leave it as it is.
    virtual std::optional<int> brightnessPercent() const { return std::nullopt; }
};

// TestProgressDialog: the one testing window, shown modally while a test runs.
class TestingWindow {
public:
    virtual ~TestingWindow() = default;
    // Shows the window application-modal and returns at once; the ticks of
    // the test run on the application's event loop while it shows.
    virtual void openModal() = 0;
    virtual bool isShowing() const = 0;
    virtual void closeWindow() = 0; // as its Cancel button does
    virtual void hideWindow() = 0;
};

} // namespace ampero
