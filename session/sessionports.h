// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the session logic needs from the windows, as small interfaces. The
// widgets implement them; tests implement them with fakes and no display.
#include <QList>
#include <QPointF>
#include <QString>
#include <optional>

namespace ampero {

// The main window's labels and test actions.
class MainView {
public:
    virtual ~MainView() = default;
    virtual void setTimerText(const QString& text) = 0; // TimerValueLabel
    virtual void setLevelText(const QString& text) = 0; // BettaryLevelLabel
    virtual void setActionText(const QString& text) = 0; // ActionLabel
    virtual void setModeText(const QString& text) = 0; // BettaryModeLabel
    virtual void setCpuSpeedText(const QString& text) = 0; // CurrentCPUSpeed
    // InitializeTests: enables or greys BettaryLevelLabel, BettaryLevelLabel1,
    // TimerValueLabel, TimerLabel and the actions StartNormalTest,
    // StartFastTest and Unburned, in that order.
    virtual void setTestsEnabled(bool enabled) = 0;
    // The check mark of "No load CPU": checked means no CPU load.
    virtual bool noLoadChecked() const = 0;
    virtual void setNoLoadChecked(bool checked) = 0;
};

// Chart1: Series1 holds the samples, Series2 the fast-mode forecast line.
// x is elapsed time as a day fraction, y the level in percent.
class ChartView {
public:
    virtual ~ChartView() = default;
    virtual void clearSeries() = 0; // both series
    virtual void addSample(double x, double y) = 0; // one point to Series1
    virtual void setSamples(const QList<QPointF>& points) = 0; // Series1 in one call
    virtual void setForecastLine(const QList<QPointF>& points) = 0; // Series2
    // Zooming and panning: off while a test runs, on for shown results.
    virtual void setInteractive(bool on) = 0;
    // The bottom axis maximum as a day fraction.
    virtual void setBottomMaximum(double dayFraction) = 0;
    virtual double bottomMaximum() const = 0;
};

// The windows a test start and a test end show.
class SessionDialogs {
public:
    virtual ~SessionDialogs() = default;
    // TfStartTest, shown modally with modeText ("fast"/"normal") and
    // loadText ("none"/"full"); true when it closed with "Start test".
    virtual bool confirmStart(const QString& modeText, const QString& loadText) = 0;
    // SaveDialog1 ("Save report", initial name "results", extension apr);
    // no value when the user cancelled.
    virtual std::optional<QString> askResultsPath() = 0;
    // The application's error report for a failure that reaches the user.
    virtual void showError(const QString& message) = 0;
};

// TfTestProcess: the one testing window, shown modally while a test runs.
class TestingWindow {
public:
    virtual ~TestingWindow() = default;
    // Shows the window modally; returns when it closes. Every tick of the
    // test runs inside this call in the real program.
    virtual void execModal() = 0;
    virtual bool isShowing() const = 0;
    virtual void closeWindow() = 0; // as its Cancel button does
    virtual void hideWindow() = 0;
};

} // namespace ampero
