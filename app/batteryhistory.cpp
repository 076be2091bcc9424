// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/batteryhistory.h"

#include "app/report.h"
#include "results/evaluation.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMetaObject>

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

HistoryWriter::HistoryWriter(const History& like, QObject* parent)
    : QObject(parent)
    , m_history(like.twin())
    , m_worker(new QObject)
{
    m_thread.setObjectName(QStringLiteral("ampero-history"));
    m_worker->moveToThread(&m_thread);
    m_thread.start(QThread::LowPriority);
}

HistoryWriter::~HistoryWriter()
{
    // The last writes, then the history's connections closed on the thread
    // that opened them.
    QMetaObject::invokeMethod(
        m_worker, [this] { m_history.reset(); }, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
    delete m_worker;
}

void HistoryWriter::recordBattery(
    const BatteryInfo& battery, const PowerStatus& status, const std::optional<MachineFacts>& machine)
{
    QMetaObject::invokeMethod(m_worker, [this, battery, status, machine] {
        ampero::recordBattery(*m_history, battery, status, machine);
        QMetaObject::invokeMethod(this, &HistoryWriter::batteryRecorded, Qt::QueuedConnection);
    });
}

void HistoryWriter::recordRun(const QString& resultsPath)
{
    QMetaObject::invokeMethod(m_worker, [this, path = QFile::encodeName(resultsPath)] {
        const bool stored = m_history->recordRun(path) != HistoryStore::Added::Failed;
        QMetaObject::invokeMethod(
            this, [this, stored] { Q_EMIT runRecorded(stored); }, Qt::QueuedConnection);
    });
}

} // namespace ampero
