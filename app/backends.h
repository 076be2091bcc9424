// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "platform/powersource.h"

#include <QString>
#include <memory>

namespace ampero {

// Creates the power backend named by choice: "upower", "sysfs", "sysfs:DIR",
// "sim" or "sim:N" (N seconds per percent). An empty choice picks the first
// real backend that finds a power supply. Returns null and sets *error on a
// choice it does not understand.
std::unique_ptr<PowerSource> createPowerSource(const QString& choice, QString* error);

} // namespace ampero
