// SPDX-License-Identifier: GPL-3.0-or-later
#include "sysinfo/processorinfo.h"

namespace ampero {

QString brandStringFromBytes(const std::optional<QByteArray>& bytes)
{
    if (!bytes || bytes->size() != 48)
        return QStringLiteral("Unknown");
    // Latin-1 maps each byte to the character of the same code, NULs included.
    return QString::fromLatin1(*bytes);
}

QString cpuBrandString(Processor& processor)
{
    return brandStringFromBytes(processor.brandBytes());
}

QString cpuNameCaption(const QString& brand)
{
    qsizetype start = 0;
    while (start < brand.size() && brand.at(start) == QLatin1Char(' '))
        ++start;
    qsizetype end = brand.indexOf(QChar(u'\0'), start);
    if (end < 0)
        end = brand.size();
    return brand.mid(start, end - start);
}

double clockFromTicks(uint64_t ticks)
{
    return static_cast<double>(ticks) / 100000.0;
}

double measureCpuClock(Processor& processor)
{
    return clockFromTicks(processor.ticksAcross(100));
}

QString clockText(double mhz, const QLocale& locale)
{
    QLocale plain = locale;
    plain.setNumberOptions(locale.numberOptions() | QLocale::OmitGroupSeparator);
    return QStringLiteral("(") + plain.toString(mhz, 'f', 2) + QStringLiteral(" MHz)");
}

int clockLabelLeft(int nameLabelLeft, int nameLabelWidth)
{
    return nameLabelLeft + nameLabelWidth + 6;
}

} // namespace ampero
