// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/resultswindow.h"

#include "core/phrases.h"
#include "core/sitesettings.h"
#include "core/testmode.h"
#include "platform/urlopener.h"
#include "results/evaluation.h"
#include "ui/addressfallback.h"
#include "ui/windowfit.h"
#include "ui_resultswindow.h"

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
    // The energy group sits below the others; the window takes the height
    // it needs, up to its screen's, and scrolls the groups beyond that.
    const bool fast = e.mode == modeByte(TestMode::Fast);
    ui->energyGroup->setVisible(e.hasCompanion);
    ui->averagePowerLabel->setText(e.averagePowerText);
    ui->energyUsedLabel->setText(e.energyUsedText);
    ui->healthLabel->setText(e.batteryHealthText);
    ui->energyForecastLabel->setText(e.energyForecastText);
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
