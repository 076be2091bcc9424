// SPDX-License-Identifier: GPL-3.0-or-later
#include "results/runsummary.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

using namespace ampero;

namespace {

using Bytes = std::vector<uint8_t>;

RunSummary run(const QString& path, uint8_t mode, uint8_t noLoad, const Bytes& samples,
    const std::array<double, 3>* times = nullptr, uint64_t workCount = 5)
{
    Bytes bytes = encodeResultsHeader(mode, noLoad, ForecastUnknown);
    bytes.insert(bytes.end(), samples.begin(), samples.end());
    const Bytes trailer = encodeResultsTrailer(times, 48000, workCount);
    bytes.insert(bytes.end(), trailer.begin(), trailer.end());
    return summarizeRun(path, evaluateResults(parseResults(bytes), path));
}

const ComparisonRow* findRow(const QList<ComparisonRow>& rows, const QString& label)
{
    for (const ComparisonRow& r : rows)
        if (r.label == label)
            return &r;
    return nullptr;
}

} // namespace

TEST(RunSummary, RowsOfPlainRunsWithoutEnergyOrSetup)
{
    const QList<RunSummary> runs { run(QStringLiteral("/t/a.apr"), 2, 0, { 100, 99, 98 }),
        run(QStringLiteral("/t/b.apr"), 1, 1, { 90 }) };
    EXPECT_EQ(runs[0].legendText(), QStringLiteral("a.apr, normal, full"));
    const QList<ComparisonRow> rows = comparisonRows(runs);
    QStringList labels;
    for (const ComparisonRow& r : rows) {
        labels.append(r.label);
        EXPECT_EQ(r.values.size(), 2);
        EXPECT_FALSE(r.differs);
    }
    EXPECT_EQ(labels,
        QStringList({ QStringLiteral("File"), QStringLiteral("Test mode"), QStringLiteral("Load CPU"),
            QStringLiteral("System forecast"), QStringLiteral("Measured battery life"),
            QStringLiteral("Full battery, by test"), QStringLiteral("Mark") }));
    EXPECT_EQ(rows[0].values, QStringList({ QStringLiteral("a.apr"), QStringLiteral("b.apr") }));
    EXPECT_EQ(rows[4].values, QStringList({ QStringLiteral("0:00:02"), QStringLiteral("0:00:00") }));

    // Aligned columns, no trailing blanks, no mark line.
    const QString text = comparisonText(rows);
    EXPECT_TRUE(text.startsWith(QStringLiteral("File                   a.apr    b.apr\n"
                                               "Test mode              normal   fast\n")))
        << text.toStdString();
    EXPECT_FALSE(text.contains(QLatin1Char('*')));
}

TEST(RunSummary, FullBatteryLifeAndMarksThatCannotBeCompared)
{
    // 20 points of charge in 1 000 s: 5 000 s for a full battery; 5 points
    // make a long extrapolation.
    Bytes twenty(1001);
    for (std::size_t k = 0; k < twenty.size(); ++k)
        twenty[k] = static_cast<uint8_t>(66 - k / 50);
    const RunSummary counted = run(QStringLiteral("a.apr"), 2, 0, twenty, nullptr, 1000000000000ull);
    const RunSummary estimated = run(QStringLiteral("b.apr"), 2, 1,
        Bytes(twenty.begin(), twenty.begin() + 251), nullptr, 1000000000000ull);
    ASSERT_TRUE(counted.evaluation.fullBatteryLife);
    EXPECT_NEAR(*counted.evaluation.fullBatteryLife * 86400.0, 5000.0, 1e-6);
    EXPECT_FALSE(counted.evaluation.longExtrapolation());
    EXPECT_TRUE(estimated.evaluation.longExtrapolation());
    EXPECT_TRUE(estimated.evaluation.markEstimated());

    const QList<ComparisonRow> rows = comparisonRows({ counted, estimated });
    const ComparisonRow* mark = findRow(rows, QStringLiteral("Mark"));
    ASSERT_TRUE(mark);
    EXPECT_FALSE(mark->values[0].contains(QLatin1String("estimated")));
    EXPECT_TRUE(mark->values[1].endsWith(QLatin1String("(estimated)")));
    EXPECT_FALSE(mark->note.isEmpty());
    EXPECT_TRUE(comparisonText(rows).contains(mark->note));
    // Marks of one kind compare: no note.
    EXPECT_TRUE(findRow(comparisonRows({ counted, counted }), QStringLiteral("Mark"))->note.isEmpty());
}

TEST(RunSummary, EnergyAndSetupRowsOnlyWhereSomeRunHasThemAndDifferencesMarked)
{
    RunSummary a = run(QStringLiteral("a.apr"), 2, 0, { 100, 99 });
    RunSummary b = run(QStringLiteral("b.apr"), 2, 0, { 100, 98 });
    RunSummary c = run(QStringLiteral("c.apr"), 2, 0, { 100, 97 });
    a.averagePowerW = 7.25;
    a.setup = RunSetup { QStringLiteral("Acme Book 13"), QStringLiteral("6.1.0-13-amd64"),
        QStringLiteral("balanced"), QStringLiteral("60 %"), QStringLiteral("schedutil") };
    b.setup = a.setup;
    b.setup->powerProfile = QStringLiteral("power-saver");
    b.setup->governor.clear(); // not recorded: no evidence of a difference
    // c has no setup at all.

    const QList<ComparisonRow> rows = comparisonRows({ a, b, c });
    const ComparisonRow* power = findRow(rows, QStringLiteral("Average power"));
    ASSERT_TRUE(power);
    EXPECT_EQ(power->values,
        QStringList({ QStringLiteral("7.3 W"), QStringLiteral("unknown"), QStringLiteral("unknown") }));
    EXPECT_FALSE(findRow(rows, QStringLiteral("Energy used")));
    EXPECT_FALSE(findRow(rows, QStringLiteral("Battery health")));

    const ComparisonRow* profile = findRow(rows, QStringLiteral("Power profile"));
    const ComparisonRow* kernel = findRow(rows, QStringLiteral("Kernel"));
    const ComparisonRow* governor = findRow(rows, QStringLiteral("Governor"));
    ASSERT_TRUE(profile && kernel && governor);
    EXPECT_TRUE(profile->differs);
    EXPECT_FALSE(kernel->differs);
    EXPECT_FALSE(governor->differs);
    EXPECT_EQ(kernel->values.last(), QStringLiteral("unknown"));
    EXPECT_EQ(rows.last().label, QStringLiteral("Governor"));

    const QString text = comparisonText(rows);
    EXPECT_TRUE(text.contains(
        QRegularExpression(QStringLiteral("\nPower profile \\*  +balanced  +power-saver  +unknown\n"))))
        << text.toStdString();
    EXPECT_TRUE(text.endsWith(QStringLiteral("* The runs differ in this setting.\n")));
}

TEST(RunSummary, LevelAtShareOfLife)
{
    // Normal test: 100 .. 91 over ten samples, life 9 s.
    Bytes s;
    for (int i = 0; i < 10; ++i)
        s.push_back(static_cast<uint8_t>(100 - i));
    const RunSummary normal = run(QStringLiteral("n.apr"), 2, 0, s);
    EXPECT_EQ(levelAtLifeShare(normal, 0.0), 100.0);
    EXPECT_EQ(levelAtLifeShare(normal, 1.0), 91.0);
    EXPECT_EQ(levelAtLifeShare(normal, 1.0 / 3.0), 97.0);
    EXPECT_EQ(levelAtLifeShare(normal, 7.0), 91.0); // clamped

    // Fast test: beyond the last sample the forecast line, which ends at 0.
    const double sec = 1.0 / 86400.0;
    const std::array<double, 3> times { 60 * sec, 90 * sec, 120 * sec };
    const RunSummary fast = run(QStringLiteral("f.apr"), 1, 0, { 100, 100, 99 }, &times);
    ASSERT_TRUE(fast.evaluation.forecastEnd);
    EXPECT_NEAR(*levelAtLifeShare(fast, 0.5), 50.0, 0.01);
    EXPECT_NEAR(*levelAtLifeShare(fast, 1.0), 0.0, 1e-6);

    RunSummary broken;
    EXPECT_FALSE(levelAtLifeShare(broken, 0.5));
}
