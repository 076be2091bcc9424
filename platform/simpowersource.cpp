// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/simpowersource.h"

#include "core/phrases.h"

#include <QStringList>
#include <algorithm>
#include <cmath>
#include <limits>

namespace ampero {

namespace {

// The longest simulated percent: a day.
constexpr int MaxSecondsPerPercent = 86400;
// The range of the base power, in W.
constexpr double MinBaseW = 0.001;
constexpr double MaxBaseW = 10000;
// A second: the energy is drawn, and the noise changes, second by second.
constexpr int64_t StepMs = 1000;
// The level is rounded up; a drift of the summed energy below this share of
// a percent does not move it, so that whole seconds per percent stay exact.
constexpr double LevelSlack = 1e-7;
// The same for the energy's landmarks (half used, empty), as a share of the full energy.
constexpr double EnergySlack = 1e-9;

// A number from -1 to 1 for each (seed, index), the same on every run.
double noiseValue(uint32_t seed, int64_t index, uint64_t stream)
{
    uint64_t z = (uint64_t(seed) << 32) ^ uint64_t(index) ^ (stream * 0xD1B54A32D192ED03ull);
    z += 0x9E3779B97F4A7C15ull; // splitmix64
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    z ^= z >> 31;
    return static_cast<double>(z >> 11) / static_cast<double>(1ull << 52) - 1.0;
}

struct Range {
    const char* key;
    double SimBatterySettings::*field;
    double low, high;
};

} // namespace

std::optional<SimBatterySettings> parseSimBatterySettings(const QString& text, QString* error)
{
    const auto fail = [error](const QString& message) -> std::optional<SimBatterySettings> {
        if (error)
            *error = message;
        return std::nullopt;
    };
    static const Range ranges[] = {
        { "capacity", &SimBatterySettings::capacityWh, 0.1, 10000 },
        { "health", &SimBatterySettings::healthPercent, 1, 150 },
        { "voltage", &SimBatterySettings::designVoltageV, 0.1, 1000 },
        { "load", &SimBatterySettings::loadW, 0, 10000 },
        { "noise", &SimBatterySettings::noisePercent, 0, 100 },
        { "plateau", &SimBatterySettings::plateauPercent, 0, 50 },
        { "end", &SimBatterySettings::endFactor, 0.1, 100 },
        { "halfway", &SimBatterySettings::halfwayFactor, 0.01, 100 },
    };
    SimBatterySettings s;
    s.drainWhileIdle = false;
    bool haveSeconds = false;
    QStringList seen;
    const QStringList parts = text.split(QLatin1Char(','));
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const QString part = parts[i].trimmed();
        const qsizetype eq = part.indexOf(QLatin1Char('='));
        if (eq < 0) {
            bool ok = false;
            const int seconds = part.toInt(&ok);
            if (i > 0)
                return fail(
                    phrase("The simulated battery's setting \"%1\" needs the form key=value.").arg(part));
            if (!ok || seconds < 1 || seconds > MaxSecondsPerPercent)
                return fail(phrase("The simulated battery needs a whole number of seconds per percent "
                                   "from 1 to %1, not \"%2\".")
                                .arg(MaxSecondsPerPercent)
                                .arg(part));
            s.secondsPerPercent = seconds;
            haveSeconds = true;
            continue;
        }
        const QString key = part.left(eq).trimmed().toLower();
        const QString value = part.mid(eq + 1).trimmed();
        if (seen.contains(key))
            return fail(phrase("The simulated battery's setting \"%1\" is given twice.").arg(key));
        seen << key;
        bool ok = false;
        if (key == QLatin1String("seed")) {
            const qulonglong seed = value.toULongLong(&ok);
            if (!ok || seed > 0xFFFFFFFFull)
                return fail(phrase("The simulated battery's seed is a whole number from 0 to 4294967295, "
                                   "not \"%1\".")
                                .arg(value));
            s.seed = static_cast<uint32_t>(seed);
            continue;
        }
        if (key == QLatin1String("level")) {
            const int level = value.toInt(&ok);
            if (!ok || level < 1 || level > 100)
                return fail(
                    phrase("The simulated battery's level is a whole number from 1 to 100, not \"%1\".")
                        .arg(value));
            s.startLevel = level;
            continue;
        }
        if (key == QLatin1String("drain")) {
            if (value != QLatin1String("idle") && value != QLatin1String("test"))
                return fail(
                    phrase("The simulated battery's drain is \"idle\" or \"test\", not \"%1\".").arg(value));
            s.drainWhileIdle = value == QLatin1String("idle");
            continue;
        }
        const double number = value.toDouble(&ok);
        const auto outOf = [&](double low, double high) {
            return fail(
                phrase("The simulated battery's setting \"%1\" takes a number from %2 to %3, not \"%4\".")
                    .arg(key)
                    .arg(low)
                    .arg(high)
                    .arg(value));
        };
        if (key == QLatin1String("base")) {
            if (!ok || !(number >= MinBaseW && number <= MaxBaseW))
                return outOf(MinBaseW, MaxBaseW);
            s.baseW = number;
            continue;
        }
        const auto* range = std::find_if(std::begin(ranges), std::end(ranges),
            [&](const Range& r) { return key == QLatin1String(r.key); });
        if (range == std::end(ranges))
            return fail(phrase("The simulated battery has no setting \"%1\"; use capacity, health, voltage, "
                               "base, load, noise, plateau, end, halfway, seed, level or drain.")
                            .arg(key));
        if (!ok || !(number >= range->low && number <= range->high))
            return outOf(range->low, range->high);
        s.*(range->field) = number;
    }
    if (haveSeconds && s.baseW)
        return fail(phrase("The simulated battery takes seconds per percent or a base power, not both."));
    return s;
}

SimPowerSource::SimPowerSource(
    std::shared_ptr<const Clock> clock, int secondsPerPercent, int pollIntervalMs, QObject* parent)
    : SimPowerSource(
        std::move(clock),
        [secondsPerPercent] {
            SimBatterySettings s;
            s.secondsPerPercent = std::max(1, secondsPerPercent);
            return s;
        }(),
        {}, pollIntervalMs, parent)
{
}

SimPowerSource::SimPowerSource(std::shared_ptr<const Clock> clock, const SimBatterySettings& settings,
    LoadProbe load, int pollIntervalMs, QObject* parent)
    : PowerSource(parent)
    , m_clock(std::move(clock))
    , m_settings(settings)
    , m_load(std::move(load))
    , m_startMs(m_clock->gapNowMs())
{
    m_settings.secondsPerPercent = std::max(1, m_settings.secondsPerPercent);
    m_settings.startLevel = std::clamp(m_settings.startLevel, 1, 100);
    m_usedWh = usedWhAtLevel(m_settings.startLevel);
    m_draining = m_settings.drainWhileIdle;
    m_powerW = powerAt(0, 0);
    update(read());
    connect(&m_timer, &QTimer::timeout, this, &SimPowerSource::checkForChange);
    m_timer.setSingleShot(true);
    // Never early: a coarse timer that fires a little before the second
    // would look twice in it.
    m_timer.setTimerType(Qt::PreciseTimer);
    m_pollIntervalMs = std::max(0, pollIntervalMs);
    scheduleNextCheck();
}

double SimPowerSource::powerAt(int64_t second, double busy) const
{
    double p = m_settings.basePowerW();
    if (m_usedWh >= m_settings.fullWh() * (0.5 - EnergySlack))
        p *= m_settings.halfwayFactor;
    p += m_settings.loadW * busy;
    if (m_settings.noisePercent > 0) {
        // Half of it new each second, half each minute: real draw wanders as
        // well as it jitters.
        const double n = 0.5 * noiseValue(m_settings.seed, second, 1)
            + 0.5 * noiseValue(m_settings.seed, second / 60, 2);
        p *= 1.0 + m_settings.noisePercent / 100.0 * n;
    }
    return std::max(0.0, p);
}

void SimPowerSource::drawUntil(int64_t ms)
{
    // A clock that went backwards counts as no time passed.
    if (ms <= m_doneMs)
        return;
    if (!m_draining) {
        // Holding the charge: the time passes, nothing is drawn.
        m_doneMs = ms;
        return;
    }
    const double full = m_settings.fullWh();
    const double busy = m_load && m_settings.loadW > 0 ? std::max(0.0, m_load()) : 0.0;
    while (m_doneMs < ms && !isEmpty()) {
        const int64_t second = m_doneMs / StepMs;
        const int64_t to = std::min(ms, (second + 1) * StepMs);
        m_powerW = powerAt(second, busy);
        m_usedWh += m_powerW * static_cast<double>(to - m_doneMs) / 3.6e6;
        m_doneMs = to;
    }
    if (isEmpty()) {
        m_usedWh = full;
        m_doneMs = ms;
    }
}

bool SimPowerSource::isEmpty() const
{
    return m_usedWh >= m_settings.fullWh() * (1.0 - EnergySlack);
}

int SimPowerSource::gaugeLevel() const
{
    const double full = m_settings.fullWh();
    const double left = std::max(0.0, (full - m_usedWh) / full);
    // The plateau: the top share of the energy reads 100 %, the rest spreads
    // over 0 to 100 %.
    const double share = left / (1.0 - m_settings.plateauPercent / 100.0);
    if (share >= 1)
        return 100;
    // The last 20 % of the gauge hold 1/end of the energy a percent above them holds.
    const double tail = (20.0 / m_settings.endFactor) / (80.0 + 20.0 / m_settings.endFactor);
    const double gauge = share >= tail ? 20.0 + (share - tail) / (1.0 - tail) * 80.0 : share / tail * 20.0;
    return std::clamp(static_cast<int>(std::ceil(gauge - LevelSlack)), 0, 100);
}

PowerStatus SimPowerSource::read()
{
    drawUntil(std::max<int64_t>(0, m_clock->gapNowMs() - m_startMs));
    if (isEmpty() && !m_emptiedSent) {
        // After this reading's notice has gone out.
        m_emptiedSent = true;
        QTimer::singleShot(0, this, [this] { Q_EMIT emptied(); });
    }
    const double full = m_settings.fullWh();
    const double left = std::max(0.0, full - m_usedWh);
    PowerStatus s;
    s.line = PowerLine::Battery;
    s.batteries = QStringList { QStringLiteral("sim") };
    s.level = gaugeLevel();
    s.energyWh = left;
    s.energyFullWh = full;
    s.energyFullDesignWh = m_settings.capacityWh;
    // The cell voltage falls as the battery empties, from 110 % to 90 % of the design.
    s.voltageV = m_settings.designVoltageV * (0.9 + 0.2 * left / full);
    s.powerW = left > 0 ? m_powerW : 0.0;
    if (left <= 0 || s.level == 0) {
        s.timeLeft = std::chrono::seconds(0);
    } else if (m_powerW > 0) {
        // Whole seconds, as a gauge counts them down.
        const double seconds = std::floor(left / m_powerW * 3600.0 + 1e-6);
        if (seconds <= static_cast<double>(PowerStatus::LongestTime.count())) // else unknown
            s.timeLeft = std::chrono::seconds(static_cast<std::chrono::seconds::rep>(seconds));
    }
    if (m_powerW > 0)
        s.fullLifeTime = PowerStatus::secondsFrom(full / m_powerW * 3600.0);
    return s;
}

std::optional<BatteryIdentity> SimPowerSource::firstBattery()
{
    BatteryIdentity b;
    b.name = QStringLiteral("Simulated battery");
    b.manufacturer = QStringLiteral("Orvex Ampero");
    b.chemistry = BatteryChemistry::LithiumIon;
    b.designCapacityMwh = static_cast<uint64_t>(qRound64(m_settings.capacityWh * 1000));
    b.fullChargeCapacityMwh = static_cast<uint64_t>(qRound64(m_settings.fullWh() * 1000));
    b.designVoltageMv = static_cast<uint64_t>(qRound64(m_settings.designVoltageV * 1000));
    return b;
}

double SimPowerSource::usedWhAtLevel(int level) const
{
    // The inverse of gaugeLevel(): the energy used when the gauge has just
    // come down to level.
    if (level >= 100)
        return 0;
    const double g = level;
    const double tail = (20.0 / m_settings.endFactor) / (80.0 + 20.0 / m_settings.endFactor);
    const double share = g >= 20 ? tail + (g - 20.0) / 80.0 * (1.0 - tail) : g / 20.0 * tail;
    const double full = m_settings.fullWh();
    return full - share * (1.0 - m_settings.plateauPercent / 100.0) * full;
}

int64_t SimPowerSource::msUntilNextLevel() const
{
    // The energy used at which the gauge reads one percent less, by the
    // inverse of gaugeLevel(), at the power of the last second drawn.
    const int level = gaugeLevel();
    // Before the first second is drawn, the power it will be drawn at.
    const double power = m_doneMs > 0 ? m_powerW : powerAt(0, 0.0);
    if (level <= 0 || !(power > 0))
        return -1;
    const double usedAtNext = usedWhAtLevel(level - 1);
    return static_cast<int64_t>(std::ceil(std::max(0.0, usedAtNext - m_usedWh) / power * 3.6e6));
}

void SimPowerSource::scheduleNextCheck()
{
    // Wake when the level should change at the present draw. Where the draw
    // varies (noise, load, the half-way step), also at least every
    // ReadingRefreshMs, as a battery's gauge reports its energy and power.
    // Never sooner than the poll interval after this check. A resume shows at
    // the first wake after it. Once empty, or while the charge is held,
    // nothing changes.
    if (m_pollIntervalMs <= 0)
        return;
    if (isEmpty() || !m_draining) {
        m_timer.stop();
        return;
    }
    const bool drawVaries
        = m_settings.noisePercent > 0 || (m_settings.loadW > 0 && m_load) || m_settings.halfwayFactor != 1.0;
    const int64_t untilLevel = msUntilNextLevel();
    int64_t untilNext = untilLevel < 0 ? ReadingRefreshMs : untilLevel + 1;
    if (drawVaries)
        untilNext = std::min<int64_t>(untilNext, ReadingRefreshMs);
    untilNext = std::clamp<int64_t>(untilNext, m_pollIntervalMs, std::numeric_limits<int>::max());
    m_timer.start(static_cast<int>(untilNext));
}

void SimPowerSource::setDraining(bool on)
{
    if (m_settings.drainWhileIdle || on == m_draining)
        return;
    // Up to now as it was, from now on as asked.
    drawUntil(std::max<int64_t>(0, m_clock->gapNowMs() - m_startMs));
    m_draining = on;
    scheduleNextCheck();
}

bool SimPowerSource::checkForChange()
{
    const PowerStatus now = read();
    scheduleNextCheck();
    return update(now);
}

} // namespace ampero
