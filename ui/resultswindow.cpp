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
#include "ui_resultswindow.h"

#include <QBoxLayout>
#include <QFormLayout>
#include <QGridLayout>
#include <QUrl>

namespace ampero {

ResultsWindow::ResultsWindow(UrlOpener& opener, QWidget* parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::ResultsWindow>())
    , m_opener(opener)
{
    ui->setupUi(this);
    // A fixed dialog with only the close button in its title bar.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
        | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
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
    // Below "By test results", in the group's own layout where it has one.
    if (auto* grid = qobject_cast<QGridLayout*>(group->layout())) {
        const int row = grid->rowCount();
        grid->addWidget(m_fullLifeCaption, row, 0);
        grid->addWidget(m_fullLifeLabel, row, 1);
        grid->addWidget(m_remarkLabel, row + 1, 0, 1, -1);
    } else if (auto* form = qobject_cast<QFormLayout*>(group->layout())) {
        form->addRow(m_fullLifeCaption, m_fullLifeLabel);
        form->addRow(m_remarkLabel);
    } else if (auto* box = qobject_cast<QBoxLayout*>(group->layout())) {
        auto* row = new QHBoxLayout;
        row->addWidget(m_fullLifeCaption);
        row->addWidget(m_fullLifeLabel, 1);
        box->addLayout(row);
        box->addWidget(m_remarkLabel);
    } else {
        const QRect caption = ui->testForecastCaption->geometry();
        const int top = caption.y() + 19;
        m_fullLifeCaption->setGeometry(
            caption.x(), top, m_fullLifeCaption->sizeHint().width(), caption.height());
        const int left = m_fullLifeCaption->geometry().right() + 4;
        m_fullLifeLabel->setGeometry(
            left, top, ui->testForecastLabel->geometry().right() + 1 - left, caption.height());
        m_timeGroupHeight = group->height();
        m_remarkLabel->setGeometry(
            caption.x(), top + 19, ui->testForecastLabel->geometry().right() + 1 - caption.x(), 28);
    }
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
    ui->loadLabel->setText(loadText(e.noLoad));
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
    if (ui->batteryTimeGroup->layout())
        return;
    // Fixed geometry: the group grows by the new rows, and what lies below
    // it moves down with its edge.
    const int grown = 19 + (remark.isEmpty() ? 0 : m_remarkLabel->height() + 4);
    const int shift = grown - m_timeGrown;
    ui->batteryTimeGroup->setFixedHeight(m_timeGroupHeight + grown);
    for (QWidget* w : { static_cast<QWidget*>(ui->markGroup), static_cast<QWidget*>(ui->energyGroup) })
        w->move(w->x(), w->y() + shift);
    for (QPushButton* button :
        { ui->closeButton, ui->sendReportButton, ui->saveGraphButton, ui->openReportFolderButton })
        button->move(button->x(), button->y() + shift);
    m_timeGrown = grown;
}

void ResultsWindow::showEnergy(const ResultsEvaluation& e)
{
    // The energy group sits below the others; the window grows by its
    // height and the buttons, kept at the bottom, move down with the edge.
    const bool fast = e.mode == modeByte(TestMode::Fast);
    const int height = e.hasCompanion ? (fast ? 100 : 81) : 0;
    const int grown = height > 0 ? height + 6 : 0;
    ui->energyGroup->setVisible(e.hasCompanion);
    if (e.hasCompanion)
        ui->energyGroup->setFixedHeight(height);
    const auto& forecastSeconds = e.energy.energyForecastSeconds;
    ui->averagePowerLabel->setText(wattsText(e.energy.averagePowerW));
    ui->energyUsedLabel->setText(wattHoursText(e.energy.energyUsedWh));
    ui->healthLabel->setText(percentText(e.batteryHealth));
    ui->energyForecastLabel->setText(
        durationText(forecastSeconds ? std::optional(toDays(*forecastSeconds)) : std::nullopt));
    ui->energyForecastCaption->setVisible(fast);
    ui->energyForecastLabel->setVisible(fast);
    const int shift = grown - m_grown;
    for (QPushButton* button :
        { ui->closeButton, ui->sendReportButton, ui->saveGraphButton, ui->openReportFolderButton })
        button->move(button->x(), button->y() + shift);
    m_grown = grown;
    setFixedSize(320, 282 + m_timeGrown + grown);
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
