// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/versioninfo.h"

#include "version.h"

// The icons and the busy animation are compiled into this static library;
// registering them here keeps the linker from dropping them.
static void initUiResources()
{
    Q_INIT_RESOURCE(resources);
}

namespace ampero {

VersionInfo versionInfoFrom(uint16_t major, uint16_t minor, uint16_t release, uint16_t build)
{
    return { QString::number(major), QString::number(minor), QString::number(release),
        QString::number(build) };
}

VersionInfo readVersionInfo()
{
    return versionInfoFrom(
        AMPERO_VERSION_MAJOR, AMPERO_VERSION_MINOR, AMPERO_VERSION_RELEASE, AMPERO_VERSION_BUILD);
}

QString applicationTitle(const VersionInfo& version)
{
    return QStringLiteral("Orvex Ampero ") + version.major + QLatin1Char('.') + version.minor;
}

void registerUiResources()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    initUiResources();
}

} // namespace ampero
