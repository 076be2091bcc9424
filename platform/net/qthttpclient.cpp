// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/net/qthttpclient.h"

#include <QEventLoop>
#include <QNetworkReply>
#include <QTimer>
#include <algorithm>
#include <memory>

namespace ampero {

namespace {

// Aborts an unfinished reply before deleting it, so no socket outlives the call.
struct ReplyDeleter {
    void operator()(QNetworkReply* reply) const
    {
        if (!reply->isFinished())
            reply->abort();
        delete reply;
    }
};

QNetworkRequest baseRequest(const QUrl& url, const QByteArray& userAgent)
{
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::UserAgentHeader, userAgent);
    // Plain HTTP/1.1: the version file is tiny and the server may be a simple one.
    request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    return request;
}

} // namespace

QtHttpClient::QtHttpClient(int timeLimitMs)
    : m_timeLimitMs(timeLimitMs > 0 ? timeLimitMs : kHttpTimeLimitMs)
{
}

HttpAnswer QtHttpClient::probe(const QUrl& url, const QByteArray& userAgent, QDeadlineTimer deadline)
{
    QNetworkRequest request = baseRequest(url, userAgent);
    // Always the server itself: Qt sends Cache-Control and Pragma no-cache.
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    return run(request, true, 0, deadline);
}

HttpAnswer QtHttpClient::get(
    const QUrl& url, const QByteArray& userAgent, qint64 maxBytes, QDeadlineTimer deadline)
{
    QNetworkRequest request = baseRequest(url, userAgent);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::PreferNetwork);
    // Follows redirects, but never from https down to http.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(10);
    return run(request, false, maxBytes < 0 ? 0 : maxBytes, deadline);
}

HttpAnswer QtHttpClient::run(
    const QNetworkRequest& request, bool headersOnly, qint64 maxBytes, QDeadlineTimer deadline)
{
    const qint64 limit = deadline.isForever()
        ? m_timeLimitMs
        : std::min<qint64>(m_timeLimitMs, std::max<qint64>(0, deadline.remainingTime()));
    if (limit <= 0)
        return HttpAnswer {};
    HttpAnswer answer;
    std::unique_ptr<QNetworkReply, ReplyDeleter> reply(m_manager.get(request));
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    bool timedOut = false;
    bool gotStatus = false;

    const auto statusArrived
        = [&] { return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid(); };
    // readAll() is never used: only the bytes asked for are taken from the reply.
    const auto takeBody = [&] {
        const qint64 room = maxBytes - answer.body.size();
        if (room > 0)
            answer.body.append(reply->read(room));
        return answer.body.size() >= maxBytes;
    };

    QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
        timedOut = true;
        loop.quit();
    });
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QObject::connect(reply.get(), &QNetworkReply::metaDataChanged, &loop, [&] {
        if (headersOnly && statusArrived()) {
            gotStatus = true;
            loop.quit();
        }
    });
    QObject::connect(reply.get(), &QNetworkReply::readyRead, &loop, [&] {
        if (headersOnly)
            return;
        if (takeBody())
            loop.quit();
    });

    timer.start(static_cast<int>(limit));
    if (!reply->isFinished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    timer.stop();

    if (timedOut)
        return HttpAnswer {};
    if (!gotStatus && !statusArrived())
        return HttpAnswer {};
    // A redirect that was followed but failed, a broken transfer and the like
    // still leave a status; the body holds whatever arrived before the end.
    if (!headersOnly)
        takeBody();
    else
        answer.body.clear();
    answer.answered = true;
    answer.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    return answer;
}

} // namespace ampero
