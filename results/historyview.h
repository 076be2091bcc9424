// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The battery history as the History window shows it: the runs of the local
// store, newest first, with the figures of their reports, and the battery's
// health and cycle count over time. Read in one go from the local store,
// which alone knows where each run's results file is.
#include <QDateTime>
#include <QList>
#include <QPointF>
#include <QString>
#include <optional>

namespace ampero {

class HistoryStore;

// One finished test, as its report stored it.
struct HistoryRunRow {
    QDateTime finishedAt; // UTC
    QString mode; // "fast" or "normal"
    QString workload; // "full", "none" or a workload's name
    std::optional<double> lifeSeconds;
    std::optional<double> fullLifeSeconds;
    std::optional<double> mark;
    bool markEstimated = false;
    std::optional<double> averagePowerW;
    std::optional<double> healthPercent;
    QString path; // the results file; empty where the store has none
};

struct HistoryView {
    QList<HistoryRunRow> runs; // newest first
    // x: days since 1970-01-01 UTC (as the chart's dates read them), oldest
    // first. Health comes from the snapshots and from each run's report;
    // cycle counts from the snapshots.
    QList<QPointF> health;
    QList<QPointF> cycles;
};

// Days since 1970-01-01 00:00 UTC, with the time of day as a fraction.
double historyDay(const QDateTime& t);

// Everything the store holds of machineId (every machine's where empty).
HistoryView readHistoryView(HistoryStore& store, const QString& machineId);

// The same from the local store's file, over a connection of its own (for
// whichever thread calls it). Empty with *error set when it cannot be read.
HistoryView readHistoryView(const QString& localFile, const QString& machineId, QString* error);

} // namespace ampero
