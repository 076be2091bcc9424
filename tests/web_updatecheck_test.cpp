// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/net/qthttpclient.h"
#include "support/localhttpserver.h"
#include "support/testutil.h"
#include "web/updatecheck.h"

#include <QElapsedTimer>
#include <QTest>
#include <array>
#include <gtest/gtest.h>
#include <optional>

using namespace ampero;

void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}
using ampero::test::bytes;
using ampero::test::LocalHttpServer;

namespace {

const QByteArray kVersionPath = "/update/ampero.ver";
const ProgramVersion kRunning { 1, 1, 1, 23 };
const QString kLatest = QStringLiteral("You are running the latest version. No update is available.");

QByteArray record(const std::array<int, 4>& version, const QByteArray& url)
{
    return bytes({ version[0], version[1], version[2], version[3], static_cast<int>(url.size()) }) + url;
}

// One server, one client with a short time limit, and fakes for the windows.
class UpdateCheck : public testing::Test {
protected:
    // One whole check; returns once it is over.
    void check(const QString& url = {})
    {
        bool over = false;
        runUpdateCheck(http, prompts, opener,
            url.isEmpty() ? server.url(QString::fromLatin1(kVersionPath)) : url, kRunning,
            [&over] { over = true; });
        ASSERT_TRUE(QTest::qWaitFor([&] { return over; }, 15000));
    }
    bool reachable(const QString& url)
    {
        std::optional<bool> answer;
        checkUrlReachable(http, url, QDeadlineTimer(kHttpTimeLimitMs), [&answer](bool r) { answer = r; });
        EXPECT_TRUE(QTest::qWaitFor([&] { return answer.has_value(); }, 15000));
        return answer.value_or(false);
    }
    void expectNothingShown()
    {
        EXPECT_TRUE(prompts.shown.isEmpty()) << prompts.shown.value(0).text.toStdString();
        EXPECT_TRUE(opener.opened.isEmpty());
    }
    void expectOnlyMessage(const QString& kind, const QString& text)
    {
        ASSERT_EQ(prompts.shown.size(), 1);
        EXPECT_EQ(prompts.shown[0].kind, kind);
        EXPECT_EQ(prompts.shown[0].caption, QStringLiteral("Update"));
        EXPECT_EQ(prompts.shown[0].text, text);
    }

    LocalHttpServer server;
    QtHttpClient http { 1000 };
    FakeUpdatePrompts prompts;
    FakeUrlOpener opener;
};

struct OfferCase {
    const char* name;
    std::array<int, 4> version;
    const char* question; // null: no update
};

void PrintTo(const OfferCase& c, std::ostream* os)
{
    *os << c.name;
}

class UpdateOffer : public UpdateCheck, public testing::WithParamInterface<OfferCase> { };

TEST_P(UpdateOffer, ServerVersionAgainstRunning)
{
    server.serveFile(kVersionPath, record(GetParam().version, "https://www.orvex.example/download/"));
    check();
    if (GetParam().question) {
        expectOnlyMessage(QStringLiteral("question"), QString::fromLatin1(GetParam().question));
        EXPECT_EQ(opener.opened, QStringList { QStringLiteral("https://www.orvex.example/download/") });
    } else {
        expectOnlyMessage(QStringLiteral("info"), kLatest);
        EXPECT_TRUE(opener.opened.isEmpty());
    }
}

INSTANTIATE_TEST_SUITE_P(Versions, UpdateOffer,
    testing::Values(OfferCase { "same_1_1_1_23", { 1, 1, 1, 23 }, nullptr },
        OfferCase {
            "build_1_1_1_24", { 1, 1, 1, 24 }, "A new version is available: 1.1.1 build #24. Download it?" },
        OfferCase {
            "release_1_1_2_0", { 1, 1, 2, 0 }, "A new version is available: 1.1.2 build #0. Download it?" },
        OfferCase {
            "minor_1_2_0_0", { 1, 2, 0, 0 }, "A new version is available: 1.2.0 build #0. Download it?" },
        OfferCase {
            "major_2_0_0_0", { 2, 0, 0, 0 }, "A new version is available: 2.0.0 build #0. Download it?" },
        OfferCase { "question_1_2_0_30", { 1, 2, 0, 30 },
            "A new version is available: 1.2.0 build #30. Download it?" },
        OfferCase { "older_1_0_9_99", { 1, 0, 9, 99 }, nullptr },
        OfferCase { "older_0_255_255_255", { 0, 255, 255, 255 }, nullptr },
        OfferCase { "older_build_1_1_1_22", { 1, 1, 1, 22 }, nullptr },
        OfferCase { "older_release_1_1_0_255", { 1, 1, 0, 255 }, nullptr },
        OfferCase { "zero_record", { 0, 0, 0, 0 }, nullptr }),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(UpdateCheck, NoMeansTheDownloadPageStaysClosed)
{
    server.serveFile(kVersionPath, record({ 2, 0, 0, 0 }, "http://www.orvex.example/"));
    prompts.answer = false;
    check();
    expectOnlyMessage(QStringLiteral("question"),
        QStringLiteral("A new version is available: 2.0.0 build #0. Download it?"));
    EXPECT_TRUE(opener.opened.isEmpty());
}

TEST_F(UpdateCheck, ProbeAndDownloadIdentifyThemselves)
{
    server.serveFile(kVersionPath, record({ 1, 1, 1, 23 }, ""));
    check();
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2);
    EXPECT_EQ(requests[0].method, "GET");
    EXPECT_EQ(requests[0].path, kVersionPath);
    EXPECT_EQ(requests[0].userAgent, "InetURL:/1.0");
    EXPECT_EQ(requests[0].cacheControl, "no-cache");
    EXPECT_EQ(requests[1].path, kVersionPath);
    EXPECT_EQ(requests[1].userAgent, "Orvex Ampero");
}

TEST_F(UpdateCheck, UnreachableServersShowNothing)
{
    for (int status : { 301, 404, 500, 204, 403 }) {
        server.setResponse(kVersionPath,
            { LocalHttpServer::Response::Answer, status, record({ 9, 0, 0, 0 }, "http://x.example/"),
                "Location: /elsewhere\r\n" });
        check();
        expectNothingShown();
        EXPECT_FALSE(reachable(server.url(QString::fromLatin1(kVersionPath)))) << status;
    }
    // Only the probe was sent each time.
    for (const auto& r : server.requests())
        EXPECT_EQ(r.userAgent, "InetURL:/1.0");

    server.setResponse(kVersionPath, { LocalHttpServer::Response::HangUp, 0, {}, {} });
    check();
    expectNothingShown();

    const test::ClosedLocalPort closed;
    check(QStringLiteral("http://127.0.0.1:%1/update/ampero.ver").arg(closed.port()));
    expectNothingShown();
}

TEST_F(UpdateCheck, SilentServerShowsNothingWithinTheTimeLimit)
{
    server.setResponse(kVersionPath, { LocalHttpServer::Response::Silent, 0, {}, {} });
    QElapsedTimer clock;
    clock.start();
    check();
    const qint64 ms = clock.elapsed();
    expectNothingShown();
    EXPECT_GE(ms, 900);
    EXPECT_LT(ms, 5000);
}

TEST_F(UpdateCheck, RedirectIsReachableAndFollowedForTheDownload)
{
    server.setResponse(
        kVersionPath, { LocalHttpServer::Response::Answer, 302, {}, "Location: /mirror/ampero.ver\r\n" });
    server.serveFile("/mirror/ampero.ver", record({ 1, 1, 2, 0 }, "http://www.orvex.example/"));
    EXPECT_TRUE(reachable(server.url(QString::fromLatin1(kVersionPath))));
    check();
    expectOnlyMessage(QStringLiteral("question"),
        QStringLiteral("A new version is available: 1.1.2 build #0. Download it?"));
    EXPECT_EQ(opener.opened, QStringList { QStringLiteral("http://www.orvex.example/") });
}

TEST_F(UpdateCheck, ProbeAddsTheSchemeWhereMissing)
{
    server.serveFile(kVersionPath, QByteArray(4, '\0'));
    const QString withoutScheme = server.url(QString::fromLatin1(kVersionPath)).mid(7);
    EXPECT_TRUE(reachable(withoutScheme));
    EXPECT_TRUE(reachable(QStringLiteral("HTTP://") + withoutScheme));

    // A local file is no web server, whatever its address mentions.
    QTemporaryDir dir;
    const QString file = test::writeFile(dir, QStringLiteral("ampero.ver"), bytes({ 9, 0, 0, 0 }));
    EXPECT_FALSE(reachable(QStringLiteral("file://") + file + QStringLiteral("?http://")));
    EXPECT_EQ(server.requests().size(), 2);
}

TEST_F(UpdateCheck, ShortAndLongVersionFiles)
{
    // Four bytes: a version and no address; Yes opens nothing.
    server.serveFile(kVersionPath, bytes({ 1, 1, 1, 24 }));
    check();
    expectOnlyMessage(QStringLiteral("question"),
        QStringLiteral("A new version is available: 1.1.1 build #24. Download it?"));
    EXPECT_TRUE(opener.opened.isEmpty());

    // An empty file reads as 0.0.0.0: not newer.
    prompts.shown.clear();
    server.serveFile(kVersionPath, QByteArray());
    check();
    expectOnlyMessage(QStringLiteral("info"), kLatest);

    // Length byte 255 and a file of 4000 bytes: the address is the 251
    // characters the record holds, and nothing of the rest.
    prompts.shown.clear();
    const QByteArray address = "http://www.orvex.example/" + QByteArray(226, 'a');
    ASSERT_EQ(address.size(), kDownloadUrlMax);
    server.serveFile(kVersionPath, bytes({ 1, 2, 0, 0, 255 }) + address + QByteArray(4000, 'b'));
    check();
    expectOnlyMessage(QStringLiteral("question"),
        QStringLiteral("A new version is available: 1.2.0 build #0. Download it?"));
    EXPECT_EQ(opener.opened, QStringList { QString::fromLatin1(address) });
}

TEST_F(UpdateCheck, DownloadAnsweredWithAnErrorReadsAsNoVersion)
{
    // The probe sees a redirect; the page it leads to is gone.
    server.setResponse(kVersionPath, { LocalHttpServer::Response::Answer, 302, {}, "Location: /gone\r\n" });
    server.setResponse("/gone", { LocalHttpServer::Response::Answer, 404, "<!DOCTYPE html>", {} });
    check();
    expectOnlyMessage(QStringLiteral("info"), kLatest);
    EXPECT_TRUE(opener.opened.isEmpty());
}

TEST_F(UpdateCheck, OnlyWebAddressesAreOpened)
{
    for (const char* address : { "javascript:alert(document.cookie)", "file:///etc/passwd", "/usr/bin/xterm",
             "www.orvex.example/download", "ftp://www.orvex.example/" }) {
        prompts.shown.clear();
        server.serveFile(kVersionPath, record({ 2, 0, 0, 0 }, address));
        check();
        expectOnlyMessage(QStringLiteral("question"),
            QStringLiteral("A new version is available: 2.0.0 build #0. Download it?"));
        EXPECT_TRUE(opener.opened.isEmpty()) << address;
    }
}

TEST_F(UpdateCheck, CheckUsesTheConfiguredHost)
{
    server.serveFile(kVersionPath, record({ 1, 1, 1, 23 }, ""));
    const QByteArray saved = qgetenv("AMPERO_UPDATE_HOST");
    qputenv("AMPERO_UPDATE_HOST", server.hostAndPort());
    WebActions actions(http, prompts, opener);
    actions.checkForUpdates();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !prompts.shown.isEmpty(); }, 15000));
    qputenv("AMPERO_UPDATE_HOST", "not a host");
    actions.checkForUpdates();
    if (saved.isEmpty())
        qunsetenv("AMPERO_UPDATE_HOST");
    else
        qputenv("AMPERO_UPDATE_HOST", saved);
    expectOnlyMessage(QStringLiteral("info"), kLatest);
    EXPECT_EQ(server.requests().size(), 2);
}

// Keeps each request until the test answers it.
struct WaitingHttp final : HttpClient {
    void probe(const QUrl&, const QByteArray&, QDeadlineTimer, HttpDone done) override
    {
        waiting.push_back(done);
    }
    void get(const QUrl&, const QByteArray&, qint64, QDeadlineTimer, HttpDone done) override
    {
        waiting.push_back(done);
    }
    QList<HttpDone> waiting;
};

TEST(UserCheck, OneAtATimeSaysWhyTheServerIsUnreachableAndWaitsForTheTest)
{
    WaitingHttp http;
    FakeUpdatePrompts shown;
    HeldUpdatePrompts prompts(shown);
    FakeUrlOpener opener;
    WebActions actions(http, prompts, opener);
    QList<bool> checking;
    actions.onCheckingChanged([&checking](bool on) { checking.append(on); });
    for (const auto& [failure, why] : { std::pair { HttpAnswer::Failure::Refused, "refused" },
             std::pair { HttpAnswer::Failure::TimedOut, "in time" },
             std::pair { HttpAnswer::Failure::HostNotFound, "not found" } }) {
        http.waiting.clear();
        shown.shown.clear();
        prompts.setHeld(true); // a test runs
        actions.checkForUpdates();
        actions.checkForUpdates(); // chosen again while the server is slow
        ASSERT_EQ(http.waiting.size(), 1);
        HttpAnswer none;
        none.failure = failure;
        http.waiting[0](none);
        EXPECT_TRUE(shown.shown.isEmpty()) << "nothing over the test";
        prompts.setHeld(false);
        ASSERT_EQ(shown.shown.size(), 1);
        EXPECT_TRUE(shown.shown[0].text.contains(QLatin1String(why))) << shown.shown[0].text.toStdString();
    }
    EXPECT_EQ(checking, (QList<bool> { true, false, true, false, true, false }));
}

TEST(HelpPage, OpensTheAuthorsHelpPage)
{
    FakeUrlOpener opener;
    FakeUpdatePrompts prompts;
    QtHttpClient http { 1000 };
    WebActions actions(http, prompts, opener);
    actions.showHelp();
    opener.result = false; // a desktop with no browser: still nothing shown
    actions.showHelp();
    EXPECT_EQ(opener.opened,
        (QStringList { QStringLiteral("https://www.orvex.example/ampero/"),
            QStringLiteral("https://www.orvex.example/ampero/") }));
    EXPECT_TRUE(prompts.shown.isEmpty());
}

} // namespace
