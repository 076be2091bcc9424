// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QString>
#include <QUrl>

class QWidget;

namespace ampero {

class UrlOpener;

// Hands url to the desktop. When nothing there can open it, a message over
// parent says so and shows `shown` (the address or the folder) as selectable
// text, so the user can open it by hand; it opens and this returns. Returns
// whether the desktop took the url.
bool openOrShowAddress(UrlOpener& opener, const QUrl& url, const QString& shown, QWidget* parent);

} // namespace ampero
