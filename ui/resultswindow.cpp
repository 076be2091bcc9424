// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/resultswindow.h"

#include "core/phrases.h"
#include "core/sitesettings.h"
#include "core/testmode.h"
#include "platform/urlopener.h"
#include "results/evaluation.h"
#include "ui/addressfallback.h"
#include "ui_resultswindow.h"

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
}

ResultsWindow::~ResultsWindow() = default;

void ResultsWindow::showEvaluation(const ResultsEvaluation& e)
{
    ui->reportFileLabel->setText(e.fileName);
    m_reportFolder = e.reportFolder;
    ui->testModeLabel->setText(e.modeText);
    ui->loadLabel->setText(e.loadText);
    ui->systemForecastLabel->setText(e.forecastText);
    ui->markLabel->setText(e.markText);
    ui->testForecastLabel->setText(e.batteryLifeText);
    setWindowTitle(e.complete ? tr("Testing results") : tr("Testing results") + tr(" (incomplete)"));
    showEnergy(e);
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
    ui->averagePowerLabel->setText(e.averagePowerText);
    ui->energyUsedLabel->setText(e.energyUsedText);
    ui->healthLabel->setText(e.batteryHealthText);
    ui->energyForecastLabel->setText(e.energyForecastText);
    ui->energyForecastCaption->setVisible(fast);
    ui->energyForecastLabel->setVisible(fast);
    const int shift = grown - m_grown;
    for (QPushButton* button :
        { ui->closeButton, ui->sendReportButton, ui->saveGraphButton, ui->openReportFolderButton })
        button->move(button->x(), button->y() + shift);
    m_grown = grown;
    setFixedSize(320, 282 + grown);
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
