// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// HTTP for the update check. A request starts and the call returns; the
// answer comes later on the caller's event loop.
#include <QByteArray>
#include <QDeadlineTimer>
#include <QUrl>
#include <functional>

namespace ampero {

// The time limit of one request, whole: connecting, the answer and the body.
inline constexpr int kHttpTimeLimitMs = 10000;

// What one request gave.
struct HttpAnswer {
    // The server sent a status line. False when the host could not be found,
    // the connection was refused or broken, or the time limit ran out.
    bool answered = false;
    // HTTP status code of the last answer (after redirects, where followed);
    // 0 when answered is false.
    int status = 0;
    // The first bytes of the body, at most the number asked for; empty for a
    // probe and when nothing arrived.
    QByteArray body;
    // Why no status line came, when answered is false.
    enum class Failure { None, TimedOut, Refused, HostNotFound, Other };
    Failure failure = Failure::None;
};

// What a request gives, once it has ended.
using HttpDone = std::function<void(const HttpAnswer& answer)>;

// Each call starts its request and returns; done runs exactly once when the
// request has ended, from the caller's event loop (a client that needs no
// network may run it at once). Every request ends within the backend's time
// limit (kHttpTimeLimitMs unless the backend was given another) and by the
// caller's deadline, whichever comes first: a check made of two requests
// shares one deadline. A client destroyed first ends its requests without
// running their done.
class HttpClient {
public:
    virtual ~HttpClient() = default;

    // Asks the server for url, never a cache (Cache-Control: no-cache), and
    // does not follow redirects, so a 302 is seen as such. The body is not
    // read. userAgent is sent as the User-Agent header.
    virtual void probe(const QUrl& url, const QByteArray& userAgent, QDeadlineTimer deadline, HttpDone done)
        = 0;

    // Downloads url, following redirects to http/https; a cached copy may
    // answer. Reads the body until maxBytes bytes are there or it ends,
    // whichever comes first; the rest is never read.
    virtual void get(
        const QUrl& url, const QByteArray& userAgent, qint64 maxBytes, QDeadlineTimer deadline, HttpDone done)
        = 0;
};

} // namespace ampero
