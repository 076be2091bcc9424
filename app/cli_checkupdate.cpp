// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli.h"
#include "platform/net/qthttpclient.h"
#include "web/updatecheck.h"

#include <QCoreApplication>
#include <QUrl>
#include <cstdio>
#include <optional>

namespace ampero {

namespace {

void printLine(std::FILE* stream, const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

} // namespace

// The update check in a terminal: the message box's text on standard output,
// with the download page's address under it when one is offered. Exit status
// 0 when the server answered, 3 when it could not be reached, 2 for a bad
// AMPERO_UPDATE_HOST.
int runCheckUpdate(const CliOptions& /*options*/)
{
    QString error;
    const QString url = versionFileUrl(&error);
    if (url.isEmpty()) {
        printLine(stderr, QStringLiteral("ampero: ") + error);
        return 2;
    }

    // The check runs on the application's event loop until its answer.
    QtHttpClient http;
    std::optional<UpdateState> answer;
    queryUpdateState(http, url, runningVersion(), [&answer](const UpdateState& s) {
        answer = s;
        QCoreApplication::exit(0);
    });
    if (!answer)
        QCoreApplication::exec();
    const UpdateState state = answer.value_or(UpdateState {});
    switch (state.outcome) {
    case UpdateState::Unreachable:
        // Why, then where: "...could not be reached: the connection was refused. URL"
        printLine(stderr, QStringLiteral("ampero: ") + unreachableText(state) + QLatin1Char(' ') + url);
        return 3;
    case UpdateState::Unreadable:
        printLine(stderr, QStringLiteral("ampero: the update information could not be read: ") + url);
        return 3;
    case UpdateState::NoUpdate:
        printLine(stdout, state.text);
        return 0;
    case UpdateState::Offered:
        printLine(stdout, state.text);
        // Only a web address is printed, percent-encoded, so nothing the server
        // sent can reach the terminal as control characters.
        if (isOpenableDownloadUrl(state.info.downloadUrl))
            printLine(stdout, QUrl(state.info.downloadUrl, QUrl::StrictMode).toString(QUrl::FullyEncoded));
        return 0;
    }
    return 0;
}

} // namespace ampero
