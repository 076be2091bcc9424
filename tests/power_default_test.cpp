// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/backends.h"
#include "support/upowermock.h"

#include <gtest/gtest.h>

using namespace ampero;

namespace {

// The default choice of backend against a mock UPower put on the system bus
// address. The program's system-bus connection is made once per process, so
// this binary holds one test that walks through the cases in turn.
TEST(DefaultPowerSource, UPowerWhenItKnowsAPowerSupplyElseSysfs)
{
    if (!test::UPowerMockBus::haveDaemon())
        GTEST_SKIP() << "dbus-daemon is not installed";
    test::UPowerMockBus mock(QStringLiteral("ampero-default-test"));
    ASSERT_NO_FATAL_FAILURE(mock.startBus());
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", mock.address().toUtf8());
    ASSERT_NO_FATAL_FAILURE(mock.startMock());

    QString error;
    // UPower answers but knows no device: the sysfs reader is the default.
    auto source = createPowerSource(QString(), &error);
    ASSERT_TRUE(source) << error.toStdString();
    EXPECT_EQ(source->backendName(), QStringLiteral("sysfs"));
    // Asked for by name, UPower is used all the same.
    source = createPowerSource(QStringLiteral("upower"), &error);
    ASSERT_TRUE(source) << error.toStdString();
    EXPECT_EQ(source->backendName(), QStringLiteral("upower"));
    EXPECT_EQ(source->status().acLineStatus, PowerStatus::AcOnline);

    // With a battery UPower is the default.
    mock.addDischargingBattery(40.0, 50.0, 10.0, 1800);
    source = createPowerSource(QString(), &error);
    ASSERT_TRUE(source) << error.toStdString();
    EXPECT_EQ(source->backendName(), QStringLiteral("upower"));
    const PowerStatus s = source->status();
    EXPECT_EQ(s.acLineStatus, PowerStatus::AcOffline);
    EXPECT_EQ(s.batteryLifePercent, 40);
    EXPECT_EQ(s.batteryLifeTime, 1800u);
    source.reset();

    // UPower gone: asking for it is an error, the default falls back to sysfs.
    mock.stopMock();
    source = createPowerSource(QStringLiteral("upower"), &error);
    EXPECT_FALSE(source);
    EXPECT_EQ(error, QStringLiteral("UPower does not answer on the system bus."));
    source = createPowerSource(QString(), &error);
    ASSERT_TRUE(source) << error.toStdString();
    EXPECT_EQ(source->backendName(), QStringLiteral("sysfs"));
}

} // namespace
