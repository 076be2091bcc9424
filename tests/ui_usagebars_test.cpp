// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/procstattimes.h"
#include "support/testutil.h"
#include "ui/usagebars.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace ampero;

TEST(UsageBarsWidget, OneBarPerProcessorSideBySideInTheGroup)
{
    QWidget group;
    group.resize(626, 100);
    QLabel label(QStringLiteral("0%"));
    UsageBars bars(&group, &label, 4);
    ASSERT_EQ(bars.bars().size(), 4);
    group.show();
    for (const int width : { 626, 1017 }) { // the group follows the window's width
        group.resize(width, 100);
        QApplication::sendPostedEvents();
        for (int i = 0; i < 4; ++i) {
            QProgressBar* bar = group.findChild<QProgressBar*>(QStringLiteral("UsageBar%1").arg(i));
            ASSERT_NE(bar, nullptr);
            EXPECT_TRUE(bar->isVisible());
            EXPECT_EQ(
                bar->accessibleName(), QStringLiteral("Processor %1").arg(i + 1)); // for a screen reader
            EXPECT_EQ(bar->value(), 0);
            EXPECT_NEAR(bar->width(), width / 4, 12);
            EXPECT_TRUE(group.rect().contains(bar->geometry()));
            if (i > 0) {
                EXPECT_GT(bar->x(), bars.bars()[i - 1]->geometry().right());
            }
        }
    }
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

TEST(UsageBarsWidget, NewValuesRepaintOnlyTheBarsNotTheGroupBehind)
{
    QGroupBox group(QStringLiteral("Processor"));
    auto* label = new QLabel(QStringLiteral("0%"), &group);
    (new QVBoxLayout(&group))->addWidget(label);
    group.resize(626, 100);
    UsageBars bars(&group, label, 2);
    group.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&group));
    UsageDisplay d;
    d.caption = QStringLiteral("0%");
    bars.show(d); // the first figure sizes its label once
    QApplication::processEvents();
    test::PaintCounter paints;
    group.installEventFilter(&paints);
    for (int i = 1; i < 5; ++i) {
        d.positions = { i * 7, i * 3 };
        bars.show(d);
        QApplication::sendPostedEvents();
    }
    EXPECT_EQ(paints.paints, 0);
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
    group.resize(2000, 100); // room for 128 bars again: they come back
    QApplication::sendPostedEvents();
    EXPECT_TRUE(bars.bars().front()->isVisible());
    EXPECT_GE(bars.bars()[127]->width(), MinimumBarWidth);
}

namespace {

// The kernel's /proc/stat from a file, with a tick counter set by hand.
class StatFileTimes final : public ProcessorTimesSource {
public:
    explicit StatFileTimes(const QString& path)
        : m_stat(path)
    {
    }
    std::optional<ProcessorSnapshot> snapshot() override { return m_stat.snapshot(); }
    std::chrono::milliseconds tickCount() override { return tick; }
    std::chrono::milliseconds tick { 0 };

private:
    ProcStatTimes m_stat;
};

} // namespace

TEST(UsageBarsWidget, WithSmtOffEachBarShowsAnOnlineProcessor)
{
    // SMT switched off: processors 0, 2, 4 and 6 are online (the online list
    // "0,2,4,6" gives four bars), and /proc/stat has a row for each of them
    // only. Over one second cpu0 is busy, cpu2 idle, cpu4 half and cpu6 30 %
    // busy.
    const long hz = sysconf(_SC_CLK_TCK);
    const auto stat = [hz](const int busyPercent[4], int seconds) -> QByteArray {
        QByteArray text = "cpu  0 0 0 0 0 0 0 0 0 0\n";
        for (int k = 0; k < 4; ++k) {
            const long user = hz * seconds * busyPercent[k] / 100;
            const long idle = hz * seconds - user;
            text += "cpu" + QByteArray::number(2 * k) + ' ' + QByteArray::number(user) + " 0 0 "
                + QByteArray::number(idle) + " 0 0 0 0 0 0\n";
        }
        return text + "intr 0\nctxt 0\n";
    };
    const int none[4] = { 0, 0, 0, 0 };
    const int busy[4] = { 100, 0, 50, 30 };
    QTemporaryDir dir;
    const QString path = test::writeFile(dir, QStringLiteral("stat"), stat(none, 0));
    StatFileTimes times(path);
    const int online = 4;
    UsageMeter meter(times, online);
    meter.start();
    test::writeFile(dir, QStringLiteral("stat"), stat(busy, 1));
    times.tick = std::chrono::seconds(1);

    QWidget group;
    group.resize(626, 100);
    QLabel label(QStringLiteral("0%"));
    UsageBars bars(&group, &label, online);
    const auto display = meter.tick();
    ASSERT_TRUE(display);
    bars.show(*display);
    QList<int> shown;
    for (const QProgressBar* bar : bars.bars())
        shown << bar->value();
    EXPECT_EQ(shown, (QList<int> { 100, 0, 50, 30 }));
    EXPECT_EQ(label.text().toStdString(), "45%"); // 180 / 4 online processors

    // cpu6 goes offline: its bar reads 0 and the average is of the three left.
    QByteArray three = stat(busy, 2);
    three.truncate(three.indexOf("cpu6"));
    test::writeFile(dir, QStringLiteral("stat"), QByteArray(three + "intr 0\n"));
    times.tick = std::chrono::seconds(2);
    const auto after = meter.tick();
    ASSERT_TRUE(after);
    bars.show(*after);
    EXPECT_EQ(bars.bars()[3]->value(), 0);
    EXPECT_EQ(label.text().toStdString(), "50%"); // 150 / 3
}
