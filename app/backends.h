#pragma once
#include "platform/powersource.h"

#include <QString>
#include <memory>

namespace ampero {

// Creates the power backend named by spec: "upower", "sysfs", "sysfs:DIR",
// "sim" or "sim:N" (N seconds per percent). An empty spec picks the first
// real backend that finds a power supply. Returns null and sets *error on a
// spec it does not understand.
std::unique_ptr<PowerSource> createPowerSource(const QString& spec, QString* error);

} // namespace ampero
