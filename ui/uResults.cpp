// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/uResults.h"

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
