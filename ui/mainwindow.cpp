// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/mainwindow.h"

#include "core/figuretext.h"
#include "core/testmode.h"
#include "ui/aboutdialog.h"
#include "ui/chartwidget.h"
#include "ui/modalwindow.h"
#include "ui/savedialogs.h"
#include "ui/valuelabel.h"
#include "ui/windowfit.h"
#include "ui_mainwindow.h"

#include <QActionGroup>
#include <QDir>
#include <QFileDialog>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QScreen>
#include <algorithm>
#include <cmath>

namespace ampero {

MainWindow::MainWindow(UrlOpener* urlOpener, QWidget* parent)
    : QMainWindow(parent)
    , ui(std::make_unique<Ui::MainWindow>())
    , m_urlOpener(urlOpener)
{
    registerUiResources();
    ui->setupUi(this);
    setWindowIcon(QIcon(QStringLiteral(":/icons/ampero.svg")));
    // The start actions carry the test modes they start.
    ui->startFastTestAction->setData(static_cast<int>(TestMode::Fast));
    ui->startNormalTestAction->setData(static_cast<int>(TestMode::Normal));
    for (QAction* a : { ui->exitAction, ui->aboutAction, ui->noLoadAction, ui->saveGraphAction,
             ui->helpAction, ui->checkForUpdatesAction })
        a->setData(0);
    // Shortcuts work while this window is active, not inside other windows.
    for (QAction* a : findChildren<QAction*>())
        a->setShortcutContext(Qt::WindowShortcut);

    connect(ui->exitAction, &QAction::triggered, this, &QWidget::close);
    connect(ui->aboutAction, &QAction::triggered, this, &MainWindow::showAbout);
    connect(ui->saveGraphAction, &QAction::triggered, this, &MainWindow::saveChart);
    connect(ui->startFastTestAction, &QAction::triggered, this, [this] {
        Q_EMIT startTestRequested(static_cast<TestMode>(ui->startFastTestAction->data().toInt()));
    });
    connect(ui->startNormalTestAction, &QAction::triggered, this, [this] {
        Q_EMIT startTestRequested(static_cast<TestMode>(ui->startNormalTestAction->data().toInt()));
    });
    connect(
        ui->noLoadAction, &QAction::triggered, this, [this](bool checked) { Q_EMIT noLoadToggled(checked); });
    connect(ui->helpAction, &QAction::triggered, this, &MainWindow::helpRequested);
    connect(ui->openAction, &QAction::triggered, this, &MainWindow::openRequested);
    connect(ui->showResultsAction, &QAction::triggered, this, &MainWindow::showResultsRequested);
    connect(ui->clearRecentAction, &QAction::triggered, this, &MainWindow::clearRecentRequested);
    setRecentFiles({});
    addWorkloadMenu();
    ui->helpAction->setShortcuts(QKeySequence::HelpContents);
    m_powerSeries = ui->chart->addSeries(tr("Power"), PowerColor, 1, ChartAxisSide::Right);
    ui->chart->setSeriesLegend(m_powerSeries, tr("Power"));
    ui->showPowerAction->setData(0);
    connect(ui->showPowerAction, &QAction::toggled, this, &MainWindow::showPower);
    connect(ui->checkForUpdatesAction, &QAction::triggered, this, &MainWindow::checkUpdatesRequested);
    connect(ui->compareWithAction, &QAction::triggered, this, &MainWindow::compareRequested);
    connect(ui->historyAction, &QAction::triggered, this, &MainWindow::historyRequested);
    connect(ui->clearComparisonAction, &QAction::triggered, this, &MainWindow::clearComparisonRequested);
    connect(ui->normalizeCurvesAction, &QAction::toggled, this, &MainWindow::normalizeToggled);

    m_usageTimer.setObjectName(QStringLiteral("usageTimer"));
    m_usageTimer.setInterval(1000);
    // Precise like the test's own timer, so the two started together keep
    // firing in the same wake-up (a coarse timer may drift 50 ms from it).
    m_usageTimer.setTimerType(Qt::PreciseTimer);
    m_loadResultsTimer.setObjectName(QStringLiteral("loadResultsTimer"));
    m_loadResultsTimer.setInterval(10);
    m_loadResultsTimer.setSingleShot(true);
    connect(&m_usageTimer, &QTimer::timeout, this, &MainWindow::usageTimerFired);

    setCpuName(ui->processorNameLabel->text());
    m_designMinimum = minimumSize();
    fitToScreen();
    // The window opens centred on its screen.
    if (!parent) {
        const QRect avail = screen() ? screen()->availableGeometry() : QRect();
        if (avail.isValid())
            move(avail.center() - rect().center());
    }
}

MainWindow::~MainWindow() = default;

namespace {
void setLabel(QLabel* label, const QString& text)
{
    label->setText(text);
}
} // namespace

void MainWindow::setTimerText(const QString& text)
{
    setValueText(ui->elapsedLabel, text);
}
void MainWindow::setLevelText(const QString& text)
{
    setValueText(ui->levelLabel, text);
}
void MainWindow::setActionText(const QString& text)
{
    setLabel(ui->actionLabel, text);
}
void MainWindow::setModeText(const QString& text)
{
    setLabel(ui->powerSourceLabel, text);
}
void MainWindow::setCpuSpeedText(const QString& text)
{
    setLabel(ui->processorSpeedLabel, text);
}

void MainWindow::setPowerFigures(std::optional<double> watts, std::optional<double> healthPercent)
{
    const QString none = QStringLiteral("\u2014");
    setValueText(ui->powerDrawLabel, watts ? wattsText(watts) : none);
    setValueText(ui->healthLabel, healthPercent ? percentText(healthPercent) : none);
}

void MainWindow::setCpuName(const QString& name)
{
    setLabel(ui->processorNameLabel, name);
}

void MainWindow::setTestsEnabled(bool enabled)
{
    ui->levelLabel->setEnabled(enabled);
    ui->levelCaption->setEnabled(enabled);
    ui->elapsedLabel->setEnabled(enabled);
    ui->elapsedCaption->setEnabled(enabled);
    ui->startNormalTestAction->setEnabled(enabled);
    ui->startFastTestAction->setEnabled(enabled);
    ui->noLoadAction->setEnabled(enabled);
    m_workloadMenu->setEnabled(enabled);
}

namespace {

// A workload's menu item, with a mnemonic of its own within the menu.
QString workloadMenuText(Workload w)
{
    switch (w) {
    case Workload::FullLoad:
        return MainWindow::tr("&Full load");
    case Workload::Reading:
        return MainWindow::tr("&Reading");
    case Workload::Office:
        return MainWindow::tr("&Office");
    case Workload::Web:
        return MainWindow::tr("&Web");
    case Workload::Video:
        return MainWindow::tr("&Video");
    }
    return workloadName(w);
}

} // namespace

void MainWindow::addWorkloadMenu()
{
    // Test > Workload, beside "No load CPU": one radio item per workload,
    // full load first and checked.
    m_workloadMenu = new QMenu(tr("&Workload"), this);
    m_workloadMenu->setObjectName(QStringLiteral("workloadMenu"));
    m_workloadMenu->menuAction()->setObjectName(QStringLiteral("workloadMenuAction"));
    m_workloadGroup = new QActionGroup(this);
    m_workloadGroup->setExclusive(true);
    for (Workload w : AllWorkloads) {
        QAction* a = m_workloadMenu->addAction(workloadMenuText(w));
        a->setObjectName(workloadKey(w) + QStringLiteral("WorkloadAction"));
        a->setCheckable(true);
        a->setChecked(w == Workload::FullLoad);
        a->setData(static_cast<int>(w));
        m_workloadGroup->addAction(a);
    }
    ui->testMenu->insertMenu(ui->showPowerAction, m_workloadMenu);
}

Workload MainWindow::workload() const
{
    const QAction* checked = m_workloadGroup->checkedAction();
    return checked ? static_cast<Workload>(checked->data().toInt()) : Workload::FullLoad;
}

void MainWindow::repaintForWorkload(Repaint what)
{
    switch (what) {
    case Repaint::None:
        return;
    case Repaint::Small:
        ui->elapsedLabel->repaint();
        return;
    case Repaint::Region720p:
        repaint(QRect(0, 0, 1280, 720).intersected(rect()));
        return;
    case Repaint::Full:
        repaint();
        return;
    }
}

void MainWindow::setUpdateCheckEnabled(bool enabled)
{
    ui->checkForUpdatesAction->setEnabled(enabled);
}

void MainWindow::setOpenEnabled(bool enabled)
{
    m_openEnabled = enabled;
    ui->openAction->setEnabled(enabled);
    ui->recentMenu->setEnabled(enabled && ui->clearRecentAction->isEnabled());
}

void MainWindow::setShowResultsEnabled(bool enabled)
{
    ui->showResultsAction->setEnabled(enabled);
}

void MainWindow::setRecentFiles(const QStringList& paths)
{
    for (QAction* a : ui->recentMenu->actions())
        if (a != ui->clearRecentAction)
            delete a;
    const QFontMetrics metrics(ui->recentMenu->font());
    QList<QAction*> entries;
    for (qsizetype i = 0; i < paths.size(); ++i) {
        const QString& path = paths.at(i);
        // A long path loses its middle; an ampersand in it is no mnemonic.
        QString shown = metrics.elidedText(QDir::toNativeSeparators(path), Qt::ElideMiddle, 480);
        shown.replace(QLatin1Char('&'), QStringLiteral("&&"));
        const QString number = i < 9 ? QStringLiteral("&%1").arg(i + 1) : QString::number(i + 1);
        auto* action = new QAction(number + QLatin1Char(' ') + shown, ui->recentMenu);
        action->setObjectName(QStringLiteral("recentFileAction"));
        action->setData(path);
        action->setToolTip(path);
        connect(action, &QAction::triggered, this, [this, path] { Q_EMIT openRecentRequested(path); });
        entries.append(action);
    }
    if (!entries.isEmpty()) {
        auto* separator = new QAction(ui->recentMenu);
        separator->setSeparator(true);
        entries.append(separator);
    }
    ui->recentMenu->insertActions(ui->clearRecentAction, entries);
    ui->clearRecentAction->setEnabled(!paths.isEmpty());
    ui->recentMenu->setEnabled(m_openEnabled && !paths.isEmpty());
}

bool MainWindow::noLoadChecked() const
{
    return ui->noLoadAction->isChecked();
}
void MainWindow::setNoLoadChecked(bool checked)
{
    ui->noLoadAction->setChecked(checked);
}

ChartWidget* MainWindow::chart() const
{
    return ui->chart;
}

QWidget* MainWindow::processorGroup() const
{
    return ui->processorGroup;
}

QLabel* MainWindow::usageLabel() const
{
    return ui->usageLabel;
}

QAction* MainWindow::showPowerAction() const
{
    return ui->showPowerAction;
}

void MainWindow::clearSeries()
{
    ui->chart->clearSeries(ChartSeriesRole::Levels);
    ui->chart->clearSeries(ChartSeriesRole::Forecast);
    setPowerCurve({});
}

bool MainWindow::powerShown() const
{
    return ui->showPowerAction->isChecked();
}

void MainWindow::setPowerCurve(const QList<QPointF>& points)
{
    m_powerPoints = points;
    showPower(powerShown());
}

void MainWindow::addPowerPoint(double x, double watts)
{
    m_powerPoints.append(QPointF(x, watts));
    if (!powerShown())
        return;
    ui->chart->addPoint(m_powerSeries, x, watts);
    if (watts > m_powerAxisMax * 0.95)
        updatePowerAxis();
}

void MainWindow::showPower(bool on)
{
    if (on)
        ui->chart->setPoints(m_powerSeries, m_powerPoints);
    else
        ui->chart->clearSeries(m_powerSeries);
    updatePowerAxis();
}

void MainWindow::updatePowerAxis()
{
    // 0 up to a round number of watts some way above the highest reading.
    double highest = 0;
    for (const QPointF& p : std::as_const(m_powerPoints))
        highest = std::max(highest, p.y());
    const double step = highest <= 10 ? 2 : highest <= 50 ? 5 : highest <= 100 ? 10 : 50;
    m_powerAxisMax = std::max(step * 5, std::ceil(highest * 1.1 / step) * step);
    ChartValueAxis axis;
    axis.title = tr("Power, W");
    axis.min = 0;
    axis.max = m_powerAxisMax;
    axis.tickStep = m_powerAxisMax / 5;
    axis.visible = powerShown();
    ui->chart->setRightAxis(axis);
}

void MainWindow::addSample(double x, double y)
{
    ui->chart->addPoint(ChartSeriesRole::Levels, x, y);
}
void MainWindow::setSamples(const QList<QPointF>& points)
{
    ui->chart->setPoints(ChartSeriesRole::Levels, points);
}
void MainWindow::setLevels(const std::shared_ptr<const std::vector<uint8_t>>& levels, double step)
{
    ui->chart->setSamples(ChartSeriesRole::Levels, 0, step, levels);
}
void MainWindow::setForecastLine(const QList<QPointF>& points)
{
    ui->chart->setPoints(ChartSeriesRole::Forecast, points);
}
void MainWindow::setInteractive(bool on)
{
    ui->chart->setInteractive(on);
}

AxisLimitResult MainWindow::setBottomMaximum(double dayFraction)
{
    AxisLimitResult result;
    result.accepted = ui->chart->setBottomMaximum(dayFraction, &result.error);
    return result;
}

double MainWindow::bottomMaximum() const
{
    return ui->chart->bottomMaximum();
}

bool MainWindow::saveChartBitmap(const QString& path, QString* error) const
{
    return ui->chart->saveBitmap(path, error);
}

void MainWindow::saveChart()
{
    openSaveGraphDialog(this, [this](const QString& path, PictureFormat format) {
        if (path.isEmpty())
            return;
        QString error;
        if (ui->chart->savePicture(path, format, &error))
            return;
        auto* box = new QMessageBox(QMessageBox::Critical, windowTitle(), error, QMessageBox::Ok, this);
        box->setObjectName(QStringLiteral("SaveGraphError"));
        openModalOnce(box);
    });
}

void MainWindow::showAbout()
{
    openModalOnce(new AboutDialog(m_version, m_urlOpener, this));
}

void MainWindow::fitToScreen()
{
    // The design's minimum holds where the screen has room for it; on a
    // smaller screen (a small laptop at a large scale) it gives way, the
    // chart first, since the panels below it keep their height.
    setMinimumSize(m_designMinimum);
    fitWindowToScreen(*this);
}

void MainWindow::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        fitToScreen();
}

void MainWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!m_shownOnce) {
        m_shownOnce = true;
        fitToScreen();
        Q_EMIT firstShown();
    }
}

} // namespace ampero
