// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/systemservices.h"

#include "app/backends.h"
#include "app/batteryhistory.h"
#include "core/logging.h"
#include "platform/batteryidentity.h"
#include "platform/clock.h"
#include "platform/dbus/logindbrightness.h"
#include "platform/dbus/logindevents.h"
#include "platform/dbus/logindinhibitor.h"
#include "platform/dbus/powerprofiles.h"
#include "platform/dbus/screensaverstate.h"
#include "platform/dbus/upowerbatteryidentity.h"
#include "platform/fakeprocessor.h"
#include "platform/fakeprocessortimes.h"
#include "platform/inhibitor.h"
#include "platform/linuxprocessor.h"
#include "platform/machinefacts.h"
#include "platform/net/qthttpclient.h"
#include "platform/procstattimes.h"
#include "platform/screenbrightness.h"
#include "platform/screenstate.h"
#include "platform/simpowersource.h"
#include "platform/sysfsbatteryidentity.h"
#include "platform/systemevents.h"
#include "session/loadworker.h"
#include "session/sessionstate.h"
#include "ui/desktopurlopener.h"

#include <QDBusConnection>
#include <cstdio>

namespace ampero {

namespace {

// The stand-in machine: a 2 GHz processor, idle, and a 48 Wh lithium-ion
// battery.
void fillFakeMachine(SystemServices& s, SystemOptions::Mode mode)
{
    auto processor = std::make_unique<FakeProcessor>();
    processor->brand = QByteArray("Fake Processor").leftJustified(48, '\0');
    processor->ticks = 200000000; // across the 100 ms of a clock measurement
    s.processor = std::move(processor);
    auto times = std::make_unique<FakeProcessorTimes>();
    times->setTimes({ ProcessorTimes {} });
    s.processorTimes = std::move(times);
    auto battery = std::make_unique<FakeBatteryIdentity>();
    BatteryIdentity identity;
    identity.name = QStringLiteral("Fake Battery");
    identity.manufacturer = QStringLiteral("Orvex");
    identity.chemistry = BatteryChemistry::LithiumIon;
    identity.designCapacityMwh = 48000;
    identity.designVoltageMv = 11400;
    battery->battery = identity;
    s.portableBattery = std::move(battery);
    s.generalBattery = std::make_unique<FakeBatteryIdentity>();
    if (mode == SystemOptions::Mode::Info)
        return;
    auto machine = std::make_unique<FakeMachineFacts>();
    machine->facts.vendor = QStringLiteral("Orvex");
    machine->facts.model = QStringLiteral("Fake Laptop");
    s.machine = std::move(machine);
    if (mode == SystemOptions::Mode::Record)
        return;
    s.systemEvents = std::make_unique<FakeSystemEvents>();
    s.inhibitor = std::make_unique<FakeInhibitor>();
    s.brightness = std::make_unique<FakeScreenBrightness>();
    if (mode == SystemOptions::Mode::Gui)
        s.screen = std::make_unique<FakeScreenState>();
}

// The simulated laptop's clock: this machine's, on which its simulated
// suspends count as time spent suspended, as a real suspend does.
class SimulatedMachineClock final : public Clock {
public:
    double localNow() const override { return m_system.localNow(); }
    int64_t gapNowMs() const override { return m_system.gapNowMs() + m_sleptMs; }
    int64_t monotonicNowMs() const override { return m_system.monotonicNowMs(); }
    void sleep(int64_t ms) { m_sleptMs += ms; }

private:
    SystemClock m_system;
    int64_t m_sleptMs = 0;
};

// How long the simulated laptop sleeps when its battery is empty: long
// enough for the next tick to see a sleep.
constexpr int64_t SimulatedSleepMs = 2 * TickGapMs;

// A laptop whose battery is empty suspends. The simulated one does the same
// through the system events (the system's own notices are passed on), and
// its clock counts the time asleep; then it wakes, still empty. A test that
// runs ends at its next tick, as on a laptop.
void takeCriticalActionWhenEmpty(SystemServices& s, SimPowerSource& sim)
{
    auto* events = qobject_cast<FakeSystemEvents*>(s.systemEvents.get());
    if (!events) {
        auto fake = std::make_unique<FakeSystemEvents>();
        SystemEvents* system = s.systemEvents.release();
        system->setParent(fake.get());
        QObject::connect(system, &SystemEvents::prepareForSleep, fake.get(), &FakeSystemEvents::emitSleep);
        QObject::connect(
            system, &SystemEvents::prepareForShutdown, fake.get(), &FakeSystemEvents::emitShutdown);
        events = fake.get();
        s.systemEvents = std::move(fake);
    }
    auto clock = std::make_unique<SimulatedMachineClock>();
    SimulatedMachineClock* machineClock = clock.get();
    s.clock = std::move(clock);
    QObject::connect(&sim, &SimPowerSource::emptied, events, [events, machineClock] {
        events->emitSleep(true);
        machineClock->sleep(SimulatedSleepMs);
        events->emitSleep(false);
    });
}

void fillThisMachine(SystemServices& s, SystemOptions::Mode mode)
{
    s.processor = std::make_unique<LinuxProcessor>();
    s.processorTimes = std::make_unique<ProcStatTimes>();
    s.portableBattery = std::make_unique<UPowerBatteryIdentity>();
    s.generalBattery = std::make_unique<SysfsBatteryIdentity>();
    if (mode == SystemOptions::Mode::Info)
        return;
    s.powerProfiles = std::make_unique<DBusPowerProfiles>();
    s.machine = std::make_unique<LinuxMachineFacts>(QStringLiteral("/"), s.powerProfiles.get());
    if (mode == SystemOptions::Mode::Record)
        return;
    s.systemEvents = std::make_unique<LogindEvents>();
    // The delay and idle locks come from logind on the system bus; the
    // screen saver on the session bus holds the screen on as well where a
    // desktop runs one (a terminal test without a desktop gets logind's
    // idle lock alone).
    s.inhibitor
        = std::make_unique<LogindInhibitor>(QDBusConnection::systemBus(), QDBusConnection::sessionBus());
    s.brightness = std::make_unique<LogindBrightness>(QDBusConnection::systemBus());
    if (mode == SystemOptions::Mode::Gui)
        s.screen = std::make_unique<ScreenSaverState>();
}

} // namespace

SystemServices::SystemServices() = default;
SystemServices::~SystemServices() = default;

BatteryIdentitySource& SystemServices::portableIdentity() const
{
    // A simulated battery answers for its own identity.
    BatteryIdentitySource* own = power ? ownBatteryIdentity(*power) : nullptr;
    return own ? *own : *portableBattery;
}

BatteryIdentitySource& SystemServices::generalIdentity() const
{
    BatteryIdentitySource* own = power ? ownBatteryIdentity(*power) : nullptr;
    return own ? *own : *generalBattery;
}

BatteryInfo SystemServices::batteryInfo() const
{
    return combinedBatteryInfo(portableIdentity(), generalIdentity());
}

GuiServices SystemServices::gui() const
{
    GuiServices g;
    g.power = power.get();
    g.clock = clock.get();
    g.urlOpener = urlOpener.get();
    g.processor = processor.get();
    g.processorTimes = processorTimes.get();
    g.portableBattery = &portableIdentity();
    g.generalBattery = &generalIdentity();
    g.systemEvents = systemEvents.get();
    g.inhibitor = inhibitor.get();
    g.brightness = brightness.get();
    g.http = http.get();
    g.load = load.get();
    g.screen = screen.get();
    g.machine = machine.get();
    g.history = history.get();
    return g;
}

std::unique_ptr<SystemServices> makeSystemServices(const SystemOptions& options, QString* error)
{
    auto s = std::make_unique<SystemServices>();
    const QString powerChoice = options.fakeSystem && options.powerSource.trimmed().isEmpty()
        ? QStringLiteral("sim")
        : options.powerSource;
    s->power = createPowerSource(powerChoice, error);
    if (!s->power)
        return nullptr;
    if (options.fakeSystem)
        fillFakeMachine(*s, options.mode);
    else
        fillThisMachine(*s, options.mode);
    if (options.mode == SystemOptions::Mode::Info)
        return s;
    // A stand-in battery has no history: its snapshots and runs would mix
    // with the real battery's.
    const bool standIn = options.fakeSystem || powerChoice.trimmed().startsWith(QLatin1String("sim"));
    if (!standIn)
        s->history = makeHistory(
            options.databaseUrl, [gui = options.mode == SystemOptions::Mode::Gui](const QString& why) {
                if (gui)
                    qCWarning(lcApp).noquote() << why;
                else
                    std::fprintf(stderr, "ampero: warning: %s\n", qPrintable(why));
            });
    if (options.mode == SystemOptions::Mode::Record)
        return s;
    s->clock = std::make_unique<SystemClock>();
    if (auto* sim = qobject_cast<SimPowerSource*>(s->power.get()))
        takeCriticalActionWhenEmpty(*s, *sim);
    s->load = std::make_unique<CpuLoadWorkers>();
    if (options.mode == SystemOptions::Mode::Gui) {
        s->http = std::make_unique<QtHttpClient>();
        s->urlOpener = std::make_unique<DesktopUrlOpener>();
    }
    return s;
}

SystemOptions systemOptionsFrom(SystemOptions::Mode mode, const QString& powerSource)
{
    SystemOptions o;
    o.mode = mode;
    o.powerSource = powerSource;
    const QByteArray fake = qgetenv("AMPERO_FAKE_SYSTEM");
    o.fakeSystem = !fake.isEmpty() && fake != "0";
    return o;
}

} // namespace ampero
