// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/backends.h"

#include "core/logging.h"
#include "core/phrases.h"
#include "platform/clock.h"
#include "platform/dbus/upowerpowersource.h"
#include "platform/procstattimes.h"
#include "platform/simpowersource.h"
#include "platform/sysfspowersource.h"
#include "session/testsession.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QFileInfo>
#include <algorithm>

namespace ampero {

namespace {

std::unique_ptr<PowerSource> fail(QString* error, const QString& message)
{
    if (error)
        *error = message;
    return nullptr;
}

// How many processors the machine kept busy since the last call, from the
// kernel's processor times: the simulated battery's load. The load workers
// of a test show here as they would in a real battery's draw.
SimPowerSource::LoadProbe machineBusyProcessors()
{
    auto times = std::make_shared<ProcStatTimes>();
    auto last = std::make_shared<std::optional<ProcessorSnapshot>>(times->snapshot());
    return [times, last] {
        std::optional<ProcessorSnapshot> now = times->snapshot();
        double busy = 0;
        if (now && *last) {
            const size_t n = std::min(now->size(), (*last)->size());
            for (size_t i = 0; i < n; ++i) {
                const auto& a = (**last)[i];
                const auto& b = (*now)[i];
                if (!a.present || !b.present)
                    continue;
                const ProcessorTimes& s = a.times;
                const ProcessorTimes& t = b.times;
                const double idle = double((t.idle - s.idle + t.iowait - s.iowait).count());
                const double total = double((t.system - s.system + t.irq - s.irq + t.softirq - s.softirq
                    + t.idle - s.idle + t.user - s.user + t.nice - s.nice)
                                                .count());
                if (total > 0)
                    busy += std::clamp((total - idle) / total, 0.0, 1.0);
            }
        }
        *last = std::move(now);
        return busy;
    };
}

} // namespace

BatteryIdentitySource* ownBatteryIdentity(PowerSource& power)
{
    return dynamic_cast<SimPowerSource*>(&power);
}

void drainDuringTests(PowerSource& power, TestSession& session)
{
    auto* sim = dynamic_cast<SimPowerSource*>(&power);
    if (!sim)
        return;
    QObject::connect(&session, &TestSession::testStarted, sim, [sim] { sim->setDraining(true); });
    QObject::connect(&session, &TestSession::testEnded, sim, [sim] { sim->setDraining(false); });
}

std::unique_ptr<PowerSource> createPowerSource(const QString& choice, QString* error)
{
    const QString trimmed = choice.trimmed();
    const qsizetype colon = trimmed.indexOf(QLatin1Char(':'));
    const QString name = (colon < 0 ? trimmed : trimmed.left(colon)).toLower();
    const bool hasArgument = colon >= 0;
    const QString argument = hasArgument ? trimmed.mid(colon + 1) : QString();

    if (trimmed.isEmpty()) {
        // The first real backend that finds a power supply; a machine where
        // none does is a desktop on mains without battery.
        auto upower = std::make_unique<UPowerPowerSource>(QDBusConnection::systemBus());
        if (upower->available() && upower->findsPowerSupply()) {
            qCDebug(lcPower, "power source: UPower");
            return upower;
        }
        qCDebug(lcPower, "power source: /sys/class/power_supply (UPower %s)",
            upower->available() ? "finds no power supply" : "does not answer on the system bus");
        upower.reset();
        return std::make_unique<SysfsPowerSource>();
    }

    if (name == QLatin1String("upower")) {
        if (hasArgument)
            return fail(error, phrase("The power source \"upower\" takes no argument: \"%1\".").arg(choice));
        auto upower = std::make_unique<UPowerPowerSource>(QDBusConnection::systemBus());
        if (!upower->available())
            return fail(error, phrase("UPower does not answer on the system bus."));
        return upower;
    }

    if (name == QLatin1String("sysfs")) {
        if (!hasArgument)
            return std::make_unique<SysfsPowerSource>();
        if (argument.isEmpty())
            return fail(error, phrase("The power source \"sysfs:\" needs a folder after the colon."));
        const QFileInfo info(argument);
        if (!info.exists())
            return fail(error, phrase("The power supply folder \"%1\" does not exist.").arg(argument));
        if (!info.isDir())
            return fail(error, phrase("\"%1\" is not a folder of power supplies.").arg(argument));
        return std::make_unique<SysfsPowerSource>(argument);
    }

    if (name == QLatin1String("sim")) {
        SimBatterySettings settings;
        settings.drainWhileIdle = false;
        if (hasArgument) {
            const auto parsed = parseSimBatterySettings(argument, error);
            if (!parsed)
                return nullptr;
            settings = *parsed;
        }
        return std::make_unique<SimPowerSource>(std::make_shared<SystemClock>(), settings,
            settings.loadW > 0 ? machineBusyProcessors() : SimPowerSource::LoadProbe());
    }

    return fail(
        error, phrase("Unknown power source \"%1\"; use upower, sysfs[:DIR] or sim[:N].").arg(choice));
}

} // namespace ampero
