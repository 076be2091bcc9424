// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/sysfspowersource.h"

#include "platform/kernelfile.h"

#include <QDir>
#include <cmath>
#include <optional>
#include <vector>

namespace ampero {

namespace {

// Reads a short attribute file, trimmed; nullopt when it is missing,
// unreadable or not a regular file (readKernelFile).
std::optional<QByteArray> readAttribute(const QString& dir, const char* name)
{
    // Attributes are a line at most; never read more than a page.
    auto data = readKernelFile(dir + QLatin1Char('/') + QLatin1String(name), 4096);
    if (!data)
        return std::nullopt;
    return data->trimmed();
}

// A whole number attribute; nullopt when missing or not a number as the
// kernel writes one (parseKernelNumber).
std::optional<double> readNumber(const QString& dir, const char* name)
{
    // A page at most, as the kernel writes; a longer file is no number. Some
    // ten numbers a second are read during a test, into one buffer.
    static thread_local QByteArray buffer;
    const auto used = readKernelFileInto(dir + QLatin1Char('/') + QLatin1String(name), buffer, 4097);
    if (!used || *used > 4096)
        return std::nullopt;
    const auto v = parseKernelNumber(QByteArrayView(buffer.constData(), *used));
    if (!v)
        return std::nullopt;
    return static_cast<double>(*v);
}

bool isLineType(const QByteArray& type)
{
    return type == "Mains" || type.startsWith("USB");
}

struct BatteryReading {
    double energy = -1; // µWh, < 0 when unknown
    double full = -1; // µWh, <= 0 when unknown
    double design = -1; // µWh, <= 0 when unknown
    double voltage = -1; // µV now, <= 0 when unknown
    double rate = -1; // µW drawn, < 0 when unknown
    double percent = -1; // from `capacity`, < 0 when unknown
    double timeToEmpty = -1; // seconds, <= 0 when unknown
    QByteArray state; // `status`: Discharging, Charging, Full, ...
};

BatteryReading readBattery(const QString& dir)
{
    BatteryReading b;
    const auto energyNow = readNumber(dir, "energy_now");
    const auto energyFull = readNumber(dir, "energy_full");
    const auto powerNow = readNumber(dir, "power_now");
    if (const auto volts = readNumber(dir, "voltage_now"))
        b.voltage = *volts;
    if (energyNow && energyFull) {
        b.energy = *energyNow;
        b.full = *energyFull;
        b.design = readNumber(dir, "energy_full_design").value_or(-1);
        if (powerNow)
            b.rate = std::fabs(*powerNow);
    } else {
        // Charge-only batteries: µAh x µV / 1e6 = µWh, with the design voltage.
        const auto chargeNow = readNumber(dir, "charge_now");
        const auto chargeFull = readNumber(dir, "charge_full");
        double volts = 0;
        for (const char* name : { "voltage_min_design", "voltage_max_design", "voltage_now" }) {
            volts = readNumber(dir, name).value_or(0);
            if (volts > 0)
                break;
        }
        if (chargeNow && chargeFull && volts > 0) {
            b.energy = *chargeNow * volts / 1e6;
            b.full = *chargeFull * volts / 1e6;
            if (const auto design = readNumber(dir, "charge_full_design"))
                b.design = *design * volts / 1e6;
            if (const auto current = readNumber(dir, "current_now"))
                b.rate = std::fabs(*current) * volts / 1e6;
            else if (powerNow)
                b.rate = std::fabs(*powerNow);
        }
    }
    if (const auto capacity = readNumber(dir, "capacity"))
        b.percent = *capacity;
    if (const auto tte = readNumber(dir, "time_to_empty_now"))
        b.timeToEmpty = *tte;
    if (const auto state = readAttribute(dir, "status"))
        b.state = *state;
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

Scan scan(const QString& root)
{
    Scan s;
    const QDir dir(root);
    // Entries of the power-supply class are symbolic links to the devices.
    const QStringList names = dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& name : names) {
        const QString path = dir.filePath(name);
        const auto type = readAttribute(path, "type");
        if (!type)
            continue;
        if (readAttribute(path, "scope").value_or(QByteArray()) == "Device")
            continue;
        if (*type == "Battery") {
            if (const auto present = readNumber(path, "present"); present && *present == 0)
                continue;
            s.batteries.push_back(readBattery(path));
            s.names << name;
        } else if (isLineType(*type)) {
            ++s.lines;
            if (readNumber(path, "online").value_or(0) > 0)
                ++s.linesOnline;
        }
    }
    return s;
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
            if (b.state == "Discharging")
                discharging = true;
            else if (b.state == "Charging" || b.state == "Full" || b.state == "Not charging")
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

SysfsPowerSource::SysfsPowerSource(const QString& root, int pollIntervalMs, QObject* parent)
    : PowerSource(parent)
    , m_root(root)
{
    update(read());
    m_timer.setInterval(pollIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &SysfsPowerSource::checkForChange);
    if (pollIntervalMs > 0)
        m_timer.start();
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
    return combine(scan(m_root));
}

bool SysfsPowerSource::findsPowerSupply() const
{
    const Scan s = scan(m_root);
    return !s.batteries.empty() || s.lines > 0;
}

bool SysfsPowerSource::checkForChange()
{
    // After a sleep anything may differ: a resume is announced in any case.
    const Notice notice = resumedSinceLastLook() ? Notice::Always : Notice::OnChange;
    return update(read(), notice);
}

} // namespace ampero
