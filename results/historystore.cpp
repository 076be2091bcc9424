// SPDX-License-Identifier: GPL-3.0-or-later
#include "results/historystore.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QMessageAuthenticationCode>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <QUrlQuery>
#include <QUuid>
#include <QVariant>
#include <cmath>

namespace ampero {

namespace {

// The statements that bring a store from the version before to each version.
// They are written in the SQL that SQLite and PostgreSQL share; a store
// records each version it passed in schema_version.
const QList<QStringList>& migrations()
{
    static const QList<QStringList> steps {
        // 1: machines, battery snapshots and runs.
        {
            QStringLiteral(
                "CREATE TABLE machines (id TEXT PRIMARY KEY, vendor TEXT, model TEXT, kernel TEXT, "
                "last_seen BIGINT)"),
            QStringLiteral(
                "CREATE TABLE snapshots (machine_id TEXT NOT NULL, taken_at BIGINT NOT NULL, "
                "battery_vendor TEXT, battery_model TEXT, technology TEXT, serial_hash TEXT NOT NULL, "
                "energy_full_wh DOUBLE PRECISION, energy_full_design_wh DOUBLE PRECISION, "
                "health_percent DOUBLE PRECISION, cycle_count BIGINT, voltage_v DOUBLE PRECISION, "
                "PRIMARY KEY (machine_id, serial_hash, taken_at))"),
            QStringLiteral("CREATE TABLE runs (file_hash TEXT PRIMARY KEY, machine_id TEXT NOT NULL, "
                           "finished_at BIGINT NOT NULL, mode TEXT, report TEXT NOT NULL, path TEXT)"),
        },
        // 2: what a local store has sent to a shared one, and the indexes of
        // a machine's history by time.
        {
            QStringLiteral("ALTER TABLE snapshots ADD COLUMN sent INTEGER NOT NULL DEFAULT 0"),
            QStringLiteral("ALTER TABLE runs ADD COLUMN sent INTEGER NOT NULL DEFAULT 0"),
            QStringLiteral("CREATE INDEX snapshots_by_time ON snapshots (machine_id, taken_at)"),
            QStringLiteral("CREATE INDEX runs_by_time ON runs (machine_id, finished_at)"),
        },
    };
    return steps;
}

// The program's application id, over which the machine id is hashed.
constexpr char ApplicationId[] = "e2285239b2274c79bee77067d259be13";

// A key for PostgreSQL's advisory lock, held while a store migrates.
constexpr qint64 MigrationLock = 0x416d7065726f4831; // "AmperoH1"

QVariant optionalValue(const std::optional<double>& v)
{
    return v && std::isfinite(*v) ? QVariant(*v) : QVariant(QMetaType::fromType<double>());
}

QVariant optionalValue(const std::optional<qint64>& v)
{
    return v ? QVariant(*v) : QVariant(QMetaType::fromType<qint64>());
}

std::optional<double> optionalDouble(const QVariant& v)
{
    return v.isNull() ? std::nullopt : std::optional<double>(v.toDouble());
}

std::optional<qint64> optionalInt(const QVariant& v)
{
    return v.isNull() ? std::nullopt : std::optional<qint64>(v.toLongLong());
}

QDateTime fromSeconds(const QVariant& v)
{
    return QDateTime::fromSecsSinceEpoch(v.toLongLong(), Qt::UTC);
}

// Two figures that a snapshot shows alike: both unknown, or equal to a
// thousandth.
bool sameFigure(const std::optional<double>& a, const std::optional<double>& b)
{
    if (!a || !b)
        return !a && !b;
    return std::fabs(*a - *b) < 0.0005;
}

constexpr qint64 Day = qint64(24) * 60 * 60;

const char SnapshotColumns[]
    = "machine_id, taken_at, battery_vendor, battery_model, technology, serial_hash, "
      "energy_full_wh, energy_full_design_wh, health_percent, cycle_count, voltage_v";
const char RunColumns[] = "file_hash, machine_id, finished_at, mode, report, path";

HistorySnapshot snapshotFrom(const QSqlQuery& q)
{
    HistorySnapshot s;
    s.machineId = q.value(0).toString();
    s.takenAt = fromSeconds(q.value(1));
    s.batteryVendor = q.value(2).toString();
    s.batteryModel = q.value(3).toString();
    s.technology = q.value(4).toString();
    s.serialHash = q.value(5).toString();
    s.energyFullWh = optionalDouble(q.value(6));
    s.energyFullDesignWh = optionalDouble(q.value(7));
    s.healthPercent = optionalDouble(q.value(8));
    s.cycleCount = optionalInt(q.value(9));
    s.voltageV = optionalDouble(q.value(10));
    return s;
}

HistoryRun runFrom(const QSqlQuery& q)
{
    HistoryRun r;
    r.fileHash = q.value(0).toString();
    r.machineId = q.value(1).toString();
    r.finishedAt = fromSeconds(q.value(2));
    r.mode = q.value(3).toString();
    r.report = q.value(4).toString().toUtf8();
    r.path = q.value(5).toString();
    return r;
}

} // namespace

struct HistoryStore::Private {
    QString connection;
    bool shared = false;
    QString error;

    ~Private()
    {
        {
            QSqlDatabase db = QSqlDatabase::database(connection, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(connection);
    }

    QSqlDatabase db() const { return QSqlDatabase::database(connection, false); }

    bool fail(const QSqlQuery& q)
    {
        error = q.lastError().text();
        return false;
    }

    // Runs one statement with its values bound in order.
    // Statements without values run as they are: PostgreSQL prepares no
    // BEGIN, COMMIT or SET.
    bool exec(QSqlQuery& q, const QString& sql, const QVariantList& values = {})
    {
        q.setForwardOnly(true);
        if (values.isEmpty())
            return q.exec(sql) || fail(q);
        if (!q.prepare(sql))
            return fail(q);
        for (const QVariant& v : values)
            q.addBindValue(v);
        return q.exec() || fail(q);
    }

    bool exec(const QString& sql, const QVariantList& values = {})
    {
        QSqlQuery q(db());
        return exec(q, sql, values);
    }

    // The rows a query gives, each made by rowFrom; none when it fails.
    template <typename Row>
    QList<Row> rows(const QString& sql, const QVariantList& values, Row (*rowFrom)(const QSqlQuery&))
    {
        QList<Row> out;
        QSqlQuery q(db());
        if (exec(q, sql, values))
            while (q.next())
                out << rowFrom(q);
        return out;
    }

    // The rows of table from since on, oldest first: of one machine, or of
    // every machine when machineId is empty.
    template <typename Row>
    QList<Row> rowsSince(QLatin1String columns, QLatin1String table, QLatin1String timeColumn,
        const QString& machineId, const QDateTime& since, Row (*rowFrom)(const QSqlQuery&))
    {
        const qint64 from = since.isValid() ? since.toSecsSinceEpoch() : std::numeric_limits<qint64>::min();
        if (machineId.isEmpty())
            return rows(QStringLiteral("SELECT %1 FROM %2 WHERE %3 >= ? ORDER BY %3, machine_id")
                            .arg(columns, table, timeColumn),
                { from }, rowFrom);
        return rows(QStringLiteral("SELECT %1 FROM %2 WHERE machine_id = ? AND %3 >= ? ORDER BY %3")
                        .arg(columns, table, timeColumn),
            { machineId, from }, rowFrom);
    }

    // Writes take the write lock at once: a deferred transaction that turns
    // into a write fails at once when another writer holds the lock, where
    // this one waits for it as long as the busy timeout allows.
    bool begin() { return exec(shared ? QStringLiteral("BEGIN") : QStringLiteral("BEGIN IMMEDIATE")); }
    bool commit()
    {
        if (exec(QStringLiteral("COMMIT")))
            return true;
        rollback();
        return false;
    }
    void rollback()
    {
        const QString kept = error;
        exec(QStringLiteral("ROLLBACK"));
        error = kept;
    }

    bool migrate()
    {
        if (!begin())
            return false;
        const auto abort = [this] {
            rollback();
            return false;
        };
        if (shared && !exec(QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(MigrationLock)))
            return abort();
        if (!exec(QStringLiteral("CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)")))
            return abort();
        QSqlQuery q(db());
        if (!exec(q, QStringLiteral("SELECT MAX(version) FROM schema_version")) || !q.next())
            return abort();
        const int version = q.value(0).toInt();
        q.finish();
        if (version > HistorySchemaVersion) {
            error = QStringLiteral("the store is of a newer version (%1) than this program knows (%2)")
                        .arg(version)
                        .arg(HistorySchemaVersion);
            return abort();
        }
        for (int v = version + 1; v <= HistorySchemaVersion; ++v) {
            for (const QString& sql : migrations().at(v - 1))
                if (!exec(sql))
                    return abort();
            if (!exec(QStringLiteral("INSERT INTO schema_version (version) VALUES (?)"), { v }))
                return abort();
        }
        return commit();
    }

    Added insertSnapshot(const HistorySnapshot& s, bool onlyWhenChanged)
    {
        if (!begin())
            return Added::Failed;
        const qint64 at = s.takenAt.toSecsSinceEpoch();
        if (onlyWhenChanged) {
            QSqlQuery q(db());
            if (!exec(q,
                    QStringLiteral("SELECT %1 FROM snapshots WHERE machine_id = ? AND serial_hash = ? "
                                   "ORDER BY taken_at DESC LIMIT 1")
                        .arg(QLatin1String(SnapshotColumns)),
                    { s.machineId, s.serialHash })) {
                rollback();
                return Added::Failed;
            }
            if (q.next()) {
                // The voltage is a reading of the moment, not a figure of the
                // battery: it alone makes no new snapshot.
                const HistorySnapshot last = snapshotFrom(q);
                if (at - last.takenAt.toSecsSinceEpoch() < Day && at >= last.takenAt.toSecsSinceEpoch()
                    && sameFigure(last.energyFullWh, s.energyFullWh)
                    && sameFigure(last.energyFullDesignWh, s.energyFullDesignWh)
                    && sameFigure(last.healthPercent, s.healthPercent) && last.cycleCount == s.cycleCount) {
                    q.finish();
                    rollback();
                    return Added::AlreadyThere;
                }
            }
        }
        QSqlQuery q(db());
        if (!exec(q,
                QStringLiteral("INSERT INTO snapshots (%1) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?) "
                               "ON CONFLICT DO NOTHING")
                    .arg(QLatin1String(SnapshotColumns)),
                { s.machineId, at, s.batteryVendor, s.batteryModel, s.technology, s.serialHash,
                    optionalValue(s.energyFullWh), optionalValue(s.energyFullDesignWh),
                    optionalValue(s.healthPercent), optionalValue(s.cycleCount),
                    optionalValue(s.voltageV) })) {
            rollback();
            return Added::Failed;
        }
        const bool added = q.numRowsAffected() > 0;
        if (!commit())
            return Added::Failed;
        return added ? Added::Added : Added::AlreadyThere;
    }
};

HistoryStore::HistoryStore(std::unique_ptr<Private> p)
    : d(std::move(p))
{
}

HistoryStore::~HistoryStore() = default;

std::unique_ptr<HistoryStore> HistoryStore::openLocal(const QString& file, QString* error, int busyTimeoutMs)
{
    const auto failed = [error](const QString& why) {
        if (error)
            *error = why;
        return nullptr;
    };
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QSQLITE")))
        return failed(QStringLiteral("Qt's SQLite driver is not installed"));
    const QFileInfo info(file);
    if (!QDir().mkpath(info.absolutePath()))
        return failed(QStringLiteral("cannot create the folder %1").arg(info.absolutePath()));
    if (info.exists() && !info.isFile())
        return failed(QStringLiteral("%1 is not a regular file").arg(file));
    auto p = std::make_unique<Private>();
    p->connection = QStringLiteral("ampero-history-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), p->connection);
        db.setDatabaseName(file);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(busyTimeoutMs));
        if (!db.open())
            return failed(db.lastError().text());
    }
    std::unique_ptr<HistoryStore> store(new HistoryStore(std::move(p)));
    // WAL lets readers go on while one writer writes; a file that is not a
    // database fails here, at its first read.
    QSqlQuery q(store->d->db());
    if (!store->d->exec(q, QStringLiteral("PRAGMA journal_mode=WAL")) || !q.next())
        return failed(store->d->error);
    q.finish();
    if (!store->d->exec(QStringLiteral("PRAGMA synchronous=NORMAL")) || !store->d->migrate())
        return failed(store->d->error);
    return store;
}

std::unique_ptr<HistoryStore> HistoryStore::openShared(const QString& url, QString* error)
{
    const auto failed = [error](const QString& why) {
        if (error)
            *error = why;
        return nullptr;
    };
    const QUrl u(url);
    if (!u.isValid() || (u.scheme() != u"postgresql" && u.scheme() != u"postgres"))
        return failed(QStringLiteral("not a postgresql:// URL"));
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")))
        return failed(QStringLiteral("Qt's PostgreSQL driver is not installed"));
    const QUrlQuery query(u);
    auto p = std::make_unique<Private>();
    p->shared = true;
    p->connection = QStringLiteral("ampero-history-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), p->connection);
        db.setHostName(query.hasQueryItem(QStringLiteral("host"))
                ? query.queryItemValue(QStringLiteral("host"), QUrl::FullyDecoded)
                : u.host());
        if (u.port() > 0)
            db.setPort(u.port());
        db.setDatabaseName(u.path().mid(1));
        db.setUserName(u.userName());
        db.setPassword(u.password());
        db.setConnectOptions(QStringLiteral("connect_timeout=5"));
        if (!db.open()) {
            const QString why = db.lastError().text();
            db = QSqlDatabase();
            return failed(why);
        }
    }
    std::unique_ptr<HistoryStore> store(new HistoryStore(std::move(p)));
    if (!store->d->exec(QStringLiteral("SET client_min_messages TO WARNING")) || !store->d->migrate())
        return failed(store->d->error);
    return store;
}

bool HistoryStore::isShared() const
{
    return d->shared;
}

QString HistoryStore::lastError() const
{
    return d->error;
}

bool HistoryStore::addMachine(const HistoryMachine& m)
{
    if (!d->begin())
        return false;
    if (!d->exec(QStringLiteral(
                     "INSERT INTO machines (id, vendor, model, kernel, last_seen) VALUES (?, ?, ?, ?, ?) "
                     "ON CONFLICT (id) DO UPDATE SET vendor = excluded.vendor, model = excluded.model, "
                     "kernel = excluded.kernel, last_seen = excluded.last_seen"),
            { m.id, m.vendor, m.model, m.kernel, QDateTime::currentSecsSinceEpoch() })) {
        d->rollback();
        return false;
    }
    return d->commit();
}

HistoryStore::Added HistoryStore::addSnapshot(const HistorySnapshot& snapshot)
{
    return d->insertSnapshot(snapshot, true);
}

HistoryStore::Added HistoryStore::addRun(const HistoryRun& run)
{
    if (!d->begin())
        return Added::Failed;
    QSqlQuery q(d->db());
    if (!d->exec(q,
            QStringLiteral(
                "INSERT INTO runs (%1) VALUES (?, ?, ?, ?, ?, ?) ON CONFLICT (file_hash) DO NOTHING")
                .arg(QLatin1String(RunColumns)),
            { run.fileHash, run.machineId, run.finishedAt.toSecsSinceEpoch(), run.mode,
                QString::fromUtf8(run.report),
                d->shared || run.path.isEmpty() ? QVariant(QMetaType::fromType<QString>())
                                                : QVariant(run.path) })) {
        d->rollback();
        return Added::Failed;
    }
    const bool added = q.numRowsAffected() > 0;
    if (!d->commit())
        return Added::Failed;
    return added ? Added::Added : Added::AlreadyThere;
}

QList<HistorySnapshot> HistoryStore::unsentSnapshots()
{
    return d->rows(QStringLiteral("SELECT %1 FROM snapshots WHERE sent = 0 ORDER BY taken_at")
                       .arg(QLatin1String(SnapshotColumns)),
        {}, snapshotFrom);
}

QList<HistoryRun> HistoryStore::unsentRuns()
{
    return d->rows(QStringLiteral("SELECT %1 FROM runs WHERE sent = 0 ORDER BY finished_at")
                       .arg(QLatin1String(RunColumns)),
        {}, runFrom);
}

bool HistoryStore::markSent(const QList<HistorySnapshot>& snapshots, const QList<HistoryRun>& runs)
{
    if (!d->begin())
        return false;
    for (const HistorySnapshot& s : snapshots)
        if (!d->exec(QStringLiteral("UPDATE snapshots SET sent = 1 WHERE machine_id = ? AND serial_hash = ? "
                                    "AND taken_at = ?"),
                { s.machineId, s.serialHash, s.takenAt.toSecsSinceEpoch() })) {
            d->rollback();
            return false;
        }
    for (const HistoryRun& r : runs)
        if (!d->exec(QStringLiteral("UPDATE runs SET sent = 1 WHERE file_hash = ?"), { r.fileHash })) {
            d->rollback();
            return false;
        }
    return d->commit();
}

QList<HistoryMachine> HistoryStore::machines()
{
    QList<HistoryMachine> out;
    QSqlQuery q(d->db());
    if (d->exec(q, QStringLiteral("SELECT id, vendor, model, kernel FROM machines ORDER BY id")))
        while (q.next())
            out << HistoryMachine { q.value(0).toString(), q.value(1).toString(), q.value(2).toString(),
                q.value(3).toString() };
    return out;
}

QList<HistorySnapshot> HistoryStore::snapshots(const QString& machineId, const QDateTime& since)
{
    return d->rowsSince(QLatin1String(SnapshotColumns), QLatin1String("snapshots"), QLatin1String("taken_at"),
        machineId, since, snapshotFrom);
}

QList<HistoryRun> HistoryStore::runs(const QString& machineId, const QDateTime& since)
{
    return d->rowsSince(QLatin1String(RunColumns), QLatin1String("runs"), QLatin1String("finished_at"),
        machineId, since, runFrom);
}

QList<FleetLine> HistoryStore::fleet()
{
    QList<FleetLine> out;
    QSqlQuery q(d->db());
    const QString latest = QStringLiteral(
        "(SELECT s.%1 FROM snapshots s WHERE s.machine_id = m.id ORDER BY s.taken_at DESC LIMIT 1)");
    if (!d->exec(q,
            QStringLiteral("SELECT m.id, m.vendor, m.model, m.kernel, %1, %2, "
                           "(SELECT COUNT(*) FROM runs r WHERE r.machine_id = m.id), "
                           "(SELECT MAX(r.finished_at) FROM runs r WHERE r.machine_id = m.id) "
                           "FROM machines m ORDER BY m.vendor, m.model, m.id")
                .arg(
                    latest.arg(QStringLiteral("health_percent")), latest.arg(QStringLiteral("cycle_count")))))
        return out;
    while (q.next()) {
        FleetLine line;
        line.machine
            = { q.value(0).toString(), q.value(1).toString(), q.value(2).toString(), q.value(3).toString() };
        line.healthPercent = optionalDouble(q.value(4));
        line.cycleCount = optionalInt(q.value(5));
        line.runs = q.value(6).toLongLong();
        if (!q.value(7).isNull())
            line.lastRun = fromSeconds(q.value(7));
        out << line;
    }
    return out;
}

int HistoryStore::schemaVersion()
{
    QSqlQuery q(d->db());
    if (d->exec(q, QStringLiteral("SELECT MAX(version) FROM schema_version")) && q.next())
        return q.value(0).toInt();
    return 0;
}

QString machineIdFor(const QByteArray& machineIdText)
{
    const QByteArray hex = machineIdText.trimmed();
    if (hex.size() != 32)
        return {};
    for (const char c : hex)
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return {};
    QByteArray id = QMessageAuthenticationCode::hash(
        QByteArray::fromHex(ApplicationId), QByteArray::fromHex(hex), QCryptographicHash::Sha256)
                        .left(16);
    // Marked as a random (version 4, variant 1) UUID, as systemd does.
    id[6] = static_cast<char>((id[6] & 0x0F) | 0x40);
    id[8] = static_cast<char>((id[8] & 0x3F) | 0x80);
    return QUuid::fromRfc4122(id).toString(QUuid::WithoutBraces);
}

QString serialHash(const QString& vendor, const QString& model, const QString& serial)
{
    QCryptographicHash h(QCryptographicHash::Sha256);
    h.addData(QByteArrayLiteral("ampero-battery\0"));
    for (const QString& part : { vendor, model, serial }) {
        h.addData(part.toUtf8());
        h.addData(QByteArrayView("\0", 1));
    }
    return QString::fromLatin1(h.result().left(16).toHex());
}

QString resultsFileHash(const QByteArray& bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

} // namespace ampero
