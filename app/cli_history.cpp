// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/batteryhistory.h"
#include "app/cli.h"
#include "app/systemservices.h"
#include "core/phrases.h"
#include "platform/machinefacts.h"
#include "platform/powersource.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QLocale>
#include <cstdio>
#include <ctime>

namespace ampero {

namespace {

void warnLine(const QString& why)
{
    std::fprintf(stderr, "ampero: warning: %s\n", qPrintable(why));
}

int failLine(const QString& why)
{
    std::fprintf(stderr, "ampero: %s\n", qPrintable(why));
    return 2;
}

// Output written in large pieces: an export of a fleet's history runs to
// hundreds of thousands of rows.
class Out {
public:
    ~Out() { flush(); }
    Out& operator<<(const QByteArray& b)
    {
        m_buf += b;
        if (m_buf.size() > (1 << 16))
            flush();
        return *this;
    }
    Out& operator<<(const QString& s) { return *this << s.toUtf8(); }
    void flush()
    {
        std::fwrite(m_buf.constData(), 1, static_cast<std::size_t>(m_buf.size()), stdout);
        std::fflush(stdout);
        m_buf.clear();
    }

private:
    QByteArray m_buf;
};

// A JSON string; escapes what JSON requires and nothing more, quickly: an
// export writes a million of them.
QByteArray jsonText(const QString& s)
{
    const QByteArray utf8 = s.toUtf8();
    QByteArray out;
    out.reserve(utf8.size() + 2);
    out += '"';
    for (const char c : utf8) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", u);
            out += escaped;
        } else {
            out += c;
        }
    }
    out += '"';
    return out;
}

QByteArray jsonNumber(const std::optional<double>& v)
{
    return v ? QByteArray::number(*v, 'g', QLocale::FloatingPointShortest) : QByteArray("null");
}

QByteArray jsonNumber(const std::optional<qint64>& v)
{
    return v ? QByteArray::number(*v) : QByteArray("null");
}

// "2026-01-10T12:00:00Z".
QByteArray jsonTime(const QDateTime& t)
{
    const std::time_t secs = static_cast<std::time_t>(t.toSecsSinceEpoch());
    std::tm utc {};
    char text[40];
    if (!::gmtime_r(&secs, &utc) || std::strftime(text, sizeof text, "\"%Y-%m-%dT%H:%M:%SZ\"", &utc) == 0)
        return QByteArrayLiteral("null");
    return QByteArray(text);
}

QString shownTime(const QDateTime& t)
{
    return t.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

QString shownNumber(const std::optional<double>& v, int decimals, const QString& unit)
{
    return v ? QString::number(*v, 'f', decimals) + unit : QStringLiteral("?");
}

QString shownNumber(const std::optional<qint64>& v)
{
    return v ? QString::number(*v) : QStringLiteral("?");
}

QString machineName(const HistoryMachine& m)
{
    const QString name = QString(m.vendor + QLatin1Char(' ') + m.model).trimmed();
    return name.isEmpty() ? phrase("unknown machine") : name;
}

// The store to read, and this machine's id; warnings on standard error.
struct Reading {
    std::unique_ptr<History> history;
    HistoryStore* store = nullptr;
};

Reading openForReading(const CliOptions& options)
{
    Reading r;
    r.history = makeHistory(options.database, warnLine);
    r.store = r.history->reader();
    return r;
}

} // namespace

int runRecord(const CliOptions& options)
{
    QString error;
    SystemOptions systemOptions = systemOptionsFrom(SystemOptions::Mode::Record, options.powerSource);
    systemOptions.databaseUrl = options.database;
    const std::unique_ptr<SystemServices> system = makeSystemServices(systemOptions, &error);
    if (!system)
        return failLine(error.isEmpty() ? QStringLiteral("no power source") : error);
    if (!system->history)
        return failLine(QStringLiteral("a simulated battery has no history"));
    const PowerStatus status = system->power->status();
    const std::optional<HistorySnapshot> snapshot
        = batterySnapshot(system->batteryInfo(), status, QDateTime::currentDateTimeUtc());
    if (!snapshot)
        return failLine(QStringLiteral("no battery to record"));
    const MachineFacts facts = system->machine->read();
    system->history->recordMachine({ QString(), facts.vendor, facts.model, facts.kernel });
    const bool added = system->history->recordSnapshot(*snapshot);
    std::puts(added ? "recorded a snapshot of the battery"
                    : "no snapshot recorded: nothing changed since the last one, a day ago at most");
    return 0;
}

int runImport(const CliOptions& options)
{
    if (options.importFolder.isEmpty())
        return failLine(QStringLiteral("--import needs a folder"));
    const std::unique_ptr<History> history = makeHistory(options.database, warnLine);
    const History::ImportCount n = history->importFolder(options.importFolder);
    std::printf("%d added, %d already in the history, %d not added\n", n.added, n.alreadyThere, n.failed);
    return n.failed > 0 ? 2 : 0;
}

int runHistory(const CliOptions& options)
{
    QDateTime since;
    if (!options.since.isEmpty()) {
        const QDate date = QDate::fromString(options.since, Qt::ISODate);
        if (!date.isValid())
            return failLine(
                QStringLiteral("--since takes a date as YYYY-MM-DD, not \"%1\"").arg(options.since));
        since = date.startOfDay();
    }
    Reading r = openForReading(options);
    if (!r.store)
        return failLine(QStringLiteral("the battery history cannot be read"));
    const QString machine = options.allMachines ? QString() : r.history->machineId();
    QList<HistoryMachine> machines = r.store->machines();
    if (!machine.isEmpty())
        machines.removeIf([&](const HistoryMachine& m) { return m.id != machine; });
    const QList<HistorySnapshot> snapshots = r.store->snapshots(machine, since);
    const QList<HistoryRun> runs = r.store->runs(machine, since);

    Out out;
    if (options.json) {
        out << QByteArray("{\"machines\": [");
        for (qsizetype i = 0; i < machines.size(); ++i) {
            const HistoryMachine& m = machines[i];
            out << QByteArray(i ? ", " : "") + "{\"id\": " + jsonText(m.id)
                    + ", \"vendor\": " + jsonText(m.vendor) + ", \"model\": " + jsonText(m.model)
                    + ", \"kernel\": " + jsonText(m.kernel) + '}';
        }
        out << QByteArray("],\n\"snapshots\": [");
        for (qsizetype i = 0; i < snapshots.size(); ++i) {
            const HistorySnapshot& s = snapshots[i];
            out << QByteArray(i ? ",\n" : "\n") + "{\"machine_id\": " + jsonText(s.machineId)
                    + ", \"taken_at\": " + jsonTime(s.takenAt) + ", \"battery_vendor\": "
                    + jsonText(s.batteryVendor) + ", \"battery_model\": " + jsonText(s.batteryModel)
                    + ", \"technology\": " + jsonText(s.technology) + ", \"serial_hash\": "
                    + jsonText(s.serialHash) + ", \"energy_full_wh\": " + jsonNumber(s.energyFullWh)
                    + ", \"energy_full_design_wh\": " + jsonNumber(s.energyFullDesignWh)
                    + ", \"health_percent\": " + jsonNumber(s.healthPercent) + ", \"cycle_count\": "
                    + jsonNumber(s.cycleCount) + ", \"voltage_v\": " + jsonNumber(s.voltageV) + '}';
        }
        out << QByteArray("],\n\"runs\": [");
        for (qsizetype i = 0; i < runs.size(); ++i) {
            const HistoryRun& run = runs[i];
            out << QByteArray(i ? ",\n" : "\n") + "{\"machine_id\": " + jsonText(run.machineId)
                    + ", \"file_hash\": " + jsonText(run.fileHash)
                    + ", \"finished_at\": " + jsonTime(run.finishedAt)
                    + ", \"path\": " + (run.path.isEmpty() ? QByteArray("null") : jsonText(run.path))
                    + ", \"report\": " + (run.report.isEmpty() ? QByteArray("null") : run.report) + '}';
        }
        out << QByteArray("]}\n");
        return 0;
    }

    if (machines.isEmpty() && snapshots.isEmpty() && runs.isEmpty()) {
        out << phrase("The battery history is empty.") + QLatin1Char('\n');
        return 0;
    }
    for (const HistoryMachine& m : machines)
        out << phrase("Machine %1: %2, kernel %3").arg(m.id, machineName(m), m.kernel) + QLatin1Char('\n');
    out << phrase("Battery snapshots:") + QLatin1Char('\n');
    for (const HistorySnapshot& s : snapshots)
        out << QStringLiteral("  %1  %2 %3  ").arg(shownTime(s.takenAt), s.batteryVendor, s.batteryModel)
                + phrase("health %1  cycles %2  full %3  design %4")
                      .arg(shownNumber(s.healthPercent, 1, QStringLiteral(" %")), shownNumber(s.cycleCount),
                          shownNumber(s.energyFullWh, 2, QStringLiteral(" Wh")),
                          shownNumber(s.energyFullDesignWh, 2, QStringLiteral(" Wh")))
                + (options.allMachines ? QStringLiteral("  ") + s.machineId.left(8) : QString())
                + QLatin1Char('\n');
    out << phrase("Runs:") + QLatin1Char('\n');
    for (const HistoryRun& run : runs) {
        const QJsonObject report = QJsonDocument::fromJson(run.report).object();
        const auto text = [&](const char* key) { return report.value(QLatin1String(key)).toString(); };
        const QJsonValue health = report.value(QStringLiteral("battery_health_percent"));
        out << QStringLiteral("  %1  %2 %3  ").arg(shownTime(run.finishedAt), run.mode, text("load"))
                + phrase("life %1  mark %2  health %3")
                      .arg(text("battery_life_text"), text("mark_text"),
                          health.isDouble()
                              ? QString::number(health.toDouble(), 'f', 1) + QStringLiteral(" %")
                              : QStringLiteral("?"))
                + (options.allMachines ? QStringLiteral("  ") + run.machineId.left(8) : QString())
                + (run.path.isEmpty() ? QString() : QStringLiteral("  ") + run.path) + QLatin1Char('\n');
    }
    return 0;
}

int runFleet(const CliOptions& options)
{
    Reading r = openForReading(options);
    if (!r.store)
        return failLine(QStringLiteral("the battery history cannot be read"));
    const QList<FleetLine> lines = r.store->fleet();
    Out out;
    if (options.json) {
        out << QByteArray("[");
        for (qsizetype i = 0; i < lines.size(); ++i) {
            const FleetLine& l = lines[i];
            out << QByteArray(i ? ",\n" : "\n") + "{\"machine_id\": " + jsonText(l.machine.id)
                    + ", \"vendor\": " + jsonText(l.machine.vendor) + ", \"model\": "
                    + jsonText(l.machine.model) + ", \"health_percent\": " + jsonNumber(l.healthPercent)
                    + ", \"cycle_count\": " + jsonNumber(l.cycleCount)
                    + ", \"runs\": " + QByteArray::number(l.runs)
                    + ", \"last_run\": " + (l.lastRun ? jsonTime(*l.lastRun) : QByteArray("null")) + '}';
        }
        out << QByteArray("]\n");
        return 0;
    }
    for (const FleetLine& l : lines)
        out << phrase("%1  %2  health %3  cycles %4  runs %5  last run %6")
                    .arg(l.machine.id.left(8), machineName(l.machine),
                        shownNumber(l.healthPercent, 1, QStringLiteral(" %")), shownNumber(l.cycleCount))
                    .arg(l.runs)
                    .arg(l.lastRun ? shownTime(*l.lastRun) : phrase("none"))
                + QLatin1Char('\n');
    return 0;
}

} // namespace ampero
