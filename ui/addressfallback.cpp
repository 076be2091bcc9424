// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/addressfallback.h"

#include "core/phrases.h"
#include "platform/urlopener.h"
#include "ui/modalwindow.h"

#include <QMessageBox>

namespace ampero {

bool openOrShowAddress(UrlOpener& opener, const QUrl& url, const QString& shown, QWidget* parent)
{
    if (opener.openUrl(url))
        return true;
    auto* box = new QMessageBox(QMessageBox::Information, QStringLiteral("Orvex Ampero"),
        phrase("No program on this desktop could open it. You can open it by hand:") + QStringLiteral("\n\n")
            + shown,
        QMessageBox::Ok, parent);
    box->setObjectName(QStringLiteral("AddressBox"));
    box->setTextFormat(Qt::PlainText);
    box->setTextInteractionFlags(Qt::TextSelectableByMouse);
    openModalOnce(box);
    return false;
}

} // namespace ampero
