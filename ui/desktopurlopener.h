// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "platform/urlopener.h"

namespace ampero {

// Opens URLs with the desktop's handler (xdg-open or the desktop portal).
class DesktopUrlOpener final : public UrlOpener {
public:
    bool openUrl(const QUrl& url) override;
};

} // namespace ampero
