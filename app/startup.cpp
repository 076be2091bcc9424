#include "app/startup.h"

#include "app/backends.h"
#include "app/screenshottour.h"
#include "session/sessionports.h"
#include "sysinfo/processorcount.h"
#include "ui/desktopurlopener.h"
#include "ui/uMain.h"
#include "ui/uTestProcess.h"

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLocale>
#include <QTimer>
#include <cstdio>

namespace ampero {

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("ampero", text);
}

} // namespace

TimeFormatSettings makeTimeFormatSettings()
{
    return {QStringLiteral("h:mm:ss"), QStringLiteral("h:mm:ss"), QLatin1Char(':')};
}

QString cpuSpeedText(double mhz)
{
    // The user's decimal mark, no digit grouping.
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return QLatin1Char('(') + locale.toString(mhz, 'f', 2) + QStringLiteral(" MHz)");
}

void applyStartupPowerStatus(MainView& view, const PowerStatus& status)
{
    if (status.acLineStatus == PowerStatus::AcOffline) {
        view.setModeText(tr("powered by battery"));
        view.setLevelText(QString::number(status.batteryLifePercent) + QLatin1Char('%'));
        const bool ready = status.batteryLifePercent >= 10;
        view.setActionText(ready ? tr("ready for test") : tr("not ready for test"));
        view.setTestsEnabled(ready);
        return;
    }
    // AC or unknown: the level label keeps what it shows.
    view.setModeText(status.acLineStatus == PowerStatus::AcOnline ? tr("powered by AC") : tr("unknown"));
    view.setActionText(tr("testing disabled"));
    view.setTestsEnabled(false);
}

StartupSteps defaultStartupSteps()
{
    StartupSteps s;
    s.getBatteryInfo = [] {};
    s.initProcessorUsage = [](TfMain&, int) {};
    s.cpuBrandString = [] { return QStringLiteral("Unknown"); };
    s.measureCpuClock = [] { return 0.0; };
    s.powerCheck = [](MainView& view, PowerSource& power) { applyStartupPowerStatus(view, power.status()); };
    s.resetSession = [] {};
    return s;
}

StartupResult formCreate(TfMain& window, PowerSource& power, const StartupSteps& steps)
{
    StartupResult r;
    // 1. The program's own time format.
    r.timeFormat = makeTimeFormatSettings();
    // 2. ReadVersionInfo.
    r.version = readVersionInfo();
    window.setVersionInfo(r.version);
    // 3. Battery identity and capacity.
    if (steps.getBatteryInfo)
        steps.getBatteryInfo();
    // 4. Titles.
    const QString title = applicationTitle(r.version);
    QGuiApplication::setApplicationDisplayName(title);
    window.setWindowTitle(title);
    // 5, 6. Processor count, usage sampler and bars.
    const int n = GetProcessorCount();
    if (steps.initProcessorUsage)
        steps.initProcessorUsage(window, n);
    // 7. CPUUsagTimer runs from now to the end.
    window.cpuUsagTimer()->start();
    // 8. Processor name, leading spaces removed; the clock label follows it.
    QString brand = steps.cpuBrandString ? steps.cpuBrandString() : QString();
    qsizetype lead = 0;
    while (lead < brand.size() && brand.at(lead) == QLatin1Char(' '))
        ++lead;
    window.setCpuName(brand.mid(lead));
    // 9. Processor clock.
    window.setCpuSpeedText(cpuSpeedText(steps.measureCpuClock ? steps.measureCpuClock() : 0.0));
    // 10. Power check.
    if (steps.powerCheck)
        steps.powerCheck(window, power);
    // 11, 13. Session state reset.
    if (steps.resetSession)
        steps.resetSession();
    // 12. No zooming or panning until results are read.
    window.setInteractive(false);
    return r;
}

int runGui(const CliOptions& options)
{
    QElapsedTimer sinceStart;
    sinceStart.start();
    QGuiApplication::setApplicationDisplayName(QStringLiteral("Orvex Ampero"));

    QString error;
    std::unique_ptr<PowerSource> power = createPowerSource(options.powerSource, &error);
    if (!power) {
        std::fprintf(stderr, "ampero: %s\n", qPrintable(error));
        return 2;
    }

    DesktopUrlOpener urlOpener;
    TfMain fMain(&urlOpener);
    formCreate(fMain, *power, defaultStartupSteps());
    TfTestProcess fTestProcess(&fMain);
    fTestProcess.hide();

    // AMPERO_STARTUP_MARK: say on stderr when the window first shows, for
    // measuring start-up time.
    if (qEnvironmentVariableIsSet("AMPERO_STARTUP_MARK")) {
        QObject::connect(&fMain, &TfMain::firstShown, &fMain, [&sinceStart] {
            std::fprintf(stderr, "ampero: main window shown after %lld ms\n", static_cast<long long>(sinceStart.elapsed()));
            std::fflush(stderr);
        });
    }
    const QString shotDir = qEnvironmentVariable("AMPERO_SCREENSHOT_DIR");
    if (!shotDir.isEmpty())
        QObject::connect(&fMain, &TfMain::firstShown, &fMain,
                         [&] { QTimer::singleShot(200, &fMain, [&] { runScreenshotTour(fMain, fTestProcess, shotDir); }); });

    fMain.show();
    return QApplication::exec();
}

} // namespace ampero
