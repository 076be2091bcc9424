// SPDX-License-Identifier: GPL-3.0-or-later
#include "results/history.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QUuid>

namespace ampero {

namespace {

QList<QByteArray> readLines(const QString& file)
{
    QFile f(file);
    QList<QByteArray> lines;
    if (f.open(QIODevice::ReadOnly))
        for (const QByteArray& line : f.readAll().split('\n'))
            if (!line.isEmpty())
                lines << line;
    return lines;
}

bool writeLines(const QString& file, const QList<QByteArray>& lines)
{
    if (lines.isEmpty())
        return !QFileInfo::exists(file) || QFile::remove(file);
    QSaveFile f(file);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    for (const QByteArray& line : lines)
        f.write(line + '\n');
    return f.commit();
}

} // namespace

HistoryConfig defaultHistoryConfig(const QString& databaseUrl)
{
    QString data = qEnvironmentVariable("XDG_DATA_HOME");
    if (data.isEmpty())
        data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    const QString folder = data + QStringLiteral("/orvex-ampero/");
    HistoryConfig config;
    config.localFile = folder + QStringLiteral("history.sqlite");
    config.pendingFile = folder + QStringLiteral("history-pending");
    config.fallbackIdFile = folder + QStringLiteral("installation-id");
    config.databaseUrl = databaseUrl;
    return config;
}

History::History(HistoryConfig config, RunDescriber describe, std::function<void(const QString&)> warn)
    : m_config(std::move(config))
    , m_describe(std::move(describe))
    , m_warn(std::move(warn))
{
}

History::~History() = default;

std::unique_ptr<History> History::twin() const
{
    return std::make_unique<History>(m_config, m_describe, m_warn);
}

QString History::machineId()
{
    if (!m_machineId.isEmpty())
        return m_machineId;
    QFile file(m_config.machineIdFile);
    if (file.open(QIODevice::ReadOnly))
        m_machineId = machineIdFor(file.read(64));
    if (m_machineId.isEmpty() && !m_config.fallbackIdFile.isEmpty()) {
        // No machine id (a container, a chroot): a random one of our own,
        // kept for the next start.
        QFile kept(m_config.fallbackIdFile);
        if (kept.open(QIODevice::ReadOnly))
            m_machineId = machineIdFor(kept.read(64));
        if (m_machineId.isEmpty()) {
            const QByteArray fresh = QUuid::createUuid().toRfc4122().toHex();
            writeLines(m_config.fallbackIdFile, { fresh });
            m_machineId = machineIdFor(fresh);
        }
    }
    return m_machineId;
}

HistoryStore* History::local()
{
    if (!m_localTried) {
        m_localTried = true;
        QString error;
        m_local = HistoryStore::openLocal(m_config.localFile, &error, m_config.busyTimeoutMs);
        if (!m_local)
            m_warn(
                QStringLiteral("the battery history %1 cannot be opened: %2").arg(m_config.localFile, error));
    }
    return m_local.get();
}

HistoryStore* History::shared()
{
    if (m_config.databaseUrl.isEmpty())
        return nullptr;
    if (!m_sharedTried) {
        m_sharedTried = true;
        QString error;
        m_shared = HistoryStore::openShared(m_config.databaseUrl, &error);
        if (!m_shared)
            m_warn(
                QStringLiteral("the shared history database cannot be reached (%1); the local history keeps "
                               "what it misses until it can")
                    .arg(error));
    }
    return m_shared.get();
}

HistoryStore* History::reader()
{
    catchUp();
    if (HistoryStore* s = shared())
        return s;
    return local();
}

void History::remember(const QByteArray& path)
{
    QList<QByteArray> lines = readLines(m_config.pendingFile);
    if (!lines.contains(path))
        lines << path;
    if (writeLines(m_config.pendingFile, lines))
        m_warn(QStringLiteral("the run is added to the battery history at the next start"));
    else
        m_warn(QStringLiteral("the run cannot be remembered for the battery history either (%1)")
                   .arg(m_config.pendingFile));
}

std::optional<HistoryRun> History::describe(const QByteArray& path)
{
    const QString name = QFile::decodeName(path);
    QString error;
    const std::optional<RunDescription> description = m_describe(path, &error);
    QFile file(name);
    if (!description || !QFileInfo(name).isFile() || !file.open(QIODevice::ReadOnly)) {
        m_warn(QStringLiteral("%1: not added to the battery history: %2")
                   .arg(name, error.isEmpty() ? file.errorString() : error));
        return std::nullopt;
    }
    HistoryRun run;
    run.fileHash = resultsFileHash(file.readAll());
    run.machineId = machineId();
    run.finishedAt = description->finishedAt;
    run.mode = description->mode;
    run.report = description->report;
    run.path = QFileInfo(name).absoluteFilePath();
    return run;
}

void History::catchUp()
{
    if (m_caughtUp)
        return;
    m_caughtUp = true;
    if (HistoryStore* store = local()) {
        const QList<QByteArray> pending = readLines(m_config.pendingFile);
        QList<QByteArray> left;
        for (const QByteArray& path : pending) {
            if (!QFileInfo::exists(QFile::decodeName(path)))
                continue; // moved or deleted since: nothing left to add
            const std::optional<HistoryRun> run = describe(path);
            if (run && store->addRun(*run) == HistoryStore::Added::Failed) {
                m_warn(QStringLiteral("the battery history cannot be written: %1").arg(store->lastError()));
                left << path;
            }
        }
        if (!pending.isEmpty())
            writeLines(m_config.pendingFile, left);
    }
    sendToShared();
}

void History::sendToShared()
{
    HistoryStore* from = m_local.get();
    if (!from || m_config.databaseUrl.isEmpty())
        return;
    const QList<HistorySnapshot> snapshots = from->unsentSnapshots();
    const QList<HistoryRun> runs = from->unsentRuns();
    if (snapshots.isEmpty() && runs.isEmpty())
        return;
    HistoryStore* to = shared();
    if (!to)
        return;
    // The machines first: a run in the shared store names its machine.
    for (const HistoryMachine& m : from->machines())
        to->addMachine(m);
    QList<HistorySnapshot> sentSnapshots;
    QList<HistoryRun> sentRuns;
    for (const HistorySnapshot& s : snapshots)
        if (to->addSnapshot(s) != HistoryStore::Added::Failed)
            sentSnapshots << s;
    for (const HistoryRun& r : runs)
        if (to->addRun(r) != HistoryStore::Added::Failed)
            sentRuns << r;
    if (sentSnapshots.size() < snapshots.size() || sentRuns.size() < runs.size())
        m_warn(QStringLiteral("the shared history database took only part of the history (%1); the rest is "
                              "sent later")
                   .arg(to->lastError()));
    from->markSent(sentSnapshots, sentRuns);
}

void History::recordMachine(const HistoryMachine& machine)
{
    HistoryMachine m = machine;
    m.id = machineId();
    if (HistoryStore* store = local(); store && !store->addMachine(m))
        m_warn(QStringLiteral("the battery history cannot be written: %1").arg(store->lastError()));
    if (HistoryStore* store = shared())
        store->addMachine(m);
}

bool History::recordSnapshot(HistorySnapshot snapshot)
{
    catchUp();
    snapshot.machineId = machineId();
    HistoryStore* store = local() ? local() : shared();
    if (!store)
        return false;
    const HistoryStore::Added added = store->addSnapshot(snapshot);
    if (added == HistoryStore::Added::Failed)
        m_warn(QStringLiteral("the battery history cannot be written: %1").arg(store->lastError()));
    sendToShared();
    return added == HistoryStore::Added::Added;
}

HistoryStore::Added History::recordRun(const QByteArray& path)
{
    catchUp();
    const std::optional<HistoryRun> run = describe(path);
    if (!run)
        return HistoryStore::Added::Failed;
    HistoryStore::Added added = HistoryStore::Added::Failed;
    if (HistoryStore* store = local()) {
        added = store->addRun(*run);
        if (added == HistoryStore::Added::Failed)
            m_warn(QStringLiteral("the battery history cannot be written: %1").arg(store->lastError()));
    }
    if (added == HistoryStore::Added::Failed) {
        remember(path);
        // The shared store may still take it; the local one adds it later
        // and sends nothing twice.
        if (HistoryStore* store = shared())
            store->addRun(*run);
        return added;
    }
    sendToShared();
    return added;
}

History::ImportCount History::importFolder(const QString& folder)
{
    ImportCount count;
    QDirIterator it(folder, { QStringLiteral("*.apr") }, QDir::Files | QDir::NoSymLinks | QDir::Hidden,
        QDirIterator::Subdirectories);
    QStringList files;
    while (it.hasNext())
        files << it.next();
    files.sort();
    for (const QString& file : files) {
        switch (recordRun(QFile::encodeName(file))) {
        case HistoryStore::Added::Added:
            ++count.added;
            break;
        case HistoryStore::Added::AlreadyThere:
            ++count.alreadyThere;
            break;
        case HistoryStore::Added::Failed:
            ++count.failed;
            break;
        }
    }
    return count;
}

} // namespace ampero
