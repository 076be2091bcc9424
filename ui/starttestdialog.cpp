// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/starttestdialog.h"

#include "ui/versioninfo.h"
#include "ui_starttestdialog.h"

namespace ampero {

StartTestDialog::StartTestDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
    , ui(std::make_unique<Ui::StartTestDialog>())
{
    registerUiResources();
    ui->setupUi(this);
    // The texts wrap at about the width they always had, in any font.
    ui->introLabel->setMinimumWidth(fontMetrics().averageCharWidth() * 52);
    connect(ui->startButton, &QPushButton::clicked, this, [this] { done(StartResult); });
    connect(ui->cancelButton, &QPushButton::clicked, this, [this] { done(CancelResult); });
    connect(ui->brightnessCheck, &QCheckBox::toggled, ui->brightnessSpin, &QSpinBox::setEnabled);
    ui->cancelButton->setFocus(Qt::OtherFocusReason);
}

StartTestDialog::~StartTestDialog() = default;

void StartTestDialog::setTexts(const QString& modeText, const QString& loadText)
{
    ui->testModeLabel->setText(modeText);
    ui->loadLabel->setText(loadText);
}

std::optional<int> StartTestDialog::brightnessPercent() const
{
    if (!ui->brightnessCheck->isChecked())
        return std::nullopt;
    return ui->brightnessSpin->value();
}

void StartTestDialog::reject()
{
    done(CancelResult);
}

} // namespace ampero
