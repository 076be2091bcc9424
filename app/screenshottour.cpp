// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/screenshottour.h"

#include "ui/uAbout.h"
#include "ui/uMain.h"
#include "ui/uStartTest.h"
#include "ui/uTestProcess.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <cstdio>

namespace ampero {

namespace {

void settle()
{
    // Let the window map and paint before it is photographed.
    QEventLoop loop;
    QTimer::singleShot(300, &loop, &QEventLoop::quit);
    loop.exec();
}

void save(QWidget& w, const QString& dir, const char* name)
{
    const QString path = QDir(dir).filePath(QString::fromLatin1(name));
    if (!w.grab().save(path, "PNG"))
        std::fprintf(stderr, "ampero: cannot write %s\n", qPrintable(path));
}

} // namespace

void runScreenshotTour(TfMain& main, TfTestProcess& testing, const QString& dir)
{
    QDir().mkpath(dir);
    settle();
    save(main, dir, "main.png");

    {
        TfStartTest start(&main);
        start.setTexts(
            QCoreApplication::translate("ampero", "normal"), QCoreApplication::translate("ampero", "full"));
        start.show();
        settle();
        save(start, dir, "starttest.png");
    }

    testing.show();
    settle();
    save(testing, dir, "testing.png");
    // The testing window over the main window, as the screen shows them.
    if (QScreen* screen = main.screen()) {
        const QRect area = main.frameGeometry();
        const QPixmap both = screen->grabWindow(0, area.x(), area.y(), area.width(), area.height());
        const QString path = QDir(dir).filePath(QStringLiteral("main-testing.png"));
        if (!both.save(path, "PNG"))
            std::fprintf(stderr, "ampero: cannot write %s\n", qPrintable(path));
    }
    testing.hide();

    {
        TfAbout about(main.versionInfo(), nullptr, &main);
        about.show();
        settle();
        save(about, dir, "about.png");
    }
    QApplication::quit();
}

} // namespace ampero
