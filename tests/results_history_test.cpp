// SPDX-License-Identifier: GPL-3.0-or-later
// The battery history: the store on SQLite always, and on a PostgreSQL
// server the test starts itself where the server's programs are installed.
#include "results/history.h"
#include "results/historyview.h"
#include "support/postgresserver.h"
#include "support/testutil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>

using namespace ampero;

namespace {

HistoryRun run(const QString& hash, const QString& machine, qint64 at)
{
    return { hash, machine, QDateTime::fromSecsSinceEpoch(at, Qt::UTC), QStringLiteral("fast"),
        QByteArray(R"({"mode": "fast", "battery_health_percent": 95})"),
        QStringLiteral("/home/someone/run.apr") };
}

HistorySnapshot snapshot(qint64 at, double full, std::optional<qint64> cycles = 40)
{
    HistorySnapshot s;
    s.machineId = QStringLiteral("m1");
    s.takenAt = QDateTime::fromSecsSinceEpoch(at, Qt::UTC);
    s.serialHash = serialHash(QStringLiteral("SMP"), QStringLiteral("5B10"), QStringLiteral("1234"));
    s.energyFullWh = full;
    s.energyFullDesignWh = 57.0;
    s.healthPercent = full / 57.0 * 100;
    s.cycleCount = cycles;
    s.voltageV = 12.5;
    return s;
}

// A history over a folder of its own, whose runs are described by a stand-in
// for the program's report.
struct TestHistory {
    explicit TestHistory(const QString& folder, const QString& url = {}, const QByteArray& machineId = {})
    {
        HistoryConfig c;
        c.localFile = folder + QStringLiteral("/history.sqlite");
        c.pendingFile = folder + QStringLiteral("/history-pending");
        c.databaseUrl = url;
        c.machineIdFile = folder + QStringLiteral("/machine-id");
        c.fallbackIdFile = folder + QStringLiteral("/installation-id");
        c.busyTimeoutMs = 200;
        if (!machineId.isEmpty()) {
            QFile f(c.machineIdFile);
            EXPECT_TRUE(f.open(QIODevice::WriteOnly) && f.write(machineId + '\n') > 0);
        }
        config = c;
        history = std::make_unique<History>(
            c,
            [](const QByteArray& path, QString*) -> std::optional<RunDescription> {
                return RunDescription { QByteArray(R"({"mode": "normal", "file_was": ")")
                        + QFileInfo(QFile::decodeName(path)).fileName().toUtf8() + "\"}",
                    QStringLiteral("normal"), QDateTime::fromSecsSinceEpoch(1767225600, Qt::UTC) };
            },
            [this](const QString& w) { warnings << w; });
    }
    HistoryConfig config;
    QStringList warnings;
    std::unique_ptr<History> history;
};

} // namespace

TEST(HistoryIds, MachineIdIsSystemdsAppSpecificIdAndSerialNeverShows)
{
    // HMAC-SHA256 keyed by the machine id over the application id, as
    // systemd's sd_id128_get_machine_app_specific() computes it.
    EXPECT_EQ(machineIdFor("0123456789abcdef0123456789abcdef\n"), "5ad06214-d5ae-4692-b91c-47ddfd8f08c2");
    EXPECT_EQ(machineIdFor("not a machine id"), QString());
    const QString hash
        = serialHash(QStringLiteral("SMP"), QStringLiteral("5B10"), QStringLiteral("SN-778812"));
    EXPECT_FALSE(hash.contains(QStringLiteral("778812")));
    EXPECT_NE(hash, serialHash(QStringLiteral("SMP"), QStringLiteral("5B10"), QStringLiteral("SN-778813")));
}

TEST(HistoryStoreSqlite, MigratesAnEmptyStoreAndAVersionOneStore)
{
    QTemporaryDir dir;
    QString error;
    const QString fresh = dir.filePath(QStringLiteral("fresh.sqlite"));
    EXPECT_EQ(HistoryStore::openLocal(fresh, &error)->schemaVersion(), HistorySchemaVersion)
        << error.toStdString();

    // The version-1 fixture, loaded statement by statement.
    const QString old = dir.filePath(QStringLiteral("old.sqlite"));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fixture"));
        db.setDatabaseName(old);
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        QByteArray sql;
        for (const QByteArray& line : test::readFile(QStringLiteral(AMPERO_HISTORY_FIXTURE)).split('\n'))
            if (!line.startsWith("--"))
                sql += line + '\n';
        for (const QByteArray& statement : sql.split(';')) {
            if (!statement.trimmed().isEmpty()) {
                ASSERT_TRUE(q.exec(QString::fromUtf8(statement))) << statement.toStdString();
            }
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("fixture"));
    auto store = HistoryStore::openLocal(old, &error);
    ASSERT_TRUE(store) << error.toStdString();
    EXPECT_EQ(store->schemaVersion(), 2);
    const QString machine = QStringLiteral("5ad06214-d5ae-4692-b91c-47ddfd8f08c2");
    ASSERT_EQ(store->runs(machine).size(), 1);
    EXPECT_EQ(store->runs(machine).first().path, "/home/user/january.apr");
    ASSERT_EQ(store->snapshots(machine).size(), 1);
    EXPECT_EQ(store->snapshots(machine).first().cycleCount, 41);
    // What version 1 held is what a shared store has not seen yet.
    EXPECT_EQ(store->unsentRuns().size(), 1);
    ASSERT_EQ(store->fleet().size(), 1);
    EXPECT_EQ(store->fleet().first().runs, 1);
}

TEST(HistoryStoreSqlite, RunOnceByHashSnapshotOnlyWhenAFigureChangesOrADayPasses)
{
    QTemporaryDir dir;
    QString error;
    auto store = HistoryStore::openLocal(dir.filePath(QStringLiteral("h.sqlite")), &error);
    ASSERT_TRUE(store) << error.toStdString();
    EXPECT_EQ(
        store->addRun(run(QStringLiteral("aa"), QStringLiteral("m1"), 1000)), HistoryStore::Added::Added);
    EXPECT_EQ(store->addRun(run(QStringLiteral("aa"), QStringLiteral("m1"), 2000)),
        HistoryStore::Added::AlreadyThere);

    const qint64 t = 1767225600;
    EXPECT_EQ(store->addSnapshot(snapshot(t, 55.0)), HistoryStore::Added::Added);
    EXPECT_EQ(store->addSnapshot(snapshot(t + 3600, 55.0)), HistoryStore::Added::AlreadyThere);
    EXPECT_EQ(store->addSnapshot(snapshot(t + 7200, 55.0, 41)), HistoryStore::Added::Added); // a cycle more
    EXPECT_EQ(
        store->addSnapshot(snapshot(t + 7200 + 86400, 55.0, 41)), HistoryStore::Added::Added); // a day on
    EXPECT_EQ(store->snapshots(QStringLiteral("m1")).size(), 3);
    EXPECT_EQ(
        store->snapshots(QStringLiteral("m1"), QDateTime::fromSecsSinceEpoch(t + 7200, Qt::UTC)).size(), 2);
}

TEST(HistoryView, RunsNewestFirstAndHealthFromRunsAndSnapshotsInTimeOrder)
{
    QTemporaryDir dir;
    QString error;
    auto store = HistoryStore::openLocal(dir.filePath(QStringLiteral("h.sqlite")), &error);
    ASSERT_TRUE(store) << error.toStdString();
    const qint64 t = 1767225600;
    store->addRun(run(QStringLiteral("old"), QStringLiteral("m1"), t));
    HistoryRun later = run(QStringLiteral("new"), QStringLiteral("m1"), t + 30 * 86400);
    later.report = R"({"workload": "office", "load": "none", "mark": 900, "mark_estimated": true,
        "battery_life_full_seconds": 36000, "average_power_w": 6.5})";
    store->addRun(later);
    store->addSnapshot(snapshot(t + 86400, 54.15)); // 95 %, 40 cycles

    const HistoryView view = readHistoryView(*store, QString());
    ASSERT_EQ(view.runs.size(), 2);
    EXPECT_EQ(view.runs[0].workload, QStringLiteral("office"));
    EXPECT_EQ(view.runs[0].fullLifeSeconds, 36000);
    EXPECT_TRUE(view.runs[0].markEstimated);
    EXPECT_EQ(view.runs[0].averagePowerW, 6.5);
    EXPECT_FALSE(view.runs[0].healthPercent);
    EXPECT_EQ(view.runs[1].healthPercent, 95);
    EXPECT_EQ(view.runs[1].path, QStringLiteral("/home/someone/run.apr"));
    ASSERT_EQ(view.health.size(), 2); // the old run's, then the snapshot's
    EXPECT_EQ(view.health[1].x() - view.health[0].x(), 1.0);
    ASSERT_EQ(view.cycles.size(), 1);
    EXPECT_EQ(view.cycles[0].y(), 40);
}

TEST(HistoryStoreSqlite, TwoWritersAtOnceLoseNothing)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("h.sqlite"));
    QString error;
    ASSERT_TRUE(HistoryStore::openLocal(file, &error)) << error.toStdString();
    std::atomic<int> failed { 0 };
    const auto writer = [&](int id) {
        auto store = HistoryStore::openLocal(file, nullptr);
        if (!store) {
            failed += 100;
            return;
        }
        for (int i = 0; i < 100; ++i)
            if (store->addRun(run(QStringLiteral("%1-%2").arg(id).arg(i), QStringLiteral("m%1").arg(id), i))
                != HistoryStore::Added::Added)
                ++failed;
    };
    std::thread a(writer, 1), b(writer, 2);
    a.join();
    b.join();
    EXPECT_EQ(failed, 0);
    EXPECT_EQ(HistoryStore::openLocal(file, nullptr)->runs(QString()).size(), 200);
}

TEST(HistorySqlite, CorruptOrLockedStoreKeepsTheRunForLater)
{
    QTemporaryDir dir;
    const QString results = test::writeFile(dir, QStringLiteral("a.apr"), "results");
    QFile corrupt(dir.filePath(QStringLiteral("history.sqlite")));
    ASSERT_TRUE(corrupt.open(QIODevice::WriteOnly));
    corrupt.write(QByteArray(8192, 'x'));
    corrupt.close();
    {
        TestHistory h(dir.path());
        EXPECT_EQ(h.history->recordRun(QFile::encodeName(results)), HistoryStore::Added::Failed);
        EXPECT_FALSE(h.warnings.isEmpty());
        EXPECT_EQ(test::readFile(h.config.pendingFile), QFile::encodeName(results) + '\n');
    }
    // The store mended (here: moved away), the next start adds the run.
    ASSERT_TRUE(QFile::remove(corrupt.fileName()));
    {
        TestHistory h(dir.path());
        ASSERT_TRUE(h.history->reader());
        EXPECT_EQ(h.history->reader()->runs(QString()).size(), 1) << h.warnings.join('\n').toStdString();
        EXPECT_FALSE(QFile::exists(h.config.pendingFile));
    }

    // Another program holds the write lock longer than the busy timeout.
    const QString second = test::writeFile(dir, QStringLiteral("b.apr"), "other results");
    QSqlDatabase locker = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("locker"));
    locker.setDatabaseName(corrupt.fileName());
    ASSERT_TRUE(locker.open());
    QSqlQuery(locker).exec(QStringLiteral("BEGIN EXCLUSIVE"));
    {
        TestHistory h(dir.path());
        EXPECT_EQ(h.history->recordRun(QFile::encodeName(second)), HistoryStore::Added::Failed);
        EXPECT_TRUE(QFile::exists(h.config.pendingFile));
    }
    QSqlQuery(locker).exec(QStringLiteral("ROLLBACK"));
    locker.close();
    locker = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("locker"));
    TestHistory h(dir.path());
    ASSERT_TRUE(h.history->reader());
    EXPECT_EQ(h.history->reader()->runs(QString()).size(), 2);
}

TEST(HistoryPostgres, TwoMachinesShareOneServerAndAServerThatGoesAwayCatchesUp)
{
    if (!QFile::exists(QStringLiteral("/usr/lib/postgresql/15/bin/initdb")))
        GTEST_SKIP() << "PostgreSQL 15's server programs are not installed (Debian package postgresql-15)";
    test::PostgresServer server;
    ASSERT_TRUE(server.available()) << "the test's PostgreSQL server did not start";
    QTemporaryDir one, two;
    const QString first = test::writeFile(one, QStringLiteral("january.apr"), "january");
    const QString second = test::writeFile(two, QStringLiteral("february.apr"), "february");
    {
        TestHistory a(one.path(), server.url(), "0123456789abcdef0123456789abcdef");
        a.history->recordMachine({ {}, QStringLiteral("Orvex"), QStringLiteral("Book 14"), {} });
        EXPECT_EQ(a.history->recordRun(QFile::encodeName(first)), HistoryStore::Added::Added);
        EXPECT_TRUE(a.warnings.isEmpty()) << a.warnings.join('\n').toStdString();
    }
    {
        TestHistory b(two.path(), server.url(), "fedcba9876543210fedcba9876543210");
        b.history->recordMachine({ {}, QStringLiteral("Orvex"), QStringLiteral("Book 16"), {} });
        EXPECT_EQ(b.history->recordRun(QFile::encodeName(second)), HistoryStore::Added::Added);
        const QList<HistoryRun> runs = b.history->reader()->runs(QString());
        ASSERT_EQ(runs.size(), 2);
        EXPECT_NE(runs[0].machineId, runs[1].machineId);
        EXPECT_TRUE(runs[0].path.isEmpty() && runs[1].path.isEmpty()); // no path leaves the machine
        EXPECT_EQ(b.history->reader()->fleet().size(), 2);
    }

    // The server goes away; the run stays in the local store and is sent
    // once the server is back.
    server.stop();
    const QString third = test::writeFile(one, QStringLiteral("march.apr"), "march");
    {
        TestHistory a(one.path(), server.url(), "0123456789abcdef0123456789abcdef");
        EXPECT_EQ(a.history->recordRun(QFile::encodeName(third)), HistoryStore::Added::Added);
        EXPECT_FALSE(a.warnings.isEmpty());
    }
    ASSERT_TRUE(server.start());
    TestHistory a(one.path(), server.url(), "0123456789abcdef0123456789abcdef");
    ASSERT_TRUE(a.history->reader() && a.history->reader()->isShared());
    EXPECT_EQ(a.history->reader()->runs(QString()).size(), 3);
}
