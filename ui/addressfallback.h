// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "platform/urlopener.h"

#include <QString>
#include <QUrl>

class QWidget;

namespace ampero {

// Hands url to the desktop. When nothing there can open it, a message over
// parent says so and shows `shown` (the address or the folder) as selectable
// text, so the user can open it by hand; it opens and this returns. Returns
// whether the desktop took the url.
bool openOrShowAddress(UrlOpener& opener, const QUrl& url, const QString& shown, QWidget* parent);

// The desktop's opener with that fallback: an address the desktop cannot
// open is shown over parent. For code that opens addresses it is handed
// (the download page of the update check).
class AddressFallbackOpener final : public UrlOpener {
public:
    AddressFallbackOpener(UrlOpener& opener, QWidget* parent)
        : m_opener(opener)
        , m_parent(parent)
    {
    }
    bool openUrl(const QUrl& url) override
    {
        return openOrShowAddress(m_opener, url, url.toString(QUrl::FullyEncoded), m_parent);
    }

private:
    UrlOpener& m_opener;
    QWidget* m_parent;
};

} // namespace ampero
