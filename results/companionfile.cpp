// SPDX-License-Identifier: GPL-3.0-or-later
#include "results/companionfile.h"

#include <QJsonDocument>
#include <QJsonValue>
#include <QLocale>
#include <QRandomGenerator>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
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

// One sample line; no value when the line is not a sample.
std::optional<EnergySample> sampleFrom(const QByteArray& line)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(line, &error);
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
    s.energyWh = numberAt(o, "energy_wh");
    s.powerW = numberAt(o, "power_w");
    s.voltageV = numberAt(o, "voltage_v");
    return s;
}

CompanionData absent(const QString& why)
{
    CompanionData c;
    c.problem = why;
    return c;
}

} // namespace

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
    add("cpu_governor", text(s.cpuGovernor));
    line += ",\"battery\":" + compact(battery);
    return line + "}\n";
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
    return numberAt(setup.value(QLatin1String("battery")).toObject(), "energy_full_wh");
}

std::optional<double> CompanionData::energyFullDesignWh() const
{
    return numberAt(setup.value(QLatin1String("battery")).toObject(), "energy_full_design_wh");
}

CompanionData parseCompanion(const QByteArray& bytes)
{
    const qsizetype firstEnd = bytes.indexOf('\n');
    if (firstEnd < 0)
        return absent(QStringLiteral("companion file holds no whole setup line"));
    QJsonParseError error;
    const QJsonDocument head = QJsonDocument::fromJson(bytes.left(firstEnd), &error);
    if (error.error != QJsonParseError::NoError || !head.isObject() || !isSetup(head.object()))
        return absent(QStringLiteral("not a companion file"));

    CompanionData c;
    c.ok = true;
    c.setup = head.object();
    qsizetype at = firstEnd + 1;
    while (at < bytes.size()) {
        qsizetype end = bytes.indexOf('\n', at);
        // A last line without its "\n" was cut while being written.
        const bool whole = end >= 0;
        if (!whole)
            end = bytes.size();
        const QByteArray line = QByteArray::fromRawData(bytes.constData() + at, end - at);
        at = end + 1;
        if (line.trimmed().isEmpty())
            continue;
        const std::optional<EnergySample> s = whole ? sampleFrom(line) : std::nullopt;
        if (s)
            c.samples.push_back(*s);
        else
            ++c.skippedLines;
    }
    return c;
}

CompanionData readCompanionFile(const QByteArray& path)
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
    QByteArray bytes;
    bytes.resize(static_cast<qsizetype>(st.st_size));
    qsizetype used = 0;
    while (used < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + used, static_cast<size_t>(bytes.size() - used));
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
        used += n;
    }
    ::close(fd);
    bytes.truncate(used);
    return parseCompanion(bytes);
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
