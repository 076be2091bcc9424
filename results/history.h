// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the program records in the battery history, and where: always the
// local store, and a shared store too when one is configured. Nothing here
// ever stops a test or touches its files: a store that cannot be opened or
// written is a warning, the results files it missed are remembered in a
// small list beside the store and added at the next chance, and what the
// shared store missed is sent from the local store once it can be reached.
#include "results/historystore.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

namespace ampero {

struct HistoryConfig {
    QString localFile; // the SQLite store
    QString pendingFile; // results files not yet in the local store, one path a line
    QString databaseUrl; // a shared store; empty for none
    // The file with the machine id, and where a random stand-in is kept when
    // it cannot be read.
    QString machineIdFile = QStringLiteral("/etc/machine-id");
    QString fallbackIdFile;
    int busyTimeoutMs = 5000;
};

// The place of the history in the user's data folder:
// $XDG_DATA_HOME/orvex-ampero/history.sqlite and its companions.
HistoryConfig defaultHistoryConfig(const QString& databaseUrl);

// What a results file says, for the history: its report and the time it
// ended. Filled in by the program, which knows how to evaluate a file.
struct RunDescription {
    QByteArray report; // the JSON object of --report --json
    QString mode;
    QDateTime finishedAt;
};
using RunDescriber = std::function<std::optional<RunDescription>(const QByteArray& path, QString* error)>;

class History {
public:
    // warn receives one line for each thing that went wrong.
    History(HistoryConfig config, RunDescriber describe, std::function<void(const QString&)> warn);
    ~History();
    History(const History&) = delete;
    History& operator=(const History&) = delete;

    const HistoryConfig& config() const { return m_config; }
    // A history over the same stores with the same describer and warnings,
    // for another thread: a Qt SQL connection belongs to the thread that
    // opened it, so each thread keeps a History of its own.
    std::unique_ptr<History> twin() const;

    QString machineId();
    // Adds or updates this machine.
    void recordMachine(const HistoryMachine& machine);
    // Adds a snapshot of this machine's battery when a figure changed or a
    // day passed since the last one. Returns whether one was added.
    bool recordSnapshot(HistorySnapshot snapshot);
    // Adds the run of a results file (once, by the hash of its bytes).
    // A store that cannot take it remembers the file for later.
    HistoryStore::Added recordRun(const QByteArray& path);
    // Adds every results file under folder (not following links). Counts
    // those added, those already there and those that failed.
    struct ImportCount {
        int added = 0, alreadyThere = 0, failed = 0;
    };
    ImportCount importFolder(const QString& folder);

    // The store to read: the shared one where configured and reachable,
    // else the local one; null when neither opens.
    HistoryStore* reader();

private:
    HistoryStore* local();
    HistoryStore* shared();
    // Adds the runs remembered in the pending list, then sends what the
    // shared store lacks.
    void catchUp();
    void sendToShared();
    void remember(const QByteArray& path);
    std::optional<HistoryRun> describe(const QByteArray& path);

    HistoryConfig m_config;
    RunDescriber m_describe;
    std::function<void(const QString&)> m_warn;
    std::unique_ptr<HistoryStore> m_local;
    std::unique_ptr<HistoryStore> m_shared;
    bool m_localTried = false;
    bool m_sharedTried = false;
    bool m_caughtUp = false;
    QString m_machineId;
};

} // namespace ampero
