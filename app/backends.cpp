#include "app/backends.h"
#include "platform/fakepowersource.h"

namespace ampero {

// Placeholder until the real backends land: a machine on AC with no battery.
std::unique_ptr<PowerSource> createPowerSource(const QString& /*spec*/, QString* /*error*/)
{
    PowerStatus s;
    s.acLineStatus = PowerStatus::AcOnline;
    return std::make_unique<FakePowerSource>(s);
}

} // namespace ampero
