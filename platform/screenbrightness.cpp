// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/screenbrightness.h"

#include "core/phrases.h"
#include "platform/kernelfile.h"

#include <QDir>
#include <limits>

namespace ampero {

namespace {

std::optional<int> number(const QString& path)
{
    const std::optional<QByteArray> data = readKernelFile(path, 64);
    if (!data)
        return std::nullopt;
    const std::optional<qint64> n = parseKernelNumber(*data);
    if (!n || *n < 0 || *n > std::numeric_limits<int>::max())
        return std::nullopt;
    return static_cast<int>(*n);
}

// Firmware interfaces know the panel best; raw ones come last.
int rank(const QString& folder)
{
    const std::optional<QByteArray> type = readKernelFile(folder + QStringLiteral("/type"), 64);
    const QByteArray t = type ? type->trimmed() : QByteArray();
    if (t == "firmware")
        return 0;
    if (t == "platform")
        return 1;
    return 2;
}

} // namespace

std::optional<Backlight> readBacklight(const QString& root, QString* why)
{
    const QDir dir(QDir(root).filePath(QStringLiteral("sys/class/backlight")));
    const QStringList names = dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::System, QDir::Name);
    std::optional<Backlight> best;
    int bestRank = std::numeric_limits<int>::max();
    for (const QString& name : names) {
        const QString folder = dir.filePath(name);
        const std::optional<int> max = number(folder + QStringLiteral("/max_brightness"));
        std::optional<int> value = number(folder + QStringLiteral("/brightness"));
        if (!value)
            value = number(folder + QStringLiteral("/actual_brightness"));
        if (!max || *max <= 0 || !value)
            continue;
        const int r = rank(folder);
        if (r < bestRank) {
            bestRank = r;
            best = Backlight { name, std::min(*value, *max), *max };
        }
    }
    if (!best && why)
        *why = phrase("this machine has no backlight whose brightness can be read");
    return best;
}

} // namespace ampero
