// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The version file of the update server and how it compares with the running
// program.
#include <QByteArray>
#include <QString>
#include <cstdint>

namespace ampero {

// Size of the version file's record; bytes after it are never read.
inline constexpr int kUpdateInfoSize = 256;
// The most DownloadUrl can hold: the record less the four version bytes and
// the length byte.
inline constexpr int kDownloadUrlMax = kUpdateInfoSize - 5;

// The version file: four version bytes, a length byte n, then n bytes of the
// download page's address.
struct UpdateInfo {
    std::uint8_t newMajor = 0;
    std::uint8_t newMinor = 0;
    std::uint8_t newRelease = 0;
    std::uint8_t newBuild = 0;
    // Latin-1 text, at most kDownloadUrlMax characters; empty when the file
    // ends before it.
    QString downloadUrl;
};

// Reads the record from the first kUpdateInfoSize bytes of data. Missing
// bytes count as zero; a length byte above what the record holds stops at the
// record's end.
UpdateInfo parseUpdateInfo(const QByteArray& data);

// A program version: major.minor.release.build.
struct ProgramVersion {
    unsigned major = 0;
    unsigned minor = 0;
    unsigned release = 0;
    unsigned build = 0;
};

// The version of this program (from the build).
ProgramVersion runningVersion();

// True when the server's version is above running: the first part that
// differs decides.
bool isNewerVersion(const UpdateInfo& server, const ProgramVersion& running);

// "A new version is available: 1.2.0 build #30. Download it?"
QString updateQuestionText(const UpdateInfo& server);
// "You are running the latest version. No update is available."
QString noUpdateText();
// "Update": the caption of both message boxes.
QString updateCaption();

// True when text is an absolute http or https address with a host: the only
// kind of download page the program will open.
bool isOpenableDownloadUrl(const QString& text);

} // namespace ampero
