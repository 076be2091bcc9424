// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/backends.h"

#include "core/logging.h"
#include "core/phrases.h"
#include "platform/clock.h"
#include "platform/dbus/upowerpowersource.h"
#include "platform/simpowersource.h"
#include "platform/sysfspowersource.h"
#include "session/testsession.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QFileInfo>
#include <algorithm>
#include <ctime>

namespace ampero {

namespace {

std::unique_ptr<PowerSource> fail(QString* error, const QString& message)
{
    if (error)
        *error = message;
    return nullptr;
}

// How many processors this program kept busy since the last call, from its
// own processor time: the simulated battery's load. The load workers and the
// workloads of a test show here as they would in a real battery's draw, and
// whatever else runs on the machine (a build, another test) does not.
SimPowerSource::LoadProbe processBusyProcessors()
{
    const auto now = [] {
        timespec cpu {}, wall {};
        ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu);
        ::clock_gettime(CLOCK_MONOTONIC, &wall);
        const auto seconds = [](const timespec& t) { return double(t.tv_sec) + double(t.tv_nsec) / 1e9; };
        return std::pair<double, double>(seconds(cpu), seconds(wall));
    };
    auto last = std::make_shared<std::pair<double, double>>(now());
    return [now, last] {
        const std::pair<double, double> t = now();
        const double wall = t.second - last->second;
        const double busy = wall > 0 ? std::max(0.0, (t.first - last->first) / wall) : 0.0;
        *last = t;
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
            settings.loadW > 0 ? processBusyProcessors() : SimPowerSource::LoadProbe());
    }

    return fail(
        error, phrase("Unknown power source \"%1\"; use upower, sysfs[:DIR] or sim[:N].").arg(choice));
}

} // namespace ampero
