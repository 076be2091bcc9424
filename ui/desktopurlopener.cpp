// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/desktopurlopener.h"

#include <QDesktopServices>

namespace ampero {

bool DesktopUrlOpener::openUrl(const QUrl& url)
{
    return QDesktopServices::openUrl(url);
}

} // namespace ampero
