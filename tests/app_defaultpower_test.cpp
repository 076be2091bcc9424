// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/backends.h"
#include "support/upowertestbed.h"

#include <gtest/gtest.h>

using namespace ampero;

namespace {

// The default choice of backend against the real upowerd, whose private bus
// stands in for the system bus. The program's system-bus connection is made
// once per process, so this binary holds one test that walks through the
// cases in turn.
class DefaultPowerSource : public test::UPowerDaemonTest { };

TEST_F(DefaultPowerSource, UPowerWhenItKnowsAPowerSupplyElseSysfs)
{
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", bed.address().toUtf8());
    ASSERT_NO_FATAL_FAILURE(bed.startDaemon());

    QString error;
    // UPower answers but knows no device: the sysfs reader is the default.
    auto source = createPowerSource(QString(), &error);
    ASSERT_TRUE(source) << error.toStdString();
    EXPECT_EQ(source->backendName(), QStringLiteral("sysfs"));
    // Asked for by name, UPower is used all the same.
    source = createPowerSource(QStringLiteral("upower"), &error);
    ASSERT_TRUE(source) << error.toStdString();
    EXPECT_EQ(source->backendName(), QStringLiteral("upower"));
    EXPECT_EQ(source->status().line, PowerLine::Mains);

    // With a battery UPower is the default.
    bed.add(QStringLiteral("BAT0"), test::energyBattery(20, 50, 10));
    ASSERT_TRUE(QTest::qWaitFor([&] { return source->status().level == 40; }, 10000));
    source = createPowerSource(QString(), &error);
    ASSERT_TRUE(source) << error.toStdString();
    EXPECT_EQ(source->backendName(), QStringLiteral("upower"));
    const PowerStatus s = source->status();
    EXPECT_EQ(s.line, PowerLine::Battery);
    EXPECT_EQ(s.level, 40);
    EXPECT_EQ(s.timeLeft, std::chrono::seconds(7200));
    source.reset();

    // UPower gone: asking for it is an error, the default falls back to sysfs.
    bed.stopDaemon();
    source = createPowerSource(QStringLiteral("upower"), &error);
    EXPECT_FALSE(source);
    EXPECT_EQ(error, QStringLiteral("UPower does not answer on the system bus."));
    source = createPowerSource(QString(), &error);
    ASSERT_TRUE(source) << error.toStdString();
    EXPECT_EQ(source->backendName(), QStringLiteral("sysfs"));
}

} // namespace
