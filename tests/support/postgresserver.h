// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <cstdio>
#include <pwd.h>
#include <unistd.h>

namespace ampero::test {

// A PostgreSQL 15 server of the test's own in a temporary folder, on a Unix
// socket there and no TCP port. initdb refuses to run as root: as root the
// server's tools run as the postgres user.
class PostgresServer {
public:
    PostgresServer()
    {
        if (!QFile::exists(bin(QStringLiteral("initdb"))) || !QFile::exists(bin(QStringLiteral("pg_ctl"))))
            return;
        if (::geteuid() == 0) {
            const passwd* pw = ::getpwnam("postgres");
            if (!pw || ::chown(QFile::encodeName(m_dir.path()).constData(), pw->pw_uid, pw->pw_gid) != 0)
                return;
            m_asUser = true;
        }
        m_available = tool(QStringLiteral("initdb"),
            { QStringLiteral("-D"), data(), QStringLiteral("-U"), QStringLiteral("ampero"),
                QStringLiteral("--auth=trust"), QStringLiteral("-E"), QStringLiteral("UTF8"),
                QStringLiteral("--no-sync") });
        m_available = m_available && start();
    }
    ~PostgresServer() { stop(); }

    bool available() const { return m_available; }
    QString url() const
    {
        return QStringLiteral("postgresql://ampero@localhost/postgres?host=") + m_dir.path();
    }
    bool start()
    {
        return m_running = tool(QStringLiteral("pg_ctl"),
                   { QStringLiteral("-D"), data(), QStringLiteral("-w"), QStringLiteral("-l"),
                       m_dir.filePath(QStringLiteral("log")), QStringLiteral("-o"),
                       QStringLiteral("-k %1 -c listen_addresses= -F").arg(m_dir.path()),
                       QStringLiteral("start") });
    }
    void stop()
    {
        if (m_running)
            tool(QStringLiteral("pg_ctl"),
                { QStringLiteral("-D"), data(), QStringLiteral("-m"), QStringLiteral("immediate"),
                    QStringLiteral("-w"), QStringLiteral("stop") });
        m_running = false;
    }

private:
    static QString bin(const QString& name) { return QStringLiteral("/usr/lib/postgresql/15/bin/") + name; }
    QString data() const { return m_dir.filePath(QStringLiteral("data")); }
    bool tool(const QString& name, QStringList args)
    {
        QProcess p;
        if (m_asUser) {
            args.prepend(bin(name));
            args = QStringList { QStringLiteral("-u"), QStringLiteral("postgres"), QStringLiteral("--") }
                + args;
            p.start(QStringLiteral("runuser"), args);
        } else {
            p.start(bin(name), args);
        }
        const bool ok
            = p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
        if (!ok)
            std::fprintf(stderr, "%s: %s%s\n", qPrintable(name), p.readAllStandardOutput().constData(),
                p.readAllStandardError().constData());
        return ok;
    }

    QTemporaryDir m_dir;
    bool m_asUser = false;
    bool m_available = false;
    bool m_running = false;
};

} // namespace ampero::test
