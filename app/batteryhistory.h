// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The battery history as the program records it: what a snapshot of the
// battery holds, what a run of a results file holds, and the history over
// the user's data folder and a shared database.
#include "results/history.h"

#include <functional>
#include <memory>
#include <optional>

namespace ampero {

struct BatteryInfo;
struct MachineFacts;
struct PowerStatus;

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

} // namespace ampero
