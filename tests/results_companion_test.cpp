// SPDX-License-Identifier: GPL-3.0-or-later
// The companion file beside a results file: its round trip, a file cut off
// while a test wrote it, a corrupt companion beside a good results file, the
// recorder following a test, and the machine facts it writes.
#include "core/figuretext.h"
#include "core/testmode.h"
#include "platform/clock.h"
#include "platform/fakepowersource.h"
#include "platform/machinefacts.h"
#include "results/companionfile.h"
#include "results/evaluation.h"
#include "results/runsummary.h"
#include "session/companionrecorder.h"
#include "session/testsession.h"
#include "support/sessionfakes.h"
#include "support/testutil.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QLocale>
#include <QTemporaryDir>
#include <QTimeZone>
#include <cmath>
#include <gtest/gtest.h>
#include <random>
#include <sys/stat.h>

using namespace ampero;
using namespace ampero::test;

namespace {

CompanionSetup exampleSetup()
{
    CompanionSetup s;
    s.programVersion = QStringLiteral("1.1.1.23");
    s.startTime = QStringLiteral("2026-12-09T16:02:11+01:00");
    s.machineVendor = QStringLiteral("LENOVO");
    s.machineModel = QStringLiteral("ThinkPad \"X1\"");
    s.kernel = QStringLiteral("6.1.0-13-amd64");
    s.powerProfile = QStringLiteral("balanced");
    s.brightnessPercent = 40;
    s.batteryVendor = QStringLiteral("SMP");
    s.batteryTechnology = QStringLiteral("Lithium Polymer");
    s.batteryEnergyFullDesignWh = 57.0;
    s.batteryEnergyFullWh = 51.3;
    return s; // no governor, no battery model: null
}

EnergySample reading(double seconds, int level, std::optional<double> wh, std::optional<double> w,
    std::optional<double> v = 12.0)
{
    EnergySample s;
    s.seconds = seconds;
    s.level = level;
    s.energyWh = wh;
    s.powerW = w;
    s.voltageV = v;
    return s;
}

void expectSame(const EnergySample& a, const EnergySample& b)
{
    EXPECT_EQ(a.seconds, b.seconds);
    EXPECT_EQ(a.level, b.level);
    EXPECT_EQ(a.energyWh, b.energyWh);
    EXPECT_EQ(a.powerW, b.powerW);
    EXPECT_EQ(a.voltageV, b.voltageV);
}

// A results file of the given levels, complete, beside which a companion may go.
QByteArray writeResults(const QTemporaryDir& dir, const std::vector<uint8_t>& levels, uint8_t mode = 2)
{
    const QByteArray path = QFile::encodeName(dir.filePath(QStringLiteral("run.apr")));
    ResultsWriter w;
    EXPECT_TRUE(w.create(path.toStdString(), mode, 1, 7200));
    for (uint8_t l : levels)
        EXPECT_TRUE(w.appendSample(l));
    const std::array<double, 3> times { 1 * TimeStep, 2 * TimeStep, 3 * TimeStep };
    EXPECT_TRUE(w.finish(mode == 1 ? &times : nullptr, 57000, 123));
    return path;
}

} // namespace

TEST(CompanionFile, RoundTripOfSetupAndSamples)
{
    QTemporaryDir dir;
    const QByteArray path = QFile::encodeName(dir.filePath(QStringLiteral("run.apr.jsonl")));
    const std::vector<EnergySample> written { reading(0, 87, 44.61, 7.93, 12.41),
        reading(1, 87, 44.6078, 8.1, 12.4), reading(2, -1, std::nullopt, std::nullopt, std::nullopt),
        reading(3, 86, 44.5967, 0.0, 12.39) };
    CompanionWriter w;
    ASSERT_TRUE(w.create(path, exampleSetup()));
    for (const EnergySample& s : written)
        ASSERT_TRUE(w.append(s));
    ASSERT_TRUE(w.finish());

    const QByteArray bytes = test::readFile(QFile::decodeName(path));
    // One compact object a line, the readings as short numbers.
    EXPECT_EQ(bytes.count('\n'), 5);
    EXPECT_TRUE(bytes.endsWith(
        "{\"seconds\":3,\"level\":86,\"energy_wh\":44.5967,\"power_w\":0,\"voltage_v\":12.39}\n"))
        << bytes.toStdString();
    EXPECT_TRUE(bytes.contains(
        "{\"seconds\":2,\"level\":null,\"energy_wh\":null,\"power_w\":null,\"voltage_v\":null}\n"));

    const CompanionData c = readCompanionFile(path);
    ASSERT_TRUE(c.ok) << c.problem.toStdString();
    EXPECT_EQ(c.skippedLines, 0);
    ASSERT_EQ(c.samples.size(), written.size());
    for (std::size_t i = 0; i < written.size(); ++i)
        expectSame(c.samples[i], written[i]);
    EXPECT_EQ(c.setup.value(QStringLiteral("format_version")).toInt(), CompanionFormatVersion);
    EXPECT_EQ(
        c.setup.value(QStringLiteral("start_time")).toString(), QStringLiteral("2026-12-09T16:02:11+01:00"));
    EXPECT_EQ(c.setup.value(QStringLiteral("machine")).toObject().value(QStringLiteral("model")).toString(),
        QStringLiteral("ThinkPad \"X1\""));
    EXPECT_TRUE(c.setup.value(QStringLiteral("cpu_governor")).isNull());
    EXPECT_TRUE(c.setup.value(QStringLiteral("battery")).toObject().value(QStringLiteral("model")).isNull());
    EXPECT_EQ(c.setup.value(QStringLiteral("brightness_percent")).toDouble(), 40.0);
    EXPECT_EQ(c.energyFullWh(), 51.3);
    EXPECT_EQ(c.energyFullDesignWh(), 57.0);
}

// Sample lines are formatted by hand, without allocating; they must stay
// byte for byte what QByteArray::number wrote before, so that every reader
// of older files and of new ones sees the same numbers.
TEST(CompanionFile, SampleLinesAreWrittenAsBefore)
{
    const auto qtNumber = [](std::optional<double> v, double scale) {
        const double r = v ? std::round(*v * scale) / scale : 0;
        return !v || !std::isfinite(r)
            ? QByteArray("null")
            : QByteArray::number(r == 0 ? 0.0 : r, 'g', QLocale::FloatingPointShortest);
    };
    std::vector<double> values { 0, -0.0, 1e-4, -1e-4, 1.2e-4, 1e-3, 0.5, 44.61, 1e4, 99999.9999, 1e5, 100001,
        110000, 1.5e6, 1e6, 12345678912, 1e10, 1.2e10, 1e21, -1e6, 1e100, 1e300, 5e-5, 4.9e-5 };
    std::mt19937_64 random(27);
    for (int i = 0; i < 20000; ++i)
        values.push_back(std::ldexp(std::uniform_real_distribution<double>(-1, 1)(random), i % 80 - 20));
    for (std::size_t i = 0; i < values.size(); ++i) {
        const double v = values[i];
        const EnergySample s = reading(std::fabs(v), int(i % 102) - 1, v, -v / 7, v * 3);
        const QByteArray before = "{\"seconds\":" + qtNumber(s.seconds, 1000.0)
            + ",\"level\":" + (s.level >= 0 ? QByteArray::number(s.level) : QByteArray("null"))
            + ",\"energy_wh\":" + qtNumber(s.energyWh, 10000.0) + ",\"power_w\":"
            + qtNumber(s.powerW, 10000.0) + ",\"voltage_v\":" + qtNumber(s.voltageV, 10000.0) + "}\n";
        ASSERT_EQ(encodeSampleLine(s), before) << v;
    }
    // Rounding that overflows gives null, not "inf", which no JSON reader takes.
    EXPECT_EQ(encodeSampleLine(reading(1, 50, 1e305, 1, 1)),
        "{\"seconds\":1,\"level\":50,\"energy_wh\":null,\"power_w\":1,\"voltage_v\":1}\n");
}

TEST(CompanionFile, CutAnywhereKeepsEveryWholeLine)
{
    QByteArray whole = encodeSetupLine(exampleSetup());
    const qsizetype setupEnd = whole.size();
    for (int k = 0; k < 3; ++k)
        whole += encodeSampleLine(reading(k, 90, 40.0 - k * 0.01, 9.0));
    const qsizetype lastStart = whole.lastIndexOf('\n', whole.size() - 2) + 1;

    // Cut inside the last line (a kill, a power loss): the rest is used.
    for (qsizetype cut = lastStart + 1; cut < whole.size(); ++cut) {
        const CompanionData c = parseCompanion(whole.left(cut));
        ASSERT_TRUE(c.ok);
        EXPECT_EQ(c.samples.size(), 2u) << "cut at " << cut;
        EXPECT_EQ(c.skippedLines, 1);
    }
    // Cut inside the setup line: no companion, with a reason.
    for (qsizetype cut = 0; cut < setupEnd; cut += 7) {
        const CompanionData c = parseCompanion(whole.left(cut));
        EXPECT_FALSE(c.ok);
        EXPECT_FALSE(c.problem.isEmpty());
    }
    // A damaged line in the middle is skipped, the lines after it count.
    QByteArray damaged = whole;
    damaged.replace(setupEnd + 3, 4, "\x01\xff{]");
    const CompanionData c = parseCompanion(damaged);
    ASSERT_TRUE(c.ok);
    EXPECT_EQ(c.samples.size(), 2u);
    EXPECT_EQ(c.samples.back().seconds, 2.0);
    EXPECT_EQ(c.skippedLines, 1);
}

TEST(CompanionFile, BadCompanionLeavesTheResultsAsTheyAre)
{
    QTemporaryDir dir;
    const QByteArray apr = writeResults(dir, { 90, 90, 89, 89, 88 });
    const QString aprName = QFile::decodeName(apr);
    const ResultsEvaluation alone = evaluateResultsFile(aprName);
    ASSERT_TRUE(alone.ok);
    EXPECT_FALSE(alone.hasCompanion);
    EXPECT_EQ(alone.companionProblem, QStringLiteral("no companion file"));

    const QString companion = QFile::decodeName(companionPath(apr));
    for (const QByteArray& bad : { QByteArray("\x00\x01garbage", 9), QByteArray("{\"format\":\"other\"}\n"),
             QByteArray("[1,2,3]\n{\"seconds\":0}\n"), QByteArray() }) {
        test::writeFile(dir, QFileInfo(companion).fileName(), bad);
        const ResultsEvaluation e = evaluateResultsFile(aprName);
        ASSERT_TRUE(e.ok);
        EXPECT_FALSE(e.hasCompanion);
        EXPECT_FALSE(e.companionProblem.isEmpty());
        EXPECT_EQ(e.bottomMaximum, alone.bottomMaximum);
        EXPECT_EQ(e.mark, alone.mark);
        EXPECT_EQ(e.sampleCount, 5);
        EXPECT_FALSE(e.energy.averagePowerW);
        EXPECT_TRUE(e.powerCurve.isEmpty());
    }
    // A folder in the companion's place is no companion either.
    QFile::remove(companion);
    ASSERT_TRUE(QDir().mkdir(companion));
    EXPECT_TRUE(evaluateResultsFile(aprName).ok);
    EXPECT_FALSE(evaluateResultsFile(aprName).hasCompanion);
}

TEST(CompanionFile, GoodCompanionAddsEnergyFiguresForItsOwnSamples)
{
    QTemporaryDir dir;
    const QByteArray apr = writeResults(dir, { 90, 90, 89, 89, 88 }, 1);
    QByteArray c = encodeSetupLine(exampleSetup());
    // 0.01 Wh a second is 36 W.
    for (int k = 0; k < 5; ++k)
        c += encodeSampleLine(reading(k, 90, 40.0 - k * 0.01, 30.0));
    c += encodeSampleLine(reading(5, 10, 1.0, 99.0)); // beyond the results file: left out
    test::writeFile(dir, QFileInfo(QFile::decodeName(companionPath(apr))).fileName(), c);

    const ResultsEvaluation e = evaluateResultsFile(QFile::decodeName(apr));
    ASSERT_TRUE(e.ok);
    ASSERT_TRUE(e.hasCompanion);
    ASSERT_TRUE(e.energy.averagePowerW);
    EXPECT_NEAR(*e.energy.averagePowerW, 36.0, 1e-6);
    EXPECT_EQ(wattsText(e.energy.averagePowerW), QStringLiteral("36.0 W"));
    EXPECT_EQ(wattHoursText(e.energy.energyUsedWh), QStringLiteral("0.04 Wh"));
    EXPECT_EQ(percentText(e.batteryHealth), QStringLiteral("90%"));
    // 4 s of test, then 39.96 Wh left at 36 W: 1.11 hours.
    EXPECT_NEAR(*e.energy.energyForecastSeconds, 4000.0, 0.5);
    EXPECT_EQ(e.powerCurve.size(), 5);
    EXPECT_EQ(e.energySamples->size(), 5u);

    // A comparison's column of this run carries the same figures and setup.
    const RunSummary run = summarizeRun(QFile::decodeName(apr), e);
    EXPECT_EQ(run.averagePowerW, e.energy.averagePowerW);
    EXPECT_EQ(run.batteryHealthPercent, e.batteryHealth);
    ASSERT_TRUE(run.setup);
    EXPECT_EQ(run.setup->machine, QStringLiteral("LENOVO ThinkPad \"X1\""));
    EXPECT_EQ(run.setup->brightness, QStringLiteral("40%"));
    EXPECT_EQ(run.setup->governor, QString());
}

TEST(CompanionRecorder, FollowsATestAndReadsWhileItRuns)
{
    QTemporaryDir dir;
    FakeMainView view;
    FakeChart chart;
    FakeDialogs dialogs;
    FakeTestingWindow testing;
    PowerStatus status;
    status.line = PowerLine::Battery;
    status.level = 80;
    status.energyWh = 40.0;
    status.energyFullWh = 48.0;
    status.energyFullDesignWh = 60.0;
    status.powerW = 12.5;
    FakePowerSource power(status);
    FakeClock clock;
    FakeLoad load;
    TestSession session(view, chart, dialogs, testing, power, clock, load);
    FakeMachineFacts machine;
    machine.facts.vendor = QStringLiteral("Orvex");
    machine.facts.model = QStringLiteral("Book 13");
    machine.facts.cpuGovernor = QStringLiteral("powersave");
    CompanionRecorder recorder(session, power, &machine);
    BatteryInfo battery;
    battery.manufacturer = QStringLiteral("Cells Inc");
    battery.chemistry = BatteryChemistry::LithiumIon;
    recorder.setBatteryInfo(battery);
    recorder.setNow([] { return QDateTime(QDate(2026, 12, 9), QTime(16, 2, 11), QTimeZone(3600)); });
    QList<double> watts;
    QObject::connect(&recorder, &CompanionRecorder::powerSampled, [&watts](double, double w) { watts << w; });

    dialogs.path = dir.filePath(QStringLiteral("run.apr"));
    session.startTest(TestMode::Normal);
    for (int k = 0; k < 4; ++k) {
        clock.advanceMs(1000);
        status.energyWh = 40.0 - k * 0.01;
        status.powerW = k == 2 ? std::nullopt : std::optional<double>(12.5);
        power.setStatus(status);
        session.onTick();
    }
    // Mid-test, as after a kill: every sample so far reads.
    const QByteArray companion = companionPath(QFile::encodeName(*dialogs.path));
    const CompanionData running = readCompanionFile(companion);
    ASSERT_TRUE(running.ok) << running.problem.toStdString();
    EXPECT_EQ(running.samples.size(), 4u);

    testing.closeWindow();
    clock.advanceMs(1000);
    session.onTick();
    const CompanionData c = readCompanionFile(companion);
    ASSERT_TRUE(c.ok);
    ASSERT_EQ(c.samples.size(), 4u);
    EXPECT_EQ(c.samples[3].seconds, 3.0);
    EXPECT_EQ(c.samples[3].energyWh, 39.97);
    EXPECT_EQ(c.samples[1].powerW, 12.5);
    EXPECT_FALSE(c.samples[2].powerW);
    EXPECT_EQ(c.samples[0].level, 80);
    EXPECT_EQ(watts, (QList<double> { 12.5, 12.5, 12.5 }));
    EXPECT_EQ(
        c.setup.value(QStringLiteral("start_time")).toString(), QStringLiteral("2026-12-09T16:02:11+01:00"));
    EXPECT_EQ(c.setup.value(QStringLiteral("cpu_governor")).toString(), QStringLiteral("powersave"));
    EXPECT_TRUE(c.setup.value(QStringLiteral("power_profile")).isNull());
    const QJsonObject b = c.setup.value(QStringLiteral("battery")).toObject();
    EXPECT_EQ(b.value(QStringLiteral("vendor")).toString(), QStringLiteral("Cells Inc"));
    EXPECT_EQ(b.value(QStringLiteral("technology")).toString(), QStringLiteral("Lithium-ion"));
    EXPECT_EQ(c.energyFullWh(), 48.0);
    EXPECT_EQ(c.energyFullDesignWh(), 60.0);
    EXPECT_FALSE(c.setup.value(QStringLiteral("program_version")).toString().isEmpty());
}

TEST(MachineFacts, ReadsTheKernelsFilesUnderARoot)
{
    QTemporaryDir root;
    auto put = [&root](const char* rel, const QByteArray& text) {
        const QString path = root.filePath(QString::fromLatin1(rel));
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    };
    struct Profile final : PowerProfileSource {
        QString activeProfile() override { return QStringLiteral("power-saver"); }
    } profile;

    const MachineFacts none = LinuxMachineFacts(root.path()).read();
    EXPECT_TRUE(none.vendor.isEmpty() && none.model.isEmpty() && none.kernel.isEmpty());
    EXPECT_FALSE(none.brightnessPercent);
    EXPECT_TRUE(none.cpuGovernor.isEmpty() && none.powerProfile.isEmpty());

    put("sys/class/dmi/id/sys_vendor", "Orvex\n");
    put("sys/class/dmi/id/product_name", "To be filled by O.E.M.\n");
    put("sys/class/dmi/id/product_serial", "SECRET123\n");
    put("proc/sys/kernel/osrelease", "6.1.0-13-amd64\n");
    put("sys/class/backlight/acpi_video0/brightness", "not a number\n");
    const QString fifo = root.filePath(QStringLiteral("sys/class/backlight/acpi_video0/max_brightness"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0); // would hold a read for ever
    put("sys/class/backlight/intel_backlight/brightness", "120\n");
    put("sys/class/backlight/intel_backlight/max_brightness", "960\n");
    put("sys/devices/system/cpu/cpu0/cpufreq/scaling_governor", "schedutil\n");
    const MachineFacts f = LinuxMachineFacts(root.path(), &profile).read();
    EXPECT_EQ(f.vendor, QStringLiteral("Orvex"));
    EXPECT_TRUE(f.model.isEmpty()); // a placeholder is no name
    EXPECT_EQ(f.kernel, QStringLiteral("6.1.0-13-amd64"));
    EXPECT_EQ(f.brightnessPercent, 12.5);
    EXPECT_EQ(f.cpuGovernor, QStringLiteral("schedutil"));
    EXPECT_EQ(f.powerProfile, QStringLiteral("power-saver"));
}
