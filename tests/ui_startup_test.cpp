// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up: version texts and titles, the time format, the order of the
// start-up steps and the power check's labels.
#include "app/startup.h"
#include "platform/clock.h"
#include "platform/fakepowersource.h"
#include "session/powerwatcher.h"
#include "support/powercases.h"
#include "ui/chartwidget.h"
#include "ui/mainwindow.h"
#include "ui/testprogressdialog.h"

#include <QApplication>
#include <QLabel>
#include <QTest>
#include <gtest/gtest.h>

using namespace ampero;

namespace {

TEST(Version, TextsAndTitle)
{
    const VersionInfo v = readVersionInfo();
    EXPECT_EQ(v.major, QStringLiteral("1"));
    EXPECT_EQ(v.minor, QStringLiteral("1"));
    EXPECT_EQ(v.release, QStringLiteral("1"));
    EXPECT_EQ(v.build, QStringLiteral("23"));
    EXPECT_EQ(applicationTitle(v), QStringLiteral("Orvex Ampero 1.1"));
    EXPECT_EQ(applicationTitle(versionInfoFrom(1, 10, 0, 0)), QStringLiteral("Orvex Ampero 1.10"));
    EXPECT_EQ(applicationTitle(versionInfoFrom(0, 0, 0, 0)), QStringLiteral("Orvex Ampero 0.0"));
    EXPECT_EQ(versionInfoFrom(2, 0, 65535, 7).release, QStringLiteral("65535"));
}

QString text(MainWindow& w, const char* name)
{
    return w.findChild<QLabel*>(QString::fromLatin1(name))->text();
}

class StartupPower : public ::testing::TestWithParam<test::CheckCase> { };

TEST_P(StartupPower, LabelsAndTests)
{
    const test::CheckCase& c = GetParam();
    PowerStatus s;
    s.line = c.line;
    s.level = c.level;
    FakePowerSource power(s);
    MainWindow w(nullptr);
    TestProgressDialog testing(&w);
    FakeClock clock;
    SessionState state;
    PowerWatcher watcher(w, testing, power, clock, state);
    StartupSteps steps = defaultStartupSteps();
    steps.powerCheck = [&watcher] { watcher.startupCheck(); };
    prepareMainWindow(w, steps);
    EXPECT_EQ(text(w, "powerSourceLabel"), QString::fromUtf8(c.mode));
    EXPECT_EQ(text(w, "levelLabel"), QString::fromUtf8(c.levelText));
    EXPECT_EQ(text(w, "actionLabel"), QString::fromUtf8(c.action));
    EXPECT_EQ(w.findChild<QAction*>(QStringLiteral("startFastTestAction"))->isEnabled(), c.enabled);
    EXPECT_EQ(text(w, "elapsedCaption").isEmpty(), false);
}

INSTANTIATE_TEST_SUITE_P(Cases, StartupPower, ::testing::ValuesIn(test::kStartupChecks),
    [](const auto& i) { return test::checkCaseName(i.param); });

TEST(Startup, StepsRunInOrderAndFillTheWindow)
{
    QStringList order;
    StartupSteps steps = defaultStartupSteps();
    steps.readBatteryInfo = [&] { order << QStringLiteral("battery"); };
    steps.setUpProcessorUsage = [&](MainWindow& w, int n) {
        // The title is set before the usage bars are made.
        order << QStringLiteral("usage:") + w.windowTitle();
        EXPECT_GE(n, 1);
    };
    steps.cpuBrandString = [&] {
        order << QStringLiteral("brand");
        // As CPUID gives it: leading blanks, NUL padding behind the name.
        return QString(QStringLiteral("   Intel(R) Core(TM) i5") + QString(25, QChar(u'\0')));
    };
    steps.measureCpuClock = [&] {
        order << QStringLiteral("clock");
        return 2400.0;
    };
    steps.powerCheck = [&] { order << QStringLiteral("power"); };

    MainWindow w(nullptr);
    const StartupResult r = prepareMainWindow(w, steps);
    // The clock is measured once the window shows, without holding it up.
    EXPECT_EQ(order,
        (QStringList { QStringLiteral("battery"), QStringLiteral("usage:Orvex Ampero 1.1"),
            QStringLiteral("brand"), QStringLiteral("power") }));
    EXPECT_EQ(text(w, "processorSpeedLabel"), QString());
    w.show();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !text(w, "processorSpeedLabel").isEmpty(); }));
    EXPECT_EQ(order.last(), QStringLiteral("clock"));
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Orvex Ampero 1.1"));
    // No display name: Qt would append it to every other window's title.
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), QGuiApplication::applicationName());
    EXPECT_EQ(text(w, "processorNameLabel"), QStringLiteral("Intel(R) Core(TM) i5"));
    EXPECT_EQ(text(w, "processorSpeedLabel"), QStringLiteral("(2400.00 MHz)"));
    EXPECT_TRUE(w.usageTimer()->isActive());
    EXPECT_FALSE(w.loadResultsTimer()->isActive());
    EXPECT_FALSE(w.chart()->isInteractive());
    EXPECT_EQ(r.version.build, QStringLiteral("23"));
    EXPECT_EQ(w.versionInfo().build, QStringLiteral("23"));
}

} // namespace
