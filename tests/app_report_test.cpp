// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/report.h"
#include "results/evaluation.h"
#include "support/testutil.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace ampero;

namespace {

const QByteArray kExample = test::exampleResults();
using Exit = test::ProgramExit;

Exit runProgram(const QStringList& args)
{
    return test::runAmpero(args);
}

} // namespace

TEST(ReportCli, ExampleFileAsLinesJsonAndCsv)
{
    QTemporaryDir dir;
    const QString path = test::writeFile(dir, QStringLiteral("example.apr"), kExample);
    const Exit lines = runProgram({ QStringLiteral("--report"), path });
    EXPECT_EQ(lines.code, 0) << lines.err.toStdString();
    EXPECT_EQ(lines.out,
        QByteArray("Report file name: example.apr\nTest mode: normal\nLoad CPU: full\n"
                   "System forecast: unknown\nBy test results: 0:00:02\nFull battery, by test: 0:03:20\n"
                   "A long extrapolation: the charge fell by only 1% during the test.\nMark: N/A\n"));

    const Exit json = runProgram({ QStringLiteral("--report"), path, QStringLiteral("--json") });
    EXPECT_EQ(json.code, 0);
    EXPECT_EQ(json.out,
        "{\"file\": \"" + path.toUtf8()
            + "\", \"mode\": \"normal\", \"load\": \"full\", \"workload\": null, \"forecast_seconds\": null, "
              "\"forecast_text\": \"unknown\", \"battery_life_seconds\": 2, \"battery_life_text\": "
              "\"0:00:02\", \"battery_life_full_seconds\": 200, "
              "\"mark\": 0, \"mark_text\": \"N/A\", \"mark_estimated\": false, \"samples\": 3, "
              "\"first_level\": 100, \"last_level\": "
              "99, "
              "\"capacity\": 48000, \"work_count\": 5, \"complete\": true, \"forecast_line\": null, "
              "\"average_power_w\": null, \"energy_used_wh\": null, \"battery_health_percent\": null, "
              "\"energy_full_wh\": null, \"energy_full_design_wh\": null, \"energy_forecast_seconds\": null, "
              "\"brightness_set\": null, \"setup\": null}\n");

    const Exit csv = runProgram({ QStringLiteral("--export-csv"), path });
    EXPECT_EQ(csv.code, 0);
    EXPECT_EQ(csv.out, QByteArray("elapsed_seconds,level\n0,100\n1,100\n2,99\n"));
    EXPECT_TRUE(QByteArray(lines.err + json.err + csv.err).isEmpty());
}

TEST(ReportCli, CompanionAddsEnergyKeysLinesAndCsvColumns)
{
    QTemporaryDir dir;
    const QString path = test::writeFile(dir, QStringLiteral("example.apr"), kExample);
    const QStringList keys { "average_power_w", "energy_used_wh", "battery_health_percent", "energy_full_wh",
        "energy_full_design_wh", "energy_forecast_seconds", "brightness_set", "setup" };

    // Without a companion every new key is there, as null.
    const Exit bare = runProgram({ QStringLiteral("--report"), path, QStringLiteral("--json") });
    QJsonParseError error;
    QJsonObject o = QJsonDocument::fromJson(bare.out, &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << bare.out.toStdString();
    for (const QString& key : keys) {
        EXPECT_TRUE(o.contains(key)) << key.toStdString();
        EXPECT_TRUE(o.value(key).isNull()) << key.toStdString();
    }

    test::writeFile(dir, QStringLiteral("example.apr.jsonl"),
        "{\"format\":\"ampero-companion\",\"format_version\":1,\"kernel\":\"6.1.0\",\"power_profile\":null,"
        "\"battery\":{\"energy_full_wh\":45,\"energy_full_design_wh\":50}}\n"
        "{\"seconds\":0,\"level\":100,\"energy_wh\":40,\"power_w\":9,\"voltage_v\":12}\n"
        "{\"seconds\":2,\"level\":99,\"energy_wh\":39.99,\"power_w\":null,\"voltage_v\":11.9}\n"
        "{\"seconds\":3,\"le");
    const Exit json = runProgram({ QStringLiteral("--report"), path, QStringLiteral("--json") });
    EXPECT_EQ(json.code, 0);
    o = QJsonDocument::fromJson(json.out, &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << json.out.toStdString();
    EXPECT_DOUBLE_EQ(o.value(QStringLiteral("average_power_w")).toDouble(), 18.0);
    EXPECT_DOUBLE_EQ(o.value(QStringLiteral("energy_used_wh")).toDouble(), 0.01);
    EXPECT_DOUBLE_EQ(o.value(QStringLiteral("battery_health_percent")).toDouble(), 90.0);
    EXPECT_DOUBLE_EQ(o.value(QStringLiteral("energy_full_wh")).toDouble(), 45.0);
    EXPECT_DOUBLE_EQ(o.value(QStringLiteral("energy_full_design_wh")).toDouble(), 50.0);
    EXPECT_DOUBLE_EQ(o.value(QStringLiteral("energy_forecast_seconds")).toDouble(), 8000.0);
    EXPECT_EQ(o.value(QStringLiteral("setup")).toObject().value(QStringLiteral("kernel")).toString(),
        QStringLiteral("6.1.0"));
    EXPECT_EQ(o.value(QStringLiteral("mark_text")).toString(), QStringLiteral("N/A")); // the rest unchanged

    const Exit lines = runProgram({ QStringLiteral("--report"), path });
    EXPECT_TRUE(
        lines.out.endsWith("Mark: N/A\nAverage power: 18.0 W\nEnergy used: 0.01 Wh\nBattery health: 90%\n"
                           "Brightness set: not set\n"))
        << lines.out.toStdString();

    const Exit csv = runProgram({ QStringLiteral("--export-csv"), path });
    EXPECT_EQ(csv.code, 0);
    EXPECT_EQ(csv.out,
        QByteArray("elapsed_seconds,level,energy_wh,power_w,voltage_v\n0,100,40,9,12\n1,100,,,\n"
                   "2,99,39.99,,11.9\n"));
}

// Each reading goes with the sample of its second, whatever the order of the
// lines: the first line for a second counts, lines beyond the samples and
// lines too long to be ours do not.
TEST(ReportCli, CompanionLinesCountByTheirSecondsNotTheirOrder)
{
    QTemporaryDir dir;
    const QString path = test::writeFile(dir, QStringLiteral("example.apr"), kExample);
    test::writeFile(dir, QStringLiteral("example.apr.jsonl"),
        "{\"format\":\"ampero-companion\",\"format_version\":1}\n"
        "{\"seconds\":2,\"level\":99,\"energy_wh\":39.99,\"power_w\":9,\"voltage_v\":11.9}\n"
        "{\"seconds\":9,\"level\":90,\"energy_wh\":30,\"power_w\":9,\"voltage_v\":11}\n"
        "{\"seconds\":0,\"level\":100,\"energy_wh\":40,\"power_w\":9,\"voltage_v\":12}\n"
        "{\"seconds\":1,\"pad\":\""
            + QByteArray(70000, 'x')
            + "\"}\n"
              "{\"seconds\":1,\"level\":100,\"energy_wh\":39.995,\"power_w\":9,\"voltage_v\":12}\n"
              "{\"seconds\":0,\"level\":100,\"energy_wh\":1,\"power_w\":1,\"voltage_v\":1}\n");
    const Exit csv = runProgram({ QStringLiteral("--export-csv"), path });
    EXPECT_EQ(csv.out,
        QByteArray("elapsed_seconds,level,energy_wh,power_w,voltage_v\n0,100,40,9,12\n1,100,39.995,9,12\n"
                   "2,99,39.99,9,11.9\n"));
    const Exit lines = runProgram({ QStringLiteral("--report"), path });
    EXPECT_TRUE(lines.out.contains("Average power: 18.0 W\nEnergy used: 0.01 Wh\n"))
        << lines.out.toStdString();
}

// A figure no battery can report (infinite in effect, or negative) is
// unknown in the text, the JSON and the CSV alike, the setup's included.
TEST(ReportCli, FiguresNoBatteryCanReportAreUnknownInEveryView)
{
    QTemporaryDir dir;
    const QString path = test::writeFile(dir, QStringLiteral("example.apr"), kExample);
    test::writeFile(dir, QStringLiteral("example.apr.jsonl"),
        "{\"format\":\"ampero-companion\",\"format_version\":1,\"brightness_percent\":-4,"
        "\"battery\":{\"energy_full_wh\":5e303,\"energy_full_design_wh\":50}}\n"
        "{\"seconds\":0,\"level\":100,\"energy_wh\":1e300,\"power_w\":1e308,\"voltage_v\":5000}\n"
        "{\"seconds\":2,\"level\":99,\"energy_wh\":-3,\"power_w\":-9,\"voltage_v\":-12}\n");
    const Exit lines = runProgram({ QStringLiteral("--report"), path });
    EXPECT_TRUE(lines.out.endsWith(
        "Average power: unknown\nEnergy used: unknown\nBattery health: unknown\nBrightness set: not set\n"))
        << lines.out.toStdString();
    const Exit json = runProgram({ QStringLiteral("--report"), path, QStringLiteral("--json") });
    const QJsonObject o = QJsonDocument::fromJson(json.out).object();
    for (const char* key :
        { "average_power_w", "energy_used_wh", "battery_health_percent", "energy_full_wh" })
        EXPECT_TRUE(o.value(QLatin1String(key)).isNull()) << key << json.out.toStdString();
    const QJsonObject setup = o.value(QStringLiteral("setup")).toObject();
    EXPECT_TRUE(
        setup.value(QStringLiteral("battery")).toObject().value(QStringLiteral("energy_full_wh")).isNull());
    EXPECT_TRUE(setup.value(QStringLiteral("brightness_percent")).isNull());
    const Exit csv = runProgram({ QStringLiteral("--export-csv"), path });
    EXPECT_EQ(csv.out,
        QByteArray("elapsed_seconds,level,energy_wh,power_w,voltage_v\n0,100,,,\n1,100,,,\n2,99,,,\n"));
}

TEST(ReportCli, AbsurdLevelChangeTimesPrintNullAndNotAvailable)
{
    // A fast file whose level changes lie 10^305 days apart: valid doubles,
    // and a forecast line far beyond any time the program can write.
    std::vector<uint8_t> bytes = encodeResultsHeader(1, 1, 3600);
    bytes.insert(bytes.end(), { 80, 80, 79, 78, 77 });
    const std::array<double, 3> t { 0.0, 1e305, 2e305 };
    const auto trailer = encodeResultsTrailer(&t, 41000, 0);
    bytes.insert(bytes.end(), trailer.begin(), trailer.end());
    QTemporaryDir dir;
    const QString path = test::writeFile(dir, QStringLiteral("absurd.apr"),
        QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size())));

    const Exit json = runProgram({ QStringLiteral("--report"), path, QStringLiteral("--json") });
    EXPECT_EQ(json.code, 0) << json.err.toStdString();
    QJsonParseError error;
    const QJsonObject o = QJsonDocument::fromJson(json.out, &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << json.out.toStdString();
    EXPECT_TRUE(o.value(QStringLiteral("battery_life_seconds")).isNull()) << json.out.toStdString();
    EXPECT_EQ(o.value(QStringLiteral("battery_life_text")).toString(), QStringLiteral("N/A"));
    EXPECT_TRUE(o.value(QStringLiteral("forecast_line")).isNull()) << json.out.toStdString();
    EXPECT_EQ(o.value(QStringLiteral("forecast_seconds")).toInteger(), 3600);
    const QByteArray numbers = QByteArray(json.out).replace(path.toUtf8(), "").toLower();
    for (const char* word : { "inf", "nan" })
        EXPECT_FALSE(numbers.contains(word)) << json.out.toStdString();

    const Exit lines = runProgram({ QStringLiteral("--report"), path });
    EXPECT_EQ(lines.code, 0);
    EXPECT_TRUE(lines.out.contains("\nBy test results: N/A\n")) << lines.out.toStdString();
}

TEST(ReportCli, BadFilesGiveOneLineOnStderrAndExitTwo)
{
    QTemporaryDir dir;
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir.filePath(QStringLiteral("pipe.apr"))).constData(), 0600), 0);
    const std::pair<QString, const char*> rows[] = {
        { test::writeFile(dir, QStringLiteral("notes.txt"), "hello"), "not a results file" },
        { dir.filePath(QStringLiteral("missing.apr")), "No such file" },
        { test::writeFile(dir, QStringLiteral("empty.apr"), kExample.left(10) + '\xFF'), "no samples" },
        { dir.filePath(QStringLiteral("pipe.apr")), "not a regular file (a pipe)" },
    };
    for (const auto& [path, reason] : rows) {
        for (const char* mode : { "--report", "--export-csv" }) {
            const Exit r = runProgram({ QString::fromLatin1(mode), path });
            EXPECT_EQ(r.code, 2) << reason;
            EXPECT_TRUE(r.out.isEmpty()) << reason;
            EXPECT_EQ(r.err.count('\n'), 1) << r.err.toStdString();
            EXPECT_TRUE(r.err.contains(path.toUtf8()) && r.err.contains(reason)) << r.err.toStdString();
        }
    }
    const Exit jsonAlone = runProgram({ QStringLiteral("--json") });
    EXPECT_EQ(jsonAlone.code, 2);
    EXPECT_EQ(jsonAlone.err, QByteArray("ampero: --json needs --report FILE\n"));
}

TEST(ReportJson, FastFileRecoveredFileAndAwkwardPath)
{
    std::vector<uint8_t> bytes = encodeResultsHeader(1, 1, 90061);
    for (int i = 0; i < 501; ++i)
        bytes.push_back(static_cast<uint8_t>(i < 120 ? 80 : i < 300 ? 79 : i < 500 ? 78 : 77));
    const std::array<double, 3> t { 120.0 / 86400, 300.0 / 86400, 500.0 / 86400 };
    const auto trailer = encodeResultsTrailer(&t, 41000, UINT64_MAX);
    bytes.insert(bytes.end(), trailer.begin(), trailer.end());
    const QString path = QStringLiteral("/tmp/a \"q\"\\dir/line\nbreak.apr");
    const QByteArray json = reportJson(path, evaluateResults(parseResults(bytes), path));
    QJsonParseError error;
    const QJsonObject o = QJsonDocument::fromJson(json, &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << json.toStdString();
    EXPECT_EQ(o.value(QStringLiteral("file")).toString(), path);
    EXPECT_EQ(o.value(QStringLiteral("mode")).toString() + o.value(QStringLiteral("load")).toString(),
        QStringLiteral("fastnone"));
    EXPECT_EQ(o.value(QStringLiteral("forecast_seconds")).toInteger(), 90061);
    EXPECT_EQ(o.value(QStringLiteral("forecast_text")).toString(), QStringLiteral("1 day 1:01:01"));
    EXPECT_EQ(o.value(QStringLiteral("battery_life_seconds")).toDouble(), 15200.0);
    EXPECT_EQ(o.value(QStringLiteral("battery_life_text")).toString(), QStringLiteral("4:13:20"));
    EXPECT_NEAR(o.value(QStringLiteral("forecast_line")).toDouble(), 15199.9998, 0.5e-4);
    EXPECT_EQ(o.value(QStringLiteral("last_level")).toInteger(), 77);
    EXPECT_TRUE(json.contains("\"work_count\": 18446744073709551615,")) << "exact, not through a double";
    EXPECT_EQ(o.value(QStringLiteral("battery_life_full_seconds")).toDouble(), 19000.0)
        << "80% to 0% on the line";
    EXPECT_EQ(o.keys().size(), 27);

    // printReport on a file cut off before its Terminator.
    QTemporaryDir dir;
    char* buffer = nullptr;
    std::size_t size = 0;
    FILE* out = open_memstream(&buffer, &size);
    ASSERT_EQ(
        printReport(
            QFile::encodeName(test::writeFile(dir, QStringLiteral("cut.apr"), kExample.left(12))), true, out),
        0);
    std::fclose(out);
    const QJsonObject cut
        = QJsonDocument::fromJson(QByteArray(buffer, static_cast<qsizetype>(size))).object();
    std::free(buffer);
    EXPECT_FALSE(cut.value(QStringLiteral("complete")).toBool(true));
    EXPECT_EQ(cut.value(QStringLiteral("samples")).toInteger(), 2);
}

TEST(ReportCli, CompareAsTableAndJsonArrayNamingUnreadableFiles)
{
    QTemporaryDir dir;
    const QString a = test::writeFile(dir, QStringLiteral("a.apr"), kExample);
    std::vector<uint8_t> bytes = encodeResultsHeader(1, 1, 3600);
    bytes.insert(bytes.end(), { 100, 100, 99 });
    const std::array<double, 3> t { 60.0 / 86400, 90.0 / 86400, 120.0 / 86400 };
    const auto trailer = encodeResultsTrailer(&t, 41000, 0);
    bytes.insert(bytes.end(), trailer.begin(), trailer.end());
    const QString b = test::writeFile(dir, QStringLiteral("b.apr"),
        QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size())));
    const QString bad = test::writeFile(dir, QStringLiteral("bad.apr"), "hello");

    const Exit text = runProgram({ QStringLiteral("--compare"), a, bad, b });
    EXPECT_EQ(text.code, 0);
    EXPECT_EQ(text.out,
        QByteArray("File                   a.apr    b.apr\n"
                   "Test mode              normal   fast\n"
                   "Load CPU               full     none\n"
                   "System forecast        unknown  1:00:00\n"
                   "Measured battery life  0:00:02  0:50:00\n"
                   "Full battery, by test  0:03:20  0:50:00\n"
                   "Mark                   N/A      N/A\n"));
    EXPECT_TRUE(text.err.startsWith(QByteArray("ampero: " + bad.toUtf8() + ": not a results file")))
        << text.err.toStdString();
    EXPECT_EQ(text.err.count('\n'), 1);

    const Exit json = runProgram({ QStringLiteral("--compare"), QStringLiteral("--json"), a, b, bad });
    EXPECT_EQ(json.code, 0);
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(json.out, &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << json.out.toStdString();
    ASSERT_TRUE(doc.isArray());
    ASSERT_EQ(doc.array().size(), 2);
    const Exit report = runProgram({ QStringLiteral("--report"), b, QStringLiteral("--json") });
    EXPECT_EQ(doc.array().at(1).toObject(), QJsonDocument::fromJson(report.out).object())
        << "the report's own object";
    EXPECT_EQ(doc.array().at(0).toObject().value(QStringLiteral("file")).toString(), a);

    // Levels against each run's own life: the fast run's line ends at 0 %.
    const Exit shares = runProgram(
        { QStringLiteral("--compare"), QStringLiteral("--json"), QStringLiteral("--normalize"), a, b });
    const QJsonArray levels = QJsonDocument::fromJson(shares.out)
                                  .array()
                                  .at(1)
                                  .toObject()
                                  .value(QStringLiteral("levels_by_life_share"))
                                  .toArray();
    ASSERT_EQ(levels.size(), 21) << shares.out.toStdString();
    EXPECT_EQ(levels.first().toDouble(), 100.0);
    EXPECT_NEAR(levels.last().toDouble(), 0.0, 1e-6);
    const Exit sharesText = runProgram({ QStringLiteral("--compare"), QStringLiteral("--normalize"), a, b });
    EXPECT_TRUE(sharesText.out.contains("\n50                        100           50\n"))
        << sharesText.out.toStdString();

    const Exit none
        = runProgram({ QStringLiteral("--compare"), bad, dir.filePath(QStringLiteral("gone.apr")) });
    EXPECT_EQ(none.code, 2);
    EXPECT_TRUE(none.out.isEmpty());
    EXPECT_EQ(none.err.count('\n'), 2);
    EXPECT_TRUE(none.err.contains("bad.apr") && none.err.contains("gone.apr")) << none.err.toStdString();
}
