// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The battery history: machines, battery snapshots and finished runs, in an
// SQLite file of the user's (the local store) or in a PostgreSQL database
// that a fleet of machines shares. Both have the same schema and migrations.
#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <memory>
#include <optional>

namespace ampero {

// One installation: its id (see machineIdFor()), never the raw machine id,
// and what DMI and the kernel say of it.
struct HistoryMachine {
    QString id;
    QString vendor;
    QString model;
    QString kernel;
};

// The battery as it was at one moment. The serial number is kept only as a
// hash (serialHash()).
struct HistorySnapshot {
    QString machineId;
    QDateTime takenAt; // UTC, to the second
    QString batteryVendor;
    QString batteryModel;
    QString technology;
    QString serialHash;
    std::optional<double> energyFullWh;
    std::optional<double> energyFullDesignWh;
    std::optional<double> healthPercent;
    std::optional<qint64> cycleCount;
    std::optional<double> voltageV;
};

// A finished test: the report of its results file (the JSON object of
// --report --json, kept as it is), identified by a hash of the file's bytes.
struct HistoryRun {
    QString fileHash;
    QString machineId;
    QDateTime finishedAt; // UTC, to the second
    QString mode; // "fast" or "normal", from the report
    QByteArray report; // JSON object
    QString path; // the results file; kept in the local store only
};

// One line per machine of the store.
struct FleetLine {
    HistoryMachine machine;
    std::optional<double> healthPercent; // of its latest snapshot
    std::optional<qint64> cycleCount; // of its latest snapshot
    qint64 runs = 0;
    std::optional<QDateTime> lastRun;
};

// The schema version the program writes. Older stores are migrated forward
// when opened; a newer one is refused (a newer program wrote it).
inline constexpr int HistorySchemaVersion = 2;

class HistoryStore {
public:
    enum class Added { Added, AlreadyThere, Failed };

    ~HistoryStore();
    HistoryStore(const HistoryStore&) = delete;
    HistoryStore& operator=(const HistoryStore&) = delete;

    // Opens (creating it and its folder when missing) the SQLite file, in WAL
    // mode; a writer waits up to busyTimeoutMs for another one. Null, with
    // *error set, when the file cannot be opened, is not a store, or is of a
    // newer schema.
    static std::unique_ptr<HistoryStore> openLocal(
        const QString& file, QString* error, int busyTimeoutMs = 5000);
    // Connects to postgresql://[user[:password]@]host[:port]/database, where
    // "?host=/folder" names a Unix socket's folder instead. Without a
    // password in the URL, libpq's own PGPASSFILE and PGPASSWORD apply.
    static std::unique_ptr<HistoryStore> openShared(const QString& url, QString* error);

    // True for a store shared by several machines: it never gets a path.
    bool isShared() const;
    QString lastError() const;

    // Adds the machine or updates what it says of itself.
    bool addMachine(const HistoryMachine& machine);
    // Adds a snapshot unless the battery's latest one shows the same figures
    // and is less than a day older (AlreadyThere then).
    Added addSnapshot(const HistorySnapshot& snapshot);
    // Adds a run once: a run with the same file hash is AlreadyThere.
    Added addRun(const HistoryRun& run);

    // What a local store has not yet sent to a shared one, and marking it sent.
    QList<HistorySnapshot> unsentSnapshots();
    QList<HistoryRun> unsentRuns();
    bool markSent(const QList<HistorySnapshot>& snapshots, const QList<HistoryRun>& runs);

    // A machine's snapshots and runs, or every machine's where machineId is
    // empty, from since on (everything when invalid), oldest first. Each
    // list comes with the time it took to read.
    QList<HistoryMachine> machines();
    QList<HistorySnapshot> snapshots(const QString& machineId, const QDateTime& since = {});
    QList<HistoryRun> runs(const QString& machineId, const QDateTime& since = {});
    QList<FleetLine> fleet();

    // The schema version of the open store.
    int schemaVersion();

private:
    struct Private;
    explicit HistoryStore(std::unique_ptr<Private> d);
    std::unique_ptr<Private> d;
};

// The id of this installation in the history: an HMAC-SHA256 keyed by the
// machine id (the 128-bit value of /etc/machine-id) over the program's fixed
// application id, cut to 128 bits and written as a version 4 UUID, the way
// systemd derives application-specific ids. Empty when machineIdText is not
// a machine id.
QString machineIdFor(const QByteArray& machineIdText);

// A battery's name in the history: a hash of its vendor, model and serial
// number, from which the serial cannot be read back.
QString serialHash(const QString& vendor, const QString& model, const QString& serial);

// The SHA-256 of a results file's bytes, in hex: a run's id.
QString resultsFileHash(const QByteArray& bytes);

} // namespace ampero
