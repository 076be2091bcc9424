// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/uResults.h"

#include "core/testmode.h"
#include "platform/urlopener.h"
#include "results/evaluation.h"
#include "ui_uResults.h"

#include <QUrl>

namespace ampero {

TfResults::TfResults(UrlOpener& opener, QWidget* parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::TfResults>())
    , m_opener(opener)
{
    ui->setupUi(this);
    // A fixed dialog with only the close button in its title bar.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
        | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    connect(ui->Button1, &QPushButton::clicked, this, &TfResults::Button1Click);
    connect(ui->Button2, &QPushButton::clicked, this, &TfResults::Button2Click);
    connect(ui->Button3, &QPushButton::clicked, this, &TfResults::Button3Click);
}

TfResults::~TfResults() = default;

void TfResults::showEvaluation(const ResultsEvaluation& e)
{
    ui->ResultsFileName->setText(e.fileName);
    m_reportFolder = e.reportFolder;
    ui->TestModeLabel->setText(e.modeText);
    ui->BurnStatus->setText(e.loadText);
    ui->WinBatteryLifeTime->setText(e.forecastText);
    ui->MarkLabel->setText(e.markText);
    ui->BatteryLifeTime->setText(e.batteryLifeText);
    setWindowTitle(e.complete ? tr("Testing results") : tr("Testing results") + tr(" (incomplete)"));
    showEnergy(e);
}

void TfResults::showEnergy(const ResultsEvaluation& e)
{
    // The energy group sits below the others; the window grows by its
    // height and the buttons, kept at the bottom, move down with the edge.
    const bool fast = e.mode == modeByte(TestMode::Fast);
    const int height = e.hasCompanion ? (fast ? 100 : 81) : 0;
    const int grown = height > 0 ? height + 6 : 0;
    ui->GroupBox5->setVisible(e.hasCompanion);
    if (e.hasCompanion)
        ui->GroupBox5->setFixedHeight(height);
    ui->AveragePowerLabel->setText(e.averagePowerText);
    ui->EnergyUsedLabel->setText(e.energyUsedText);
    ui->BatteryHealthLabel->setText(e.batteryHealthText);
    ui->EnergyForecastLabel->setText(e.energyForecastText);
    ui->Label9->setVisible(fast);
    ui->EnergyForecastLabel->setVisible(fast);
    const int shift = grown - m_grown;
    for (QPushButton* button : { ui->CancelBut, ui->Button1, ui->Button2, ui->Button3 })
        button->move(button->x(), button->y() + shift);
    m_grown = grown;
    setFixedSize(320, 282 + grown);
}

void TfResults::Button1Click()
{
    m_opener.openUrl(QUrl(reportMailUrl(m_reportFolder, ui->ResultsFileName->text()), QUrl::TolerantMode));
}

void TfResults::Button2Click()
{
    Q_EMIT saveGraphRequested();
}

void TfResults::Button3Click()
{
    m_opener.openUrl(QUrl::fromLocalFile(m_reportFolder));
}

} // namespace ampero
