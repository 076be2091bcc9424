// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The running program's version texts and the titles made from them.
#include <QString>
#include <cstdint>

namespace ampero {

// Each part in decimal without leading zeros ("0" for zero).
struct VersionInfo {
    QString major; // VersionMajor
    QString minor; // VersionMinor
    QString release; // VersionRelease: shown nowhere, compared by the update check
    QString build; // VersionBuild
};

VersionInfo versionInfoFrom(uint16_t major, uint16_t minor, uint16_t release, uint16_t build);

// The version compiled into this program (1.1.1.23).
VersionInfo readVersionInfo();

// "Orvex Ampero " + major + "." + minor: the application and main window title.
QString applicationTitle(const VersionInfo& version);

// Registers the windows' compiled-in images. Every window calls it.
void registerUiResources();

} // namespace ampero
