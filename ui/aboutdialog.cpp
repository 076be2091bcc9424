// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/aboutdialog.h"

#include "core/sitesettings.h"
#include "platform/urlopener.h"
#include "ui_aboutdialog.h"

#include <QIcon>
#include <QUrl>

namespace ampero {

AboutDialog::AboutDialog(const VersionInfo& version, UrlOpener* urlOpener, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
    , ui(std::make_unique<Ui::AboutDialog>())
    , m_urlOpener(urlOpener)
{
    installUiFontSubstitutes();
    ui->setupUi(this);
    ui->programIcon->setPixmap(QIcon(QStringLiteral(":/icons/ampero.svg")).pixmap(32, 32));
    if (ui->programIcon->pixmap().isNull())
        ui->programIcon->setPixmap(QPixmap(QStringLiteral(":/icons/ampero-32.png")));
    ui->programNameLabel->setText(QStringLiteral("Orvex Ampero"));
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
    connect(ui->okButton, &QPushButton::clicked, this, [this] { done(1); });
    ui->okButton->setFocus(Qt::OtherFocusReason);
}

AboutDialog::~AboutDialog() = default;

void AboutDialog::openLink(const QString& link)
{
    // Whether the desktop could open it is not reported.
    if (m_urlOpener)
        m_urlOpener->openUrl(QUrl(link, QUrl::StrictMode));
    // Opened from the keyboard too, the page is opened once: Enter is OK's again.
    ui->okButton->setFocus(Qt::OtherFocusReason);
}

} // namespace ampero
