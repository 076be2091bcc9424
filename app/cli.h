// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The modes of the program that need no display. Each returns the process's
// exit status. Options are those parsed by main().
#include <QByteArray>
#include <QString>
#include <QStringList>

namespace ampero {

struct CliOptions {
    QString powerSource; // --power-source, or AMPERO_POWER_SOURCE, or empty for the default
    QString runMode; // --run fast|normal
    bool noLoad = false; // --no-load
    QString workload; // --workload NAME, empty for full load
    QString brightness; // --brightness PERCENT, empty to leave the screen's brightness as it is
    // Results files, as the bytes the command line gave (a file:// URL
    // already turned into its path): a name need not be valid text.
    QByteArray output; // --output FILE
    QByteArray reportFile; // --report FILE
    bool json = false; // --json
    QByteArray exportCsv; // --export-csv FILE
    bool info = false; // --info
    bool checkUpdate = false; // --check-update
    bool compare = false; // --compare FILE...
    bool normalize = false; // --normalize
    QString database; // --database URL, or AMPERO_DATABASE; empty for the local history alone
    bool record = false; // --record
    bool import = false; // --import DIR
    QString importFolder;
    bool history = false; // --history
    bool fleet = false; // --fleet
    bool allMachines = false; // --all-machines
    QString since; // --since DATE
    QStringList positional;
};

int runTerminalTest(const CliOptions& options); // --run
int runReport(const CliOptions& options); // --report, --json, --export-csv
int runInfo(const CliOptions& options); // --info
int runCheckUpdate(const CliOptions& options); // --check-update
int runCompare(const CliOptions& options); // --compare, with --json and --normalize
int runRecord(const CliOptions& options); // --record
int runImport(const CliOptions& options); // --import
int runHistory(const CliOptions& options); // --history, with --json, --since and --all-machines
int runFleet(const CliOptions& options); // --fleet, with --json

} // namespace ampero
