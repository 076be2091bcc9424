// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/uStartTest.h"

#include "ui/versioninfo.h"
#include "ui_uStartTest.h"

namespace ampero {

TfStartTest::TfStartTest(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
    , ui(std::make_unique<Ui::TfStartTest>())
{
    installUiFontSubstitutes();
    ui->setupUi(this);
    connect(ui->Button1, &QPushButton::clicked, this, [this] { done(StartResult); });
    connect(ui->CancelBut, &QPushButton::clicked, this, [this] { done(CancelResult); });
    ui->CancelBut->setFocus(Qt::OtherFocusReason);
}

TfStartTest::~TfStartTest() = default;

void TfStartTest::setTexts(const QString& modeText, const QString& loadText)
{
    ui->TestModeLabel->setText(modeText);
    ui->BurnStatus->setText(loadText);
}

void TfStartTest::reject()
{
    done(CancelResult);
}

} // namespace ampero
