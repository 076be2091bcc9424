// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QString>
#include <QStringList>
#include <QUrl>

namespace ampero {

// The desktop's handler for web pages, mailto links and folders.
class UrlOpener {
public:
    virtual ~UrlOpener() = default;
    // Hands url to the desktop as it is; false when nothing could open it.
    virtual bool openUrl(const QUrl& url) = 0;
};

// Records what it was asked to open, for tests.
class FakeUrlOpener final : public UrlOpener {
public:
    bool openUrl(const QUrl& url) override
    {
        opened.append(url.toString(QUrl::FullyEncoded));
        return result;
    }
    QStringList opened;
    bool result = true;
};

} // namespace ampero
