// SPDX-License-Identifier: GPL-3.0-or-later
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

struct GoodChoice {
    const char* choice;
    const char* backend;
    int simSeconds; // for sim: seconds per percent
};

void PrintTo(const GoodChoice& c, std::ostream* os)
{
    *os << '"' << c.choice << '"';
}

class GoodPowerChoice : public ::testing::TestWithParam<GoodChoice> { };

TEST_P(GoodPowerChoice, CreatesTheNamedBackend)
{
    QString error;
    const auto source = createPowerSource(QString::fromUtf8(GetParam().choice), &error);
    ASSERT_TRUE(source) << error.toStdString();
    EXPECT_EQ(source->backendName().toStdString(), GetParam().backend);
    EXPECT_TRUE(error.isEmpty());
    if (const auto* sim = dynamic_cast<const SimPowerSource*>(source.get())) {
        EXPECT_EQ(sim->secondsPerPercent(), GetParam().simSeconds);
    }
}

const GoodChoice kGoodChoices[] = {
    { "sim", "sim", SimPowerSource::DefaultSecondsPerPercent },
    { "sim:1", "sim", 1 },
    { "sim:30", "sim", 30 },
    { "sim:86400", "sim", 86400 },
    { "SIM:5", "sim", 5 },
    { " sim:7 ", "sim", 7 },
    { "sim:30,capacity=60,load=5", "sim", 30 },
    { "sysfs", "sysfs", 0 },
    { "sysfs:/", "sysfs", 0 },
};

INSTANTIATE_TEST_SUITE_P(Choices, GoodPowerChoice, ::testing::ValuesIn(kGoodChoices));

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
    EXPECT_EQ(s.line, PowerLine::Mains);
    EXPECT_EQ(s.level, std::nullopt);
}

TEST(PowerSourceFactory, DefaultAlwaysGivesARealBackend)
{
    QString error;
    const auto source = createPowerSource(QString(), &error);
    ASSERT_TRUE(source) << error.toStdString();
    const QString name = source->backendName();
    EXPECT_TRUE(name == QLatin1String("upower") || name == QLatin1String("sysfs")) << name.toStdString();
}

struct BadChoice {
    const char* choice;
    const char* errorPart; // a piece of the error text the user sees
};

void PrintTo(const BadChoice& c, std::ostream* os)
{
    *os << '"' << c.choice << '"';
}

class BadPowerChoice : public ::testing::TestWithParam<BadChoice> { };

TEST_P(BadPowerChoice, IsRefusedWithAClearError)
{
    QString error;
    const auto source = createPowerSource(QString::fromUtf8(GetParam().choice), &error);
    EXPECT_FALSE(source);
    EXPECT_TRUE(error.contains(QString::fromUtf8(GetParam().errorPart))) << error.toStdString();
}

const BadChoice kBadChoices[] = {
    { "bogus", "Unknown power source \"bogus\"; use upower, sysfs[:DIR] or sim[:N]." },
    { "acpi:3", "Unknown power source \"acpi:3\"" },
    { "simulated", "Unknown power source \"simulated\"" },
    { "sim:0", "from 1 to 86400, not \"0\"" },
    { "sim:-1", "not \"-1\"" },
    { "sim:abc", "not \"abc\"" },
    { "sim:1.5", "not \"1.5\"" },
    { "sim:", "not \"\"" },
    { "sim:86401", "not \"86401\"" },
    { "sim:30,colour=blue", "The simulated battery has no setting \"colour\"" },
    { "sim:1,level=0", "The simulated battery's level is a whole number from 1 to 100, not \"0\"" },
    { "sysfs:", "needs a folder after the colon" },
    { "sysfs:/no/such/folder/here", "The power supply folder \"/no/such/folder/here\" does not exist." },
    { "upower:now", "takes no argument" },
    { "sysfs:/dev/null", "\"/dev/null\" is not a folder of power supplies." },
};

INSTANTIATE_TEST_SUITE_P(Choices, BadPowerChoice, ::testing::ValuesIn(kBadChoices));

// The program itself: a bad source ends it with status 2 and a line on
// stderr, from the option and from the environment alike.
TEST(PowerSourceFactory, ProgramRefusesUnknownSourceWithStatus2)
{
    struct Run {
        QStringList args;
        QString env;
    };
    const Run runs[] = {
        { { QStringLiteral("--power-source"), QStringLiteral("bogus") }, QString() },
        { {}, QStringLiteral("bogus") },
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
    const QStringList choices { QStringLiteral("sim:1"), QStringLiteral("sysfs"),
        QStringLiteral("sysfs:") + dir.path(), QString() };
    for (const QString& choice : choices) {
        QProcess p;
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        p.setProcessEnvironment(env);
        // No choice at all is the default; an empty one given on purpose is refused.
        p.start(test::amperoBinary(),
            choice.isEmpty() ? QStringList() : QStringList { QStringLiteral("--power-source"), choice });
        ASSERT_TRUE(p.waitForStarted());
        // Still running after a second and a half: the window is up.
        EXPECT_FALSE(p.waitForFinished(1500))
            << choice.toStdString() << ": " << p.readAllStandardError().toStdString();
        p.kill();
        p.waitForFinished();
    }
}

} // namespace
