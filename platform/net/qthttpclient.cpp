// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/net/qthttpclient.h"

#include <QNetworkReply>
#include <QTimer>
#include <algorithm>
#include <memory>

namespace ampero {

namespace {

QNetworkRequest baseRequest(const QUrl& url, const QByteArray& userAgent)
{
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::UserAgentHeader, userAgent);
    // Plain HTTP/1.1: the version file is tiny and the server may be a simple one.
    request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    return request;
}

HttpAnswer::Failure failureOf(QNetworkReply::NetworkError error)
{
    switch (error) {
    case QNetworkReply::TimeoutError:
    case QNetworkReply::OperationCanceledError:
        return HttpAnswer::Failure::TimedOut;
    case QNetworkReply::ConnectionRefusedError:
        return HttpAnswer::Failure::Refused;
    case QNetworkReply::HostNotFoundError:
        return HttpAnswer::Failure::HostNotFound;
    default:
        return HttpAnswer::Failure::Other;
    }
}

} // namespace

QtHttpClient::QtHttpClient(int timeLimitMs)
    : m_timeLimitMs(timeLimitMs > 0 ? timeLimitMs : kHttpTimeLimitMs)
{
}

void QtHttpClient::probe(const QUrl& url, const QByteArray& userAgent, QDeadlineTimer deadline, HttpDone done)
{
    QNetworkRequest request = baseRequest(url, userAgent);
    // Always the server itself: Qt sends Cache-Control and Pragma no-cache.
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    run(request, true, 0, deadline, std::move(done));
}

void QtHttpClient::get(
    const QUrl& url, const QByteArray& userAgent, qint64 maxBytes, QDeadlineTimer deadline, HttpDone done)
{
    QNetworkRequest request = baseRequest(url, userAgent);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::PreferNetwork);
    // Follows redirects, but never from https down to http.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(10);
    run(request, false, maxBytes < 0 ? 0 : maxBytes, deadline, std::move(done));
}

void QtHttpClient::run(
    const QNetworkRequest& request, bool headersOnly, qint64 maxBytes, QDeadlineTimer deadline, HttpDone done)
{
    const qint64 limit = deadline.isForever()
        ? m_timeLimitMs
        : std::min<qint64>(m_timeLimitMs, std::max<qint64>(0, deadline.remainingTime()));
    if (limit <= 0) {
        QMetaObject::invokeMethod(
            &m_manager,
            [done = std::move(done)] {
                HttpAnswer late;
                late.failure = HttpAnswer::Failure::TimedOut;
                done(late);
            },
            Qt::QueuedConnection);
        return;
    }

    struct Request {
        HttpDone done;
        QByteArray body;
        bool ended = false;
    };
    auto state = std::make_shared<Request>();
    state->done = std::move(done);
    // The reply is the manager's child: a client destroyed first takes it along.
    QNetworkReply* reply = m_manager.get(request);
    auto* timer = new QTimer(reply);
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);

    const auto statusArrived
        = [reply] { return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid(); };
    // readAll() is never used: only the bytes asked for are taken from the reply.
    const auto takeBody = [reply, state, maxBytes] {
        const qint64 room = maxBytes - state->body.size();
        if (room > 0)
            state->body.append(reply->read(room));
        return state->body.size() >= maxBytes;
    };
    // Ends the request once: with no answer after the time limit or without
    // a status line; otherwise with the status and, for a download, whatever
    // of the body arrived (a redirect that was followed but failed, a broken
    // transfer and the like still leave a status).
    const auto end = [reply, state, statusArrived, takeBody, headersOnly](bool timedOut) {
        if (state->ended)
            return;
        state->ended = true;
        HttpAnswer answer;
        if (!timedOut && statusArrived()) {
            if (!headersOnly) {
                takeBody();
                answer.body = state->body;
            }
            answer.answered = true;
            answer.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        } else {
            answer.failure = failureOf(timedOut ? QNetworkReply::TimeoutError : reply->error());
        }
        // No socket outlives the request.
        if (!reply->isFinished())
            reply->abort();
        reply->deleteLater();
        state->done(answer);
    };

    QObject::connect(timer, &QTimer::timeout, reply, [end] { end(true); });
    QObject::connect(reply, &QNetworkReply::finished, reply, [end] { end(false); });
    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, [end, statusArrived, headersOnly] {
        if (headersOnly && statusArrived())
            end(false);
    });
    QObject::connect(reply, &QNetworkReply::readyRead, reply, [end, takeBody, headersOnly] {
        if (!headersOnly && takeBody())
            end(false);
    });
    timer->start(static_cast<int>(limit));
    if (reply->isFinished())
        QMetaObject::invokeMethod(
            reply, [end] { end(false); }, Qt::QueuedConnection);
}

} // namespace ampero
