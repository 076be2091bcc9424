// SPDX-License-Identifier: GPL-3.0-or-later
// The battery history at fleet size: 1,000 machines with 100,000 runs and
// 1,000,000 snapshots, on SQLite and (where PostgreSQL 15's server programs
// are installed) on a PostgreSQL server of the bench's own. Prints the time
// of one machine's history, of opening the History window over it, the
// fleet summary, the rows a second of a full export through the program
// (`ampero --history --all-machines --json`, on either store), and of adding
// a run at the end of a test. The window opens on the offscreen platform
// unless QT_QPA_PLATFORM names another.
//
//   build/bench/history_bench [--machines N]
#include "app/batteryhistory.h"
#include "results/historyview.h"
#include "support/postgresserver.h"
#include "ui/historywindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QUrl>
#include <QUrlQuery>
#include <cstdio>

using namespace ampero;

namespace {

constexpr int RunsPerMachine = 100;
constexpr int SnapshotsPerMachine = 1000;

QString machineName(int m)
{
    return QStringLiteral("00000000-0000-4000-8000-%1").arg(m, 12, 10, QLatin1Char('0'));
}

// Fills the store in statements of many rows each: the figures are of the
// reading, not of the filling.
bool fill(const QString& connection, int machines)
{
    QSqlDatabase db = QSqlDatabase::database(connection);
    QSqlQuery q(db);
    const auto run = [&](const QString& sql) {
        if (!q.exec(sql)) {
            std::fprintf(stderr, "fill: %s\n", qPrintable(q.lastError().text()));
            return false;
        }
        return true;
    };
    if (!run(QStringLiteral("BEGIN")))
        return false;
    const QString report = QStringLiteral(
        "'{\"mode\": \"fast\", \"load\": \"full\", \"battery_life_seconds\": 18000, \"mark\": 1234, "
        "\"average_power_w\": 8.5, \"energy_used_wh\": 4.2, \"battery_health_percent\": 95.1}'");
    const qint64 start = 1735689600; // 2025-01-01
    for (int m = 0; m < machines; ++m) {
        const QString id = machineName(m);
        if (!run(QStringLiteral("INSERT INTO machines (id, vendor, model, kernel, last_seen) VALUES "
                                "('%1', 'Orvex', 'Book %2', '6.1.0', %3)")
                     .arg(id)
                     .arg(m % 20)
                     .arg(start)))
            return false;
        QString sql;
        for (int i = 0; i < SnapshotsPerMachine; ++i) {
            sql += QStringLiteral("%1('%2', %3, 'SMP', '5B10', 'Lithium-ion', 'h%4', %5, 57, %6, %7, 12.5)")
                       .arg(sql.isEmpty()
                               ? QStringLiteral("INSERT INTO snapshots (machine_id, taken_at, "
                                                "battery_vendor, battery_model, technology, "
                                                "serial_hash, energy_full_wh, energy_full_design_wh, "
                                                "health_percent, cycle_count, voltage_v) VALUES ")
                               : QStringLiteral(", "))
                       .arg(id)
                       .arg(start + qint64(i) * 86400 / 3)
                       .arg(m)
                       .arg(57.0 - i * 0.005)
                       .arg((57.0 - i * 0.005) / 57.0 * 100)
                       .arg(i / 3);
        }
        if (!run(sql))
            return false;
        sql.clear();
        for (int i = 0; i < RunsPerMachine; ++i)
            sql += QStringLiteral("%1('r%2-%3', '%4', %5, 'fast', %6, '/home/u/run%3.apr')")
                       .arg(sql.isEmpty()
                               ? QStringLiteral("INSERT INTO runs (file_hash, machine_id, finished_at, "
                                                "mode, report, path) VALUES ")
                               : QStringLiteral(", "))
                       .arg(m)
                       .arg(i)
                       .arg(id)
                       .arg(start + qint64(i) * 86400 * 3)
                       .arg(report);
        if (!run(sql))
            return false;
    }
    return run(QStringLiteral("COMMIT")) && run(QStringLiteral("ANALYZE"));
}

template <typename F> double ms(F&& f)
{
    QElapsedTimer t;
    t.start();
    f();
    return static_cast<double>(t.nsecsElapsed()) / 1e6;
}

void measure(const char* name, HistoryStore& store, int machines)
{
    qsizetype rows = 0;
    const double one = ms([&] {
        rows = store.snapshots(machineName(machines / 2)).size()
            + store.runs(machineName(machines / 2)).size();
    });
    std::printf("%s: one machine's history (%lld rows): %.1f ms (target < 200 ms)\n", name,
        static_cast<long long>(rows), one);
    qsizetype lines = 0;
    const double fleet = ms([&] { lines = store.fleet().size(); });
    std::printf("%s: fleet summary (%lld machines): %.1f ms (target < 1000 ms)\n", name,
        static_cast<long long>(lines), fleet);
    const double all = ms([&] { rows = store.snapshots(QString()).size() + store.runs(QString()).size(); });
    std::printf("%s: every machine's rows read: %.0f rows/s (%lld rows in %.0f ms)\n", name,
        static_cast<double>(rows) / all * 1000, static_cast<long long>(rows), all);
}

// Battery > History... as the program opens it: one machine's history read
// from the local store, the window filled, shown and painted.
void measureWindow(const QString& file, int machines)
{
    double first = 0, worst = 0;
    qsizetype rows = 0;
    for (int i = 0; i < 3; ++i) {
        const double t = ms([&] {
            HistoryWindow window;
            QString error;
            window.setHistory(readHistoryView(file, machineName(machines / 2), &error));
            window.show();
            QCoreApplication::processEvents();
            window.repaint();
            rows = window.history().runs.size();
        });
        first = i == 0 ? t : first;
        worst = std::max(worst, t);
    }
    std::printf("SQLite: opening the History window (%lld runs): %.1f ms the first time, %.1f ms at most "
                "(target < 200 ms)\n",
        static_cast<long long>(rows), first, worst);
}

// `ampero --history --all-machines --json` as a user runs it, over the store
// in dataHome and the shared one at url (none where empty).
void measureExport(const char* name, const QString& dataHome, const QString& url, int machines)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
    env.remove(QStringLiteral("AMPERO_DATABASE"));
    p.setProcessEnvironment(env);
    p.setStandardOutputFile(QProcess::nullDevice());
    QStringList args { QStringLiteral("--history"), QStringLiteral("--all-machines"),
        QStringLiteral("--json") };
    if (!url.isEmpty())
        args << QStringLiteral("--database") << url;
    const QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/../ampero");
    const double exported = ms([&] {
        p.start(program, args);
        p.waitForFinished(600000);
    });
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        std::printf("%s: ampero --history --all-machines --json failed: %s\n", name,
            p.readAllStandardError().constData());
        return;
    }
    const double rows = double(machines) * (RunsPerMachine + SnapshotsPerMachine);
    std::printf("%s: ampero --history --all-machines --json: %.0f rows/s (%.0f rows in %.0f ms; target >= "
                "100,000 rows/s)\n",
        name, rows / exported * 1000, rows, exported);
}

void measureAddRun(const char* name, const QString& folder, const QString& url)
{
    // A small complete results file; each addition a file of its own.
    HistoryConfig config;
    config.localFile = folder + QStringLiteral("/history.sqlite");
    config.pendingFile = folder + QStringLiteral("/pending");
    config.fallbackIdFile = folder + QStringLiteral("/id");
    config.databaseUrl = url;
    History history(
        config, describeRun, [](const QString& w) { std::fprintf(stderr, "%s\n", qPrintable(w)); });
    history.reader();
    double worst = 0, total = 0;
    for (int i = 0; i < 20; ++i) {
        const QString path = folder + QStringLiteral("/run%1.apr").arg(i);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly))
            return;
        const char bytes[] = { 3, 'A', 'P', 'R', 2, 0, char(0xFF), char(0xFF), char(0xFF), char(0xFF), 100,
            100, 99, char(0xFF), char(0x80), char(0xBB), 0, 0, 5, 0, 0, 0, 0, 0, 0, static_cast<char>(i) };
        f.write(bytes, sizeof bytes);
        f.close();
        const double t = ms([&] { history.recordRun(QFile::encodeName(path)); });
        worst = std::max(worst, t);
        total += t;
    }
    std::printf(
        "%s: adding a run at the end of a test: %.1f ms on average, %.1f ms at most (target < 20 ms)\n", name,
        total / 20, worst);
}

} // namespace

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int machines = 1000;
    const QStringList args = app.arguments();
    if (const qsizetype i = args.indexOf(QStringLiteral("--machines")); i > 0 && i + 1 < args.size())
        machines = args[i + 1].toInt();

    QTemporaryDir dir;
    QString error;
    const QString file = dir.filePath(QStringLiteral("orvex-ampero/history.sqlite"));
    {
        auto store = HistoryStore::openLocal(file, &error);
        if (!store) {
            std::fprintf(stderr, "history_bench: %s\n", qPrintable(error));
            return 1;
        }
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fill"));
            db.setDatabaseName(file);
            db.open();
        }
        const double filled = ms([&] { fill(QStringLiteral("fill"), machines); });
        QSqlDatabase::removeDatabase(QStringLiteral("fill"));
        std::printf("SQLite: filled %d machines in %.0f ms\n", machines, filled);
        measure("SQLite", *store, machines);
    }

    measureWindow(file, machines);
    // The full export through the program, as a user runs it.
    measureExport("SQLite", dir.path(), {}, machines);
    QTemporaryDir addDir;
    measureAddRun("SQLite", addDir.path(), {});

    test::PostgresServer server;
    if (!server.available()) {
        std::printf("PostgreSQL: skipped (no PostgreSQL 15 server programs)\n");
        return 0;
    }
    auto shared = HistoryStore::openShared(server.url(), &error);
    if (!shared) {
        std::fprintf(stderr, "history_bench: %s\n", qPrintable(error));
        return 1;
    }
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("pgfill"));
        const QUrl u(server.url());
        db.setHostName(QUrlQuery(u).queryItemValue(QStringLiteral("host")));
        db.setDatabaseName(QStringLiteral("postgres"));
        db.setUserName(QStringLiteral("ampero"));
        db.open();
    }
    const double filled = ms([&] { fill(QStringLiteral("pgfill"), machines); });
    QSqlDatabase::removeDatabase(QStringLiteral("pgfill"));
    std::printf("PostgreSQL: filled %d machines in %.0f ms\n", machines, filled);
    measure("PostgreSQL", *shared, machines);
    // An empty local store beside the shared one: nothing to send first.
    QTemporaryDir pgHome;
    measureExport("PostgreSQL", pgHome.path(), server.url(), machines);
    QTemporaryDir pgAddDir;
    measureAddRun("PostgreSQL", pgAddDir.path(), server.url());
    return 0;
}
