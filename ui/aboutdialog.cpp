// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/aboutdialog.h"

#include "core/phrases.h"
#include "core/sitesettings.h"
#include "platform/urlopener.h"
#include "ui/addressfallback.h"
#include "ui/modalwindow.h"
#include "ui_aboutdialog.h"

#include <QFile>
#include <QIcon>
#include <QMessageBox>
#include <QUrl>

namespace ampero {

AboutDialog::AboutDialog(const VersionInfo& version, UrlOpener* urlOpener, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
    , ui(std::make_unique<Ui::AboutDialog>())
    , m_urlOpener(urlOpener)
{
    registerUiResources();
    ui->setupUi(this);
    // The copyright wraps at about the width it always had, in any font.
    ui->copyrightLabel->setMinimumWidth(fontMetrics().averageCharWidth() * 34);
    ui->programIcon->setPixmap(QIcon(QStringLiteral(":/icons/ampero.svg")).pixmap(32, 32));
    if (ui->programIcon->pixmap().isNull())
        ui->programIcon->setPixmap(QPixmap(QStringLiteral(":/icons/ampero-32.png")));
    ui->programNameLabel->setText(QStringLiteral("Orvex Ampero"));
    // The name a little larger than the text, in the desktop's own font.
    QFont nameFont = ui->programNameLabel->font();
    nameFont.setPointSizeF(nameFont.pointSizeF() * 1.25);
    ui->programNameLabel->setFont(nameFont);
    ui->versionLabel->setText(version.major + QLatin1Char('.') + version.minor);
    ui->buildLabel->setText(QLatin1Char('#') + version.build);
    // Every desktop this runs on shows links, so the page is always one.
    const QString page = site::authorPage();
    ui->linkLabel->setText(
        QStringLiteral("<a href=\"") + page + QStringLiteral("\">") + page + QStringLiteral("</a>"));
    // The link is reached with Tab, but a click on it leaves the keyboard
    // focus where it was: Enter keeps pressing OK rather than opening the
    // page again. (Keyboard-accessible links make a label take focus on a
    // click otherwise.)
    ui->linkLabel->setFocusPolicy(Qt::TabFocus);
    connect(ui->linkLabel, &QLabel::linkActivated, this, &AboutDialog::openLink);
    ui->copyrightLabel->setFocusPolicy(Qt::TabFocus);
    connect(ui->copyrightLabel, &QLabel::linkActivated, this, &AboutDialog::showLicence);
    connect(ui->okButton, &QPushButton::clicked, this, [this] { done(1); });
    ui->okButton->setFocus(Qt::OtherFocusReason);
}

AboutDialog::~AboutDialog() = default;

void AboutDialog::openLink(const QString& link)
{
    // A desktop that cannot open it shows the address instead.
    if (m_urlOpener)
        openOrShowAddress(*m_urlOpener, QUrl(link, QUrl::StrictMode), link, this);
    // Opened from the keyboard too, the page is opened once: Enter is OK's again.
    ui->okButton->setFocus(Qt::OtherFocusReason);
}

void AboutDialog::showLicence()
{
    QFile file(QStringLiteral(":/LICENSE"));
    const QString text = file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    auto* box = new QMessageBox(QMessageBox::Information, phrase("Licence"),
        phrase(
            "Orvex Ampero is free software: you can redistribute it and/or modify it under the terms of "
            "the GNU General Public License as published by the Free Software Foundation, either version 3 "
            "of the License, or (at your option) any later version. Show Details... shows its text."),
        QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("LicenceBox"));
    box->setDetailedText(text);
    openModalOnce(box);
    ui->okButton->setFocus(Qt::OtherFocusReason);
}

} // namespace ampero
