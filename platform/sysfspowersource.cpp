// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/sysfspowersource.h"

#include "platform/kernelfile.h"
#include "platform/processortimes.h"

#include <QDir>
#include <QFile>
#include <cmath>
#include <optional>
#include <vector>

namespace ampero {

namespace {

// Attribute files and uevent files hold a page at most, as the kernel writes
// them; a longer one is not the kernel's.
constexpr qsizetype PageSize = 4096;

// A whole number attribute; nullopt when missing or not a number as the
// kernel writes one (parseKernelNumber).
std::optional<double> readNumber(const QString& dir, const char* name)
{
    // Some ten numbers a second may be read during a test, into one buffer.
    static thread_local QByteArray buffer;
    const auto used = readKernelFileInto(dir + QLatin1Char('/') + QLatin1String(name), buffer, PageSize + 1);
    if (!used || *used > PageSize)
        return std::nullopt;
    const auto v = parseKernelNumber(QByteArrayView(buffer.constData(), *used));
    if (!v)
        return std::nullopt;
    return static_cast<double>(*v);
}

// The value of attribute name ("energy_now") in the text of a uevent file,
// whose lines read POWER_SUPPLY_ENERGY_NOW=value; nullopt when it has none.
std::optional<QByteArrayView> ueventValue(QByteArrayView uevent, QByteArrayView name)
{
    constexpr QByteArrayView prefix("POWER_SUPPLY_");
    const qsizetype keyEnd = prefix.size() + name.size();
    while (!uevent.isEmpty()) {
        const qsizetype newline = uevent.indexOf('\n');
        const QByteArrayView line = newline < 0 ? uevent : uevent.first(newline);
        uevent = newline < 0 ? QByteArrayView() : uevent.sliced(newline + 1);
        if (line.size() > keyEnd && line[keyEnd] == '=' && line.startsWith(prefix)
            && line.sliced(prefix.size(), name.size()).compare(name, Qt::CaseInsensitive) == 0)
            return line.sliced(keyEnd + 1);
    }
    return std::nullopt;
}

// The attributes of one supply: from the text of its uevent file, or from
// one file each. The kernel writes both with the same words, so they give
// the same values.
class Attributes {
public:
    explicit Attributes(QByteArrayView uevent)
        : m_uevent(uevent)
        , m_fromUevent(true)
    {
    }
    explicit Attributes(const QString& dir)
        : m_dir(dir)
    {
    }

    bool fromUevent() const { return m_fromUevent; }
    // Whether the uevent names the attribute; the kernel leaves out those the
    // supply does not have.
    bool inUevent(const char* name) const { return ueventValue(m_uevent, name).has_value(); }

    // The attribute's text, trimmed, valid until the next call; nullopt when
    // it is missing, unreadable or not a regular file (readKernelFile).
    std::optional<QByteArrayView> text(const char* name)
    {
        if (m_fromUevent) {
            const auto value = ueventValue(m_uevent, name);
            return value ? std::optional(value->trimmed()) : std::nullopt;
        }
        const auto used
            = readKernelFileInto(m_dir + QLatin1Char('/') + QLatin1String(name), m_text, PageSize);
        if (!used)
            return std::nullopt;
        return QByteArrayView(m_text.constData(), *used).trimmed();
    }

    // A whole number attribute; nullopt when missing or not a number as the
    // kernel writes one (parseKernelNumber).
    std::optional<double> number(const char* name)
    {
        if (!m_fromUevent)
            return readNumber(m_dir, name);
        const auto value = ueventValue(m_uevent, name);
        const auto v = value ? parseKernelNumber(*value) : std::nullopt;
        if (!v)
            return std::nullopt;
        return static_cast<double>(*v);
    }

private:
    QByteArrayView m_uevent;
    QString m_dir;
    bool m_fromUevent = false;
    QByteArray m_text;
};

bool isLineType(QByteArrayView type)
{
    return type == "Mains" || type.startsWith("USB");
}

// A battery's `status`, as far as it tells the power line.
enum class BatteryState {
    Other, // Unknown, or a word the kernel may add
    Discharging,
    Charged, // Charging, Full, Not charging: on mains
};

BatteryState stateOf(QByteArrayView status)
{
    if (status == "Discharging")
        return BatteryState::Discharging;
    if (status == "Charging" || status == "Full" || status == "Not charging")
        return BatteryState::Charged;
    return BatteryState::Other;
}

struct BatteryReading {
    double energy = -1; // µWh, < 0 when unknown
    double full = -1; // µWh, <= 0 when unknown
    double design = -1; // µWh, <= 0 when unknown
    double voltage = -1; // µV now, <= 0 when unknown
    double rate = -1; // µW drawn, < 0 when unknown
    double percent = -1; // from `capacity`, < 0 when unknown
    double timeToEmpty = -1; // seconds, <= 0 when unknown
    BatteryState state = BatteryState::Other;
};

BatteryReading readBattery(Attributes& a)
{
    BatteryReading b;
    const auto energyNow = a.number("energy_now");
    const auto energyFull = a.number("energy_full");
    const auto powerNow = a.number("power_now");
    if (const auto volts = a.number("voltage_now"))
        b.voltage = *volts;
    if (energyNow && energyFull) {
        b.energy = *energyNow;
        b.full = *energyFull;
        b.design = a.number("energy_full_design").value_or(-1);
        if (powerNow)
            b.rate = std::fabs(*powerNow);
    } else {
        // Charge-only batteries: µAh x µV / 1e6 = µWh, with the design voltage.
        const auto chargeNow = a.number("charge_now");
        const auto chargeFull = a.number("charge_full");
        double volts = 0;
        for (const char* name : { "voltage_min_design", "voltage_max_design", "voltage_now" }) {
            volts = a.number(name).value_or(0);
            if (volts > 0)
                break;
        }
        if (chargeNow && chargeFull && volts > 0) {
            b.energy = *chargeNow * volts / 1e6;
            b.full = *chargeFull * volts / 1e6;
            if (const auto design = a.number("charge_full_design"))
                b.design = *design * volts / 1e6;
            if (const auto current = a.number("current_now"))
                b.rate = std::fabs(*current) * volts / 1e6;
            else if (powerNow)
                b.rate = std::fabs(*powerNow);
        }
    }
    if (const auto capacity = a.number("capacity"))
        b.percent = *capacity;
    if (const auto tte = a.number("time_to_empty_now"))
        b.timeToEmpty = *tte;
    if (const auto status = a.text("status"))
        b.state = stateOf(*status);
    return b;
}

std::optional<int> roundPercent(double p)
{
    if (!(p >= 0)) // also NaN
        return std::nullopt;
    return static_cast<int>(std::floor(std::min(p, 100.0) + 0.5));
}

struct Scan {
    std::vector<BatteryReading> batteries;
    QStringList names; // of the batteries, sorted
    int lines = 0;
    int linesOnline = 0;
};

enum class Reading {
    Done, // read, or skipped as no power supply the backend uses
    Unreadable, // no type: no power supply, or gone
    Incomplete, // the uevent lacks what the reading needs
};

// Reads the supply called name into s.
Reading readSupply(Attributes& a, const QString& name, Scan& s)
{
    const auto type = a.text("type");
    if (!type)
        return a.fromUevent() ? Reading::Incomplete : Reading::Unreadable;
    const bool battery = *type == "Battery";
    const bool line = isLineType(*type);
    if (const auto scope = a.text("scope"); scope && *scope == "Device")
        return Reading::Done;
    if (battery) {
        if (const auto present = a.number("present"); present && *present == 0)
            return Reading::Done;
        if (a.fromUevent() && !a.inUevent("energy_now") && !a.inUevent("charge_now")
            && !a.inUevent("capacity"))
            return Reading::Incomplete;
        s.batteries.push_back(readBattery(a));
        s.names << name;
    } else if (line) {
        if (a.fromUevent() && !a.inUevent("online"))
            return Reading::Incomplete;
        ++s.lines;
        if (a.number("online").value_or(0) > 0)
            ++s.linesOnline;
    }
    return Reading::Done;
}

// A folder of the power-supply class, as kept between polls.
struct Folder {
    QString name;
    QString path;
    QByteArray uevent; // the path of its uevent file, encoded for open()
    bool read = false; // it was read: when it no longer is, it went
    bool filesOnly = false; // its uevent is unreadable or lacks what the reading needs
};

std::vector<Folder> listFolders(const QString& root)
{
    std::vector<Folder> folders;
    const QDir dir(root);
    // Entries of the power-supply class are symbolic links to the devices.
    const QStringList names = dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& name : names) {
        const QString path = dir.filePath(name);
        folders.push_back({ name, path, QFile::encodeName(path + QStringLiteral("/uevent")) });
    }
    return folders;
}

// Reads every folder into s, each from its uevent file where that serves;
// false when one that was read before no longer can be.
bool readFolders(std::vector<Folder>& folders, QByteArray& buffer, Scan& s)
{
    bool allThere = true;
    for (Folder& f : folders) {
        Reading r = Reading::Incomplete;
        if (!f.filesOnly) {
            const auto used = readKernelFileInto(f.uevent.constData(), buffer, PageSize + 1);
            if (used && *used <= PageSize) {
                Attributes a(QByteArrayView(buffer.constData(), *used));
                r = readSupply(a, f.name, s);
            }
            // Then the attribute files are read until the next listing.
            f.filesOnly = r == Reading::Incomplete;
        }
        if (r == Reading::Incomplete) {
            Attributes a(f.path);
            r = readSupply(a, f.name, s);
        }
        if (r == Reading::Done)
            f.read = true;
        else if (f.read)
            allThere = false;
    }
    return allThere;
}

PowerStatus combine(const Scan& s)
{
    PowerStatus st;
    st.batteries = s.names;
    if (s.batteries.empty()) {
        // A machine without a battery runs on mains.
        st.line = PowerLine::Mains;
        return st;
    }

    if (s.linesOnline > 0) {
        st.line = PowerLine::Mains;
    } else if (s.lines > 0) {
        st.line = PowerLine::Battery;
    } else {
        // No line supply is listed: the batteries' own state tells.
        bool discharging = false, charging = false;
        for (const auto& b : s.batteries) {
            if (b.state == BatteryState::Discharging)
                discharging = true;
            else if (b.state == BatteryState::Charged)
                charging = true;
        }
        st.line = discharging ? PowerLine::Battery : charging ? PowerLine::Mains : PowerLine::Unknown;
    }

    bool allEnergy = true, allRates = true, allTimes = true;
    double energy = 0, full = 0, rate = 0, times = 0, percentSum = 0;
    int percentCount = 0;
    for (const auto& b : s.batteries) {
        if (b.energy >= 0 && b.full > 0) {
            energy += b.energy;
            full += b.full;
            percentSum += 100.0 * b.energy / b.full;
            ++percentCount;
        } else {
            allEnergy = false;
            if (b.percent >= 0) {
                percentSum += b.percent;
                ++percentCount;
            }
        }
        if (b.rate >= 0)
            rate += b.rate;
        else
            allRates = false;
        if (b.timeToEmpty > 0)
            times += b.timeToEmpty;
        else
            allTimes = false;
    }

    if (allEnergy) {
        st.level = roundPercent(100.0 * energy / full);
        st.energyWh = energy / 1e6;
        st.energyFullWh = full / 1e6;
        if (allRates && st.line == PowerLine::Battery)
            st.powerW = rate / 1e6; // drawn from the battery: only on battery
    } else if (percentCount > 0) {
        st.level = roundPercent(percentSum / percentCount);
    }
    // The design energy and the voltage only where every battery gives them;
    // the voltage of several batteries is their mean.
    double design = 0, volts = 0;
    bool allDesign = true, allVolts = true;
    for (const auto& b : s.batteries) {
        allDesign = allDesign && b.design > 0;
        allVolts = allVolts && b.voltage > 0;
        design += b.design;
        volts += b.voltage;
    }
    if (allDesign)
        st.energyFullDesignWh = design / 1e6;
    if (allVolts)
        st.voltageV = volts / 1e6 / static_cast<double>(s.batteries.size());

    if (st.line == PowerLine::Battery) {
        const bool ratesKnown = allEnergy && allRates && rate > 0;
        if (s.batteries.size() == 1 && s.batteries.front().timeToEmpty > 0)
            st.timeLeft = PowerStatus::secondsFrom(s.batteries.front().timeToEmpty);
        else if (ratesKnown)
            st.timeLeft = PowerStatus::secondsFrom(energy / rate * 3600.0);
        else if (allTimes)
            st.timeLeft = PowerStatus::secondsFrom(times);
        if (ratesKnown)
            st.fullLifeTime = PowerStatus::secondsFrom(full / rate * 3600.0);
    }
    return st;
}

} // namespace

struct SysfsPowerSource::Folders {
    std::vector<Folder> list;
    int64_t listedAtMs = 0;
    QByteArray buffer; // the uevent files' text, read into the same bytes each poll
};

SysfsPowerSource::SysfsPowerSource(const QString& root, int pollIntervalMs, QObject* parent)
    : PowerSource(parent)
    , m_root(root)
    , m_nowMs([] { return static_cast<int64_t>(monotonicMs().count()); })
    , m_folders(std::make_unique<Folders>())
{
    update(read());
    m_timer.setInterval(pollIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &SysfsPowerSource::poll);
    if (pollIntervalMs > 0)
        m_timer.start();
}

SysfsPowerSource::~SysfsPowerSource() = default;

void SysfsPowerSource::setMonotonicTimeSource(std::function<int64_t()> nowMs)
{
    m_nowMs = std::move(nowMs);
    m_folders->listedAtMs = m_nowMs();
}

void SysfsPowerSource::alignPolling()
{
    if (!m_timer.isActive())
        return;
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.start();
}

PowerStatus SysfsPowerSource::read()
{
    return readStatus(Listing::Fresh);
}

PowerStatus SysfsPowerSource::readStatus(Listing listing)
{
    Folders& f = *m_folders;
    const int64_t now = m_nowMs();
    bool listed = false;
    const auto list = [&] {
        f.list = listFolders(m_root);
        f.listedAtMs = now;
        listed = true;
    };
    if (listing == Listing::Fresh || now - f.listedAtMs >= ListingIntervalMs)
        list();
    Scan s;
    if (!readFolders(f.list, f.buffer, s) && !listed) {
        // A supply went: list again, so that one that came instead is found too.
        list();
        s = Scan();
        readFolders(f.list, f.buffer, s);
    }
    return combine(s);
}

bool SysfsPowerSource::findsPowerSupply() const
{
    std::vector<Folder> folders = listFolders(m_root);
    QByteArray buffer;
    Scan s;
    readFolders(folders, buffer, s);
    return !s.batteries.empty() || s.lines > 0;
}

bool SysfsPowerSource::checkForChange()
{
    return look(Listing::Fresh);
}

void SysfsPowerSource::poll()
{
    look(Listing::Kept);
}

bool SysfsPowerSource::look(Listing listing)
{
    // After a sleep anything may differ, the batteries too: a resume is
    // announced in any case, from a fresh listing.
    if (resumedSinceLastLook())
        return update(readStatus(Listing::Fresh), Notice::Always);
    return update(readStatus(listing));
}

} // namespace ampero
