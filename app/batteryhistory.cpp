// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/batteryhistory.h"

#include "app/report.h"
#include "platform/machinefacts.h"
#include "platform/powersource.h"
#include "results/evaluation.h"
#include "sysinfo/batteryinfo.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

namespace ampero {

std::unique_ptr<History> makeHistory(const QString& databaseUrl, std::function<void(const QString&)> warn)
{
    return std::make_unique<History>(defaultHistoryConfig(databaseUrl), describeRun, std::move(warn));
}

std::optional<RunDescription> describeRun(const QByteArray& path, QString* error)
{
    const ResultsEvaluation e = evaluateResultsFileAt(path);
    if (!e.ok) {
        if (error)
            *error = e.failure;
        return std::nullopt;
    }
    QJsonObject report = QJsonDocument::fromJson(reportJson(QString(), e)).object();
    report.remove(QStringLiteral("file"));
    RunDescription run;
    run.report = QJsonDocument(report).toJson(QJsonDocument::Compact);
    run.mode = report.value(QStringLiteral("mode")).toString();
    const QDateTime written = QFileInfo(QFile::decodeName(path)).lastModified().toUTC();
    run.finishedAt = QDateTime::fromSecsSinceEpoch(written.toSecsSinceEpoch(), Qt::UTC);
    return run;
}

std::optional<HistorySnapshot> batterySnapshot(
    const BatteryInfo& battery, const PowerStatus& status, const QDateTime& now)
{
    if (!status.level)
        return std::nullopt;
    HistorySnapshot s;
    s.takenAt = QDateTime::fromSecsSinceEpoch(now.toSecsSinceEpoch(), Qt::UTC);
    s.batteryVendor = battery.manufacturer;
    s.batteryModel = battery.name;
    if (battery.chemistry != BatteryChemistry::Unknown)
        s.technology = chemistryName(battery.chemistry);
    s.serialHash = serialHash(battery.manufacturer, battery.name, battery.serial);
    s.energyFullWh = status.energyFullWh;
    s.energyFullDesignWh = status.energyFullDesignWh;
    if (status.energyFullWh && status.energyFullDesignWh && *status.energyFullDesignWh > 0)
        s.healthPercent = *status.energyFullWh / *status.energyFullDesignWh * 100.0;
    if (battery.cycleCount)
        s.cycleCount = static_cast<qint64>(*battery.cycleCount);
    s.voltageV = status.voltageV;
    return s;
}

void recordBattery(History& history, const BatteryInfo& battery, const PowerStatus& status,
    const std::optional<MachineFacts>& machine)
{
    if (machine)
        history.recordMachine({ QString(), machine->vendor, machine->model, machine->kernel });
    if (const auto snapshot = batterySnapshot(battery, status, QDateTime::currentDateTimeUtc()))
        history.recordSnapshot(*snapshot);
}

} // namespace ampero
