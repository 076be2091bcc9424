// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/localhttpserver.h"
#include "support/testutil.h"

#include <QElapsedTimer>
#include <QProcess>
#include <gtest/gtest.h>

using ampero::test::bytes;
using ampero::test::LocalHttpServer;

void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace {

struct CliRun {
    int exitCode = -1;
    QString out;
    QString err;
};

// Starts the built program with --check-update against host, with no display.
CliRun checkUpdate(const QByteArray& host)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("AMPERO_UPDATE_HOST"), QString::fromLatin1(host));
    // A terminal mode must not need the window system at all.
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("no-such-platform"));
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    for (const char* proxy : { "http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY" })
        env.remove(QString::fromLatin1(proxy));
    process.setProcessEnvironment(env);
    process.start(ampero::test::amperoBinary(), { QStringLiteral("--check-update") });
    CliRun run;
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    run.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    run.err = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

const QByteArray kVersionPath = "/update/ampero.ver";

TEST(CheckUpdateCli, PrintsTheMessageAndTheDownloadPage)
{
    LocalHttpServer server;
    const QByteArray url = "https://www.orvex.example/download/ampero%201.2.exe";
    server.serveFile(kVersionPath, bytes({ 1, 2, 0, 30, static_cast<int>(url.size()) }) + url);
    const CliRun run = checkUpdate(server.hostAndPort());
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out,
        QStringLiteral("A new version is available: 1.2.0 build #30. Download it?\n"
                       "https://www.orvex.example/download/ampero%201.2.exe\n"));
    EXPECT_EQ(run.err, QString());
    ASSERT_EQ(server.requests().size(), 2);
    EXPECT_EQ(server.requests()[0].userAgent, "InetURL:/1.0");
    EXPECT_EQ(server.requests()[1].userAgent, "Orvex Ampero");
}

TEST(CheckUpdateCli, NoUpdateAndUnusableAddresses)
{
    LocalHttpServer server;
    server.serveFile(kVersionPath, bytes({ 1, 1, 1, 23, 0 }));
    CliRun run = checkUpdate(server.hostAndPort());
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, QStringLiteral("You are running the latest version. No update is available.\n"));

    // An offered version whose address is no web page: the question alone;
    // the escape bytes the server sent never reach the terminal.
    const QByteArray script = "javascript:alert(1)\x1b[2J";
    server.serveFile(kVersionPath, bytes({ 2, 0, 0, 0, static_cast<int>(script.size()) }) + script);
    run = checkUpdate(server.hostAndPort());
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, QStringLiteral("A new version is available: 2.0.0 build #0. Download it?\n"));
}

TEST(CheckUpdateCli, UnreachableServerExitsThree)
{
    const ampero::test::ClosedLocalPort closed;
    const QByteArray host = "127.0.0.1:" + QByteArray::number(closed.port());
    CliRun run = checkUpdate(host);
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_EQ(run.out, QString());
    EXPECT_EQ(run.err.count(u'\n'), 1) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(QString::fromLatin1(host))) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(QStringLiteral("the connection was refused"))) << run.err.toStdString();

    LocalHttpServer server;
    server.setResponse(kVersionPath, { LocalHttpServer::Response::Answer, 404, "missing", {} });
    run = checkUpdate(server.hostAndPort());
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_EQ(run.out, QString());
}

// The server answers the probe, but the version file cannot be had: that is
// no "latest version". The terminal says it could not read the update
// information and exits 3, as for an unreachable server.
TEST(CheckUpdateCli, FailedDownloadIsNoNoUpdate)
{
    using Response = LocalHttpServer::Response;
    const Response probeOk { Response::Answer, 200, bytes({ 1, 1, 1, 23, 0 }), {} };
    const struct {
        const char* name;
        Response download;
    } rows[] = {
        { "404", { Response::Answer, 404, "missing", {} } },
        { "hang-up", { Response::HangUp, 0, {}, {} } },
        { "redirect loop", { Response::Answer, 302, {}, "Location: " + kVersionPath + "\r\n" } },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        LocalHttpServer server;
        server.setResponses(kVersionPath, { probeOk, row.download });
        const CliRun run = checkUpdate(server.hostAndPort());
        EXPECT_EQ(run.exitCode, 3) << run.out.toStdString();
        EXPECT_EQ(run.out, QString());
        EXPECT_EQ(run.err,
            QStringLiteral("ampero: the update information could not be read: http://%1/update/ampero.ver\n")
                .arg(QString::fromLatin1(server.hostAndPort())));
    }
}

// The whole check ends within its 10 seconds, probe and download together,
// and the program a moment after: a late probe followed by a stalled
// download, and a server that never stops sending header lines.
TEST(CheckUpdateCli, WholeCheckEndsWithinItsTimeLimit)
{
    using Response = LocalHttpServer::Response;
    const struct {
        const char* name;
        QList<Response> answers;
    } rows[] = {
        { "late probe, stalled download",
            { { Response::Answer, 200, {}, {}, 6000 }, { Response::Silent, 0, {}, {} } } },
        { "dripping header lines", { { Response::Drip, 200, {}, {} } } },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        LocalHttpServer server;
        server.setResponses(kVersionPath, row.answers);
        QElapsedTimer took;
        took.start();
        const CliRun run = checkUpdate(server.hostAndPort());
        EXPECT_EQ(run.exitCode, 3) << run.err.toStdString();
        // 10 s for the check and one for the end, with room for a busy machine.
        EXPECT_LT(took.elapsed(), 12000);
    }
}

TEST(CheckUpdateCli, MalformedHostIsRefused)
{
    const CliRun run = checkUpdate("evil.example/x?y=");
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.out, QString());
    EXPECT_EQ(run.err,
        QStringLiteral("ampero: the update host \"evil.example/x?y=\" is not a host or host:port\n"));
}

} // namespace
