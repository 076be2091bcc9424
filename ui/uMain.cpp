// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/uMain.h"

#include "core/testmode.h"
#include "ui/chartwidget.h"
#include "ui/modalwindow.h"
#include "ui/savedialogs.h"
#include "ui/uAbout.h"
#include "ui_uMain.h"

#include <QFileDialog>
#include <QLocale>
#include <QMessageBox>
#include <QResizeEvent>
#include <QScreen>
#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace ampero {

TfMain::TfMain(UrlOpener* urlOpener, QWidget* parent)
    : QMainWindow(parent)
    , ui(std::make_unique<Ui::TfMain>())
    , m_urlOpener(urlOpener)
{
    installUiFontSubstitutes();
    ui->setupUi(this);
    setWindowIcon(QIcon(QStringLiteral(":/icons/ampero.svg")));
    // Tags of the start actions are the test modes they start.
    ui->StartFastTest->setData(static_cast<int>(TestMode::Fast));
    ui->StartNormalTest->setData(static_cast<int>(TestMode::Normal));
    for (QAction* a : { ui->FileExit1, ui->Action3, ui->Unburned, ui->Action1, ui->Action4, ui->Action5 })
        a->setData(0);
    // Shortcuts work while this window is active, not inside other windows.
    for (QAction* a : findChildren<QAction*>())
        a->setShortcutContext(Qt::WindowShortcut);

    connect(ui->FileExit1, &QAction::triggered, this, &QWidget::close);
    connect(ui->Action3, &QAction::triggered, this, &TfMain::Action3Execute);
    connect(ui->Action1, &QAction::triggered, this, &TfMain::Action1Execute);
    connect(ui->StartFastTest, &QAction::triggered, this,
        [this] { Q_EMIT startTestRequested(ui->StartFastTest->data().toInt()); });
    connect(ui->StartNormalTest, &QAction::triggered, this,
        [this] { Q_EMIT startTestRequested(ui->StartNormalTest->data().toInt()); });
    connect(ui->Unburned, &QAction::triggered, this, [this](bool checked) { Q_EMIT noLoadToggled(checked); });
    connect(ui->Action4, &QAction::triggered, this, &TfMain::helpRequested);
    m_powerSeries = ui->Chart1->addSeries(tr("Power"), QColor(0, 128, 0), 1, ChartAxisSide::Right);
    ui->ShowPower->setData(0);
    connect(ui->ShowPower, &QAction::toggled, this, &TfMain::showPower);
    connect(ui->Action5, &QAction::triggered, this, &TfMain::checkUpdatesRequested);
    connect(ui->CompareWith, &QAction::triggered, this, &TfMain::compareRequested);
    connect(ui->ClearComparison, &QAction::triggered, this, &TfMain::clearComparisonRequested);
    connect(ui->NormalizeCurves, &QAction::toggled, this, &TfMain::normalizeToggled);

    m_cpuUsagTimer.setObjectName(QStringLiteral("CPUUsagTimer"));
    m_cpuUsagTimer.setInterval(1000);
    // Precise like the test's own timer, so the two started together keep
    // firing in the same wake-up (a coarse timer may drift 50 ms from it).
    m_cpuUsagTimer.setTimerType(Qt::PreciseTimer);
    m_loadResultsTimer.setObjectName(QStringLiteral("LoadResultsTimer"));
    m_loadResultsTimer.setInterval(10);
    m_loadResultsTimer.setSingleShot(true);
    connect(&m_cpuUsagTimer, &QTimer::timeout, this, &TfMain::cpuUsagTimerFired);

    setCpuName(ui->CPUNameLabel->text());
    // The window opens centred on its screen.
    if (!parent) {
        const QRect avail = screen() ? screen()->availableGeometry() : QRect();
        if (avail.isValid())
            move(avail.center() - rect().center());
    }
}

TfMain::~TfMain() = default;

namespace {
void setLabel(QLabel* label, const QString& text)
{
    label->setText(text);
    label->adjustSize();
}
} // namespace

void TfMain::setTimerText(const QString& text)
{
    setLabel(ui->TimerValueLabel, text);
}
void TfMain::setLevelText(const QString& text)
{
    setLabel(ui->BettaryLevelLabel, text);
}
void TfMain::setActionText(const QString& text)
{
    setLabel(ui->ActionLabel, text);
}
void TfMain::setModeText(const QString& text)
{
    setLabel(ui->BettaryModeLabel, text);
}
void TfMain::setCpuSpeedText(const QString& text)
{
    setLabel(ui->CurrentCPUSpeed, text);
}

void TfMain::setPowerFigures(std::optional<double> watts, std::optional<double> healthPercent)
{
    const QString none = QStringLiteral("\u2014");
    setLabel(ui->PowerDrawLabel, watts ? QLocale().toString(*watts, 'f', 1) + QStringLiteral(" W") : none);
    setLabel(ui->BatteryHealthLabel,
        healthPercent ? QString::number(qRound(*healthPercent)) + QLatin1Char('%') : none);
}

void TfMain::setCpuName(const QString& name)
{
    setLabel(ui->CPUNameLabel, name);
    ui->CurrentCPUSpeed->move(
        ui->CPUNameLabel->x() + ui->CPUNameLabel->width() + 6, ui->CurrentCPUSpeed->y());
}

void TfMain::setTestsEnabled(bool enabled)
{
    ui->BettaryLevelLabel->setEnabled(enabled);
    ui->BettaryLevelLabel1->setEnabled(enabled);
    ui->TimerValueLabel->setEnabled(enabled);
    ui->TimerLabel->setEnabled(enabled);
    ui->StartNormalTest->setEnabled(enabled);
    ui->StartFastTest->setEnabled(enabled);
    ui->Unburned->setEnabled(enabled);
}

bool TfMain::noLoadChecked() const
{
    return ui->Unburned->isChecked();
}
void TfMain::setNoLoadChecked(bool checked)
{
    ui->Unburned->setChecked(checked);
}

ChartWidget* TfMain::chart() const
{
    return ui->Chart1;
}

void TfMain::clearSeries()
{
    ui->Chart1->clearSeries1();
    ui->Chart1->clearSeries2();
    setPowerCurve({});
}

bool TfMain::powerShown() const
{
    return ui->ShowPower->isChecked();
}

void TfMain::setPowerCurve(const QList<QPointF>& points)
{
    m_powerPoints = points;
    showPower(powerShown());
}

void TfMain::addPowerPoint(double x, double watts)
{
    m_powerPoints.append(QPointF(x, watts));
    if (!powerShown())
        return;
    ui->Chart1->addPoint(m_powerSeries, x, watts);
    if (watts > m_powerAxisMax * 0.95)
        updatePowerAxis();
}

void TfMain::showPower(bool on)
{
    if (on)
        ui->Chart1->setPoints(m_powerSeries, m_powerPoints);
    else
        ui->Chart1->clearSeries(m_powerSeries);
    updatePowerAxis();
}

void TfMain::updatePowerAxis()
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
    ui->Chart1->setRightAxis(axis);
}

void TfMain::addSample(double x, double y)
{
    ui->Chart1->addPoint1(x, y);
}
void TfMain::setSamples(const QList<QPointF>& points)
{
    ui->Chart1->setPoints1(points);
}
void TfMain::setLevels(const std::shared_ptr<const std::vector<uint8_t>>& levels, double step)
{
    ui->Chart1->setSamples(0, 0, step, levels);
}
void TfMain::setForecastLine(const QList<QPointF>& points)
{
    ui->Chart1->setPoints2(points);
}
void TfMain::setInteractive(bool on)
{
    ui->Chart1->setInteractive(on);
}

void TfMain::setBottomMaximum(double dayFraction)
{
    QString error;
    if (!ui->Chart1->setBottomMaximum(dayFraction, &error))
        throw std::invalid_argument(error.toStdString());
}

double TfMain::bottomMaximum() const
{
    return ui->Chart1->bottomMaximum();
}

bool TfMain::saveChartBitmap(const QString& path, QString* error) const
{
    return ui->Chart1->saveBitmap(path, error);
}

void TfMain::Action1Execute()
{
    openSaveDialog(makeSavePictureDialog1(this), [this](const QString& path) {
        if (path.isEmpty())
            return;
        QString error;
        if (saveChartBitmap(path, &error))
            return;
        auto* box = new QMessageBox(QMessageBox::Critical, windowTitle(), error, QMessageBox::Ok, this);
        box->setObjectName(QStringLiteral("SaveGraphError"));
        openModalOnce(box);
    });
}

void TfMain::Action3Execute()
{
    openModalOnce(new TfAbout(m_version, m_urlOpener, this));
}

void TfMain::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    ui->GroupBox2->setFixedWidth(powerGroupWidth(event->size().width()));
}

void TfMain::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!m_shownOnce) {
        m_shownOnce = true;
        Q_EMIT firstShown();
    }
}

} // namespace ampero
