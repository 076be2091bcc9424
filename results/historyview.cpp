// SPDX-License-Identifier: GPL-3.0-or-later
#include "results/historyview.h"

#include "results/historystore.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>

namespace ampero {

namespace {

std::optional<double> number(const QJsonObject& o, QLatin1String key)
{
    const QJsonValue v = o.value(key);
    if (!v.isDouble())
        return std::nullopt;
    return v.toDouble();
}

HistoryRunRow rowOf(const HistoryRun& run)
{
    const QJsonObject r = QJsonDocument::fromJson(run.report).object();
    HistoryRunRow row;
    row.finishedAt = run.finishedAt;
    row.mode = run.mode;
    const QJsonValue workload = r.value(QLatin1String("workload"));
    row.workload = workload.isString() ? workload.toString() : r.value(QLatin1String("load")).toString();
    row.lifeSeconds = number(r, QLatin1String("battery_life_seconds"));
    row.fullLifeSeconds = number(r, QLatin1String("battery_life_full_seconds"));
    row.mark = number(r, QLatin1String("mark"));
    row.markEstimated = r.value(QLatin1String("mark_estimated")).toBool();
    row.averagePowerW = number(r, QLatin1String("average_power_w"));
    row.healthPercent = number(r, QLatin1String("battery_health_percent"));
    row.path = run.path;
    return row;
}

} // namespace

double historyDay(const QDateTime& t)
{
    return static_cast<double>(t.toMSecsSinceEpoch()) / 86400000.0;
}

HistoryView readHistoryView(HistoryStore& store, const QString& machineId)
{
    HistoryView view;
    const QList<HistoryRun> runs = store.runs(machineId);
    view.runs.reserve(runs.size());
    for (auto it = runs.crbegin(); it != runs.crend(); ++it) {
        view.runs << rowOf(*it);
        if (const auto& health = view.runs.back().healthPercent)
            view.health << QPointF(historyDay(it->finishedAt), *health);
    }
    for (const HistorySnapshot& s : store.snapshots(machineId)) {
        if (s.healthPercent)
            view.health << QPointF(historyDay(s.takenAt), *s.healthPercent);
        if (s.cycleCount)
            view.cycles << QPointF(historyDay(s.takenAt), static_cast<double>(*s.cycleCount));
    }
    // The runs and the snapshots into one line, in time order.
    std::stable_sort(view.health.begin(), view.health.end(),
        [](const QPointF& a, const QPointF& b) { return a.x() < b.x(); });
    return view;
}

HistoryView readHistoryView(const QString& localFile, const QString& machineId, QString* error)
{
    const std::unique_ptr<HistoryStore> store = HistoryStore::openLocal(localFile, error);
    if (!store)
        return {};
    return readHistoryView(*store, machineId);
}

} // namespace ampero
