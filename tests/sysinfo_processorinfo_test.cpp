// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/fakeprocessor.h"
#include "platform/linuxprocessor.h"
#include "sysinfo/processorinfo.h"

#include <gtest/gtest.h>

using namespace ampero;

namespace {

QByteArray padded(const QByteArray& text, char fill = '\0')
{
    return text + QByteArray(48 - text.size(), fill);
}

} // namespace

TEST(CpuBrand, NoExtendedLeavesReadsUnknown)
{
    FakeProcessor cpu;
    cpu.brand = std::nullopt;
    EXPECT_EQ(cpuBrandString(cpu), QStringLiteral("Unknown"));
}

TEST(CpuBrand, KeepsAll48BytesIncludingNulsAndHighBytes)
{
    FakeProcessor cpu;
    QByteArray raw = padded("  Intel(R) Core(TM) \xae i7");
    cpu.brand = raw;
    const QString s = cpuBrandString(cpu);
    ASSERT_EQ(s.size(), 48);
    EXPECT_EQ(s.at(0), QChar(u' '));
    EXPECT_EQ(s.at(20), QChar(0xAE));
    EXPECT_EQ(s.at(47), QChar(u'\0'));
}

TEST(CpuBrand, WrongLengthReadsUnknown)
{
    EXPECT_EQ(brandStringFromBytes(QByteArray("short")), QStringLiteral("Unknown"));
}

TEST(CpuBrand, CaptionRule)
{
    struct Row {
        const char* what;
        QByteArray bytes;
        QString caption;
    };
    const QByteArray forty = "AMD Ryzen 7 PRO 4750U with Radeon Graphi"; // 40 characters
    ASSERT_EQ(forty.size(), 40);
    const Row rows[] = {
        { "leading spaces removed, inner and trailing kept", padded("    Intel Core  i5 ", ' '),
            QStringLiteral("Intel Core  i5 ") + QString(29, QChar(u' ')) },
        { "40 visible characters then 8 NULs", padded(forty), QString::fromLatin1(forty) },
        { "only spaces", QByteArray(48, ' '), QString() },
        { "only NULs", QByteArray(48, '\0'), QString() },
        { "spaces then NUL then text", padded(QByteArray("   ") + '\0' + "hidden"), QString() },
        { "text after a NUL is hidden", padded(QByteArray("  CPU") + '\0' + "junk"), QStringLiteral("CPU") },
    };
    for (const Row& r : rows) {
        ASSERT_EQ(r.bytes.size(), 48) << r.what;
        EXPECT_EQ(cpuNameCaption(brandStringFromBytes(r.bytes)), r.caption) << r.what;
    }
    EXPECT_EQ(cpuNameCaption(QStringLiteral("Unknown")), QStringLiteral("Unknown"));
}

TEST(CpuClock, TicksToMegahertzAndText)
{
    struct Row {
        uint64_t ticks;
        double mhz;
        const char* c;
        const char* comma;
    };
    const Row rows[] = {
        { 239453000u, 2394.53, "(2394.53 MHz)", "(2394,53 MHz)" },
        { 0u, 0.0, "(0.00 MHz)", "(0,00 MHz)" },
        { 100000u, 1.0, "(1.00 MHz)", "(1,00 MHz)" },
        // A sleep that overran by seconds: the whole 64-bit difference counts.
        { (uint64_t { 1 } << 32) + 100000u, 42950.67296, "(42950.67 MHz)", "(42950,67 MHz)" },
        { 500000000000u, 5000000.0, "(5000000.00 MHz)", "(5000000,00 MHz)" },
    };
    const QLocale c = QLocale::c();
    const QLocale german(QLocale::German, QLocale::Germany);
    for (const Row& r : rows) {
        const double mhz = clockFromTicks(r.ticks);
        EXPECT_NEAR(mhz, r.mhz, 1e-9) << r.ticks;
        EXPECT_EQ(clockText(mhz, c), QLatin1String(r.c));
        EXPECT_EQ(clockText(mhz, german), QLatin1String(r.comma));
    }
}

TEST(CpuClock, MeasureSleeps100msAndUsesTheTicks)
{
    FakeProcessor cpu;
    cpu.ticks = 239453000u;
    EXPECT_DOUBLE_EQ(measureCpuClock(cpu), 2394.53);
    EXPECT_EQ(cpu.lastSleepMs, 100);
}

TEST(CpuClock, LabelSitsSixPixelsRightOfTheName)
{
    EXPECT_EQ(clockLabelLeft(77, 250), 333);
    EXPECT_EQ(clockLabelLeft(77, 0), 83);
}

TEST(LinuxProcessor, RealMachineGivesPlausibleValues)
{
    LinuxProcessor cpu;
    const QString brand = cpuBrandString(cpu);
    EXPECT_TRUE(brand == QStringLiteral("Unknown") || brand.size() == 48) << brand.toStdString();
    const double mhz = measureCpuClock(cpu);
    // Any processor this runs on ticks between 100 MHz and 10 GHz.
    EXPECT_GT(mhz, 100.0);
    EXPECT_LT(mhz, 10000.0);
}

TEST(LinuxProcessor, CpuinfoFieldFindsTheFirstMatch)
{
    const QByteArray text
        = "processor\t: 0\nmodel name\t: ARMv8 Processor rev 1 (v8l)\ncpu MHz\t\t: 1800.000\n"
          "processor\t: 1\nmodel name\t: other\n";
    EXPECT_EQ(cpuinfoField(text, "model name"), QByteArray("ARMv8 Processor rev 1 (v8l)"));
    EXPECT_EQ(cpuinfoField(text, "cpu MHz"), QByteArray("1800.000"));
    EXPECT_TRUE(cpuinfoField(text, "flags").isEmpty());
}
