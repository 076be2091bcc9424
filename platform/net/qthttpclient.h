// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "platform/httpclient.h"

#include <QNetworkAccessManager>
#include <QNetworkRequest>

namespace ampero {

// HttpClient over Qt Network, on the event loop of the thread that created
// it; must be used on that thread.
class QtHttpClient final : public HttpClient {
public:
    explicit QtHttpClient(int timeLimitMs = kHttpTimeLimitMs);

    void probe(const QUrl& url, const QByteArray& userAgent, QDeadlineTimer deadline, HttpDone done) override;
    void get(const QUrl& url, const QByteArray& userAgent, qint64 maxBytes, QDeadlineTimer deadline,
        HttpDone done) override;

private:
    // Sends request; it ends at its end, at the time limit, or (when
    // headersOnly) at the status line, and reads at most maxBytes of the body.
    void run(const QNetworkRequest& request, bool headersOnly, qint64 maxBytes, QDeadlineTimer deadline,
        HttpDone done);

    int m_timeLimitMs;
    QNetworkAccessManager m_manager;
};

} // namespace ampero
