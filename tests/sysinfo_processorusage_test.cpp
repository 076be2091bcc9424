// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/fakeprocessortimes.h"
#include "platform/procstattimes.h"
#include "support/testutil.h"
#include "sysinfo/processorcount.h"
#include "sysinfo/usagedisplay.h"

#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>

using namespace ampero;
using namespace std::chrono_literals;

TEST(UsageArithmetic, NanosecondsToMillisecondsHalvesToEven)
{
    const struct {
        std::chrono::nanoseconds time;
        int64_t ms;
    } rows[] = {
        { 2500us, 2 },
        { 3500us, 4 },
        { 1500us, 2 },
        { 500us, 0 },
        { 1499999ns, 1 },
        { 1500001ns, 2 },
        { -2500us, -2 },
        { -3500us, -4 },
        { -1500001ns, -2 },
        { 0ns, 0 },
        { 1s, 1000 },
    };
    for (const auto& r : rows)
        EXPECT_EQ(roundedMs(r.time), r.ms) << r.time.count();
}

TEST(UsageArithmetic, RoundHalfEven)
{
    const struct {
        double v;
        long long r;
    } rows[] = { { 0.5, 0 }, { 1.5, 2 }, { 2.5, 2 }, { 37.5, 38 }, { 36.5, 36 }, { -0.5, 0 }, { -1.5, -2 },
        { 99.49, 99 } };
    for (const auto& r : rows)
        EXPECT_EQ(roundHalfEven(r.v), r.r) << r.v;
}

namespace {

ProcessorUsageShare idleShare(float idle, float softIrq = 0, float interrupt = 0)
{
    ProcessorUsageShare e;
    e.idle = idle;
    e.softIrq = softIrq;
    e.interrupt = interrupt;
    return e;
}

} // namespace

TEST(UsageDisplayRule, PositionsAndAverage)
{
    struct Row {
        const char* what;
        std::vector<ProcessorUsageShare> table;
        std::vector<int> positions;
        QString caption;
    };
    const Row rows[] = {
        { "30 and 45 make 37.5, shown 38", { idleShare(70), idleShare(55) }, { 30, 45 },
            QStringLiteral("38%") },
        { "30 and 44 make 37", { idleShare(70), idleShare(56) }, { 30, 44 }, QStringLiteral("37%") },
        { "bar of 0.5 rounds to 0, 1.5 to 2", { idleShare(99.5f), idleShare(98.5f) }, { 0, 2 },
            QStringLiteral("1%") },
        { "softirq and irq count as busy", { idleShare(50, 10, 5) }, { 35 }, QStringLiteral("35%") },
        { "negative usage enters the total", { idleShare(110), idleShare(50) }, { -10, 50 },
            QStringLiteral("20%") },
        { "a total below 0 shows 0", { idleShare(130), idleShare(90) }, { -30, 10 }, QStringLiteral("0%") },
        { "an average above 100 shows 100", { idleShare(-20), idleShare(0) }, { 120, 100 },
            QStringLiteral("100%") },
        { "idle shares summing above 100", { idleShare(90, 8, 5) }, { -3 }, QStringLiteral("0%") },
    };
    for (const Row& r : rows) {
        const auto d = usageDisplay(r.table, static_cast<int>(r.table.size()));
        ASSERT_TRUE(d) << r.what;
        EXPECT_EQ(d->positions, r.positions) << r.what;
        EXPECT_EQ(d->caption, r.caption) << r.what;
    }
}

TEST(UsageDisplayRule, NeverReadsPastTheTable)
{
    const std::vector<ProcessorUsageShare> two { idleShare(70), idleShare(55) };
    const auto d = usageDisplay(two, 64);
    ASSERT_TRUE(d);
    EXPECT_EQ(d->positions.size(), 2u);
    EXPECT_EQ(d->caption, QStringLiteral("38%"));
    EXPECT_FALSE(usageDisplay({}, 4));
    EXPECT_FALSE(usageDisplay(two, 0));
}

TEST(UsageDisplayRule, ManyProcessorsAllCount)
{
    std::vector<ProcessorUsageShare> table(64, idleShare(100));
    for (int i = 0; i < 32; ++i)
        table[static_cast<size_t>(i)] = idleShare(0);
    const auto d = usageDisplay(table, 64);
    ASSERT_TRUE(d);
    EXPECT_EQ(d->positions.size(), 64u);
    EXPECT_EQ(d->positions[63], 0);
    EXPECT_EQ(d->caption, QStringLiteral("50%"));
}

namespace {

ProcessorTimes times(std::chrono::nanoseconds idle, std::chrono::nanoseconds system = {},
    std::chrono::nanoseconds user = {}, std::chrono::nanoseconds softirq = {},
    std::chrono::nanoseconds irq = {})
{
    ProcessorTimes t;
    t.idle = idle;
    t.system = system;
    t.user = user;
    t.softirq = softirq;
    t.irq = irq;
    return t;
}

} // namespace

TEST(ProcessorUsageSampler, SharesOfTheInterval)
{
    FakeProcessorTimes src;
    src.tick = 4294967000ms;
    src.setTimes({ {}, {} });
    ProcessorUsage usage(src, 2);
    usage.start();
    EXPECT_EQ(usage.sampledProcessorCount(), 2);

    src.tick = 4294968000ms; // 1000 ms later, past 32 bits
    // Processor 0: 5 ms idle, 2.5 ms softirq (halves to 2), 3.5 ms irq (to 4).
    src.setTimes({ times(5ms, 1ms, 20ms, 2500us, 3500us), times(700ms) });
    std::vector<ProcessorUsageShare> table;
    ASSERT_TRUE(usage.sample(table));
    ASSERT_EQ(table.size(), 2u);
    EXPECT_FLOAT_EQ(table[0].idle, 0.5f);
    EXPECT_FLOAT_EQ(table[0].kernel, 1.2f);
    EXPECT_FLOAT_EQ(table[0].user, 2.0f);
    EXPECT_FLOAT_EQ(table[0].softIrq, 0.2f);
    EXPECT_FLOAT_EQ(table[0].interrupt, 0.4f);
    EXPECT_FLOAT_EQ(table[1].idle, 70.0f);

    const auto d = usageDisplay(table, 2);
    ASSERT_TRUE(d);
    EXPECT_EQ(d->positions, (std::vector<int> { 99, 30 }));
    EXPECT_EQ(d->caption, QStringLiteral("64%")); // 129 / 2 = 64.5
}

TEST(ProcessorUsageSampler, MissingSnapshotOrZeroIntervalKeepsTheTable)
{
    FakeProcessorTimes src;
    src.tick = 1000ms;
    src.setTimes({ ProcessorTimes {} });
    src.failNext = true;
    ProcessorUsage usage(src, 1);
    usage.start(); // the first snapshot fails

    std::vector<ProcessorUsageShare> table { idleShare(42) };
    src.tick = 2000ms;
    EXPECT_FALSE(usage.sample(table)); // takes the missing first snapshot now
    EXPECT_FLOAT_EQ(table[0].idle, 42.0f);

    src.failNext = true;
    src.tick = 3000ms;
    EXPECT_FALSE(usage.sample(table));
    EXPECT_FLOAT_EQ(table[0].idle, 42.0f);

    // No millisecond passed since the last good snapshot: nothing changes.
    src.tick = 2000ms;
    EXPECT_FALSE(usage.sample(table));
    EXPECT_FLOAT_EQ(table[0].idle, 42.0f);

    // The next good sample spans the whole time since the last good snapshot.
    src.tick = 4000ms;
    src.setTimes({ times(1000ms) });
    ASSERT_TRUE(usage.sample(table));
    EXPECT_FLOAT_EQ(table[0].idle, 50.0f);
}

TEST(ProcessorUsageSampler, OneEntryPerProcessorBeyond32)
{
    FakeProcessorTimes src;
    std::vector<ProcessorTimes> zero(40);
    src.setTimes(zero);
    ProcessorUsage usage(src, 40);
    usage.start();
    std::vector<ProcessorTimes> busy(40);
    busy[39] = times(250ms); // 250 ms idle of 1000
    src.setTimes(busy);
    src.tick = 1000ms;
    std::vector<ProcessorUsageShare> table;
    ASSERT_TRUE(usage.sample(table));
    ASSERT_EQ(table.size(), 40u);
    EXPECT_FLOAT_EQ(table[39].idle, 25.0f);
}

TEST(ProcessorUsageSampler, EntriesAreTheOnlineProcessorsInOrder)
{
    // Processors 1 and 3 offline: the entries are 0, 2 and 4, by their own rows.
    FakeProcessorTimes src;
    src.current
        = { { ProcessorTimes {}, true }, {}, { ProcessorTimes {}, true }, {}, { ProcessorTimes {}, true } };
    ProcessorUsage usage(src, 3);
    usage.start();
    src.tick = 1000ms;
    src.current[2].times = times(1000ms); // idle the whole second
    src.current[4].times = times(250ms);
    std::vector<ProcessorUsageShare> table;
    ASSERT_TRUE(usage.sample(table));
    ASSERT_EQ(table.size(), 3u);
    EXPECT_EQ(usageDisplay(table, 3)->positions, (std::vector<int> { 100, 0, 75 }));
}

TEST(UsageMeterTick, ProcessorGoneOfflineReadsZeroAndLeavesTheAverage)
{
    FakeProcessorTimes src;
    src.setTimes({ ProcessorTimes {}, ProcessorTimes {} });
    UsageMeter meter(src, 2);
    meter.start();
    src.tick = 1000ms;
    src.setTimes({ ProcessorTimes {} }); // the second processor went offline
    const auto d = meter.tick();
    ASSERT_TRUE(d);
    EXPECT_EQ(d->positions, (std::vector<int> { 100, 0 }));
    EXPECT_EQ(d->caption, QStringLiteral("100%"));
}

TEST(ProcStat, ParsesPerProcessorLinesIntoTimes)
{
    const QByteArray text = "cpu  1000 20 300 40000 50 6 7 0 0 0\n"
                            "cpu0 10 2 30 400 5 6 7 0 0 0\n"
                            "cpu1 1 0 0 100 0 0 0 0 0 0\n"
                            "intr 12345 0 0\n"
                            "ctxt 999\n";
    const auto snap = parseProcStat(text, 100);
    ASSERT_TRUE(snap);
    ASSERT_EQ(snap->size(), 2u);
    const ProcessorTimes& t = snap->at(0).times;
    // One tick at USER_HZ 100 is 10 ms.
    EXPECT_EQ(t, (ProcessorTimes { 100ms, 20ms, 300ms, 4000ms, 50ms, 60ms, 70ms }));
    EXPECT_EQ(snap->at(1).times.idle, 1000ms);
    // A rate that does not divide a second.
    EXPECT_EQ(parseProcStat("cpu0 0 0 0 301 0 0 0\n", 300)->at(0).times.idle, 1003333333ns);
    EXPECT_TRUE(snap->at(1).present);
}

TEST(ProcStat, OfflineProcessorsAndBadLines)
{
    const struct {
        const char* what;
        QByteArray text;
        size_t size;
    } rows[] = {
        { "gap left by an offline processor", "cpu0 1 1 1 1 1 1 1\ncpu2 1 1 1 1 1 1 1\n", 3 },
        { "too few fields skipped", "cpu0 1 1 1\ncpu1 1 1 1 1 1 1 1\n", 2 },
        { "garbage number skipped", "cpu0 1 x 1 1 1 1 1\ncpu1 1 1 1 1 1 1 1\n", 2 },
        { "no trailing newline", "cpu0 1 1 1 1 1 1 1", 1 },
    };
    for (const auto& r : rows) {
        const auto snap = parseProcStat(r.text, 100);
        ASSERT_TRUE(snap) << r.what;
        EXPECT_EQ(snap->size(), r.size) << r.what;
    }
    const auto gap = parseProcStat("cpu0 1 1 1 1 1 1 1\ncpu2 1 1 1 1 1 1 1\n", 100);
    EXPECT_FALSE(gap->at(1).present);
    EXPECT_FALSE(parseProcStat("cpu  1 2 3 4 5 6 7\n", 100));
    EXPECT_FALSE(parseProcStat("", 100));
    EXPECT_FALSE(parseProcStat("cpu0 1 1 1 1 1 1 1\n", 0));
    EXPECT_FALSE(parseProcStat("cpu0 1 1 1 1 1 1 99999999999999999999\n", 100));
    EXPECT_FALSE(parseProcStat("cpu0 1 1 1 9223372036854775807 1 1 1\n", 100))
        << "longer than nanoseconds count";
}

TEST(ProcStat, RealAndFileBackedSources)
{
    ProcStatTimes real;
    const auto snap = real.snapshot();
    ASSERT_TRUE(snap);
    EXPECT_GE(static_cast<int>(snap->size()), countProcessors());
    // Read again (the kernel's file stays open), the times have gone on.
    const auto total = [](const ProcessorSnapshot& s) {
        std::chrono::nanoseconds sum {};
        for (const auto& e : s)
            sum += e.times.user + e.times.system + e.times.idle + e.times.iowait;
        return sum;
    };
    QThread::msleep(50);
    const auto later = real.snapshot();
    ASSERT_TRUE(later);
    EXPECT_GT(total(*later), total(*snap));

    QTemporaryDir dir;
    const QString path = test::writeFile(dir, QStringLiteral("stat"), "cpu0 1 2 3 4 5 6 7\n");
    ProcStatTimes fromFile(path);
    const auto one = fromFile.snapshot();
    ASSERT_TRUE(one);
    EXPECT_EQ(one->size(), 1u);
    // A file replaced by another is read anew.
    test::writeFile(dir, QStringLiteral("new"), "cpu0 1 2 3 4 5 6 7\ncpu1 1 2 3 4 5 6 7\n");
    ASSERT_TRUE(QFile::remove(path) && QFile::rename(dir.filePath(QStringLiteral("new")), path));
    ASSERT_TRUE(fromFile.snapshot());
    EXPECT_EQ(fromFile.snapshot()->size(), 2u);
    EXPECT_FALSE(ProcStatTimes(dir.filePath(QStringLiteral("missing"))).snapshot());

    const auto a = monotonicMs();
    const auto b = monotonicMs();
    EXPECT_GE(b, a);
    EXPECT_LT(b - a, 1s);
}

TEST(UsageMeterTick, ShowsOnlyWhenASampleWorked)
{
    FakeProcessorTimes src;
    src.setTimes({ ProcessorTimes {}, ProcessorTimes {} });
    UsageMeter meter(src, 2);
    meter.start();
    EXPECT_FALSE(meter.tick()); // no time passed
    src.tick = 1000ms;
    src.setTimes({ times(700ms), times(550ms) });
    const auto d = meter.tick();
    ASSERT_TRUE(d);
    EXPECT_EQ(d->caption, QStringLiteral("38%"));
}

namespace {

// Busy and total jiffies of the kernel's all-processor "cpu" line.
std::pair<double, double> kernelTotals()
{
    QFile f(QStringLiteral("/proc/stat"));
    if (!f.open(QIODevice::ReadOnly))
        return { 0, 0 };
    const QList<QByteArray> fields = f.readLine().simplified().split(' ');
    double total = 0, idle = 0;
    for (int i = 1; i < fields.size() && i <= 8; ++i) {
        const double v = fields.at(i).toDouble();
        total += v;
        if (i == 4 || i == 5)
            idle += v;
    }
    return { total - idle, total };
}

} // namespace

TEST(ProcessorUsageSampler, AgreesWithTheKernelTotalsUnderLoad)
{
    // One busy thread: the average must match what top computes from the
    // same counters over the same second, within 5 points.
    std::atomic<bool> run { true };
    std::thread busy([&run] {
        volatile uint64_t x = 0;
        while (run.load(std::memory_order_relaxed))
            x = x + 1;
    });
    ProcStatTimes source;
    UsageMeter meter(source, countProcessors());
    meter.start();
    const auto before = kernelTotals();
    QThread::msleep(1000);
    const auto d = meter.tick();
    const auto after = kernelTotals();
    run = false;
    busy.join();
    ASSERT_TRUE(d);
    const double total = after.second - before.second;
    ASSERT_GT(total, 0);
    const double kernelPercent = (after.first - before.first) / total * 100.0;
    EXPECT_NEAR(d->average, kernelPercent, 5.0) << d->caption.toStdString();
    EXPECT_GE(d->average, 100 / countProcessors() - 5);
}
