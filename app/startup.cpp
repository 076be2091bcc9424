#include "app/startup.h"
#include "app/backends.h"

#include <QApplication>
#include <QMainWindow>
#include <QStatusBar>
#include <cstdio>

namespace ampero {

int runGui(const CliOptions& options)
{
    QString error;
    const auto power = createPowerSource(options.powerSource, &error);
    if (!power) {
        std::fprintf(stderr, "ampero: %s\n", qPrintable(error));
        return 2;
    }

    // Placeholder until the main window lands: an empty window whose status
    // bar follows the power level.
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Orvex Ampero"));
    window.resize(640, 480);
    const auto showPower = [&window, src = power.get()] {
        const PowerStatus s = src->status();
        window.statusBar()->showMessage(QStringLiteral("%1: AC %2, %3%")
                                            .arg(src->backendName())
                                            .arg(s.acLineStatus)
                                            .arg(s.batteryLifePercent));
    };
    QObject::connect(power.get(), &PowerSource::powerChanged, &window, showPower);
    showPower();
    window.show();
    return QApplication::exec();
}

} // namespace ampero
