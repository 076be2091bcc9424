// SPDX-License-Identifier: GPL-3.0-or-later
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#ifdef AMPERO_TEST_WIDGETS
#include <QApplication>
using TestApplication = QApplication;
#else
#include <QCoreApplication>
using TestApplication = QCoreApplication;
#endif

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    // The same surroundings on every machine, whether ctest or a person
    // starts the binary: no display needed, one locale, and the power
    // backend chosen by each test rather than by the caller's environment.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("LC_ALL", "C.UTF-8");
    qunsetenv("AMPERO_POWER_SOURCE");
    QStandardPaths::setTestModeEnabled(true);
    // The battery history of the program and of every program a test
    // starts goes to a folder of this run's, never the user's.
    const QTemporaryDir dataHome;
    qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome.path()));
    qunsetenv("AMPERO_DATABASE");
    TestApplication app(argc, argv);
    // Settings (the recent files) go to a folder of this run's own, never
    // to the user's.
    const QTemporaryDir settings;
    for (const auto format : { QSettings::NativeFormat, QSettings::IniFormat })
        for (const auto scope : { QSettings::UserScope, QSettings::SystemScope })
            QSettings::setPath(format, scope, settings.path());
    return RUN_ALL_TESTS();
}
