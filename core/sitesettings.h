// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program's addresses on the web, kept in this one place.
#include <QString>

namespace ampero::site {

// Host of the update server; the version file is https://HOST/update/ampero.ver.
// AMPERO_UPDATE_HOST (host or host:port) overrides it for tests and mirrors,
// over plain HTTP (a local test server has no certificate).
inline QString updateHost()
{
    return QStringLiteral("www.orvex.example");
}

// The author's web page (about window); the help page is this + "/ampero/".
inline QString authorPage()
{
    return QStringLiteral("https://www.orvex.example");
}

// The support mailbox that results reports are mailed to.
inline QString supportMailbox()
{
    return QStringLiteral("support@orvex.example");
}

} // namespace ampero::site
