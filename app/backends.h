// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "platform/batteryidentity.h"
#include "platform/powersource.h"

#include <QString>
#include <memory>

namespace ampero {

class TestSession;

// Creates the power backend named by choice: "upower", "sysfs", "sysfs:DIR",
// "sim" or "sim:SETTINGS" (N seconds per percent and/or key=value settings,
// see parseSimBatterySettings). An empty choice picks the first
// real backend that finds a power supply. Returns null and sets *error on a
// choice it does not understand.
std::unique_ptr<PowerSource> createPowerSource(const QString& choice, QString* error);

// The battery identity a power backend carries itself (the simulated
// battery), or null: the system's identity sources answer then.
BatteryIdentitySource* ownBatteryIdentity(PowerSource& power);

// A simulated battery that holds its charge while idle drains while a test
// of session runs; other power sources are left alone.
void drainDuringTests(PowerSource& power, TestSession& session);

} // namespace ampero
