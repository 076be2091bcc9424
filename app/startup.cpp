#include "app/startup.h"

#include <QApplication>
#include <QMainWindow>

namespace ampero {

int runGui(const CliOptions& /*options*/)
{
    // Placeholder until the main window lands: an empty window.
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Orvex Ampero"));
    window.resize(640, 480);
    window.show();
    return QApplication::exec();
}

} // namespace ampero
