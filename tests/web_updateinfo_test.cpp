// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/testutil.h"
#include "web/updatecheck.h"
#include "web/updateinfo.h"

#include <array>
#include <gtest/gtest.h>

using namespace ampero;

void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}
using ampero::test::bytes;

namespace {

QByteArray record(int major, int minor, int release, int build, const QByteArray& url)
{
    return bytes({ major, minor, release, build, static_cast<int>(url.size()) }) + url;
}

} // namespace

TEST(UpdateRecord, ReadsVersionAndDownloadUrl)
{
    const UpdateInfo info = parseUpdateInfo(record(1, 2, 0, 30, "http://dl.example/a%20b"));
    EXPECT_EQ(info.newMajor, 1);
    EXPECT_EQ(info.newMinor, 2);
    EXPECT_EQ(info.newRelease, 0);
    EXPECT_EQ(info.newBuild, 30);
    EXPECT_EQ(info.downloadUrl, QStringLiteral("http://dl.example/a%20b"));
}

TEST(UpdateRecord, ShortFilesLeaveTheRestZero)
{
    const UpdateInfo empty = parseUpdateInfo(QByteArray());
    EXPECT_EQ(empty.newMajor + empty.newMinor + empty.newRelease + empty.newBuild, 0);
    EXPECT_TRUE(empty.downloadUrl.isEmpty());

    const UpdateInfo four = parseUpdateInfo(bytes({ 2, 0, 0, 0 }));
    EXPECT_EQ(four.newMajor, 2);
    EXPECT_TRUE(four.downloadUrl.isEmpty());

    // The length claims more than the file holds: the missing bytes read as
    // zero, and such a text is never an address the program opens.
    const UpdateInfo cut = parseUpdateInfo(bytes({ 1, 1, 1, 24, 20 }) + "http://a.b");
    EXPECT_EQ(cut.downloadUrl.size(), 20);
    EXPECT_EQ(cut.downloadUrl.left(10), QStringLiteral("http://a.b"));
    EXPECT_EQ(cut.downloadUrl.at(10), QChar(0));
    EXPECT_FALSE(isOpenableDownloadUrl(cut.downloadUrl));
}

TEST(UpdateRecord, NeverReadsPastTheRecord)
{
    // Length 255 with 300 bytes of text: only the 251 the record holds.
    const QByteArray text = "http://x.example/" + QByteArray(300 - 17, 'a');
    const UpdateInfo info = parseUpdateInfo(bytes({ 1, 1, 1, 24, 255 }) + text);
    ASSERT_EQ(info.downloadUrl.size(), kDownloadUrlMax);
    EXPECT_EQ(info.downloadUrl, QString::fromLatin1(text.left(kDownloadUrlMax)));

    // A length of 255 in a record of exactly 256 bytes.
    const UpdateInfo exact = parseUpdateInfo(bytes({ 0, 0, 0, 0, 255 }) + QByteArray(251, 'z'));
    EXPECT_EQ(exact.downloadUrl, QString(251, u'z'));

    // Bytes after the 256th do not change anything.
    const QByteArray base = record(1, 2, 3, 4, "http://h.example/");
    QByteArray padded = base + QByteArray(kUpdateInfoSize - base.size(), '\0');
    EXPECT_EQ(parseUpdateInfo(padded + "trailing garbage").downloadUrl, parseUpdateInfo(padded).downloadUrl);
}

TEST(UpdateRecord, DownloadUrlBytesAreLatin1)
{
    const UpdateInfo info = parseUpdateInfo(record(1, 1, 1, 24, QByteArray("http://h.example/\xe9\xfc", 19)));
    EXPECT_EQ(info.downloadUrl, QString::fromUtf8("http://h.example/\u00e9\u00fc"));
}

// The comparison against 1.1.1.23 is checked end to end in web_updatecheck_test.
TEST(VersionCompare, RunningIsThisBuild)
{
    const ProgramVersion v = runningVersion();
    EXPECT_EQ(QStringLiteral("%1.%2.%3.%4").arg(v.major).arg(v.minor).arg(v.release).arg(v.build),
        QStringLiteral("1.1.1.23"));
}

TEST(VersionCompare, ServerPartsAreEightBit)
{
    // A running build above 255 is never behind a server with the same first parts.
    const UpdateInfo top = parseUpdateInfo(bytes({ 1, 1, 1, 255 }));
    EXPECT_FALSE(isNewerVersion(top, ProgramVersion { 1, 1, 1, 300 }));
    EXPECT_TRUE(isNewerVersion(top, ProgramVersion { 1, 1, 1, 254 }));
}

TEST(UpdateTexts, QuestionAndMessage)
{
    const struct {
        std::array<int, 4> version;
        const char* text;
    } rows[] = {
        { { 1, 2, 0, 30 }, "A new version is available: 1.2.0 build #30. Download it?" },
        { { 2, 0, 0, 0 }, "A new version is available: 2.0.0 build #0. Download it?" },
        { { 255, 255, 255, 255 }, "A new version is available: 255.255.255 build #255. Download it?" },
    };
    for (const auto& row : rows)
        EXPECT_EQ(updateQuestionText(parseUpdateInfo(
                      bytes({ row.version[0], row.version[1], row.version[2], row.version[3] }))),
            QString::fromLatin1(row.text));
    EXPECT_EQ(noUpdateText(), QStringLiteral("You are running the latest version. No update is available."));
    EXPECT_EQ(updateCaption(), QStringLiteral("Update"));
}

TEST(DownloadUrl, OnlyAbsoluteWebAddressesAreOpened)
{
    const struct {
        const char* text;
        bool openable;
    } rows[] = {
        { "http://www.orvex.example/download/", true },
        { "https://www.orvex.example/get?v=1.2", true },
        { "HTTPS://WWW.ORVEX.EXAMPLE/", true },
        { "http://127.0.0.1:8080/a%20b", true },
        { "", false },
        { "javascript:alert(1)", false },
        { "file:///etc/passwd", false },
        { "ftp://www.orvex.example/", false },
        { "mailto:x@orvex.example", false },
        { "www.orvex.example/download", false },
        { "/usr/bin/xterm -e rm -rf ~", false },
        { "http:///nohost", false },
        { "http://a b/", false },
        { " http://lead.example/", false },
        { "http://x.example/\x1b[2J", false },
    };
    for (const auto& row : rows)
        EXPECT_EQ(isOpenableDownloadUrl(QString::fromLatin1(row.text)), row.openable) << row.text;
}

TEST(UpdateAddresses, VersionFileHelpPageAndPrefix)
{
    EXPECT_EQ(versionFileUrlFor(QStringLiteral("updates.example")),
        QStringLiteral("http://updates.example/update/ampero.ver"));
    EXPECT_EQ(versionFileUrlFor(QStringLiteral("127.0.0.1:8080")),
        QStringLiteral("http://127.0.0.1:8080/update/ampero.ver"));
    for (const char* bad :
        { "", "a b", "host/path", "user@host", "host?q", "host:99999", "host#x", "h\xc3\xa9" }) {
        QString error;
        EXPECT_TRUE(versionFileUrlFor(QString::fromUtf8(bad), &error).isEmpty()) << bad;
        EXPECT_FALSE(error.isEmpty()) << bad;
    }
    EXPECT_EQ(helpPageUrl(), QStringLiteral("https://www.orvex.example/ampero/"));

    EXPECT_EQ(withHttpPrefix(QStringLiteral("host.example/x")), QStringLiteral("http://host.example/x"));
    EXPECT_EQ(
        withHttpPrefix(QStringLiteral("http://host.example/x")), QStringLiteral("http://host.example/x"));
    EXPECT_EQ(
        withHttpPrefix(QStringLiteral("HTTP://Host.example/X")), QStringLiteral("HTTP://Host.example/X"));
    EXPECT_EQ(
        withHttpPrefix(QStringLiteral("https://host.example/")), QStringLiteral("https://host.example/"));
}

TEST(UpdateAddresses, EnvironmentOverridesTheHost)
{
    const QByteArray saved = qgetenv("AMPERO_UPDATE_HOST");
    const bool wasSet = qEnvironmentVariableIsSet("AMPERO_UPDATE_HOST");
    qunsetenv("AMPERO_UPDATE_HOST");
    EXPECT_EQ(versionFileUrl(), QStringLiteral("https://www.orvex.example/update/ampero.ver"));
    qputenv("AMPERO_UPDATE_HOST", "mirror.example:81");
    EXPECT_EQ(versionFileUrl(), QStringLiteral("http://mirror.example:81/update/ampero.ver"));
    qputenv("AMPERO_UPDATE_HOST", "evil.example/x?");
    QString error;
    EXPECT_TRUE(versionFileUrl(&error).isEmpty());
    EXPECT_NE(error.indexOf(QStringLiteral("evil.example/x?")), -1);
    if (wasSet)
        qputenv("AMPERO_UPDATE_HOST", saved);
    else
        qunsetenv("AMPERO_UPDATE_HOST");
}
