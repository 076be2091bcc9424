// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/screenshottour.h"

#include "ui/uAbout.h"
#include "ui/uMain.h"
#include "ui/uStartTest.h"
#include "ui/uTestProcess.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace ampero {

namespace {

void save(QWidget& w, const QString& dir, const char* name)
{
    const QString path = QDir(dir).filePath(QString::fromLatin1(name));
    if (!w.grab().save(path, "PNG"))
        std::fprintf(stderr, "ampero: cannot write %s\n", qPrintable(path));
}

// One window of the tour: shown, then photographed once it has had time to
// map and paint.
struct TourStep {
    std::function<void()> show;
    std::function<void()> shoot;
};

// Runs the steps one after the other on the application's event loop, then
// quits the program.
void runSteps(const std::shared_ptr<std::vector<TourStep>>& steps, std::size_t next, QObject* context)
{
    if (next >= steps->size()) {
        QApplication::quit();
        return;
    }
    (*steps)[next].show();
    QTimer::singleShot(300, context, [steps, next, context] {
        (*steps)[next].shoot();
        runSteps(steps, next + 1, context);
    });
}

} // namespace

void runScreenshotTour(TfMain& main, TfTestProcess& testing, const QString& dir)
{
    QDir().mkpath(dir);
    auto start = std::make_shared<std::unique_ptr<TfStartTest>>();
    auto about = std::make_shared<std::unique_ptr<TfAbout>>();
    auto steps = std::make_shared<std::vector<TourStep>>();
    steps->push_back({ [] {}, [&main, dir] { save(main, dir, "main.png"); } });
    steps->push_back({ [&main, start] {
                          *start = std::make_unique<TfStartTest>(&main);
                          (*start)->setTexts(QCoreApplication::translate("ampero", "normal"),
                              QCoreApplication::translate("ampero", "full"));
                          (*start)->show();
                      },
        [start, dir] {
            save(**start, dir, "starttest.png");
            start->reset();
        } });
    steps->push_back({ [&testing] { testing.show(); },
        [&main, &testing, dir] {
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
        } });
    steps->push_back({ [&main, about] {
                          *about = std::make_unique<TfAbout>(main.versionInfo(), nullptr, &main);
                          (*about)->show();
                      },
        [about, dir] {
            save(**about, dir, "about.png");
            about->reset();
        } });
    runSteps(steps, 0, &main);
}

} // namespace ampero
