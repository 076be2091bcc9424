// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/uAbout.h"

#include "core/sitesettings.h"
#include "platform/urlopener.h"
#include "ui_uAbout.h"

#include <QIcon>
#include <QUrl>

namespace ampero {

TfAbout::TfAbout(const VersionInfo& version, UrlOpener* urlOpener, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
    , ui(std::make_unique<Ui::TfAbout>())
    , m_urlOpener(urlOpener)
{
    installUiFontSubstitutes();
    ui->setupUi(this);
    ui->ProgramIcon->setPixmap(QIcon(QStringLiteral(":/icons/ampero.svg")).pixmap(32, 32));
    if (ui->ProgramIcon->pixmap().isNull())
        ui->ProgramIcon->setPixmap(QPixmap(QStringLiteral(":/icons/ampero-32.png")));
    ui->ProgramNameLabel->setText(QStringLiteral("Orvex Ampero"));
    ui->ProgramVersionLabel->setText(version.major + QLatin1Char('.') + version.minor);
    ui->ProgramBuildLabel->setText(QLatin1Char('#') + version.build);
    // Every desktop this runs on shows links, so the page is always one.
    const QString page = site::authorPage();
    ui->LinkLabel1->setText(
        QStringLiteral("<a href=\"") + page + QStringLiteral("\">") + page + QStringLiteral("</a>"));
    // The link is reached with Tab, but a click on it leaves the keyboard
    // focus where it was: Enter keeps pressing OK rather than opening the
    // page again. (Keyboard-accessible links make a label take focus on a
    // click otherwise.)
    ui->LinkLabel1->setFocusPolicy(Qt::TabFocus);
    connect(ui->LinkLabel1, &QLabel::linkActivated, this, &TfAbout::LinkLabel1LinkClick);
    connect(ui->OKBut, &QPushButton::clicked, this, [this] { done(1); });
    ui->OKBut->setFocus(Qt::OtherFocusReason);
}

TfAbout::~TfAbout() = default;

void TfAbout::LinkLabel1LinkClick(const QString& link)
{
    // Whether the desktop could open it is not reported.
    if (m_urlOpener)
        m_urlOpener->openUrl(QUrl(link, QUrl::StrictMode));
    // Opened from the keyboard too, the page is opened once: Enter is OK's again.
    ui->OKBut->setFocus(Qt::OtherFocusReason);
}

} // namespace ampero
