// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/usagebars.h"

#include <QLabel>
#include <QProgressBar>
#include <QWidget>
#include <gtest/gtest.h>

using namespace ampero;

TEST(UsageBarsWidget, OneBarPerProcessorLaidOutInTheGroup)
{
    QWidget group;
    group.resize(626, 100);
    QLabel label(QStringLiteral("0%"));
    UsageBars bars(&group, &label, 4);
    ASSERT_EQ(bars.bars().size(), 4);
    const int lefts[] = { 12, 164, 316, 468 };
    for (int i = 0; i < 4; ++i) {
        QProgressBar* bar = group.findChild<QProgressBar*>(QStringLiteral("UsageBar%1").arg(i));
        ASSERT_NE(bar, nullptr);
        EXPECT_EQ(bar->geometry(), QRect(lefts[i], 58, 147, 16));
        EXPECT_EQ(bar->minimum(), 0);
        EXPECT_EQ(bar->maximum(), 100);
        EXPECT_EQ(bar->value(), 0);
    }

    group.show();
    group.resize(1017, 100); // the group follows the window's width
    const int wide[] = { 12, 262, 512, 762 };
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(bars.bars()[i]->geometry(), QRect(wide[i], 58, 245, 16));
}

TEST(UsageBarsWidget, ShowsClampedPositionsAndTheAverage)
{
    QWidget group;
    group.resize(626, 100);
    QLabel label(QStringLiteral("0%"));
    UsageBars bars(&group, &label, 2);
    UsageDisplay d;
    d.positions = { -10, 130 };
    d.caption = QStringLiteral("60%");
    bars.show(d);
    EXPECT_EQ(bars.bars()[0]->value(), 0);
    EXPECT_EQ(bars.bars()[1]->value(), 100);
    EXPECT_EQ(label.text(), QStringLiteral("60%"));

    // A shorter result than there are bars touches only the bars it has.
    d.positions = { 40 };
    d.caption = QStringLiteral("40%");
    bars.show(d);
    EXPECT_EQ(bars.bars()[0]->value(), 40);
    EXPECT_EQ(bars.bars()[1]->value(), 100);
}

TEST(UsageBarsWidget, TooManyProcessorsLeaveOnlyTheAverage)
{
    QWidget group;
    group.resize(626, 100);
    group.show();
    QLabel label;
    UsageBars bars(&group, &label, 128);
    ASSERT_EQ(bars.bars().size(), 128);
    EXPECT_FALSE(bars.bars().front()->isVisible());
    group.resize(2000, 100); // (1983 / 128) - 5 = 10 px: bars come back
    EXPECT_TRUE(bars.bars().front()->isVisible());
    EXPECT_EQ(bars.bars()[127]->geometry(), QRect(127 * 15 + 12, 58, 10, 16));
}
