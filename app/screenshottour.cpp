// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/screenshottour.h"

#include "core/logging.h"
#include "platform/urlopener.h"
#include "results/companionfile.h"
#include "results/evaluation.h"
#include "results/resultsformat.h"
#include "session/sessionports.h"
#include "ui/aboutdialog.h"
#include "ui/mainwindow.h"
#include "ui/resultswindow.h"
#include "ui/starttestdialog.h"
#include "ui/testprogressdialog.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFont>
#include <QPalette>
#include <QPixmap>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <cmath>
#include <functional>
#include <memory>
#include <vector>

namespace ampero {

namespace {

void save(QWidget& w, const QString& dir, const char* name)
{
    const QString path = QDir(dir).filePath(QString::fromLatin1(name));
    if (!w.grab().save(path, "PNG"))
        qCWarning(lcApp, "screenshot tour: cannot write %s", qUtf8Printable(path));
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

// A fast test of 15 minutes with its companion: 45 Wh falling at a power
// that wanders between 9 and 13 W, for the pictures of the energy figures.
QString writeDemoTest(const QTemporaryDir& dir)
{
    const QByteArray apr = QFile::encodeName(dir.filePath(QStringLiteral("demo.apr")));
    ResultsWriter results;
    CompanionWriter companion;
    CompanionSetup setup;
    setup.batteryEnergyFullDesignWh = 57.0;
    setup.batteryEnergyFullWh = 51.3;
    if (!results.create(apr.toStdString(), 1, 1, 16200) || !companion.create(companionPath(apr), setup))
        return {};
    double energy = 45.0;
    std::array<double, 3> changes {};
    int changed = 0;
    int last = -1;
    for (int k = 0; k < 900; ++k) {
        EnergySample s;
        s.seconds = k;
        s.powerW = 11.0 + 1.5 * std::sin(k / 40.0) + 0.5 * std::sin(k * 1.7);
        energy -= *s.powerW / 3600.0;
        s.energyWh = energy;
        s.level = static_cast<int>(std::lround(energy / 51.3 * 100.0));
        if (last >= 0 && s.level != last && changed < 3)
            changes[changed++] = k * TimeStep;
        last = s.level;
        results.appendSample(static_cast<uint8_t>(s.level));
        companion.append(s);
    }
    results.finish(&changes, 57000, 0);
    companion.finish();
    return QFile::decodeName(apr);
}

// The chart with the power series, and the results window with its energy
// group, for a demo test with a companion.
void addEnergySteps(std::vector<TourStep>& steps, MainWindow& main, const QString& dir)
{
    struct Demo {
        QTemporaryDir files;
        ResultsEvaluation evaluation;
        FakeUrlOpener urls;
        std::unique_ptr<ResultsWindow> window;
    };
    auto demo = std::make_shared<Demo>();
    QAction* showPower = main.showPowerAction();
    steps.push_back({ [&main, demo, showPower] {
                         demo->evaluation = evaluateResultsFile(writeDemoTest(demo->files));
                         if (!demo->evaluation.ok || !showPower)
                             return;
                         showOnChart(demo->evaluation, main);
                         showPower->setChecked(true);
                     },
        [&main, dir] { save(main, dir, "main-power.png"); } });
    steps.push_back({ [&main, demo] {
                         demo->window = std::make_unique<ResultsWindow>(demo->urls, &main);
                         demo->window->showEvaluation(demo->evaluation);
                         demo->window->show();
                     },
        [&main, demo, showPower, dir] {
            save(*demo->window, dir, "results-energy.png");
            demo->window.reset();
            if (showPower)
                showPower->setChecked(false);
            main.clearSeries();
        } });
}

} // namespace

void applyScreenshotLook()
{
    bool ok = false;
    const int points = qEnvironmentVariableIntValue("AMPERO_SCREENSHOT_FONT_PT", &ok);
    if (ok && points > 0) {
        QFont font = QApplication::font();
        font.setPointSize(points);
        QApplication::setFont(font);
    }
    if (qEnvironmentVariableIntValue("AMPERO_SCREENSHOT_DARK") == 1) {
        QApplication::setStyle(QStringLiteral("Fusion"));
        QPalette dark;
        const QColor window(53, 53, 53), base(35, 35, 35), text(220, 220, 220);
        dark.setColor(QPalette::Window, window);
        dark.setColor(QPalette::WindowText, text);
        dark.setColor(QPalette::Base, base);
        dark.setColor(QPalette::AlternateBase, window);
        dark.setColor(QPalette::Text, text);
        dark.setColor(QPalette::Button, window);
        dark.setColor(QPalette::ButtonText, text);
        dark.setColor(QPalette::Highlight, QColor(42, 130, 218));
        dark.setColor(QPalette::HighlightedText, Qt::black);
        dark.setColor(QPalette::Link, QColor(110, 170, 255));
        dark.setColor(QPalette::ToolTipBase, base);
        dark.setColor(QPalette::ToolTipText, text);
        dark.setColor(QPalette::Disabled, QPalette::Text, QColor(127, 127, 127));
        dark.setColor(QPalette::Disabled, QPalette::WindowText, QColor(127, 127, 127));
        dark.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(127, 127, 127));
        QApplication::setPalette(dark);
    }
}

void runScreenshotTour(MainWindow& main, TestProgressDialog& testing, const QString& dir)
{
    QDir().mkpath(dir);
    auto start = std::make_shared<std::unique_ptr<StartTestDialog>>();
    auto about = std::make_shared<std::unique_ptr<AboutDialog>>();
    auto steps = std::make_shared<std::vector<TourStep>>();
    steps->push_back({ [] {}, [&main, dir] { save(main, dir, "main.png"); } });
    steps->push_back({ [&main, start] {
                          *start = std::make_unique<StartTestDialog>(&main);
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
                // Wayland lets no client read the screen; the compositor's
                // own pictures show the windows together there.
                if (both.isNull())
                    qCInfo(lcApp, "screenshot tour: %s cannot read the screen, no main-testing.png",
                        qUtf8Printable(QGuiApplication::platformName()));
                else if (!both.save(path, "PNG"))
                    qCWarning(lcApp, "screenshot tour: cannot write %s", qUtf8Printable(path));
            }
            testing.hide();
        } });
    steps->push_back({ [&main, about] {
                          *about = std::make_unique<AboutDialog>(main.versionInfo(), nullptr, &main);
                          (*about)->show();
                      },
        [about, dir] {
            save(**about, dir, "about.png");
            about->reset();
        } });
    addEnergySteps(*steps, main, dir);
    runSteps(steps, 0, &main);
}

} // namespace ampero
