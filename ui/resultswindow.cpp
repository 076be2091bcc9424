// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/resultswindow.h"

#include "core/figuretext.h"
#include "core/phrases.h"
#include "core/sitesettings.h"
#include "core/testmode.h"
#include "core/timeunits.h"
#include "platform/urlopener.h"
#include "results/evaluation.h"
#include "ui/addressfallback.h"
#include "ui/figuretips.h"
#include "ui/windowfit.h"
#include "ui_resultswindow.h"

#include <QGridLayout>
#include <QUrl>

namespace ampero {

ResultsWindow::ResultsWindow(UrlOpener& opener, QWidget* parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::ResultsWindow>())
    , m_opener(opener)
{
    ui->setupUi(this);
    // About as wide as it always was, in any font.
    ui->reportGroup->setMinimumWidth(fontMetrics().averageCharWidth() * 46);
    // A dialog with only the close button in its title bar.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
        | Qt::WindowCloseButtonHint);
    connect(ui->sendReportButton, &QPushButton::clicked, this, &ResultsWindow::sendReport);
    connect(ui->saveGraphButton, &QPushButton::clicked, this, &ResultsWindow::saveChart);
    connect(ui->openReportFolderButton, &QPushButton::clicked, this, &ResultsWindow::openReportFolder);
    addFullBatteryRow();
    setFigureToolTips();
}

void ResultsWindow::addFullBatteryRow()
{
    QGroupBox* group = ui->batteryTimeGroup;
    m_fullLifeCaption = new QLabel(tr("Full battery, by test:"), group);
    m_fullLifeCaption->setObjectName(QStringLiteral("fullBatteryCaption"));
    m_fullLifeCaption->setFont(ui->testForecastCaption->font());
    m_fullLifeLabel = new QLabel(group);
    m_fullLifeLabel->setObjectName(QStringLiteral("fullBatteryLabel"));
    m_remarkLabel = new QLabel(group);
    m_remarkLabel->setObjectName(QStringLiteral("figureRemarkLabel"));
    m_remarkLabel->setWordWrap(true);
    m_remarkLabel->hide();
    // Below "By test results", with the caption naming its figure for
    // screen readers as the others do.
    m_fullLifeCaption->setBuddy(m_fullLifeLabel);
    auto* grid = qobject_cast<QGridLayout*>(group->layout());
    Q_ASSERT(grid);
    const int row = grid->rowCount();
    grid->addWidget(m_fullLifeCaption, row, 0);
    grid->addWidget(m_fullLifeLabel, row, 1);
    grid->addWidget(m_remarkLabel, row + 1, 0, 1, -1);
}

void ResultsWindow::setFigureToolTips()
{
    const auto tip = [](Figure figure, std::initializer_list<QWidget*> widgets) {
        for (QWidget* w : widgets)
            w->setToolTip(figureToolTip(figure));
    };
    tip(Figure::SystemForecast, { ui->systemForecastCaption, ui->systemForecastLabel });
    tip(Figure::BatteryLife, { ui->testForecastCaption, ui->testForecastLabel });
    tip(Figure::FullBatteryLife, { m_fullLifeCaption, m_fullLifeLabel });
    tip(Figure::Mark, { ui->markGroup, ui->markLabel });
    tip(Figure::AveragePower, { ui->averagePowerCaption, ui->averagePowerLabel });
    tip(Figure::EnergyUsed, { ui->energyUsedCaption, ui->energyUsedLabel });
    tip(Figure::BatteryHealth, { ui->healthCaption, ui->healthLabel });
    tip(Figure::EnergyForecast, { ui->energyForecastCaption, ui->energyForecastLabel });
}

ResultsWindow::~ResultsWindow() = default;

void ResultsWindow::showEvaluation(const ResultsEvaluation& e)
{
    ui->reportFileLabel->setText(e.fileName);
    m_reportFolder = e.reportFolder;
    ui->testModeLabel->setText(modeText(e.mode));
    ui->loadLabel->setText(loadText(e));
    ui->systemForecastLabel->setText(durationText(e.systemForecast));
    ui->markLabel->setText(markText(e.mark));
    ui->markLabel->setToolTip(figureToolTip(Figure::Mark)
        + (e.markEstimated() ? QLatin1Char(' ') + estimatedMarkText() : QString()));
    ui->testForecastLabel->setText(durationText(e.bottomMaximum));
    showFullBattery(e);
    setWindowTitle(e.complete ? tr("Testing results") : tr("Testing results") + tr(" (incomplete)"));
    showEnergy(e);
}

void ResultsWindow::showFullBattery(const ResultsEvaluation& e)
{
    m_fullLifeLabel->setText(durationText(e.fullBatteryLife));
    // A fast test's line, or a normal test over few points of charge: say
    // how far the full-battery figure can be trusted.
    QString remark;
    if (e.longExtrapolation())
        remark = longExtrapolationText(e.coveredLevels);
    else if (e.forecastEnd)
        remark = fastLineTrustText();
    m_remarkLabel->setText(remark);
    m_remarkLabel->setVisible(!remark.isEmpty());
}

void ResultsWindow::showEnergy(const ResultsEvaluation& e)
{
    // The energy group sits below the others; the window takes the height
    // it needs, up to its screen's, and scrolls the groups beyond that.
    const bool fast = e.mode == modeByte(TestMode::Fast);
    ui->energyGroup->setVisible(e.hasCompanion);
    const auto& forecastSeconds = e.energy.energyForecastSeconds;
    ui->averagePowerLabel->setText(wattsText(e.energy.averagePowerW));
    ui->energyUsedLabel->setText(wattHoursText(e.energy.energyUsedWh));
    ui->healthLabel->setText(percentText(e.batteryHealth));
    ui->energyForecastLabel->setText(
        durationText(forecastSeconds ? std::optional(toDays(*forecastSeconds)) : std::nullopt));
    ui->energyForecastCaption->setVisible(fast);
    ui->energyForecastLabel->setVisible(fast);
    ui->scrollContents->updateGeometry();
    setMinimumSize(0, 0);
    resize(sizeHint());
    fitWindowToScreen(*this);
}

void ResultsWindow::showEvent(QShowEvent* event)
{
    fitWindowToScreen(*this);
    QDialog::showEvent(event);
}

void ResultsWindow::sendReport()
{
    const QString file = m_reportFolder + QLatin1Char('/') + ui->reportFileLabel->text();
    openOrShowAddress(m_opener,
        QUrl(reportMailUrl(m_reportFolder, ui->reportFileLabel->text()), QUrl::TolerantMode),
        phrase("Mail the report file to %1:\n%2").arg(site::supportMailbox(), file), this);
}

void ResultsWindow::saveChart()
{
    Q_EMIT saveGraphRequested();
}

void ResultsWindow::openReportFolder()
{
    openOrShowAddress(m_opener, QUrl::fromLocalFile(m_reportFolder), m_reportFolder, this);
}

} // namespace ampero
