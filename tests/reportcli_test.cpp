#include "app/report.h"
#include "results/evaluation.h"
#include "support/testutil.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace ampero;

namespace {

const QByteArray kNormalExample = test::bytes({0x03, 0x41, 0x50, 0x52, 0x02, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0x64, 0x64,
                                               0x63, 0xFF, 0x80, 0xBB, 0x00, 0x00, 0x05, 0, 0, 0, 0, 0, 0, 0});

struct ProgramRun {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// Starts the built program without any display.
ProgramRun runAmpero(const QStringList& args)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    p.setProcessEnvironment(env);
    p.start(test::amperoBinary(), args);
    ProgramRun r;
    if (!p.waitForFinished(30000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

QByteArray fastFile()
{
    std::vector<uint8_t> bytes = encodeResultsHeader(1, 1, 90061);
    for (int i = 0; i < 501; ++i)
        bytes.push_back(static_cast<uint8_t>(i < 120 ? 80 : i < 300 ? 79 : i < 500 ? 78 : 77));
    const std::array<double, 3> t{120.0 / 86400, 300.0 / 86400, 500.0 / 86400};
    const auto trailer = encodeResultsTrailer(&t, 41000, 18446744073709551615ull);
    bytes.insert(bytes.end(), trailer.begin(), trailer.end());
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
}

} // namespace

TEST(ReportCli, ExampleFileAsLines)
{
    QTemporaryDir dir;
    const QString path = test::writeFile(dir, QStringLiteral("example.apr"), kNormalExample);
    const ProgramRun r = runAmpero({QStringLiteral("--report"), path});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QByteArray("Report file name: example.apr\n"
                                "Test mode: normal\n"
                                "Load CPU: full\n"
                                "Forecast Windows: unknown\n"
                                "By test results: 0:00:02\n"
                                "Mark: N/A\n"));
    EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();
}

TEST(ReportCli, ExampleFileAsJson)
{
    QTemporaryDir dir;
    const QString path = test::writeFile(dir, QStringLiteral("example.apr"), kNormalExample);
    const ProgramRun r = runAmpero({QStringLiteral("--report"), path, QStringLiteral("--json")});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QByteArray expected = "{\"file\": \"" + path.toUtf8()
        + "\", \"mode\": \"normal\", \"load\": \"full\", \"forecast_seconds\": null, \"forecast_text\": \"unknown\", "
          "\"battery_life_seconds\": 2, \"battery_life_text\": \"0:00:02\", \"mark\": 0, \"mark_text\": \"N/A\", "
          "\"samples\": 3, \"first_level\": 100, \"last_level\": 99, \"capacity\": 48000, \"work_count\": 5, "
          "\"complete\": true, \"forecast_line\": null}\n";
    EXPECT_EQ(r.out, expected);
}

TEST(ReportCli, SamplesAsCsv)
{
    QTemporaryDir dir;
    const QString path = test::writeFile(dir, QStringLiteral("example.apr"), kNormalExample);
    const ProgramRun r = runAmpero({QStringLiteral("--export-csv"), path});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QByteArray("elapsed_seconds,level\n0,100\n1,100\n2,99\n"));
}

TEST(ReportCli, BadFilesGiveOneLineOnStderrAndExitTwo)
{
    QTemporaryDir dir;
    struct Row {
        const char* name;
        QString path;
        const char* reason;
    };
    const Row rows[] = {
        {"not a results file", test::writeFile(dir, QStringLiteral("notes.txt"), QByteArray("hello")), "not a results file"},
        {"missing", dir.filePath(QStringLiteral("missing.apr")), "No such file"},
        {"no samples", test::writeFile(dir, QStringLiteral("empty.apr"), test::bytes({3, 'A', 'P', 'R', 2, 0, 0, 0, 0, 0, 0xFF})),
         "no samples"},
        {"cut trailer", test::writeFile(dir, QStringLiteral("cut.apr"), kNormalExample.left(16)), "Capacity"},
    };
    for (const Row& row : rows) {
        for (const QStringList& args : {QStringList{QStringLiteral("--report"), row.path},
                                        QStringList{QStringLiteral("--report"), row.path, QStringLiteral("--json")},
                                        QStringList{QStringLiteral("--export-csv"), row.path}}) {
            const ProgramRun r = runAmpero(args);
            EXPECT_EQ(r.exitCode, 2) << row.name;
            EXPECT_TRUE(r.out.isEmpty()) << row.name;
            EXPECT_EQ(r.err.count('\n'), 1) << row.name << ": " << r.err.toStdString();
            EXPECT_TRUE(r.err.contains(row.path.toUtf8())) << row.name;
            EXPECT_TRUE(r.err.contains(row.reason)) << row.name << ": " << r.err.toStdString();
        }
    }
}

TEST(ReportCli, HelpAndVersion)
{
    const ProgramRun help = runAmpero({QStringLiteral("--help")});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.contains("--report")) << help.out.toStdString();
    EXPECT_TRUE(help.out.contains("--export-csv"));
    const ProgramRun version = runAmpero({QStringLiteral("--version")});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_TRUE(version.out.contains("1.1.1.23")) << version.out.toStdString();
}

TEST(ReportJson, FastFileWithForecastLineAndAwkwardPath)
{
    const QByteArray data = fastFile();
    const auto* p = reinterpret_cast<const uint8_t*>(data.constData());
    const QString path = QStringLiteral("/tmp/a \"quoted\"\\dir/line\nbreak.apr");
    const ResultsEvaluation e =
        evaluateResults(parseResults(std::span<const uint8_t>(p, static_cast<std::size_t>(data.size()))), path);
    ASSERT_TRUE(e.ok);
    const QByteArray json = reportJson(path, e);
    QJsonParseError error;
    const QJsonObject o = QJsonDocument::fromJson(json, &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << json.toStdString();
    EXPECT_EQ(o.value(QStringLiteral("file")).toString(), path);
    EXPECT_EQ(o.value(QStringLiteral("mode")).toString(), QStringLiteral("fast"));
    EXPECT_EQ(o.value(QStringLiteral("load")).toString(), QStringLiteral("none"));
    EXPECT_EQ(o.value(QStringLiteral("forecast_seconds")).toInteger(), 90061);
    EXPECT_EQ(o.value(QStringLiteral("forecast_text")).toString(), QStringLiteral("1 days 1:01:01"));
    EXPECT_EQ(o.value(QStringLiteral("battery_life_seconds")).toDouble(), 15200.0);
    EXPECT_EQ(o.value(QStringLiteral("battery_life_text")).toString(), QStringLiteral("4:13:20"));
    EXPECT_NEAR(o.value(QStringLiteral("forecast_line")).toDouble(), 15199.9998, 0.5e-4);
    EXPECT_EQ(o.value(QStringLiteral("mark_text")).toString(), QStringLiteral("N/A"));
    EXPECT_EQ(o.value(QStringLiteral("samples")).toInteger(), 501);
    EXPECT_EQ(o.value(QStringLiteral("first_level")).toInteger(), 80);
    EXPECT_EQ(o.value(QStringLiteral("last_level")).toInteger(), 77);
    EXPECT_EQ(o.value(QStringLiteral("capacity")).toInteger(), 41000);
    EXPECT_TRUE(json.contains("\"work_count\": 18446744073709551615,")) << "exact, not rounded through a double";
    EXPECT_EQ(o.keys().size(), 16);
}

TEST(ReportJson, RecoveredFileIsNotComplete)
{
    QTemporaryDir dir;
    const QString path = test::writeFile(dir, QStringLiteral("cut.apr"), kNormalExample.left(12));
    char* buffer = nullptr;
    std::size_t size = 0;
    FILE* out = open_memstream(&buffer, &size);
    ASSERT_EQ(printReport(path, true, out, stderr), 0);
    std::fclose(out);
    const QByteArray json(buffer, static_cast<qsizetype>(size));
    std::free(buffer);
    const QJsonObject o = QJsonDocument::fromJson(json).object();
    EXPECT_FALSE(o.value(QStringLiteral("complete")).toBool(true)) << json.toStdString();
    EXPECT_EQ(o.value(QStringLiteral("samples")).toInteger(), 2);
    EXPECT_EQ(o.value(QStringLiteral("capacity")).toInteger(), 0);
}
