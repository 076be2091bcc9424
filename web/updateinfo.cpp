// SPDX-License-Identifier: GPL-3.0-or-later
#include "web/updateinfo.h"

#include "version.h"

#include <QCoreApplication>
#include <QUrl>
#include <algorithm>
#include <array>
#include <cstring>

namespace ampero {

UpdateInfo parseUpdateInfo(const QByteArray& data)
{
    // A zeroed record, then one copy of what the file gave, at most the record.
    std::array<unsigned char, kUpdateInfoSize> record {};
    const auto count = static_cast<std::size_t>(std::min<qsizetype>(data.size(), kUpdateInfoSize));
    if (count > 0)
        std::memcpy(record.data(), data.constData(), count);

    UpdateInfo info;
    info.newMajor = record[0];
    info.newMinor = record[1];
    info.newRelease = record[2];
    info.newBuild = record[3];
    const int length = std::min<int>(record[4], kDownloadUrlMax);
    // Bytes past the end of the file are zero in the record and belong to the
    // text like any other; a short file thus gives NULs, which never make an
    // openable address.
    info.downloadUrl = QString::fromLatin1(reinterpret_cast<const char*>(record.data()) + 5, length);
    return info;
}

ProgramVersion runningVersion()
{
    return ProgramVersion { AMPERO_VERSION_MAJOR, AMPERO_VERSION_MINOR, AMPERO_VERSION_RELEASE,
        AMPERO_VERSION_BUILD };
}

bool isNewerVersion(const UpdateInfo& server, const ProgramVersion& running)
{
    if (server.newMajor != running.major)
        return server.newMajor > running.major;
    if (server.newMinor != running.minor)
        return server.newMinor > running.minor;
    if (server.newRelease != running.release)
        return server.newRelease > running.release;
    return server.newBuild > running.build;
}

QString updateQuestionText(const UpdateInfo& server)
{
    return QCoreApplication::translate(
        "ampero", "A new version is available: %1.%2.%3 build #%4. Download it?")
        .arg(server.newMajor)
        .arg(server.newMinor)
        .arg(server.newRelease)
        .arg(server.newBuild);
}

QString noUpdateText()
{
    return QCoreApplication::translate(
        "ampero", "You are running the latest version. No update is available.");
}

QString updateCaption()
{
    return QCoreApplication::translate("ampero", "Update");
}

bool isOpenableDownloadUrl(const QString& text)
{
    if (text.isEmpty())
        return false;
    // Control characters (NULs of a short file among them) and blanks around
    // the address mean it is not one as written.
    for (const QChar c : text)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            return false;
    if (text.trimmed() != text)
        return false;
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || url.isRelative())
        return false;
    const QString scheme = url.scheme().toLower();
    return (scheme == u"http" || scheme == u"https") && !url.host().isEmpty();
}

} // namespace ampero
