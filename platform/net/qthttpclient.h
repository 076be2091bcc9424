// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "platform/httpclient.h"

#include <QNetworkAccessManager>
#include <QNetworkRequest>

namespace ampero {

// HttpClient over Qt Network. Each call runs a local event loop that ignores
// user input, so the caller blocks while the rest of the program's timers and
// sockets keep running. Must be used on the thread that created it.
class QtHttpClient final : public HttpClient {
public:
    explicit QtHttpClient(int timeLimitMs = kHttpTimeLimitMs);

    HttpAnswer probe(const QUrl& url, const QByteArray& userAgent, QDeadlineTimer deadline) override;
    HttpAnswer get(
        const QUrl& url, const QByteArray& userAgent, qint64 maxBytes, QDeadlineTimer deadline) override;

private:
    // Sends request and waits for its end, the time limit, or (when
    // headersOnly) the status line; reads at most maxBytes of the body.
    HttpAnswer run(
        const QNetworkRequest& request, bool headersOnly, qint64 maxBytes, QDeadlineTimer deadline);

    int m_timeLimitMs;
    QNetworkAccessManager m_manager;
};

} // namespace ampero
