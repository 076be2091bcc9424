#include "app/backends.h"
#include "platform/simpowersource.h"
#include "platform/sysfspowersource.h"
#include "support/testutil.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace ampero;

namespace {

struct GoodSpec {
    const char* spec;
    const char* backend;
    int simSeconds; // for sim: seconds per percent
};

void PrintTo(const GoodSpec& c, std::ostream* os)
{
    *os << '"' << c.spec << '"';
}

class GoodPowerSpec : public ::testing::TestWithParam<GoodSpec> {};

TEST_P(GoodPowerSpec, CreatesTheNamedBackend)
{
    QString error;
    const auto source = createPowerSource(QString::fromUtf8(GetParam().spec), &error);
    ASSERT_TRUE(source) << error.toStdString();
    EXPECT_EQ(source->backendName().toStdString(), GetParam().backend);
    EXPECT_TRUE(error.isEmpty());
    if (const auto* sim = dynamic_cast<const SimPowerSource*>(source.get())) {
        EXPECT_EQ(sim->secondsPerPercent(), GetParam().simSeconds);
    }
}

const GoodSpec kGoodSpecs[] = {
    {"sim", "sim", SimPowerSource::DefaultSecondsPerPercent},
    {"sim:1", "sim", 1},
    {"sim:30", "sim", 30},
    {"sim:86400", "sim", 86400},
    {"SIM:5", "sim", 5},
    {" sim:7 ", "sim", 7},
    {"sysfs", "sysfs", 0},
    {"sysfs:/", "sysfs", 0},
};

INSTANTIATE_TEST_SUITE_P(Specs, GoodPowerSpec, ::testing::ValuesIn(kGoodSpecs));

TEST(PowerSourceFactory, SysfsTakesTheGivenFolder)
{
    QTemporaryDir dir;
    QString error;
    const auto source = createPowerSource(QStringLiteral("sysfs:") + dir.path(), &error);
    ASSERT_TRUE(source) << error.toStdString();
    const auto* sysfs = dynamic_cast<const SysfsPowerSource*>(source.get());
    ASSERT_NE(sysfs, nullptr);
    EXPECT_EQ(sysfs->root(), dir.path());
    // An empty folder is a machine without battery.
    const PowerStatus s = source->status();
    EXPECT_EQ(s.acLineStatus, PowerStatus::AcOnline);
    EXPECT_EQ(s.batteryLifePercent, PowerStatus::Unknown8);
}

TEST(PowerSourceFactory, DefaultAlwaysGivesARealBackend)
{
    QString error;
    const auto source = createPowerSource(QString(), &error);
    ASSERT_TRUE(source) << error.toStdString();
    const QString name = source->backendName();
    EXPECT_TRUE(name == QLatin1String("upower") || name == QLatin1String("sysfs")) << name.toStdString();
}

struct BadSpec {
    const char* spec;
    const char* errorPart; // a piece of the error text the user sees
};

void PrintTo(const BadSpec& c, std::ostream* os)
{
    *os << '"' << c.spec << '"';
}

class BadPowerSpec : public ::testing::TestWithParam<BadSpec> {};

TEST_P(BadPowerSpec, IsRefusedWithAClearError)
{
    QString error;
    const auto source = createPowerSource(QString::fromUtf8(GetParam().spec), &error);
    EXPECT_FALSE(source);
    EXPECT_TRUE(error.contains(QString::fromUtf8(GetParam().errorPart))) << error.toStdString();
}

const BadSpec kBadSpecs[] = {
    {"bogus", "Unknown power source \"bogus\"; use upower, sysfs[:DIR] or sim[:N]."},
    {"acpi:3", "Unknown power source \"acpi:3\""},
    {"simulated", "Unknown power source \"simulated\""},
    {"sim:0", "from 1 to 86400, not \"0\""},
    {"sim:-1", "not \"-1\""},
    {"sim:abc", "not \"abc\""},
    {"sim:1.5", "not \"1.5\""},
    {"sim:", "not \"\""},
    {"sim:86401", "not \"86401\""},
    {"sysfs:", "needs a folder after the colon"},
    {"sysfs:/no/such/folder/here", "The power supply folder \"/no/such/folder/here\" does not exist."},
    {"upower:now", "takes no argument"},
    {"sysfs:/dev/null", "\"/dev/null\" is not a folder of power supplies."},
};

INSTANTIATE_TEST_SUITE_P(Specs, BadPowerSpec, ::testing::ValuesIn(kBadSpecs));

// The program itself: a bad source ends it with status 2 and a line on
// stderr, from the option and from the environment alike.
TEST(PowerSourceFactory, ProgramRefusesUnknownSourceWithStatus2)
{
    struct Run {
        QStringList args;
        QString env;
    };
    const Run runs[] = {
        {{QStringLiteral("--power-source"), QStringLiteral("bogus")}, QString()},
        {{}, QStringLiteral("bogus")},
    };
    for (const auto& run : runs) {
        QProcess p;
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("AMPERO_POWER_SOURCE"), run.env);
        p.setProcessEnvironment(env);
        p.start(test::amperoBinary(), run.args);
        ASSERT_TRUE(p.waitForFinished(20000));
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p.exitCode(), 2);
        EXPECT_TRUE(p.readAllStandardError().contains(
            "ampero: Unknown power source \"bogus\"; use upower, sysfs[:DIR] or sim[:N]."));
    }
}

TEST(PowerSourceFactory, ProgramStartsWithEachWorkingSource)
{
    QTemporaryDir dir;
    const QStringList specs{QStringLiteral("sim:1"), QStringLiteral("sysfs"), QStringLiteral("sysfs:") + dir.path(),
                            QString()};
    for (const QString& spec : specs) {
        QProcess p;
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        p.setProcessEnvironment(env);
        p.start(test::amperoBinary(), {QStringLiteral("--power-source"), spec});
        ASSERT_TRUE(p.waitForStarted());
        // Still running after a second and a half: the window is up.
        EXPECT_FALSE(p.waitForFinished(1500)) << spec.toStdString() << ": " << p.readAllStandardError().toStdString();
        p.kill();
        p.waitForFinished();
    }
}

} // namespace
