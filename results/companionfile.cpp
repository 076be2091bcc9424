// SPDX-License-Identifier: GPL-3.0-or-later
#include "results/companionfile.h"

#include <QJsonDocument>
#include <QJsonValue>
#include <QLocale>
#include <QRandomGenerator>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace ampero {

namespace {

// Readings are kept to 0.1 mWh, 0.1 mW and 0.1 mV: finer than any battery
// reports, and short enough to keep a line near 80 bytes.
QByteArray number(std::optional<double> v, double scale = 10000.0)
{
    if (!v || !std::isfinite(*v))
        return QByteArrayLiteral("null");
    const double rounded = std::round(*v * scale) / scale;
    return QByteArray::number(rounded == 0 ? 0.0 : rounded, 'g', QLocale::FloatingPointShortest);
}

QJsonValue text(const QString& s)
{
    return s.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(s);
}

QJsonValue value(std::optional<double> v)
{
    if (!v || !std::isfinite(*v))
        return QJsonValue(QJsonValue::Null);
    return QJsonValue(std::round(*v * 10000.0) / 10000.0);
}

std::optional<double> numberAt(const QJsonObject& o, const char* key)
{
    const QJsonValue v = o.value(QLatin1String(key));
    if (!v.isDouble() || !std::isfinite(v.toDouble()))
        return std::nullopt;
    return v.toDouble();
}

bool isSetup(const QJsonObject& o)
{
    return o.value(QLatin1String("format")).toString() == QLatin1String(CompanionFormatName);
}

CompanionData absent(const QString& why)
{
    CompanionData c;
    c.problem = why;
    return c;
}

// One sample line; no value when the line is not a sample. Readings beyond
// a battery's bounds are unknown, as everywhere else.
std::optional<EnergySample> sampleFrom(QByteArrayView line)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(line.toByteArray(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return std::nullopt;
    const QJsonObject o = doc.object();
    const std::optional<double> seconds = numberAt(o, "seconds");
    if (!seconds || *seconds < 0)
        return std::nullopt;
    EnergySample s;
    s.seconds = *seconds;
    const std::optional<double> level = numberAt(o, "level");
    s.level = level && *level >= 0 && *level <= 100 ? static_cast<int>(*level) : -1;
    s.energyWh = plausibleEnergyWh(numberAt(o, "energy_wh"));
    s.powerW = plausiblePowerW(numberAt(o, "power_w"));
    s.voltageV = plausibleVoltageV(numberAt(o, "voltage_v"));
    return s;
}

// The setup as read, less the figures no battery or screen can have: they
// read as null, so that every view of the setup agrees with the figures.
QJsonObject plausibleSetup(QJsonObject setup)
{
    QJsonObject battery = setup.value(QLatin1String("battery")).toObject();
    for (const char* key : { "energy_full_design_wh", "energy_full_wh" })
        if (battery.contains(QLatin1String(key)) && !plausibleEnergyWh(numberAt(battery, key)))
            battery.insert(QLatin1String(key), QJsonValue(QJsonValue::Null));
    if (setup.contains(QLatin1String("battery")))
        setup.insert(QLatin1String("battery"), battery);
    if (setup.contains(QLatin1String("brightness_percent"))
        && !plausible(numberAt(setup, "brightness_percent"), 100.0))
        setup.insert(QLatin1String("brightness_percent"), QJsonValue(QJsonValue::Null));
    if (setup.contains(QLatin1String("brightness_set")) && !brightnessSetIn(setup))
        setup.insert(QLatin1String("brightness_set"), QJsonValue(QJsonValue::Null));
    return setup;
}

// The seconds of a line as this program writes it ({"seconds":N,...}),
// without parsing the line; empty for any other line. Lets the reader pass
// over the lines it would drop at the cost of a few bytes each.
std::optional<double> leadingSeconds(QByteArrayView line)
{
    static constexpr QByteArrayView prefix = "{\"seconds\":";
    if (!line.startsWith(prefix))
        return std::nullopt;
    const QByteArrayView rest = line.sliced(prefix.size());
    qsizetype n = 0;
    while (n < rest.size() && n < 24 && rest[n] != ',' && rest[n] != '}')
        ++n;
    bool ok = false;
    const double v = rest.first(n).toDouble(&ok);
    return ok ? std::optional<double>(v) : std::nullopt;
}

// Takes a companion line by line, keeping the setup and at most one reading
// per sample of the results file: the first one for its second.
class CompanionCollector {
public:
    explicit CompanionCollector(qint64 sampleLimit)
        : m_limit(std::max<qint64>(0, sampleLimit))
    {
    }

    void line(QByteArrayView line, bool whole)
    {
        if (!m_started) {
            m_started = true;
            m_sawSetup = whole;
            if (!whole)
                return;
            QJsonParseError error;
            const QJsonDocument head = QJsonDocument::fromJson(line.toByteArray(), &error);
            if (error.error != QJsonParseError::NoError || !head.isObject() || !isSetup(head.object())) {
                m_notCompanion = true;
                return;
            }
            m_data.ok = true;
            m_data.setup = plausibleSetup(head.object());
            return;
        }
        if (!m_data.ok)
            return;
        if (line.trimmed().isEmpty())
            return;
        // A last line without its "\n" was cut while being written.
        if (!whole) {
            ++m_data.skippedLines;
            return;
        }
        if (line.startsWith("{\"workload_result\":")) {
            workloadResult(line);
            return;
        }
        if (const std::optional<double> quick = leadingSeconds(line)) {
            const std::optional<qint64> k = companionSampleIndex(*quick, m_limit);
            if (!k || taken(*k))
                return; // beyond the results file, or a second already read
        }
        const std::optional<EnergySample> s = sampleFrom(line);
        if (!s) {
            ++m_data.skippedLines;
            return;
        }
        const std::optional<qint64> k = companionSampleIndex(s->seconds, m_limit);
        if (!k || taken(*k))
            return;
        m_taken[static_cast<std::size_t>(*k)] = true;
        m_data.samples.push_back(*s);
    }

    // A line longer than CompanionMaxLineLength, passed over unread.
    void overlongLine()
    {
        if (!m_started) {
            m_started = m_sawSetup = m_notCompanion = true;
            return;
        }
        ++m_data.skippedLines;
    }

    CompanionData finish()
    {
        if (!m_sawSetup)
            return absent(QStringLiteral("companion file holds no whole setup line"));
        if (m_notCompanion)
            return absent(QStringLiteral("not a companion file"));
        // Lines may come in any order; the readings go in the order of their seconds.
        std::sort(m_data.samples.begin(), m_data.samples.end(),
            [](const EnergySample& a, const EnergySample& b) { return a.seconds < b.seconds; });
        return std::move(m_data);
    }

private:
    // The workload's result line, added to the setup of a workload run.
    void workloadResult(QByteArrayView line)
    {
        const QJsonObject r = QJsonDocument::fromJson(line.toByteArray())
                                  .object()
                                  .value(QLatin1String("workload_result"))
                                  .toObject();
        const auto count = [&r](const char* key) {
            const double v = r.value(QLatin1String(key)).toDouble(-1);
            return v >= 0 && v < 9e15 ? std::optional<qint64>(qint64(v)) : std::nullopt;
        };
        const auto done = count("units_done"), scheduled = count("units_scheduled"), bursts = count("bursts"),
                   onTime = count("bursts_on_time");
        if (!m_data.setup.value(QLatin1String("workload")).isString() || !done || !scheduled || !bursts
            || !onTime || *onTime > *bursts) {
            ++m_data.skippedLines;
            return;
        }
        m_data.setup.insert(QLatin1String("workload_units_done"), double(*done));
        m_data.setup.insert(QLatin1String("workload_units_scheduled"), double(*scheduled));
        m_data.setup.insert(QLatin1String("workload_bursts"), double(*bursts));
        m_data.setup.insert(QLatin1String("workload_bursts_on_time"), double(*onTime));
        if (*bursts > 0)
            m_data.setup.insert(QLatin1String("workload_on_time_share"), double(*onTime) / double(*bursts));
    }

    bool taken(qint64 k)
    {
        const auto i = static_cast<std::size_t>(k);
        if (i >= m_taken.size())
            m_taken.resize(i + 1, false);
        return m_taken[i];
    }

    qint64 m_limit;
    bool m_started = false;
    bool m_sawSetup = false;
    bool m_notCompanion = false;
    std::vector<bool> m_taken; // one bit per sample up to the latest second read
    CompanionData m_data;
};

// Cuts bytes into lines for a collector, in pieces of any size; a line longer
// than CompanionMaxLineLength is never held whole.
class LineSplitter {
public:
    explicit LineSplitter(CompanionCollector& collector)
        : m_collector(collector)
    {
    }

    void feed(const char* data, qsizetype size)
    {
        const char* p = data;
        const char* end = data + size;
        while (p < end) {
            const auto* nl
                = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
            const char* stop = nl ? nl : end;
            if (!m_overlong) {
                if (m_pending.size() + (stop - p) > CompanionMaxLineLength) {
                    m_overlong = true;
                    m_pending.clear();
                } else if (m_pending.isEmpty() && nl) {
                    // The whole line lies in this piece: no copy.
                    m_collector.line(QByteArrayView(p, stop - p), true);
                    p = nl + 1;
                    continue;
                } else {
                    m_pending.append(p, stop - p);
                }
            }
            if (!nl)
                return;
            endLine();
            p = nl + 1;
        }
    }

    void finish()
    {
        if (m_overlong)
            m_collector.overlongLine();
        else if (!m_pending.isEmpty())
            m_collector.line(m_pending, false);
    }

private:
    void endLine()
    {
        if (m_overlong)
            m_collector.overlongLine();
        else
            m_collector.line(m_pending, true);
        m_pending.clear();
        m_overlong = false;
    }

    CompanionCollector& m_collector;
    QByteArray m_pending;
    bool m_overlong = false;
};

} // namespace

std::optional<qint64> companionSampleIndex(double seconds, qint64 sampleCount)
{
    // To the millisecond first, as the writer keeps it, so that a reading
    // goes with the same sample once written back.
    const double k = std::floor(std::round(seconds * 1000.0) / 1000.0 + 0.5);
    if (!(k >= 0) || !(k < static_cast<double>(sampleCount)))
        return std::nullopt;
    return static_cast<qint64>(k);
}

QByteArray companionPath(const QByteArray& resultsPath)
{
    return resultsPath + ".jsonl";
}

QByteArray encodeSetupLine(const CompanionSetup& s)
{
    // Keys in a fixed order: people read these files too.
    QJsonObject machine { { QStringLiteral("vendor"), text(s.machineVendor) },
        { QStringLiteral("model"), text(s.machineModel) } };
    QJsonObject battery { { QStringLiteral("vendor"), text(s.batteryVendor) },
        { QStringLiteral("model"), text(s.batteryModel) },
        { QStringLiteral("technology"), text(s.batteryTechnology) },
        { QStringLiteral("energy_full_design_wh"), value(s.batteryEnergyFullDesignWh) },
        { QStringLiteral("energy_full_wh"), value(s.batteryEnergyFullWh) } };
    auto compact = [](const QJsonObject& o) { return QJsonDocument(o).toJson(QJsonDocument::Compact); };
    QByteArray line = "{\"format\":\"" + QByteArray(CompanionFormatName)
        + "\",\"format_version\":" + QByteArray::number(CompanionFormatVersion);
    auto add = [&line](const char* key, const QJsonValue& v) {
        QJsonObject one { { QLatin1String(key), v } };
        // {"key":value} less its braces.
        line += ',' + QJsonDocument(one).toJson(QJsonDocument::Compact).mid(1).chopped(1);
    };
    add("program_version", text(s.programVersion));
    add("start_time", text(s.startTime));
    line += ",\"machine\":" + compact(machine);
    add("kernel", text(s.kernel));
    add("power_profile", text(s.powerProfile));
    add("brightness_percent", value(s.brightnessPercent));
    if (const auto& b = s.brightnessSet)
        line += ",\"brightness_set\":"
            + compact({ { QStringLiteral("percent"), b->percent }, { QStringLiteral("raw"), b->value },
                { QStringLiteral("max"), b->max } });
    add("cpu_governor", text(s.cpuGovernor));
    line += ",\"battery\":" + compact(battery);
    if (!s.workload.isEmpty()) {
        add("workload", text(s.workload));
        add("workload_version", s.workloadVersion);
        add("workload_processor_only", s.workloadProcessorOnly);
    }
    return line + "}\n";
}

std::optional<BrightnessSetting> brightnessSetIn(const QJsonObject& setup)
{
    const QJsonObject o = setup.value(QLatin1String("brightness_set")).toObject();
    const auto whole = [&o](const char* key) { return o.value(QLatin1String(key)).toInteger(-1); };
    const qint64 percent = whole("percent");
    const qint64 raw = whole("raw");
    const qint64 max = whole("max");
    if (percent < 1 || percent > 100 || raw < 0 || max < 1 || raw > max
        || max > std::numeric_limits<int>::max())
        return std::nullopt;
    return BrightnessSetting { int(percent), int(raw), int(max) };
}

QByteArray encodeWorkloadResultLine(const CompanionWorkloadResult& r)
{
    return "{\"workload_result\":{\"units_done\":" + QByteArray::number(r.unitsDone) + ",\"units_scheduled\":"
        + QByteArray::number(r.unitsScheduled) + ",\"bursts\":" + QByteArray::number(r.bursts)
        + ",\"bursts_on_time\":" + QByteArray::number(r.burstsOnTime) + "}}\n";
}

QByteArray encodeSampleLine(const EnergySample& s)
{
    return "{\"seconds\":" + number(s.seconds, 1000.0)
        + ",\"level\":" + (s.level >= 0 ? QByteArray::number(s.level) : QByteArrayLiteral("null"))
        + ",\"energy_wh\":" + number(s.energyWh) + ",\"power_w\":" + number(s.powerW)
        + ",\"voltage_v\":" + number(s.voltageV) + "}\n";
}

std::optional<double> CompanionData::energyFullWh() const
{
    return plausibleEnergyWh(numberAt(setup.value(QLatin1String("battery")).toObject(), "energy_full_wh"));
}

std::optional<double> CompanionData::energyFullDesignWh() const
{
    return plausibleEnergyWh(
        numberAt(setup.value(QLatin1String("battery")).toObject(), "energy_full_design_wh"));
}

CompanionData parseCompanion(const QByteArray& bytes, qint64 sampleLimit)
{
    CompanionCollector collector(sampleLimit);
    LineSplitter lines(collector);
    lines.feed(bytes.constData(), bytes.size());
    lines.finish();
    return collector.finish();
}

CompanionData readCompanionFile(const QByteArray& path, qint64 sampleLimit)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return absent(errno == ENOENT ? QStringLiteral("no companion file")
                                      : QStringLiteral("cannot read the companion file: ")
                    + QString::fromLocal8Bit(std::strerror(errno)));
    struct stat st { };
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return absent(QStringLiteral("companion is not a regular file"));
    }
    if (st.st_size > CompanionMaxFileSize) {
        ::close(fd);
        return absent(QStringLiteral("companion file too large"));
    }
    // One pass in pieces: what is kept grows with the samples, not with
    // the file.
    CompanionCollector collector(sampleLimit);
    LineSplitter lines(collector);
    std::vector<char> buffer(std::size_t(1) << 16);
    qint64 total = 0;
    while (total < st.st_size) {
        const ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int err = errno;
            ::close(fd);
            return absent(QStringLiteral("cannot read the companion file: ")
                + QString::fromLocal8Bit(std::strerror(err)));
        }
        if (n == 0)
            break; // cut shorter meanwhile: what was read counts
        // A file that grows while it is read (a test still running) is read
        // up to the size it had.
        const qint64 take = std::min<qint64>(n, st.st_size - total);
        lines.feed(buffer.data(), static_cast<qsizetype>(take));
        total += take;
    }
    ::close(fd);
    lines.finish();
    return collector.finish();
}

CompanionWriter::~CompanionWriter()
{
    close();
}

void CompanionWriter::close()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

bool CompanionWriter::writeLine(const QByteArray& line)
{
    if (m_fd < 0 || m_failed)
        return false;
    const char* data = line.constData();
    std::size_t left = static_cast<std::size_t>(line.size());
    while (left > 0) {
        const ssize_t n = ::write(m_fd, data, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            m_error = QStringLiteral("cannot write %1: %2")
                          .arg(QString::fromLocal8Bit(m_path),
                              QString::fromLocal8Bit(std::strerror(n < 0 ? errno : EIO)));
            m_failed = true;
            return false;
        }
        data += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

bool CompanionWriter::appendWorkloadResult(const CompanionWorkloadResult& result)
{
    return writeLine(encodeWorkloadResultLine(result));
}

bool CompanionWriter::create(const QByteArray& path, const CompanionSetup& setup)
{
    close();
    m_path = path;
    m_error.clear();
    m_failed = false;
    const auto fail = [this](int err) {
        m_error = QStringLiteral("cannot create %1: %2")
                      .arg(QString::fromLocal8Bit(m_path), QString::fromLocal8Bit(std::strerror(err)));
        m_failed = true;
        return false;
    };
    // The user never chose this name, so nothing found there is opened or
    // followed: a symlink would have us overwrite its target, a FIFO would
    // hold the test up, a hard link would change the other name's file. The
    // companion is made as a new file under a name of its own in the same
    // folder, then renamed over the companion's name, which replaces
    // whatever was there and touches nothing it pointed at.
    const qsizetype slash = path.lastIndexOf('/');
    const QByteArray folder = slash >= 0 ? path.left(slash + 1) : QByteArray();
    QByteArray temp;
    for (int attempt = 0; m_fd < 0; ++attempt) {
        temp
            = folder + ".ampero-" + QByteArray::number(QRandomGenerator::global()->generate64(), 36) + ".tmp";
        m_fd = ::open(temp.constData(),
            O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW, 0666);
        if (m_fd < 0 && (errno != EEXIST || attempt == 99))
            return fail(errno);
    }
    if (::rename(temp.constData(), path.constData()) != 0) {
        const int err = errno;
        close();
        ::unlink(temp.constData());
        return fail(err);
    }
    return writeLine(encodeSetupLine(setup));
}

bool CompanionWriter::append(const EnergySample& sample)
{
    return writeLine(encodeSampleLine(sample));
}

bool CompanionWriter::finish()
{
    if (m_fd < 0)
        return !m_failed;
    // EINVAL and EROFS: a file that cannot be synced; nothing was lost.
    if (::fdatasync(m_fd) != 0 && errno != EINVAL && errno != EROFS && !m_failed) {
        m_error = QStringLiteral("cannot flush %1: %2")
                      .arg(QString::fromLocal8Bit(m_path), QString::fromLocal8Bit(std::strerror(errno)));
        m_failed = true;
    }
    if (::close(m_fd) != 0 && !m_failed) {
        m_error = QStringLiteral("cannot close %1").arg(QString::fromLocal8Bit(m_path));
        m_failed = true;
    }
    m_fd = -1;
    return !m_failed;
}

} // namespace ampero
