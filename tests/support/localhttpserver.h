// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A small HTTP/1.1 server on 127.0.0.1 for tests, running in a thread of its
// own so that tests may block (QProcess::waitForFinished) or run local event
// loops while it serves.
#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <arpa/inet.h>
#include <memory>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace ampero::test {

class LocalHttpServer {
public:
    struct Response {
        enum Mode {
            Answer, // a status line, headers and the body
            Silent, // accepts the request and never answers
            HangUp, // closes the connection without a word
            Drip, // a status line, then one header line every 200 ms, never ending
        };
        Mode mode = Answer;
        int status = 200;
        QByteArray body;
        QByteArray extraHeaders; // "Name: value\r\n" lines
        int delayMs = 0; // the answer starts this late
    };
    struct Request {
        QByteArray method;
        QByteArray path;
        QByteArray userAgent;
        QByteArray cacheControl;
    };

    LocalHttpServer()
    {
        m_thread.start();
        m_worker = new Worker(this);
        m_worker->moveToThread(&m_thread);
        QMetaObject::invokeMethod(m_worker, &Worker::listen, Qt::BlockingQueuedConnection);
    }
    ~LocalHttpServer()
    {
        QMetaObject::invokeMethod(m_worker, &Worker::shutDown, Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }
    LocalHttpServer(const LocalHttpServer&) = delete;
    LocalHttpServer& operator=(const LocalHttpServer&) = delete;

    quint16 port() const { return m_port; }
    QByteArray hostAndPort() const { return "127.0.0.1:" + QByteArray::number(m_port); }
    QString url(const QString& path) const
    {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path);
    }

    // The answer for path; other paths get 404.
    void setResponse(const QByteArray& path, const Response& response)
    {
        QMutexLocker lock(&m_mutex);
        m_responses.insert(path, response);
    }
    void serveFile(const QByteArray& path, const QByteArray& body)
    {
        setResponse(path, Response { Response::Answer, 200, body, {} });
    }
    // Answers for path in turn, one per request; the last one stays.
    void setResponses(const QByteArray& path, const QList<Response>& responses)
    {
        QMutexLocker lock(&m_mutex);
        m_sequences.insert(path, responses);
    }

    QList<Request> requests() const
    {
        QMutexLocker lock(&m_mutex);
        return m_requests;
    }

private:
    class Worker : public QObject {
    public:
        explicit Worker(LocalHttpServer* owner)
            : m_owner(owner)
        {
        }

        void listen()
        {
            m_server = std::make_unique<QTcpServer>();
            m_server->listen(QHostAddress::LocalHost, 0);
            m_owner->m_port = m_server->serverPort();
            QObject::connect(m_server.get(), &QTcpServer::newConnection, this, &Worker::accept);
        }
        void shutDown()
        {
            for (QTcpSocket* s : m_sockets)
                delete s;
            m_sockets.clear();
            m_server.reset();
            delete this;
        }

    private:
        void accept()
        {
            while (QTcpSocket* socket = m_server->nextPendingConnection()) {
                socket->setParent(nullptr);
                m_sockets.append(socket);
                QObject::connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readFrom(socket); });
            }
        }
        void readFrom(QTcpSocket* socket)
        {
            QByteArray& buffer = m_buffers[socket];
            buffer.append(socket->readAll());
            const qsizetype end = buffer.indexOf("\r\n\r\n");
            if (end < 0)
                return;
            Request request;
            const QList<QByteArray> lines = buffer.left(end).split('\n');
            const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
            request.method = first.value(0);
            request.path = first.value(1);
            for (const QByteArray& line : lines.mid(1)) {
                const qsizetype colon = line.indexOf(':');
                const QByteArray name = line.left(colon).trimmed().toLower();
                const QByteArray value = line.mid(colon + 1).trimmed();
                if (name == "user-agent")
                    request.userAgent = value;
                else if (name == "cache-control")
                    request.cacheControl = value;
            }
            buffer.remove(0, end + 4);

            Response response { Response::Answer, 404, "not here", {} };
            {
                QMutexLocker lock(&m_owner->m_mutex);
                m_owner->m_requests.append(request);
                response = m_owner->m_responses.value(request.path, response);
                auto sequence = m_owner->m_sequences.find(request.path);
                if (sequence != m_owner->m_sequences.end() && !sequence->isEmpty())
                    response = sequence->size() > 1 ? sequence->takeFirst() : sequence->first();
            }
            if (response.delayMs > 0) {
                QPointer<QTcpSocket> later(socket);
                Response now = response;
                now.delayMs = 0;
                QTimer::singleShot(response.delayMs, this, [this, later, now] {
                    if (later)
                        answer(later, now);
                });
                return;
            }
            answer(socket, response);
        }
        void answer(QTcpSocket* socket, const Response& response)
        {
            switch (response.mode) {
            case Response::Silent:
                return;
            case Response::HangUp:
                socket->abort();
                return;
            case Response::Drip: {
                socket->write("HTTP/1.1 " + QByteArray::number(response.status) + " Status\r\n");
                auto* drip = new QTimer(socket);
                QObject::connect(
                    drip, &QTimer::timeout, socket, [socket] { socket->write("X-Drip: 1\r\n"); });
                drip->start(200);
                return;
            }
            case Response::Answer:
                break;
            }
            QByteArray out = "HTTP/1.1 " + QByteArray::number(response.status) + " Status\r\n";
            out += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
            out += "Connection: close\r\n" + response.extraHeaders + "\r\n" + response.body;
            socket->write(out);
            socket->disconnectFromHost();
        }

        LocalHttpServer* m_owner;
        std::unique_ptr<QTcpServer> m_server;
        QList<QTcpSocket*> m_sockets;
        QHash<QTcpSocket*, QByteArray> m_buffers;
    };

    QThread m_thread;
    Worker* m_worker = nullptr;
    quint16 m_port = 0;
    mutable QMutex m_mutex;
    QHash<QByteArray, Response> m_responses;
    QHash<QByteArray, QList<Response>> m_sequences;
    QList<Request> m_requests;
};

// A port on 127.0.0.1 that refuses connections: a socket bound to a port the
// kernel chose but never listening. It stays bound while this object lives,
// so no other test running at the same time can be handed the same port.
class ClosedLocalPort {
public:
    ClosedLocalPort()
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr {};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        if (m_fd >= 0 && ::bind(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0
            && ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
            m_port = ntohs(addr.sin_port);
    }
    ~ClosedLocalPort()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    ClosedLocalPort(const ClosedLocalPort&) = delete;
    ClosedLocalPort& operator=(const ClosedLocalPort&) = delete;
    quint16 port() const { return m_port; }

private:
    int m_fd = -1;
    quint16 m_port = 0;
};

} // namespace ampero::test
