// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "core/testmode.h"
#include "session/sessionports.h"
#include "session/workloadschedule.h"
#include "ui/versioninfo.h"

#include <QMainWindow>
#include <QTimer>
#include <memory>
#include <optional>

class QAction;
class QActionGroup;
class QMenu;
class QLabel;

namespace Ui {
class MainWindow;
}

namespace ampero {

class ChartWidget;
class UrlOpener;

// The main window. It shows the chart, the power, mode and processor
// information and the menu; it hands the menu commands it does not carry out
// itself to whoever listens to its signals (the test session, the help and
// update pieces). Exit, About... and Save graph... it handles on its own.
class MainWindow : public QMainWindow, public MainView, public ChartView {
    Q_OBJECT
public:
    // urlOpener opens the author's page from the about window; not owned.
    explicit MainWindow(UrlOpener* urlOpener, QWidget* parent = nullptr);
    ~MainWindow() override;

    // The version texts for the about window; start-up sets them once.
    void setVersionInfo(const VersionInfo& version) { m_version = version; }
    const VersionInfo& versionInfo() const { return m_version; }

    // MainView
    void setTimerText(const QString& text) override;
    void setLevelText(const QString& text) override;
    void setActionText(const QString& text) override;
    void setModeText(const QString& text) override;
    void setCpuSpeedText(const QString& text) override;
    void setTestsEnabled(bool enabled) override;
    // "Check for updates..." is disabled while a check runs.
    void setUpdateCheckEnabled(bool enabled);
    // Open... and Open Recent, off while a test runs.
    void setOpenEnabled(bool enabled);
    // Show results, on while a results file is on the chart and no test runs.
    void setShowResultsEnabled(bool enabled);
    // The files of Open Recent, the latest first; its Clear item follows them.
    void setRecentFiles(const QStringList& paths);
    bool noLoadChecked() const override;
    void setNoLoadChecked(bool checked) override;
    // The checked item of Test > Workload; "No load CPU" overrides it.
    Workload workload() const override;
    // After a workload's burst: a full repaint, a small one (a key press) or
    // one of a 1280 x 720 region (a video frame), as a real program would.
    void repaintForWorkload(Repaint what);

    // ChartView
    void clearSeries() override;
    void addSample(double x, double y) override;
    void setSamples(const QList<QPointF>& points) override;
    // The chart keeps the file's levels as they are and draws what fits.
    void setLevels(const std::shared_ptr<const std::vector<uint8_t>>& levels, double step) override;
    void setForecastLine(const QList<QPointF>& points) override;
    // The power series: kept always, drawn on the right axis while the
    // checkable "Show power on chart" item is on (off by default).
    void setPowerCurve(const QList<QPointF>& points) override;
    void addPowerPoint(double x, double watts);
    bool powerShown() const;
    void setInteractive(bool on) override;
    // Refuses a value below the axis minimum or not finite; the old maximum
    // then stays (ChartWidget::setBottomMaximum).
    AxisLimitResult setBottomMaximum(double dayFraction) override;
    double bottomMaximum() const override;

    // The processor's name; the clock label follows it.
    void setCpuName(const QString& name);
    // The live figures beside the level: the power drawn with one decimal
    // ("12.5 W") and the battery health in
    // whole percent ("93%"); "—" for an unknown figure.
    void setPowerFigures(std::optional<double> watts, std::optional<double> healthPercent);

    ChartWidget* chart() const;
    // Where the usage bars go: the processor group and its usage label.
    QWidget* processorGroup() const;
    QLabel* usageLabel() const;
    QAction* showPowerAction() const;
    // Saves the chart as a bitmap as Save graph... does, without the dialog.
    bool saveChartBitmap(const QString& path, QString* error) const;

    // The usage timer: 1000 ms, repeating, off until start-up enables it.
    QTimer* usageTimer() { return &m_usageTimer; }
    // Opens a results file named on the command line: 10 ms, one-shot, off
    // until started.
    QTimer* loadResultsTimer() { return &m_loadResultsTimer; }

public Q_SLOTS:
    void saveChart(); // Save graph...: the save-graph dialog, then the bitmap
    void showAbout(); // About...: a new AboutDialog, shown modally

Q_SIGNALS:
    // "Fast mode" or "Normal mode" was chosen.
    void startTestRequested(ampero::TestMode mode);
    // "No load CPU" was chosen; its check mark has already been inverted.
    void noLoadToggled(bool checked);
    void openRequested(); // "Open..."
    void openRecentRequested(const QString& path); // a file of "Open Recent"
    void clearRecentRequested(); // "Clear" in "Open Recent"
    void showResultsRequested(); // "Show results"
    void helpRequested(); // "Help..."
    void checkUpdatesRequested(); // "Check for updates..."
    void historyRequested(); // "History..." in the Battery menu

    // Comparing runs: "Compare with...", "Clear comparison" and the check
    // mark of "Curves by share of battery life".
    void compareRequested();
    void clearComparisonRequested();
    void normalizeToggled(bool checked);
    void usageTimerFired(); // the usage timer
    void firstShown(); // the window was shown for the first time

protected:
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    std::unique_ptr<Ui::MainWindow> ui;
    UrlOpener* m_urlOpener;
    VersionInfo m_version;
    QTimer m_usageTimer;
    QTimer m_loadResultsTimer;
    bool m_shownOnce = false;
    bool m_openEnabled = true;
    QSize m_designMinimum;
    void fitToScreen();
    void showPower(bool on);
    void updatePowerAxis();
    void addWorkloadMenu();
    QMenu* m_workloadMenu = nullptr;
    QActionGroup* m_workloadGroup = nullptr;
    int m_powerSeries = -1;
    QList<QPointF> m_powerPoints;
    double m_powerAxisMax = 0;
};

} // namespace ampero
