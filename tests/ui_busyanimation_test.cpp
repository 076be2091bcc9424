// SPDX-License-Identifier: GPL-3.0-or-later
// The busy animation: it plays only while it can be seen, and its frames are
// opaque so a frame repaints nothing behind it.
#include "support/testutil.h"
#include "ui/busyanimation.h"

#include <QApplication>
#include <QImage>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using ampero::BusyAnimation;

namespace {

QImage grab(QWidget& w)
{
    return w.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

} // namespace

TEST(BusyAnimation, ReadsEveryFrameOfTheBusyImage)
{
    BusyAnimation a;
    ASSERT_TRUE(a.load(QStringLiteral(":/busy.gif")));
    EXPECT_EQ(a.frameCount(), 31);
    for (int i = 0; i < a.frameCount(); ++i)
        EXPECT_EQ(a.frameDelay(i), 50) << i;
    EXPECT_EQ(a.loopCount(), -1);
    EXPECT_EQ(a.sizeHint(), QSize(32, 32));
}

TEST(BusyAnimation, AnUnreadableFileKeepsTheFramesItHas)
{
    BusyAnimation a;
    ASSERT_TRUE(a.load(QStringLiteral(":/busy.gif")));
    QTemporaryDir dir;
    const QString broken = dir.filePath(QStringLiteral("broken.gif"));
    QFile f(broken);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("GIF89a not really");
    f.close();
    QString error;
    EXPECT_FALSE(a.load(broken, &error));
    EXPECT_TRUE(error.contains(broken)) << error.toStdString();
    EXPECT_FALSE(a.load(dir.filePath(QStringLiteral("missing.gif")), &error));
    EXPECT_EQ(a.frameCount(), 31);
    EXPECT_EQ(a.fileName(), QStringLiteral(":/busy.gif"));
}

TEST(BusyAnimation, PlaysOnlyWhileShownExposedAndNotPaused)
{
    QWidget top;
    top.resize(100, 60);
    auto* a = new BusyAnimation(&top);
    ASSERT_TRUE(a->load(QStringLiteral(":/busy.gif")));
    a->setGeometry(14, 7, 32, 32);
    QSignalSpy changes(a, &BusyAnimation::runningChanged);
    EXPECT_FALSE(a->isRunning()); // not shown yet

    top.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&top));
    EXPECT_TRUE(a->isRunning());
    // Three frames of 50 ms: the picture moves on.
    EXPECT_TRUE(QTest::qWaitFor([&] { return a->currentFrame() >= 3; }, 2000));

    a->setPaused(true);
    EXPECT_FALSE(a->isRunning());
    const int held = a->currentFrame();
    QTest::qWait(200);
    EXPECT_EQ(a->currentFrame(), held); // paused: the frame stays
    a->setPaused(false);
    EXPECT_TRUE(a->isRunning());

    // The window leaves the screen: no frames; back again, they go on.
    top.hide();
    EXPECT_FALSE(a->isRunning());
    top.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&top));
    EXPECT_TRUE(a->isRunning());

    // Other windows cover it wholly: no frames; partly uncovered, they go on.
    ampero::test::sendVisibilityNotice(top.winId(), true);
    EXPECT_FALSE(a->isRunning());
    ampero::test::sendVisibilityNotice(top.winId(), false);
    EXPECT_TRUE(a->isRunning());
    const int before = a->currentFrame();
    EXPECT_TRUE(QTest::qWaitFor([&] { return a->currentFrame() != before; }, 2000));

    a->hide();
    EXPECT_FALSE(a->isRunning());
    EXPECT_GE(changes.count(), 8);
}

TEST(BusyAnimation, FramesAreOpaqueOverTheBackgroundColour)
{
    QWidget top;
    QPalette pal = top.palette();
    pal.setColor(QPalette::Window, QColor(10, 200, 30));
    top.setPalette(pal);
    top.resize(60, 60);
    auto* a = new BusyAnimation(&top);
    ASSERT_TRUE(a->load(QStringLiteral(":/busy.gif")));
    a->setGeometry(0, 0, 32, 32);
    EXPECT_TRUE(a->testAttribute(Qt::WA_OpaquePaintEvent));
    // The corner is transparent in every frame: it shows the window's colour.
    QImage shot = grab(*a);
    EXPECT_EQ(shot.pixelColor(0, 0), QColor(10, 200, 30));
    // A ring of grey dots: some pixel is a grey darker than the background.
    bool grey = false;
    for (int y = 0; y < 32 && !grey; ++y)
        for (int x = 0; x < 32 && !grey; ++x) {
            const QColor c = shot.pixelColor(x, y);
            grey = c.red() == c.green() && c.green() == c.blue() && c.red() < 200;
        }
    EXPECT_TRUE(grey);

    // A new palette lays the frames over the new colour.
    pal.setColor(QPalette::Window, QColor(240, 240, 240));
    top.setPalette(pal);
    EXPECT_EQ(grab(*a).pixelColor(0, 0), QColor(240, 240, 240));
}
