// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli.h"
#include "app/startup.h"
#include "session/runentry.h"
#include "ui/x11frames.h"
#include "version.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <cstdio>
#include <memory>
#include <optional>

using namespace ampero;

namespace {

void installTranslator(QCoreApplication& app)
{
    auto* translator = new QTranslator(&app);
    // The English table is built in; a translation for the user's locale replaces it.
    if (translator->load(QLocale(), QStringLiteral("ampero"), QStringLiteral("_"), QStringLiteral(":/i18n"))
        || translator->load(QStringLiteral(":/i18n/ampero_en.qm")))
        app.installTranslator(translator);
}

bool wantsTerminal(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray a(argv[i]);
        for (const char* opt : { "--run", "--report", "--json", "--export-csv", "--info", "--check-update",
                 "--compare", "--record", "--import", "--history", "--fleet", "--help", "-h", "--version",
                 "-v", "--help-all" })
            if (a == opt || a.startsWith(QByteArray(QByteArray(opt) + "=")))
                return true;
    }
    return false;
}

// The value of a file option exactly as the command line gave it: a file
// name is bytes, and the parser's text form would replace the bytes that are
// not valid UTF-8. The last one given wins, as with the parser; "--" ends the
// options.
QByteArray rawOptionValue(int argc, char** argv, const char* name)
{
    const QByteArray option = QByteArray("--") + name;
    QByteArray value;
    for (int i = 1; i < argc; ++i) {
        const QByteArray a(argv[i]);
        if (a == "--")
            break;
        if (a == option && i + 1 < argc)
            value = QByteArray(argv[++i]);
        else if (a.startsWith(QByteArray(option + '=')))
            value = a.mid(option.size() + 1);
    }
    return value;
}

// The first argument that is a malformed file:// URL, if any: it names no
// file, and the program refuses it rather than guess one.
std::optional<QByteArray> malformedFileUrl(const QList<QByteArray>& arguments)
{
    for (const QByteArray& a : arguments)
        if (isMalformedFileUrl(a))
            return a;
    return std::nullopt;
}

// The battery history's options.
struct HistoryOptions {
    QCommandLineOption database { QStringLiteral("database"),
        QStringLiteral(
            "The shared battery history: postgresql://user@host:port/database (or AMPERO_DATABASE). "
            "Without it the history stays in the user's data folder."),
        QStringLiteral("url") };
    QCommandLineOption record { QStringLiteral("record"),
        QStringLiteral("Record one snapshot of the battery in the history.") };
    QCommandLineOption import { QStringLiteral("import"),
        QStringLiteral("Add every results file under the folder to the history (each once)."),
        QStringLiteral("folder") };
    QCommandLineOption history { QStringLiteral("history"),
        QStringLiteral("Print this machine's battery snapshots and runs (with --json: one JSON object).") };
    QCommandLineOption since { QStringLiteral("since"),
        QStringLiteral("With --history: from this date on (YYYY-MM-DD)."), QStringLiteral("date") };
    QCommandLineOption allMachines { QStringLiteral("all-machines"),
        QStringLiteral("With --history: every machine in the history.") };
    QCommandLineOption fleet { QStringLiteral("fleet"),
        QStringLiteral("Print one line per machine in the history: model, health, cycles, runs, last run.") };

    QList<QCommandLineOption> all() const
    {
        return { database, record, import, history, since, allMachines, fleet };
    }
    void read(const QCommandLineParser& parser, CliOptions& options) const
    {
        options.database
            = parser.isSet(database) ? parser.value(database) : qEnvironmentVariable("AMPERO_DATABASE");
        options.record = parser.isSet(record);
        options.import = parser.isSet(import);
        options.importFolder = parser.value(import);
        options.history = parser.isSet(history);
        options.fleet = parser.isSet(fleet);
        options.allMachines = parser.isSet(allMachines);
        options.since = parser.value(since);
    }
};

std::optional<int> runHistoryMode(const CliOptions& options)
{
    if (options.record)
        return runRecord(options);
    if (options.import)
        return runImport(options);
    if (options.history)
        return runHistory(options);
    if (options.fleet)
        return runFleet(options);
    return std::nullopt;
}

// The application object: a plain one for the terminal modes, which run
// without a display and never touch the window system; a widget one else.
std::unique_ptr<QCoreApplication> makeApplication(int& argc, char** argv)
{
    std::unique_ptr<QCoreApplication> app;
    if (wantsTerminal(argc, argv))
        app = std::make_unique<QCoreApplication>(argc, argv);
    else {
        // On X11, Qt hands each repaint over in shared memory and then waits
        // for the server to confirm it, which wakes the program twice per
        // frame of the busy animation. Our repaints are small, so sending
        // them over the socket costs less: about 40 % of the wake-ups and
        // half the CPU time during a test. The user's own setting wins.
        if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM"))
            qputenv("QT_XCB_NO_MITSHM", "1");
        app = std::make_unique<QApplication>(argc, argv);
        // The id of the installed desktop entry (resources/), before any window
        // exists: Wayland takes it as the windows' application id, so the task
        // switcher and the dock find the entry's name and icon.
        QGuiApplication::setDesktopFileName(QStringLiteral("org.orvex.ampero"));
        ampero::enlargeX11SendBuffer();
    }
    return app;
}

} // namespace

int main(int argc, char** argv)
{
    const std::unique_ptr<QCoreApplication> app = makeApplication(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Orvex Ampero"));
    QCoreApplication::setOrganizationName(QStringLiteral("Orvex"));
    QCoreApplication::setApplicationVersion(QStringLiteral(AMPERO_VERSION_STRING));
    installTranslator(*app);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Battery benchmark for laptops.\n\n"
                       "A results file may be given as a path or as a file:// URL.\n"
                       "Exit status of --run: 0 after a regular end; 1 when interrupted (Ctrl+C, SIGTERM,\n"
                       "SIGHUP, AC power); 2 when the test cannot start (on AC, below 10 %, a bad file or\n"
                       "one another test is writing); 4 when the results file could not be written (a full\n"
                       "disk, an I/O error): the test ended at once and its file is incomplete.\n"
                       "--report and --export-csv exit 2 on a bad file; --check-update exits 3 when the\n"
                       "update information cannot be read."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption powerOpt(QStringLiteral("power-source"),
        QStringLiteral("Power backend: upower, sysfs[:DIR] or sim[:N][,KEY=VALUE...] (a simulated battery "
                       "losing 1 % every N seconds; see the README for its settings)."),
        QStringLiteral("source"));
    const QCommandLineOption runOpt(QStringLiteral("run"),
        QStringLiteral("Run one test in the terminal: fast or normal."), QStringLiteral("mode"));
    const QCommandLineOption noLoadOpt(QStringLiteral("no-load"), QStringLiteral("With --run: no CPU load."));
    const QCommandLineOption workloadOpt(QStringLiteral("workload"),
        QStringLiteral("With --run: the load, one of full (the default), reading, office, web or video; "
                       "its processor part only, as the terminal has no window. Not with --no-load."),
        QStringLiteral("name"));
    const QCommandLineOption brightnessOpt(QStringLiteral("brightness"),
        QStringLiteral("With --run: hold the screen's brightness at this percentage (above 0, up to 100) "
                       "during the test and put it back at its end."),
        QStringLiteral("percent"));
    const QCommandLineOption outputOpt(QStringLiteral("output"),
        QStringLiteral("With --run: the results file to write."), QStringLiteral("file"));
    const QCommandLineOption reportOpt(QStringLiteral("report"),
        QStringLiteral("Print the results of a results file."), QStringLiteral("file"));
    const QCommandLineOption jsonOpt(QStringLiteral("json"), QStringLiteral("With --report: print JSON."));
    const QCommandLineOption csvOpt(QStringLiteral("export-csv"),
        QStringLiteral("Print the samples of a results file as CSV."), QStringLiteral("file"));
    const QCommandLineOption infoOpt(
        QStringLiteral("info"), QStringLiteral("Print what the program knows of this machine."));
    const QCommandLineOption updateOpt(
        QStringLiteral("check-update"), QStringLiteral("Check for a newer version."));
    const QCommandLineOption compareOpt(QStringLiteral("compare"),
        QStringLiteral("Compare the results files given as arguments in one table (with --json: a JSON "
                       "array of the --report objects). Exits 2 when no file can be read."));
    const QCommandLineOption normalizeOpt(QStringLiteral("normalize"),
        QStringLiteral("With --compare: add each run's levels against the share of its own battery life."));
    parser.addOptions({ powerOpt, runOpt, noLoadOpt, workloadOpt, brightnessOpt, outputOpt, reportOpt,
        jsonOpt, csvOpt, infoOpt, updateOpt, compareOpt, normalizeOpt });
    const HistoryOptions historyOptions;
    parser.addOptions(historyOptions.all());
    parser.addPositionalArgument(
        QStringLiteral("file"), QStringLiteral("A results file (.apr) to open."), QStringLiteral("[file]"));
    parser.process(*app);

    CliOptions options;
    // An empty choice given on purpose is refused rather than taken as the
    // default; an empty AMPERO_POWER_SOURCE is the same as none.
    if (parser.isSet(powerOpt) && parser.value(powerOpt).trimmed().isEmpty()) {
        std::fputs("ampero: --power-source needs a backend: upower, sysfs[:DIR] or sim[:N]\n", stderr);
        return 2;
    }
    options.powerSource
        = parser.isSet(powerOpt) ? parser.value(powerOpt) : qEnvironmentVariable("AMPERO_POWER_SOURCE");
    options.runMode = parser.value(runOpt);
    options.noLoad = parser.isSet(noLoadOpt);
    options.workload = parser.value(workloadOpt);
    options.brightness = parser.value(brightnessOpt);
    const QByteArray output = parser.isSet(outputOpt) ? rawOptionValue(argc, argv, "output") : QByteArray();
    const QByteArray report = parser.isSet(reportOpt) ? rawOptionValue(argc, argv, "report") : QByteArray();
    const QByteArray csv = parser.isSet(csvOpt) ? rawOptionValue(argc, argv, "export-csv") : QByteArray();
    QList<QByteArray> files { output, report, csv };
    for (const QString& p : parser.positionalArguments())
        files << QFile::encodeName(p);
    if (const auto bad = malformedFileUrl(files)) {
        std::fprintf(stderr, "ampero: malformed file URL: %s\n", bad->constData());
        return 2;
    }
    options.output = resultsFileFromArgument(output);
    options.reportFile = resultsFileFromArgument(report);
    options.json = parser.isSet(jsonOpt);
    options.exportCsv = resultsFileFromArgument(csv);
    options.info = parser.isSet(infoOpt);
    options.checkUpdate = parser.isSet(updateOpt);
    options.positional = parser.positionalArguments();
    options.compare = parser.isSet(compareOpt);
    options.normalize = parser.isSet(normalizeOpt);
    historyOptions.read(parser, options);

    if (parser.isSet(runOpt))
        return runTerminalTest(options);
    if (options.compare)
        return runCompare(options);
    if (const std::optional<int> status = runHistoryMode(options))
        return *status;
    if (parser.isSet(reportOpt) || parser.isSet(csvOpt) || options.json)
        return runReport(options);
    if (options.info)
        return runInfo(options);
    if (options.checkUpdate)
        return runCheckUpdate(options);
    // A start made by the run-once autostart entry takes the entry away.
    removeRunOnceEntryIfStartedFromIt(options.positional.value(0));
    // The autostart entry names the file as a file:// URL.
    if (!options.positional.isEmpty())
        options.positional[0]
            = QFile::decodeName(resultsFileFromArgument(QFile::encodeName(options.positional.first())));
    return runGui(options);
}
