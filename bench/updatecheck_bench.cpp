// SPDX-License-Identifier: GPL-3.0-or-later
// Figures of the update check against a server on 127.0.0.1: how long a whole
// check takes, how long a silent server holds the program, and how fast the
// version record is read.
#include "platform/net/qthttpclient.h"
#include "tests/support/localhttpserver.h"
#include "web/updatecheck.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

using namespace ampero;

namespace {

// Runs the application's event loop until the request in flight has ended.
void runUntil(const bool& done)
{
    if (!done)
        QCoreApplication::exec();
}

double medianMs(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    test::LocalHttpServer server;
    QByteArray file = QByteArray::fromHex("0102001e") + char(34) + "https://www.orvex.example/download/";
    file.append(QByteArray(4096, 'x')); // longer than the record: must not cost more
    server.serveFile("/update/ampero.ver", file);
    const QString url = server.url(QStringLiteral("/update/ampero.ver"));

    QtHttpClient http;
    FakeUpdatePrompts prompts;
    FakeUrlOpener opener;
    const int runs = 200;
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        bool over = false;
        runUpdateCheck(http, prompts, opener, url, ProgramVersion { 1, 1, 1, 23 }, [&over] {
            over = true;
            QCoreApplication::exit(0);
        });
        runUntil(over);
        times.push_back(t.nsecsElapsed() / 1e6);
    }
    std::printf("whole check (probe + download + decision), %d runs: median %.2f ms, max %.2f ms\n", runs,
        medianMs(times), *std::max_element(times.begin(), times.end()));

    server.setResponse("/update/ampero.ver", { test::LocalHttpServer::Response::Silent, 0, {}, {} });
    for (int limit : { 1000, kHttpTimeLimitMs }) {
        QtHttpClient limited(limit);
        QElapsedTimer t;
        t.start();
        bool over = false;
        bool reachable = false;
        checkUrlReachable(limited, url, QDeadlineTimer(kHttpTimeLimitMs), [&](bool r) {
            reachable = r;
            over = true;
            QCoreApplication::exit(0);
        });
        runUntil(over);
        std::printf("silent server, limit %d ms: gave up after %lld ms (reachable: %s)\n", limit,
            static_cast<long long>(t.elapsed()), reachable ? "yes" : "no");
    }

    const int parses = 1000000;
    QElapsedTimer t;
    t.start();
    unsigned sum = 0;
    for (int i = 0; i < parses; ++i)
        sum += parseUpdateInfo(file).newBuild;
    std::printf("version record parse: %.1f ns each (%u)\n", t.nsecsElapsed() / double(parses), sum / parses);
    return 0;
}
