// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/timetext.h"
#include "sysinfo/processorcount.h"

#include <QLocale>
#include <gtest/gtest.h>
#include <limits>

using namespace ampero;

struct TimeTextCase {
    const char* name;
    double seconds;
    const char* text;
};

class TimeText : public testing::TestWithParam<TimeTextCase> { };

TEST_P(TimeText, FormatsDayFractions)
{
    EXPECT_EQ(elapsedTimeText(GetParam().seconds / 86400.0).toStdString(), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Cases, TimeText,
    testing::Values(TimeTextCase { "zero", 0, "0:00:00" }, TimeTextCase { "one_second", 1, "0:00:01" },
        TimeTextCase { "hour_minute_second", 3909, "1:05:09" },
        TimeTextCase { "just_under_a_day", 86399, "23:59:59" },
        TimeTextCase { "one_day", 86400, "1 day 0:00:00" },
        TimeTextCase { "twenty_five_hours", 90000, "1 day 1:00:00" },
        TimeTextCase { "rounds_to_millisecond_first", 15199.9998, "4:13:20" },
        TimeTextCase { "negative_reads_zero", -5, "0:00:00" },
        TimeTextCase { "hundred_billion_days_shown_whole", 8.64e15, "100000000000 days 0:00:00" },
        TimeTextCase { "beyond_64_bit_milliseconds_not_available", 1e16, "N/A" },
        TimeTextCase { "huge_not_available", 1e300, "N/A" },
        TimeTextCase { "infinite_not_available", std::numeric_limits<double>::infinity(), "N/A" },
        TimeTextCase { "not_a_number_not_available", std::numeric_limits<double>::quiet_NaN(), "N/A" }),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TimeTextSeconds, KeepsWholeDays)
{
    EXPECT_EQ(elapsedTimeTextSeconds(90061), QStringLiteral("1 day 1:01:01"));
    EXPECT_EQ(elapsedTimeTextSeconds(3725), QStringLiteral("1:02:05"));
    EXPECT_EQ(elapsedTimeTextSeconds(4294967294u), QStringLiteral("49710 days 6:28:14"));
}

TEST(TimeTextSeconds, UsesColonsWhateverTheLocale)
{
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::Finnish)); // uses "." as time separator
    EXPECT_EQ(elapsedTimeText(3909 / 86400.0), QStringLiteral("1:05:09"));
    QLocale::setDefault(saved);
}

TEST(ProcessorCount, IsKeptBetweenOneAnd255)
{
    EXPECT_EQ(clampProcessorCount(0), 1);
    EXPECT_EQ(clampProcessorCount(-1), 1);
    EXPECT_EQ(clampProcessorCount(2), 2);
    EXPECT_EQ(clampProcessorCount(255), 255);
    EXPECT_EQ(clampProcessorCount(256), 255);
    EXPECT_GE(countProcessors(), 1);
}
