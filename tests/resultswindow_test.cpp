#include "platform/urlopener.h"
#include "recordingchart.h"
#include "results/evaluation.h"
#include "support/testutil.h"
#include "ui/resultsshow.h"
#include "ui/uResults.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrlQuery>
#include <gtest/gtest.h>

using namespace ampero;
using ampero::test::RecordingChart;

namespace {

const QByteArray kNormalExample = test::bytes({0x03, 0x41, 0x50, 0x52, 0x02, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0x64, 0x64,
                                               0x63, 0xFF, 0x80, 0xBB, 0x00, 0x00, 0x05, 0, 0, 0, 0, 0, 0, 0});

ResultsEvaluation evaluateBytes(const QByteArray& data, const QString& path)
{
    const auto* p = reinterpret_cast<const uint8_t*>(data.constData());
    return evaluateResults(parseResults(std::span<const uint8_t>(p, static_cast<std::size_t>(data.size()))), path);
}

QString labelText(const QWidget& w, const char* name)
{
    const auto* label = w.findChild<QLabel*>(QString::fromLatin1(name));
    return label ? label->text() : QStringLiteral("<missing %1>").arg(QString::fromLatin1(name));
}

// Watches for the results window to come up modally, notes what it shows and
// closes it with its Close button.
struct ModalWatcher {
    QStringList seen; // caption, then the value labels
    QTimer timer;
    ModalWatcher()
    {
        timer.setInterval(5);
        QObject::connect(&timer, &QTimer::timeout, &timer, [this] {
            auto* w = qobject_cast<TfResults*>(QApplication::activeModalWidget());
            if (!w)
                return;
            seen << w->windowTitle() << labelText(*w, "ResultsFileName") << labelText(*w, "TestModeLabel")
                 << labelText(*w, "BurnStatus") << labelText(*w, "WinBatteryLifeTime")
                 << labelText(*w, "BatteryLifeTime");
            w->findChild<QPushButton*>(QStringLiteral("CancelBut"))->click();
        });
        timer.start();
    }
};

// Runs the event loop until done() holds or five seconds pass.
template <typename F>
bool waitUntil(F done)
{
    QDeadlineTimer deadline(5000);
    while (!done() && !deadline.hasExpired())
        QTest::qWait(5);
    return done();
}

} // namespace

TEST(ResultsWindow, ShowsTheTextsOfAnEvaluatedFile)
{
    FakeUrlOpener opener;
    TfResults w(opener);
    w.showEvaluation(evaluateBytes(kNormalExample, QStringLiteral("/home/ann/Tests/example.apr")));
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Testing results"));
    EXPECT_EQ(labelText(w, "ResultsFileName"), QStringLiteral("example.apr"));
    EXPECT_EQ(labelText(w, "TestModeLabel"), QStringLiteral("normal"));
    EXPECT_EQ(labelText(w, "BurnStatus"), QStringLiteral("full"));
    EXPECT_EQ(labelText(w, "WinBatteryLifeTime"), QStringLiteral("unknown"));
    EXPECT_EQ(labelText(w, "BatteryLifeTime"), QStringLiteral("0:00:02"));
    EXPECT_EQ(labelText(w, "MarkLabel"), QStringLiteral("N/A"));
    EXPECT_EQ(w.reportFolder(), QStringLiteral("/home/ann/Tests"));
}

TEST(ResultsWindow, RecoveredFileSaysIncompleteInTheCaption)
{
    FakeUrlOpener opener;
    TfResults w(opener);
    w.showEvaluation(evaluateBytes(test::bytes({0x03, 'A', 'P', 'R', 1, 1, 0x10, 0x0E, 0, 0, 80, 80, 79}),
                                   QStringLiteral("/tmp/cut.apr")));
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Testing results (incomplete)"));
    EXPECT_EQ(labelText(w, "TestModeLabel"), QStringLiteral("fast"));
    EXPECT_EQ(labelText(w, "BurnStatus"), QStringLiteral("none"));
    EXPECT_EQ(labelText(w, "WinBatteryLifeTime"), QStringLiteral("1:00:00"));
}

TEST(ResultsWindow, LayoutCaptionsAndHiddenMarkGroup)
{
    FakeUrlOpener opener;
    TfResults w(opener);
    EXPECT_EQ(w.size(), QSize(320, 282));
    EXPECT_EQ(w.minimumSize(), w.maximumSize()) << "not resizable";

    const std::pair<const char*, const char*> groups[] = {
        {"GroupBox3", " Report file "}, {"GroupBox1", " Testing options "},
        {"GroupBox2", " Time of battery "}, {"GroupBox4", " Mark "}};
    for (const auto& [name, title] : groups) {
        const auto* g = w.findChild<QGroupBox*>(QString::fromLatin1(name));
        ASSERT_NE(g, nullptr) << name;
        EXPECT_EQ(g->title(), QString::fromLatin1(title)) << name;
        EXPECT_EQ(g->width(), 314) << name;
    }
    const std::pair<const char*, const char*> labels[] = {
        {"Label4", "Report file name:"}, {"Label2", "Test mode:"}, {"Label3", "Load CPU:"},
        {"Label5", "Forecast Windows:"}, {"Label1", "By test results:"}};
    for (const auto& [name, text] : labels) {
        EXPECT_EQ(labelText(w, name), QString::fromLatin1(text)) << name;
        EXPECT_TRUE(w.findChild<QLabel*>(QString::fromLatin1(name))->font().bold()) << name;
    }

    w.show();
    const auto* markGroup = w.findChild<QGroupBox*>(QStringLiteral("GroupBox4"));
    EXPECT_EQ(markGroup->height(), 0);
    EXPECT_FALSE(markGroup->isVisible());
    EXPECT_FALSE(w.findChild<QLabel*>(QStringLiteral("MarkLabel"))->isVisible());

    const std::pair<const char*, const char*> buttons[] = {
        {"CancelBut", "Close"}, {"Button2", "Save graph"}, {"Button3", "Open report folder"}, {"Button1", "Send report"}};
    QStringList chain;
    QWidget* at = w.findChild<QPushButton*>(QStringLiteral("CancelBut"));
    for (int i = 0; i < 4; ++i) {
        chain << at->objectName();
        do
            at = at->nextInFocusChain();
        while (!qobject_cast<QPushButton*>(at));
    }
    EXPECT_EQ(chain, (QStringList{QStringLiteral("CancelBut"), QStringLiteral("Button2"), QStringLiteral("Button3"),
                                  QStringLiteral("Button1")}));
    for (const auto& [name, text] : buttons) {
        const auto* b = w.findChild<QPushButton*>(QString::fromLatin1(name));
        ASSERT_NE(b, nullptr) << name;
        EXPECT_EQ(b->text(), QString::fromLatin1(text)) << name;
        EXPECT_EQ(b->size(), QSize(149, 25)) << name;
        EXPECT_EQ(b->isDefault(), std::string(name) == "CancelBut") << name;
    }
    w.hide();
}

TEST(ResultsWindow, CloseEnterAndTitleBarAllReject)
{
    FakeUrlOpener opener;
    for (int how = 0; how < 3; ++how) {
        TfResults w(opener);
        w.show();
        if (how == 0)
            w.findChild<QPushButton*>(QStringLiteral("CancelBut"))->click();
        else if (how == 1)
            QTest::keyClick(&w, Qt::Key_Return);
        else
            w.close();
        EXPECT_FALSE(w.isVisible()) << how;
        EXPECT_EQ(w.result(), QDialog::Rejected) << how;
    }
}

TEST(ResultsWindow, SendReportForFileInRootFolder)
{
    FakeUrlOpener opener;
    TfResults w(opener);
    w.showEvaluation(evaluateBytes(kNormalExample, QStringLiteral("/run.apr")));
    w.findChild<QPushButton*>(QStringLiteral("Button1"))->click();
    ASSERT_EQ(opener.opened.size(), 1);
    EXPECT_EQ(opener.opened[0],
              QStringLiteral("mailto:Orvex%20Company%20%3Csupport@orvex.example%3E?subject=Orvex%20Ampero%20Report"
                             "&body=Do%20not%20forget%20to%20include%20information%20about%20your%20laptop%20and%20"
                             "battery.%0A%0DAlso%20attach%20report%20file:%20//run.apr."));
}

TEST(ResultsWindow, SendReportKeepsAwkwardNamesInsideTheBody)
{
    FakeUrlOpener opener;
    TfResults w(opener);
    w.showEvaluation(evaluateBytes(kNormalExample, QStringLiteral("/home/ann/my tests&more/run#1?%.apr")));
    w.findChild<QPushButton*>(QStringLiteral("Button1"))->click();
    ASSERT_EQ(opener.opened.size(), 1);
    const QUrl sent(opener.opened[0]);
    const QUrlQuery query(sent);
    EXPECT_EQ(query.queryItems().size(), 2);
    EXPECT_EQ(query.queryItemValue(QStringLiteral("body"), QUrl::FullyDecoded),
              QStringLiteral("Do not forget to include information about your laptop and battery.\n\rAlso attach report "
                             "file: /home/ann/my tests&more/run#1?%.apr."));
}

TEST(ResultsWindow, OpenReportFolderAndSaveGraph)
{
    FakeUrlOpener opener;
    TfResults w(opener);
    w.showEvaluation(evaluateBytes(kNormalExample, QStringLiteral("/home/ann/Tests/example.apr")));
    w.findChild<QPushButton*>(QStringLiteral("Button3"))->click();
    ASSERT_EQ(opener.opened.size(), 1);
    EXPECT_EQ(opener.opened[0], QStringLiteral("file:///home/ann/Tests"));

    QSignalSpy save(&w, &TfResults::saveGraphRequested);
    w.findChild<QPushButton*>(QStringLiteral("Button2"))->click();
    EXPECT_EQ(save.count(), 1);

    TfResults bare(opener);
    bare.showEvaluation(evaluateBytes(kNormalExample, QStringLiteral("example.apr")));
    EXPECT_EQ(bare.reportFolder(), QString());
    bare.findChild<QPushButton*>(QStringLiteral("Button3"))->click();
    ASSERT_EQ(opener.opened.size(), 2);
    EXPECT_EQ(opener.opened[1], QString());
}

TEST(ShowResults, ShowsAValidFileModallyAndFillsTheChart)
{
    QTemporaryDir dir;
    const QString path = test::writeFile(dir, QStringLiteral("run.apr"), kNormalExample);
    FakeUrlOpener opener;
    RecordingChart chart;
    QWidget mainWindow;
    int saves = 0;
    ModalWatcher watcher;
    EXPECT_TRUE(showResultsWindow(path, chart, &mainWindow, opener, [&saves] { ++saves; }));
    EXPECT_EQ(watcher.seen, (QStringList{QStringLiteral("Testing results"), QStringLiteral("run.apr"),
                                         QStringLiteral("normal"), QStringLiteral("full"), QStringLiteral("unknown"),
                                         QStringLiteral("0:00:02")}));
    EXPECT_EQ(chart.samples.size(), 3);
    EXPECT_TRUE(chart.interactive);
    EXPECT_TRUE(mainWindow.findChildren<TfResults*>().isEmpty()) << "the window is destroyed after closing";
}

TEST(ShowResults, NonResultsFileShowsNothingAndLeavesTheChart)
{
    QTemporaryDir dir;
    const QString path = test::writeFile(dir, QStringLiteral("notes.txt"), QByteArray("hello world"));
    FakeUrlOpener opener;
    RecordingChart chart;
    QWidget mainWindow;
    ModalWatcher watcher;
    EXPECT_FALSE(showResultsWindow(path, chart, &mainWindow, opener, {}));
    EXPECT_TRUE(watcher.seen.isEmpty());
    EXPECT_TRUE(chart.calls.isEmpty());
    EXPECT_TRUE(mainWindow.findChildren<TfResults*>().isEmpty());
}

TEST(ResultsOnStart, OpensTheFirstArgumentShortlyAfterTheWindowShows)
{
    QTemporaryDir dir;
    const QString path = test::writeFile(dir, QStringLiteral("run.apr"), kNormalExample);
    FakeUrlOpener opener;
    RecordingChart chart;
    QWidget mainWindow;
    QTimer loadResultsTimer;
    loadResultsTimer.setInterval(10);
    ResultsOnStart onStart(loadResultsTimer, chart, &mainWindow, opener, {});
    ModalWatcher watcher;
    onStart.formShow({path, QStringLiteral("/nonexistent/second.apr")});
    EXPECT_TRUE(loadResultsTimer.isActive());
    ASSERT_TRUE(waitUntil([&] { return !watcher.seen.isEmpty(); }));
    EXPECT_EQ(watcher.seen.value(1), QStringLiteral("run.apr"));
    EXPECT_FALSE(loadResultsTimer.isActive()) << "one shot";
    EXPECT_EQ(chart.samples.size(), 3);
}

TEST(ResultsOnStart, MissingOrForeignFilesOpenNothingSilently)
{
    QTemporaryDir dir;
    const QString foreign = test::writeFile(dir, QStringLiteral("photo.jpg"), QByteArray("\xFF\xD8\xFF\xE0", 4));
    const QString valid = test::writeFile(dir, QStringLiteral("run.apr"), kNormalExample);
    FakeUrlOpener opener;
    RecordingChart chart;
    QWidget mainWindow;
    QTimer loadResultsTimer;
    loadResultsTimer.setInterval(10);
    ResultsOnStart onStart(loadResultsTimer, chart, &mainWindow, opener, {});
    ModalWatcher watcher;

    onStart.formShow({});
    EXPECT_FALSE(loadResultsTimer.isActive()) << "no argument";
    onStart.formShow({dir.filePath(QStringLiteral("missing.apr")), valid});
    EXPECT_FALSE(loadResultsTimer.isActive()) << "only the first argument counts";
    onStart.formShow({dir.path()});
    EXPECT_FALSE(loadResultsTimer.isActive()) << "a folder is no file";

    onStart.formShow({foreign});
    EXPECT_TRUE(loadResultsTimer.isActive());
    ASSERT_TRUE(waitUntil([&] { return !loadResultsTimer.isActive(); }));
    EXPECT_TRUE(watcher.seen.isEmpty());
    EXPECT_TRUE(chart.calls.isEmpty());
}
