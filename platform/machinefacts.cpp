// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/machinefacts.h"

#include "platform/kernelfile.h"

#include <QDir>
#include <cmath>

namespace ampero {

namespace {

// One line of a kernel attribute, blanks trimmed; empty when unreadable or
// not a regular file (readKernelFile). Placeholders some firmware writes
// instead of a name count as unknown.
QString attribute(const QString& path)
{
    const auto data = readKernelFile(path, 256);
    if (!data)
        return {};
    QString text = QString::fromUtf8(*data).section(QLatin1Char('\n'), 0, 0).trimmed();
    static const char* const placeholders[] = { "To be filled by O.E.M.", "To Be Filled By O.E.M.",
        "System manufacturer", "System Product Name", "Default string", "Not Applicable" };
    for (const char* p : placeholders)
        if (text == QLatin1String(p))
            return {};
    return text;
}

std::optional<double> brightness(const QString& folder)
{
    const QDir dir(folder);
    const QStringList names = dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::System, QDir::Name);
    for (const QString& name : names) {
        bool okNow = false;
        bool okMax = false;
        const double now = attribute(dir.filePath(name) + QStringLiteral("/brightness")).toDouble(&okNow);
        const double max = attribute(dir.filePath(name) + QStringLiteral("/max_brightness")).toDouble(&okMax);
        if (okNow && okMax && max > 0 && now >= 0)
            return std::round(std::min(now, max) / max * 1000.0) / 10.0;
    }
    return std::nullopt;
}

} // namespace

LinuxMachineFacts::LinuxMachineFacts(QString root, PowerProfileSource* profiles)
    : m_root(root.endsWith(QLatin1Char('/')) ? std::move(root) : root + QLatin1Char('/'))
    , m_profiles(profiles)
{
}

MachineFacts LinuxMachineFacts::read()
{
    MachineFacts f;
    f.vendor = attribute(m_root + QStringLiteral("sys/class/dmi/id/sys_vendor"));
    f.model = attribute(m_root + QStringLiteral("sys/class/dmi/id/product_name"));
    f.kernel = attribute(m_root + QStringLiteral("proc/sys/kernel/osrelease"));
    f.brightnessPercent = brightness(m_root + QStringLiteral("sys/class/backlight"));
    f.cpuGovernor
        = attribute(m_root + QStringLiteral("sys/devices/system/cpu/cpu0/cpufreq/scaling_governor"));
    if (m_profiles)
        f.powerProfile = m_profiles->activeProfile();
    return f;
}

} // namespace ampero
