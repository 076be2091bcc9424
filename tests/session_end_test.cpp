// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/sessionendtriggers.h"
#include "platform/inhibitor.h"
#include "platform/systemevents.h"
#include "platform/terminationsignals.h"
#include "results/resultsformat.h"
#include "session/runentry.h"
#include "session/sessionend.h"
#include "support/testutil.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <csignal>
#include <cstring>
#include <gtest/gtest.h>

using namespace ampero;

namespace {

// A test session as the controller runs it: a results file being written,
// stopTest completing it. Records the order of what happens.
struct FakeSession {
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("battery \"run\" $1.apr"));
    QString autostart = dir.filePath(QStringLiteral("autostart"));
    ResultsWriter writer;
    bool running = false;
    QStringList log;

    void start()
    {
        ASSERT_TRUE(writer.create(path.toStdString(), 2, 0, 7200));
        for (uint8_t level : { 90, 90, 89 })
            ASSERT_TRUE(writer.appendSample(level));
        running = true;
    }
    QString entryPath() const { return autostart + QStringLiteral("/orvex-ampero-once.desktop"); }
    SessionEndHooks hooks()
    {
        return { [this] { return running; }, [this] { return path; },
            [this] {
                log << (QFileInfo::exists(entryPath()) ? QStringLiteral("stop after entry")
                                                       : QStringLiteral("stop without entry"));
                if (writer.isOpen())
                    writer.finish(nullptr, 50000, 12345);
            } };
    }
    SessionEndOptions options(bool writeEntry = true)
    {
        SessionEndOptions o;
        o.writeEntry = writeEntry;
        o.executable = QStringLiteral("/usr/bin/ampero");
        o.autostartDirectory = autostart;
        return o;
    }
    ResultsReadResult results() const { return readResultsFile(path.toStdString()); }
};

TEST(QueryEndSession, DuringATestWritesTheEntryThenCompletesTheFile)
{
    FakeSession s;
    s.start();
    FakeInhibitor locks;
    SessionEnd end(s.hooks(), s.options(), &locks, nullptr);
    end.testStarted();

    EXPECT_EQ(end.queryEndSession(), 1);
    EXPECT_EQ(s.log, QStringList { QStringLiteral("stop after entry") });
    const QStringList args = parseExecLine(
        unescapeDesktopString(QString::fromUtf8(test::readFile(s.entryPath()).split('\n').at(3).mid(5))));
    ASSERT_EQ(args.size(), 2);
    EXPECT_EQ(args[0], QStringLiteral("/usr/bin/ampero"));
    EXPECT_EQ(resultsFileFromArgument(args[1].toUtf8()), QFile::encodeName(s.path)) << "the file, as a URL";
    const ResultsReadResult r = s.results();
    ASSERT_TRUE(r.ok());
    EXPECT_TRUE(r.data.complete);
    EXPECT_EQ(r.data.samples, (std::vector<uint8_t> { 90, 90, 89 }));
    EXPECT_EQ(r.data.capacity, 50000u);
    EXPECT_EQ(r.data.workCount, 12345u);
    // Both locks go once the file is complete, so the system need not wait.
    EXPECT_FALSE(locks.holdsDelayLock());
    EXPECT_FALSE(locks.holdsIdleLock());
}

TEST(QueryEndSession, WithNoTestWritesNothingAndAnswersYes)
{
    FakeSession s;
    SessionEnd end(s.hooks(), s.options(), nullptr, nullptr);
    EXPECT_EQ(end.queryEndSession(), 1);
    EXPECT_EQ(s.log, QStringList { QStringLiteral("stop without entry") });
    EXPECT_FALSE(QFileInfo::exists(s.autostart));
    EXPECT_FALSE(QFileInfo::exists(s.path));
}

TEST(QueryEndSession, EntryThatCannotBeWrittenStillCompletesTheFileAndAnswersYes)
{
    FakeSession s;
    s.start();
    SessionEndOptions o = s.options();
    o.autostartDirectory
        = test::writeFile(s.dir, QStringLiteral("plainfile"), "x") + QStringLiteral("/autostart");
    SessionEnd end(s.hooks(), o, nullptr, nullptr);
    EXPECT_EQ(end.queryEndSession(), 1);
    EXPECT_FALSE(end.lastEntryWritten());
    EXPECT_FALSE(end.lastEntryError().isEmpty());
    EXPECT_EQ(s.log, QStringList { QStringLiteral("stop without entry") });
    EXPECT_TRUE(s.results().data.complete);
}

TEST(QueryEndSession, TerminalModeCompletesTheFileWithoutAnEntry)
{
    FakeSession s;
    s.start();
    SessionEnd end(s.hooks(), s.options(false), nullptr, nullptr);
    EXPECT_EQ(end.queryEndSession(), 1);
    EXPECT_FALSE(QFileInfo::exists(s.entryPath()));
    EXPECT_TRUE(s.results().data.complete);
}

TEST(QueryEndSession, ResultsWindowOfAJustEndedTestGetsTheEntryAndNothingElse)
{
    // The file is already complete and the test mode not yet reset.
    FakeSession s;
    s.start();
    s.writer.finish(nullptr, 1, 2);
    const QByteArray before = test::readFile(s.path);
    SessionEnd end(s.hooks(), s.options(), nullptr, nullptr);
    EXPECT_EQ(end.queryEndSession(), 1);
    EXPECT_TRUE(QFileInfo::exists(s.entryPath()));
    EXPECT_EQ(test::readFile(s.path), before);
}

// The notices from logind, through the SystemEvents interface.
struct LockCase {
    const char* name;
    bool running; // the test still runs when the notices come
    std::vector<std::pair<char, bool>> notices; // 'S' sleep, 'D' shutdown (down)
    QStringList calls; // what the inhibitor saw after the start
    bool entry;
};

class LocksAroundATest : public testing::TestWithParam<LockCase> { };

TEST_P(LocksAroundATest, FollowTheSystemNotices)
{
    const LockCase& c = GetParam();
    FakeSession s;
    s.start();
    FakeInhibitor locks;
    FakeSystemEvents events;
    SessionEnd end(s.hooks(), s.options(), &locks, &events);
    end.testStarted();
    ASSERT_EQ(locks.calls, (QStringList { QStringLiteral("take delay"), QStringLiteral("take idle") }));
    locks.calls.clear();
    s.running = c.running;
    for (const auto& [kind, start] : c.notices) {
        if (kind == 'S')
            events.emitSleep(start);
        else
            events.emitShutdown(start);
    }
    EXPECT_EQ(locks.calls, c.calls);
    EXPECT_EQ(QFileInfo::exists(s.entryPath()), c.entry);
}

const QString TD = QStringLiteral("take delay");
const QString RD = QStringLiteral("release delay");
const QString RI = QStringLiteral("release idle");

INSTANTIATE_TEST_SUITE_P(Notices, LocksAroundATest,
    testing::Values(LockCase { "sleep_releases_only_the_delay_lock", true, { { 'S', true } }, { RD }, false },
        LockCase { "resume_takes_it_again", true, { { 'S', true }, { 'S', false } }, { RD, TD }, false },
        LockCase { "resume_after_the_test_ended_takes_nothing", false, { { 'S', true }, { 'S', false } },
            { RD }, false },
        LockCase { "shutdown_writes_entry_and_releases_all", true, { { 'D', true } }, { RD, RI }, true },
        LockCase { "resume_after_a_session_end_takes_nothing", true,
            { { 'D', true }, { 'D', false }, { 'S', true }, { 'S', false } }, { RD, RI }, true },
        LockCase { "shutdown_cancelled_does_nothing", true, { { 'D', false } }, {}, false },
        LockCase { "shutdown_with_no_test_writes_no_entry", false, { { 'D', true } }, { RD, RI }, false }),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Locks, TestEndReleasesBothAndRefusedLocksAreNoError)
{
    FakeSession s;
    s.start();
    FakeInhibitor locks;
    locks.refuseDelay = true;
    locks.refuseIdle = true;
    SessionEnd end(s.hooks(), s.options(), &locks, nullptr);
    end.testStarted();
    EXPECT_TRUE(locks.calls.isEmpty());
    EXPECT_EQ(end.queryEndSession(), 1);
    EXPECT_TRUE(s.results().data.complete);

    FakeInhibitor granted;
    SessionEnd end2(s.hooks(), s.options(), &granted, nullptr);
    end2.testStarted();
    end2.testEnded();
    EXPECT_EQ(granted.calls, (QStringList { TD, QStringLiteral("take idle"), RD, RI }));
}

TEST(CommitData, SessionManagerHandlerRunsTheRuleAndLetsTheLogoutGoOn)
{
    FakeSession s;
    s.start();
    SessionEnd end(s.hooks(), s.options(), nullptr, nullptr);
    SessionEndTriggers triggers(end, nullptr);
    EXPECT_EQ(triggers.commitData(), 1);
    EXPECT_EQ(s.log, QStringList { QStringLiteral("stop after entry") });
    EXPECT_TRUE(s.results().data.complete);
}

TEST(TerminationSignals, ArriveOnTheMainThreadAndRestoreTheOldHandlers)
{
    static volatile std::sig_atomic_t previousHandlerRan = 0;
    struct sigaction mine = {};
    mine.sa_handler = [](int) { previousHandlerRan = 1; };
    struct sigaction saved = {};
    ::sigaction(SIGHUP, &mine, &saved);
    {
        TerminationSignals sigs;
        ASSERT_TRUE(sigs.isActive());
        TerminationSignals second;
        EXPECT_FALSE(second.isActive()) << "one owner of the handlers at a time";

        QList<int> numbers;
        QThread* thread = nullptr;
        QObject::connect(&sigs, &TerminationSignals::received, &sigs, [&](int n) {
            numbers << n;
            thread = QThread::currentThread();
        });
        QSignalSpy spy(&sigs, &TerminationSignals::received);
        ::raise(SIGTERM);
        ::raise(SIGHUP);
        EXPECT_TRUE(spy.wait(5000));
        if (spy.size() < 2)
            spy.wait(1000);
        EXPECT_EQ(numbers, (QList<int> { SIGTERM, SIGHUP }));
        EXPECT_EQ(thread, QCoreApplication::instance()->thread());
    }
    ::raise(SIGHUP);
    EXPECT_EQ(previousHandlerRan, 1);
    ::sigaction(SIGHUP, &saved, nullptr);
}

// SIGTERM while the program runs its event loop: the file is completed, the
// entry written, and the loop ends cleanly. Ctrl+C (SIGINT) in the terminal
// that started the window program, and SIGUSR1, end it the same way.
class SignalDuringATest : public ::testing::TestWithParam<int> { };

TEST_P(SignalDuringATest, CompletesTheFileAndQuits)
{
    const int signalNumber = GetParam();
    FakeSession s;
    s.start();
    FakeInhibitor locks;
    SessionEnd end(s.hooks(), s.options(), &locks, nullptr);
    end.testStarted();
    SessionEndTriggers triggers(end, nullptr);
    ASSERT_TRUE(triggers.signalsActive());

    QTimer::singleShot(0, qApp, [signalNumber] { ::raise(signalNumber); });
    QTimer safety;
    safety.setSingleShot(true);
    QObject::connect(&safety, &QTimer::timeout, qApp, [] { QCoreApplication::exit(99); });
    safety.start(10000);
    EXPECT_EQ(QCoreApplication::exec(), 0);
    EXPECT_EQ(s.log, QStringList { QStringLiteral("stop after entry") });
    EXPECT_TRUE(s.results().data.complete);
    EXPECT_FALSE(locks.holdsDelayLock());
}

INSTANTIATE_TEST_SUITE_P(TerminationSignals, SignalDuringATest, ::testing::Values(SIGTERM, SIGINT, SIGUSR1),
    [](const auto& info) { return std::string(sigabbrev_np(info.param)); });

} // namespace
