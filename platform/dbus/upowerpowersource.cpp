// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/dbus/upowerpowersource.h"

#include "platform/dbus/dbusservice.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusReply>
#include <cmath>
#include <optional>

namespace ampero {

namespace {
const QString Service = QStringLiteral("org.freedesktop.UPower");
const QString ManagerPath = QStringLiteral("/org/freedesktop/UPower");
const QString ManagerInterface = QStringLiteral("org.freedesktop.UPower");
const QString DisplayDevicePath = QStringLiteral("/org/freedesktop/UPower/devices/DisplayDevice");
const QString DeviceInterface = QStringLiteral("org.freedesktop.UPower.Device");
const QString PropertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
constexpr int ResumeCheckMs = 5000;
// A stuck service must not freeze the program for D-Bus's default 25 seconds.
constexpr int CallTimeoutMs = 2000;

// UPower's device states.
constexpr uint StateCharging = 1;
constexpr uint StateDischarging = 2;
constexpr uint StateFullyCharged = 4;
constexpr uint StatePendingDischarge = 6;
// UPower's device kind of a laptop battery.
constexpr uint KindBattery = 2;

QDBusMessage methodCall(
    const QString& path, const QString& iface, const QString& method, const QVariantList& args = {})
{
    QDBusMessage msg = QDBusMessage::createMethodCall(Service, path, iface, method);
    msg.setArguments(args);
    return msg;
}

QDBusMessage call(const QDBusConnection& bus, const QString& path, const QString& iface,
    const QString& method, const QVariantList& args = {})
{
    return bus.call(methodCall(path, iface, method, args), QDBus::Block, CallTimeoutMs);
}

// True for an error that says the service gave no answer at all (it is not
// on the bus, or it did not reply in time), as opposed to an answer that
// refuses the call.
bool unanswered(const QDBusMessage& reply)
{
    if (reply.type() != QDBusMessage::ErrorMessage)
        return false;
    switch (QDBusError(reply).type()) {
    case QDBusError::NoReply:
    case QDBusError::Timeout:
    case QDBusError::TimedOut:
    case QDBusError::ServiceUnknown:
    case QDBusError::Disconnected:
    case QDBusError::NoServer:
        return true;
    default:
        return false;
    }
}

// The properties of one GetAll reply; empty for an error.
QVariantMap propertiesOf(const QDBusMessage& reply)
{
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return {};
    const QVariant arg = reply.arguments().constFirst();
    if (arg.canConvert<QDBusArgument>()) {
        QVariantMap map;
        arg.value<QDBusArgument>() >> map;
        return map;
    }
    return arg.toMap();
}

// The object paths of an EnumerateDevices reply; nullopt for an error or a
// reply of another type.
std::optional<QStringList> devicePathsOf(const QDBusMessage& reply)
{
    if (reply.type() != QDBusMessage::ReplyMessage || reply.signature() != QLatin1String("ao"))
        return std::nullopt;
    QList<QDBusObjectPath> paths;
    reply.arguments().constFirst().value<QDBusArgument>() >> paths;
    QStringList list;
    for (const auto& path : paths)
        list.append(path.path());
    return list;
}

// A finite value above zero; UPower says 0 for what it does not know.
std::optional<double> positive(const QVariant& value)
{
    const auto v = typed<double>(value);
    if (v && *v > 0 && std::isfinite(*v))
        return v;
    return std::nullopt;
}

// Kept while the service is gone or silent, and how often it is asked
// again meanwhile.
constexpr std::chrono::milliseconds DefaultGrace { 30000 };
constexpr int RetryMs = 2000;
// Notices are gathered this long before they cost a reading.
constexpr int CoalesceMs = 250;

} // namespace

// One reading of UPower: the calls it makes, one after the other, and what
// each reply adds to the status. A blocking read and an asynchronous one take
// the same steps; only the way the calls go out differs.
class UPowerPowerSource::Reading {
public:
    Reading(std::optional<QStringList> batteryPaths, int devicesGeneration)
        : m_paths(std::move(batteryPaths))
        , m_generation(devicesGeneration)
    {
    }

    // The next call to make; nullopt once the reading is complete.
    std::optional<QDBusMessage> nextCall() const
    {
        switch (m_step) {
        case Step::OnBattery:
            return methodCall(ManagerPath, PropertiesInterface, QStringLiteral("Get"),
                { ManagerInterface, QStringLiteral("OnBattery") });
        case Step::Display:
            return methodCall(
                DisplayDevicePath, PropertiesInterface, QStringLiteral("GetAll"), { DeviceInterface });
        case Step::Devices:
            return methodCall(ManagerPath, ManagerInterface, QStringLiteral("EnumerateDevices"));
        case Step::Batteries:
            return methodCall(
                m_paths->at(m_battery), PropertiesInterface, QStringLiteral("GetAll"), { DeviceInterface });
        case Step::Done:
            break;
        }
        return std::nullopt;
    }

    // Takes the reply to the last nextCall().
    void take(const QDBusMessage& reply)
    {
        // OnBattery and the DisplayDevice must answer; a battery that does
        // not only adds nothing.
        if ((m_step == Step::OnBattery || m_step == Step::Display) && unanswered(reply)) {
            m_answered = false;
            m_step = Step::Done;
            return;
        }
        switch (m_step) {
        case Step::OnBattery:
            takeOnBattery(reply);
            break;
        case Step::Display:
            takeDisplay(propertiesOf(reply));
            break;
        case Step::Devices:
            m_paths = devicePathsOf(reply);
            m_step = m_paths ? Step::Batteries : Step::Done;
            nextBattery();
            break;
        case Step::Batteries:
            takeBattery(propertiesOf(reply));
            ++m_battery;
            nextBattery();
            break;
        case Step::Done:
            break;
        }
    }

    // False when the service gave no answer: the reading says nothing.
    bool answered() const { return m_answered; }
    const PowerStatus& status() const { return m_status; }
    const std::optional<QStringList>& batteryPaths() const { return m_paths; }
    int devicesGeneration() const { return m_generation; }

private:
    enum class Step { OnBattery, Display, Devices, Batteries, Done };

    void takeOnBattery(const QDBusMessage& reply)
    {
        const QVariant value = reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()
            ? reply.arguments().constFirst().value<QDBusVariant>().variant()
            : QVariant();
        m_onBattery = typed<bool>(value);
        // Without a sensible answer everything stays unknown.
        m_step = m_onBattery ? Step::Display : Step::Done;
        if (m_onBattery)
            m_status.line = *m_onBattery ? PowerLine::Battery : PowerLine::Mains;
    }

    void takeDisplay(const QVariantMap& dev)
    {
        m_step = Step::Done;
        PowerStatus& s = m_status;
        if (typed<bool>(dev.value(QStringLiteral("IsPresent"))) != true)
            return; // no battery: level unknown

        const auto percent = typed<double>(dev.value(QStringLiteral("Percentage")));
        if (percent && *percent >= 0 && std::isfinite(*percent))
            s.level = static_cast<int>(std::floor(std::min(*percent, 100.0) + 0.5));

        const uint state = typed<uint>(dev.value(QStringLiteral("State"))).value_or(0);
        const bool discharging = state == StateDischarging || state == StatePendingDischarge
            || (state != StateCharging && state != StateFullyCharged && *m_onBattery);
        if (discharging) {
            // TimeToEmpty of 0 means UPower does not know yet.
            s.timeLeft = PowerStatus::secondsFrom(
                static_cast<double>(typed<qlonglong>(dev.value(QStringLiteral("TimeToEmpty"))).value_or(0)));
            const double full = typed<double>(dev.value(QStringLiteral("EnergyFull"))).value_or(0);
            const double rate = typed<double>(dev.value(QStringLiteral("EnergyRate"))).value_or(0);
            if (full > 0 && rate > 0)
                s.fullLifeTime = PowerStatus::secondsFrom(full / rate * 3600.0);
            s.powerW = positive(dev.value(QStringLiteral("EnergyRate")));
        }
        s.energyFullWh = positive(dev.value(QStringLiteral("EnergyFull")));
        if (s.energyFullWh) {
            const auto energy = typed<double>(dev.value(QStringLiteral("Energy")));
            if (energy && *energy >= 0 && std::isfinite(*energy))
                s.energyWh = energy;
        }
        s.energyFullDesignWh = positive(dev.value(QStringLiteral("EnergyFullDesign")));
        s.voltageV = positive(dev.value(QStringLiteral("Voltage")));
        // UPower's DisplayDevice sums energy, full energy and rate, not the
        // design energy and the voltage: those come from the system batteries.
        if (!s.energyFullDesignWh || !s.voltageV) {
            m_step = m_paths ? Step::Batteries : Step::Devices;
            if (m_paths)
                nextBattery();
        }
    }

    void takeBattery(const QVariantMap& dev)
    {
        if (typed<uint>(dev.value(QStringLiteral("Type"))) != KindBattery
            || typed<bool>(dev.value(QStringLiteral("PowerSupply"))) != true
            || typed<bool>(dev.value(QStringLiteral("IsPresent"))) != true)
            return; // a mouse, a line supply, an empty bay, or no answer
        ++m_batteries;
        const auto d = positive(dev.value(QStringLiteral("EnergyFullDesign")));
        const auto v = positive(dev.value(QStringLiteral("Voltage")));
        m_allDesign = m_allDesign && d;
        m_allVolts = m_allVolts && v;
        m_design += d.value_or(0);
        m_volts += v.value_or(0);
    }

    // Stays on the batteries while one is left to read; sums them up after
    // the last.
    void nextBattery()
    {
        if (m_step != Step::Batteries || m_battery < m_paths->size())
            return;
        m_step = Step::Done;
        if (m_batteries == 0)
            return;
        if (!m_status.energyFullDesignWh && m_allDesign)
            m_status.energyFullDesignWh = m_design;
        if (!m_status.voltageV && m_allVolts)
            m_status.voltageV = m_volts / m_batteries;
    }

    Step m_step = Step::OnBattery;
    bool m_answered = true;
    PowerStatus m_status;
    std::optional<bool> m_onBattery;
    std::optional<QStringList> m_paths;
    int m_generation;
    qsizetype m_battery = 0;
    int m_batteries = 0;
    double m_design = 0, m_volts = 0;
    bool m_allDesign = true, m_allVolts = true;
};

UPowerPowerSource::UPowerPowerSource(const QDBusConnection& bus, QObject* parent)
    : PowerSource(parent)
    , m_bus(bus)
{
    m_readTimer.setSingleShot(true);
    connect(&m_readTimer, &QTimer::timeout, this, &UPowerPowerSource::startRead);
    m_graceTimer.setSingleShot(true);
    m_graceTimer.setInterval(DefaultGrace);
    connect(&m_graceTimer, &QTimer::timeout, this, &UPowerPowerSource::onGraceOver);
    if (!m_bus.isConnected())
        return;
    // An empty path subscribes to the signal of every object of the service:
    // the manager (OnBattery), the DisplayDevice and each battery. The slot
    // takes none of the signal's arguments: a notice only asks for a reading.
    m_bus.connect(Service, QString(), PropertiesInterface, QStringLiteral("PropertiesChanged"), this,
        SLOT(onPropertiesChanged()));
    m_watcher.setConnection(m_bus);
    m_watcher.addWatchedService(Service);
    m_watcher.setWatchMode(QDBusServiceWatcher::WatchForOwnerChange);
    connect(&m_watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
        &UPowerPowerSource::onServiceOwnerChanged);
    for (const char* signal : { "DeviceAdded", "DeviceRemoved" })
        m_bus.connect(
            Service, ManagerPath, ManagerInterface, QLatin1String(signal), this, SLOT(onDevicesChanged()));
    update(read());
    // A resume is looked for every five seconds on whole-second marks: it
    // is a rare event, and a check each second would wake the program once
    // more a second for the whole of a test.
    m_resumeTimer.setInterval(ResumeCheckMs);
    m_resumeTimer.setTimerType(Qt::VeryCoarseTimer);
    connect(&m_resumeTimer, &QTimer::timeout, this, &UPowerPowerSource::checkForResume);
    m_resumeTimer.start();
}

UPowerPowerSource::~UPowerPowerSource() = default;

void UPowerPowerSource::alignPolling()
{
    // During a test, on the tick's wake-ups: whole-second marks would be
    // wake-ups of their own.
    if (!m_resumeTimer.isActive())
        return;
    m_resumeTimer.setTimerType(Qt::PreciseTimer);
    m_resumeTimer.start();
}

bool UPowerPowerSource::available() const
{
    return serviceRegistered(m_bus, Service);
}

bool UPowerPowerSource::findsPowerSupply() const
{
    if (!m_bus.isConnected())
        return false;
    const auto paths
        = devicePathsOf(call(m_bus, ManagerPath, ManagerInterface, QStringLiteral("EnumerateDevices")));
    return paths && !paths->isEmpty();
}

void UPowerPowerSource::setGracePeriod(std::chrono::milliseconds grace)
{
    m_graceTimer.setInterval(grace);
}

bool UPowerPowerSource::readPending() const
{
    return m_reading || m_readTimer.isActive();
}

PowerStatus UPowerPowerSource::read()
{
    if (!m_bus.isConnected())
        return {};
    // What an asynchronous reading under way finds is older than this.
    m_readingStale = m_reading != nullptr;
    Reading reading(m_batteryPaths, m_devicesGeneration);
    while (const auto next = reading.nextCall())
        reading.take(m_bus.call(*next, QDBus::Block, CallTimeoutMs));
    return keep(reading) ? reading.status() : status();
}

void UPowerPowerSource::requestRead(int delayMs)
{
    if (m_reading) {
        m_readAgain = true;
        return;
    }
    if (!m_readTimer.isActive() || m_readTimer.remainingTime() > delayMs)
        m_readTimer.start(delayMs);
}

void UPowerPowerSource::startRead()
{
    if (m_reading || !m_bus.isConnected())
        return;
    m_reading = std::make_unique<Reading>(m_batteryPaths, m_devicesGeneration);
    m_readingStale = false;
    sendNextCall();
}

void UPowerPowerSource::sendNextCall()
{
    const auto next = m_reading->nextCall();
    if (!next) {
        finishRead();
        return;
    }
    // The watcher is a child of this source: a reply that comes after the
    // source has gone finds nobody.
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(*next, CallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        m_reading->take(w->reply());
        sendNextCall();
    });
}

void UPowerPowerSource::finishRead()
{
    const std::unique_ptr<Reading> reading = std::move(m_reading);
    if (!m_readingStale && keep(*reading))
        update(reading->status(), std::exchange(m_announce, false) ? Notice::Always : Notice::OnChange);
    if (std::exchange(m_readAgain, false) || m_announce)
        requestRead(m_announce ? 0 : CoalesceMs);
}

bool UPowerPowerSource::keep(const Reading& reading)
{
    if (!reading.answered()) {
        serviceSilent();
        return false;
    }
    m_graceTimer.stop();
    if (reading.devicesGeneration() == m_devicesGeneration)
        m_batteryPaths = reading.batteryPaths();
    return true;
}

void UPowerPowerSource::serviceSilent()
{
    // Nothing known is nothing to keep; after the grace period the status
    // is unknown and stays so until the service answers again.
    if (status().line == PowerLine::Unknown)
        return;
    if (!m_graceTimer.isActive())
        m_graceTimer.start();
    requestRead(RetryMs);
}

void UPowerPowerSource::onGraceOver()
{
    m_readTimer.stop();
    update(PowerStatus {});
    Q_EMIT unavailable(QStringLiteral("the power service stopped answering"));
}

void UPowerPowerSource::onServiceOwnerChanged(
    const QString& /*service*/, const QString& /*oldOwner*/, const QString& newOwner)
{
    m_batteryPaths.reset();
    ++m_devicesGeneration;
    if (newOwner.isEmpty())
        serviceSilent(); // gone, perhaps restarting: the last reading stays for now
    else
        requestRead(0);
}

void UPowerPowerSource::onDevicesChanged()
{
    m_batteryPaths.reset();
    ++m_devicesGeneration;
    requestRead(CoalesceMs);
}

void UPowerPowerSource::onPropertiesChanged()
{
    requestRead(CoalesceMs);
}

void UPowerPowerSource::checkForChange()
{
    requestRead(CoalesceMs);
}

bool UPowerPowerSource::checkForResume()
{
    if (!resumedSinceLastLook())
        return false;
    m_announce = true;
    requestRead(0);
    return true;
}

void UPowerPowerSource::resumed()
{
    // This sleep is announced now; the own look must not repeat it.
    resumedSinceLastLook();
    m_announce = true;
    requestRead(0);
}

} // namespace ampero
