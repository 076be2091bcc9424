// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The battery history as the program records it: what a snapshot of the
// battery holds, what a run of a results file holds, and the history over
// the user's data folder and a shared database.
#include "platform/machinefacts.h"
#include "platform/powersource.h"
#include "results/history.h"
#include "sysinfo/batteryinfo.h"

#include <QObject>
#include <QThread>
#include <functional>
#include <memory>
#include <optional>

namespace ampero {

// The history in the user's data folder, and in the database at
// databaseUrl when it is not empty. warn gets each thing that went wrong.
std::unique_ptr<History> makeHistory(const QString& databaseUrl, std::function<void(const QString&)> warn);

// The run of a results file: its --report --json object without the file's
// path (a path names the user), and the time the file was last written.
std::optional<RunDescription> describeRun(const QByteArray& path, QString* error);

// The battery now; none without a battery.
std::optional<HistorySnapshot> batterySnapshot(
    const BatteryInfo& battery, const PowerStatus& status, const QDateTime& now);

// Records a snapshot of the battery and the machine it is in.
void recordBattery(History& history, const BatteryInfo& battery, const PowerStatus& status,
    const std::optional<MachineFacts>& machine);

// The window program's writes to the history, off its GUI thread: a shared
// database that cannot be reached holds a write up to its connect timeout,
// which must not hold the windows. A worker thread keeps a History of its own
// (a twin of the one given, with its own connections) and writes in the order
// asked; each result comes back as a signal on the caller's thread. Deleting
// the writer waits for the writes asked for.
class HistoryWriter : public QObject {
    Q_OBJECT
public:
    explicit HistoryWriter(const History& like, QObject* parent = nullptr);
    ~HistoryWriter() override;
    HistoryWriter(const HistoryWriter&) = delete;
    HistoryWriter& operator=(const HistoryWriter&) = delete;

    // recordBattery() on the worker thread.
    void recordBattery(
        const BatteryInfo& battery, const PowerStatus& status, const std::optional<MachineFacts>& machine);
    // History::recordRun() on the worker thread.
    void recordRun(const QString& resultsPath);

Q_SIGNALS:
    void batteryRecorded();
    void runRecorded(bool stored);

private:
    std::unique_ptr<History> m_history; // used on the worker thread only
    QThread m_thread;
    QObject* m_worker; // lives on m_thread; its queued calls run there
};

} // namespace ampero
