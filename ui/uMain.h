// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "session/sessionports.h"
#include "ui/versioninfo.h"

#include <QMainWindow>
#include <QTimer>
#include <memory>
#include <optional>

namespace Ui {
class TfMain;
}

namespace ampero {

class ChartWidget;
class UrlOpener;

// fMain: the main window. It shows the chart, the power, mode and processor
// information and the menu; it hands the menu commands it does not carry out
// itself to whoever listens to its signals (the test session, the help and
// update pieces). Exit, About... and Save graph... it handles on its own.
class TfMain : public QMainWindow, public MainView, public ChartView {
    Q_OBJECT
public:
    // urlOpener opens the author's page from the about window; not owned.
    explicit TfMain(UrlOpener* urlOpener, QWidget* parent = nullptr);
    ~TfMain() override;

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
    bool noLoadChecked() const override;
    void setNoLoadChecked(bool checked) override;

    // ChartView
    void clearSeries() override;
    void addSample(double x, double y) override;
    void setSamples(const QList<QPointF>& points) override;
    // The chart keeps the file's levels as they are and draws what fits.
    void setLevels(const std::shared_ptr<const std::vector<uint8_t>>& levels, double step) override;
    void setForecastLine(const QList<QPointF>& points) override;
    // The power series: kept always, drawn on the right axis while the
    // checkable ShowPower item is on (off by default).
    void setPowerCurve(const QList<QPointF>& points) override;
    void addPowerPoint(double x, double watts);
    bool powerShown() const;
    void setInteractive(bool on) override;
    // Throws std::invalid_argument (the old maximum stays) for a value below
    // the axis minimum; see ChartWidget::setBottomMaximum for a form without.
    void setBottomMaximum(double dayFraction) override;
    double bottomMaximum() const override;

    // CPUNameLabel; CurrentCPUSpeed moves to 6 pixels right of it.
    void setCpuName(const QString& name);
    // The live figures beside the level: PowerDrawLabel shows the power
    // drawn with one decimal ("12.5 W"), BatteryHealthLabel the health in
    // whole percent ("93%"); "—" for an unknown figure.
    void setPowerFigures(std::optional<double> watts, std::optional<double> healthPercent);

    ChartWidget* chart() const;
    // Saves Chart1 as a bitmap as Save graph... does, without the dialog.
    bool saveChartBitmap(const QString& path, QString* error) const;

    // CPUUsagTimer: 1000 ms, repeating, off until start-up enables it.
    QTimer* cpuUsagTimer() { return &m_cpuUsagTimer; }
    // LoadResultsTimer: 10 ms, one-shot, off until started.
    QTimer* loadResultsTimer() { return &m_loadResultsTimer; }

    // GroupBox2 width for a client width: half of it less 6 pixels.
    static int powerGroupWidth(int clientWidth) { return clientWidth / 2 - 6; }

public Q_SLOTS:
    void Action1Execute(); // Save graph...: SavePictureDialog1, then the bitmap
    void Action3Execute(); // About...: a new TfAbout, shown modally

Q_SIGNALS:
    void startTestRequested(int tag); // StartFastTest (1), StartNormalTest (2)
    // Unburned was chosen; its check mark has already been inverted.
    void noLoadToggled(bool checked);
    void helpRequested(); // Action4
    void checkUpdatesRequested(); // Action5
    // Comparing runs: "Compare with...", "Clear comparison" and the check
    // mark of "Curves by share of battery life".
    void compareRequested();
    void clearComparisonRequested();
    void normalizeToggled(bool checked);
    void cpuUsagTimerFired(); // CPUUsagTimer
    void firstShown(); // the window was shown for the first time

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    std::unique_ptr<Ui::TfMain> ui;
    UrlOpener* m_urlOpener;
    VersionInfo m_version;
    QTimer m_cpuUsagTimer;
    QTimer m_loadResultsTimer;
    bool m_shownOnce = false;
    void showPower(bool on);
    void updatePowerAxis();
    int m_powerSeries = -1;
    QList<QPointF> m_powerPoints;
    double m_powerAxisMax = 0;
};

} // namespace ampero
