// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/backends.h"

#include "core/phrases.h"
#include "platform/clock.h"
#include "platform/dbus/upowerpowersource.h"
#include "platform/simpowersource.h"
#include "platform/sysfspowersource.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QFileInfo>

namespace ampero {

namespace {

std::unique_ptr<PowerSource> fail(QString* error, const QString& message)
{
    if (error)
        *error = message;
    return nullptr;
}

// The longest simulated percent: a day.
constexpr int MaxSimSecondsPerPercent = 86400;

} // namespace

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
        if (upower->available() && upower->findsPowerSupply())
            return upower;
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
        int seconds = SimPowerSource::DefaultSecondsPerPercent;
        if (hasArgument) {
            bool ok = false;
            seconds = argument.toInt(&ok);
            if (!ok || seconds < 1 || seconds > MaxSimSecondsPerPercent)
                return fail(error,
                    phrase("The simulated battery needs a whole number of seconds per percent "
                           "from 1 to %1, not \"%2\".")
                        .arg(MaxSimSecondsPerPercent)
                        .arg(argument));
        }
        return std::make_unique<SimPowerSource>(std::make_shared<SystemClock>(), seconds);
    }

    return fail(
        error, phrase("Unknown power source \"%1\"; use upower, sysfs[:DIR] or sim[:N].").arg(choice));
}

} // namespace ampero
