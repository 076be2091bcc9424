// SPDX-License-Identifier: GPL-3.0-or-later
// The logind locks and notices against python-dbusmock's logind template on
// a private bus that each test starts and stops itself.
#include "platform/clock.h"
#include "platform/dbus/logindbrightness.h"
#include "platform/dbus/logindevents.h"
#include "platform/dbus/logindinhibitor.h"
#include "platform/dbus/screensaverstate.h"
#include "platform/fakepowersource.h"
#include "results/resultsformat.h"
#include "session/brightnesshold.h"
#include "session/sessionend.h"
#include "session/testsession.h"
#include "support/sessionfakes.h"
#include "support/testutil.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QUuid>
#include <csignal>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <sys/resource.h>
#include <unistd.h>

using namespace ampero;

namespace {

const QString Login1 = QStringLiteral("org.freedesktop.login1");
const QString Login1Path = QStringLiteral("/org/freedesktop/login1");
const QString MockInterface = QStringLiteral("org.freedesktop.DBus.Mock");

struct Inhibition {
    QString what, who, why, mode;
    bool operator==(const Inhibition&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Inhibition& i)
{
    return os << i.what.toStdString() << '/' << i.who.toStdString() << '/' << i.why.toStdString() << '/'
              << i.mode.toStdString();
}

// A dbus-daemon of our own with logind's mock on it (and, when asked, a
// screen saver's), standing in for both the system and the session bus.
class MockBus : public testing::Test {
protected:
    void SetUp() override
    {
        if (!QFileInfo::exists(QStringLiteral("/usr/bin/dbus-daemon")))
            GTEST_SKIP() << "dbus-daemon is not installed";
        ASSERT_TRUE(m_dir.isValid());
        const QString config = test::writeFile(m_dir, QStringLiteral("bus.conf"),
            "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
            " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
            "<busconfig><type>session</type><listen>unix:dir="
                + m_dir.path().toUtf8()
                + "</listen>\n"
                  "<auth>EXTERNAL</auth><policy context=\"default\"><allow send_destination=\"*\" "
                  "eavesdrop=\"true\"/>\n"
                  "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n");
        m_daemon.start(QStringLiteral("/usr/bin/dbus-daemon"),
            { QStringLiteral("--config-file=") + config, QStringLiteral("--print-address=1"),
                QStringLiteral("--nofork") });
        ASSERT_TRUE(m_daemon.waitForStarted(5000));
        ASSERT_TRUE(
            QTest::qWaitFor([this] { return m_daemon.canReadLine() || m_daemon.waitForReadyRead(50); }));
        m_address = QString::fromUtf8(m_daemon.readLine().trimmed());
        ASSERT_FALSE(m_address.isEmpty());
        m_connectionName = QUuid::createUuid().toString();
        bus = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(m_address, m_connectionName));
        ASSERT_TRUE(bus->isConnected());
        startMock({ QStringLiteral("--template"), QStringLiteral("logind") }, Login1);
    }

    void TearDown() override
    {
        for (auto& p : m_mocks) {
            p->terminate();
            p->waitForFinished(3000);
        }
        m_mocks.clear();
        if (bus) {
            bus.reset();
            QDBusConnection::disconnectFromBus(m_connectionName);
        }
        if (m_daemon.state() != QProcess::NotRunning) {
            m_daemon.terminate();
            m_daemon.waitForFinished(3000);
        }
    }

    void startMock(const QStringList& args, const QString& service)
    {
        auto p = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), m_address);
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_address);
        p->setProcessEnvironment(env);
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p->start(QStringLiteral("/usr/bin/python3"),
            QStringList { QStringLiteral("-m"), QStringLiteral("dbusmock") } + args);
        ASSERT_TRUE(p->waitForStarted(5000));
        m_mocks.push_back(std::move(p));
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return bus->interface()->isServiceRegistered(service).value(); }, 15000))
            << "the mock of " << service.toStdString() << " did not come up";
    }

    // active: what the mock's GetActive answers (the screen saver on at start).
    void startScreenSaver(bool active = false)
    {
        const QString ss = QStringLiteral("org.freedesktop.ScreenSaver");
        startMock({ ss, QStringLiteral("/org/freedesktop/ScreenSaver"), ss }, ss);
        for (const auto& [name, in, out, code] :
            { std::tuple { "Inhibit", "ss", "u", "ret = 4711" }, std::tuple { "UnInhibit", "u", "", "" },
                std::tuple { "GetActive", "", "b", active ? "ret = True" : "ret = False" } }) {
            QDBusMessage add = QDBusMessage::createMethodCall(ss,
                QStringLiteral("/org/freedesktop/ScreenSaver"), MockInterface, QStringLiteral("AddMethod"));
            add << ss << QString::fromLatin1(name) << QString::fromLatin1(in) << QString::fromLatin1(out)
                << QString::fromLatin1(code);
            ASSERT_EQ(bus->call(add).type(), QDBusMessage::ReplyMessage);
        }
    }

    // The screen saver mock's calls of one method, their first arguments.
    QVariantList screenSaverCalls(const QString& method)
    {
        QDBusMessage get = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.ScreenSaver"),
            QStringLiteral("/org/freedesktop/ScreenSaver"), MockInterface, QStringLiteral("GetMethodCalls"));
        get << method;
        const QDBusMessage reply = bus->call(get);
        QVariantList firstArgs;
        if (reply.type() != QDBusMessage::ReplyMessage)
            return firstArgs;
        const auto arg = qvariant_cast<QDBusArgument>(reply.arguments().at(0));
        arg.beginArray();
        while (!arg.atEnd()) {
            qulonglong time = 0;
            QVariantList callArgs;
            arg.beginStructure();
            arg >> time;
            arg.beginArray();
            while (!arg.atEnd()) {
                QDBusVariant v;
                arg >> v;
                callArgs << v.variant();
            }
            arg.endArray();
            arg.endStructure();
            firstArgs << (callArgs.isEmpty() ? QVariant() : callArgs.first());
        }
        arg.endArray();
        return firstArgs;
    }

    QList<Inhibition> inhibitors()
    {
        const QDBusMessage reply = bus->call(QDBusMessage::createMethodCall(Login1, Login1Path,
            QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("ListInhibitors")));
        QList<Inhibition> list;
        if (reply.type() != QDBusMessage::ReplyMessage)
            return list;
        const auto arg = qvariant_cast<QDBusArgument>(reply.arguments().at(0));
        arg.beginArray();
        while (!arg.atEnd()) {
            Inhibition i;
            uint uid = 0, pid = 0;
            arg.beginStructure();
            arg >> i.what >> i.who >> i.why >> i.mode >> uid >> pid;
            arg.endStructure();
            list << i;
        }
        arg.endArray();
        return list;
    }

    // Waits until logind's list of inhibitors is the expected one; the mock
    // notices a closed descriptor on its own time.
    void expectInhibitors(const QList<Inhibition>& expected)
    {
        QList<Inhibition> seen;
        (void)QTest::qWaitFor([&] { return (seen = inhibitors()) == expected; }, 5000);
        EXPECT_EQ(seen, expected);
    }

    void emitLogindSignal(const QString& name, bool value)
    {
        QDBusMessage signal
            = QDBusMessage::createMethodCall(Login1, Login1Path, MockInterface, QStringLiteral("EmitSignal"));
        QDBusArgument args;
        args.beginArray(qMetaTypeId<QDBusVariant>());
        args << QDBusVariant(value);
        args.endArray();
        signal << QStringLiteral("org.freedesktop.login1.Manager") << name << QStringLiteral("b")
               << QVariant::fromValue(args);
        ASSERT_EQ(bus->call(signal).type(), QDBusMessage::ReplyMessage);
    }

    std::unique_ptr<QDBusConnection> bus;

private:
    QTemporaryDir m_dir;
    QProcess m_daemon;
    QString m_address;
    QString m_connectionName;
    std::vector<std::unique_ptr<QProcess>> m_mocks;
};

const Inhibition DelayLock { QStringLiteral("shutdown:sleep"), QStringLiteral("Orvex Ampero"),
    QStringLiteral("battery test in progress"), QStringLiteral("delay") };
const Inhibition IdleLock { QStringLiteral("idle"), QStringLiteral("Orvex Ampero"),
    QStringLiteral("battery test in progress"), QStringLiteral("block") };

// A running test whose stopTest completes a real results file.
struct Session {
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("night run.apr"));
    QString autostart = dir.filePath(QStringLiteral("autostart"));
    ResultsWriter writer;
    bool running = false;
    int stops = 0;

    void start()
    {
        ASSERT_TRUE(writer.create(path.toStdString(), 2, 1, 0xFFFFFFFFu));
        ASSERT_TRUE(writer.appendSample(42));
        running = true;
    }
    SessionEndHooks hooks()
    {
        return { [this] { return running; }, [this] { return path; },
            [this] {
                ++stops;
                if (writer.isOpen())
                    writer.finish(nullptr, 48000, 99);
            } };
    }
    SessionEndOptions options()
    {
        SessionEndOptions o;
        o.executable = QStringLiteral("/usr/bin/ampero");
        o.autostartDirectory = autostart;
        return o;
    }
    bool entryWritten() const
    {
        return QFileInfo::exists(autostart + QStringLiteral("/orvex-ampero-once.desktop"));
    }
};

TEST_F(MockBus, LocksAreTakenAtTheStartAndReleasedAtTheEnd)
{
    Session s;
    s.start();
    LogindInhibitor locks(*bus, *bus);
    SessionEnd end(s.hooks(), s.options(), &locks, nullptr);
    expectInhibitors({});
    end.testStarted();
    EXPECT_TRUE(locks.holdsDelayLock());
    EXPECT_TRUE(locks.holdsIdleLock());
    expectInhibitors({ DelayLock, IdleLock });
    end.testEnded();
    EXPECT_FALSE(locks.holdsDelayLock());
    EXPECT_FALSE(locks.holdsIdleLock());
    expectInhibitors({});
}

// A whole test with the controller, wired as the window program wires it: at
// a regular end the locks are gone while the results window is still open.
TEST_F(MockBus, LocksAreReleasedBeforeTheResultsWindowShows)
{
    startScreenSaver();
    test::FakeMainView view;
    test::FakeChart chart;
    test::FakeDialogs dialogs;
    test::FakeTestingWindow testing;
    PowerStatus battery;
    battery.line = PowerLine::Battery;
    battery.level = 80;
    FakePowerSource power(battery);
    FakeClock clock;
    test::FakeLoad load;
    QTemporaryDir dir;
    dialogs.path = dir.filePath(QStringLiteral("fast.apr"));
    TestSession session(view, chart, dialogs, testing, power, clock, load);

    LogindInhibitor locks(*bus, *bus);
    SessionEnd end({ [&] { return session.state().mode != TestMode::None; },
                       [&] { return session.state().resultsPath; }, [&] { session.stopTest(); } },
        {}, &locks, nullptr);
    QObject::connect(&session, &TestSession::testStarted, &end, &SessionEnd::testStarted);
    QObject::connect(&session, &TestSession::testEnded, &end, [&end] { end.testEnded(); });

    bool resultsShown = false;
    session.setShowResultsWindow([&](const QString&, const std::function<void()>& closed) {
        resultsShown = true;
        // The results window is open now.
        expectInhibitors({});
        EXPECT_FALSE(locks.holdsIdleLock());
        EXPECT_FALSE(locks.holdsDelayLock());
        QVariantList uninhibits;
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return !(uninhibits = screenSaverCalls(QStringLiteral("UnInhibit"))).isEmpty(); }));
        closed();
    });
    session.startTest(TestMode::Fast);
    expectInhibitors({ DelayLock, IdleLock });
    for (int level : { 80, 79, 78, 77, 76 }) {
        clock.advanceMs(1000);
        power.setLevel(level);
        session.onTick();
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return resultsShown; }));
}

TEST_F(MockBus, ShutdownDuringATestWritesTheEntryCompletesTheFileAndReleasesTheLock)
{
    Session s;
    s.start();
    LogindInhibitor locks(*bus, *bus);
    LogindEvents events(*bus);
    SessionEnd end(s.hooks(), s.options(), &locks, &events);
    end.testStarted();
    expectInhibitors({ DelayLock, IdleLock });

    emitLogindSignal(QStringLiteral("PrepareForShutdown"), true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return s.stops > 0; }));
    EXPECT_TRUE(s.entryWritten());
    const ResultsReadResult r = readResultsFile(s.path.toStdString());
    ASSERT_TRUE(r.ok());
    EXPECT_TRUE(r.data.complete);
    EXPECT_EQ(r.data.samples, std::vector<uint8_t> { 42 });
    EXPECT_EQ(r.data.capacity, 48000u);
    EXPECT_EQ(r.data.workCount, 99u);
    expectInhibitors({});
}

TEST_F(MockBus, ShutdownWithNoTestWritesNothing)
{
    Session s;
    LogindInhibitor locks(*bus, *bus);
    LogindEvents events(*bus);
    SessionEnd end(s.hooks(), s.options(), &locks, &events);
    emitLogindSignal(QStringLiteral("PrepareForShutdown"), true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return s.stops > 0; }));
    EXPECT_FALSE(s.entryWritten());
    EXPECT_FALSE(QFileInfo::exists(s.path));
    expectInhibitors({});
}

TEST_F(MockBus, SleepReleasesTheDelayLockAndResumeTakesItAgain)
{
    Session s;
    s.start();
    LogindInhibitor locks(*bus, *bus);
    LogindEvents events(*bus);
    SessionEnd end(s.hooks(), s.options(), &locks, &events);
    end.testStarted();
    expectInhibitors({ DelayLock, IdleLock });

    emitLogindSignal(QStringLiteral("PrepareForSleep"), true);
    expectInhibitors({ IdleLock });
    EXPECT_EQ(s.stops, 0) << "a suspend is no session end";

    emitLogindSignal(QStringLiteral("PrepareForSleep"), false);
    expectInhibitors({ IdleLock, DelayLock });
    EXPECT_FALSE(s.entryWritten());

    // After the resume the gap rule ends the test.
    s.running = false;
    end.testEnded();
    expectInhibitors({});
}

TEST_F(MockBus, ScreenSaverIsInhibitedDuringATest)
{
    startScreenSaver();
    LogindInhibitor locks(*bus, *bus);
    EXPECT_TRUE(locks.takeIdleLock());
    EXPECT_EQ(screenSaverCalls(QStringLiteral("Inhibit")), (QVariantList { QStringLiteral("Orvex Ampero") }));
    locks.releaseIdleLock();
    QVariantList uninhibits;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return !(uninhibits = screenSaverCalls(QStringLiteral("UnInhibit"))).isEmpty(); }));
    EXPECT_EQ(uninhibits, (QVariantList { QVariant(4711u) }));
}

// The screen saver says it is active (the screen is blanked or locked).
void emitActiveChanged(
    QDBusConnection& bus, const QString& service, const QString& path, const QString& interface, bool active)
{
    QDBusMessage message
        = QDBusMessage::createMethodCall(service, path, MockInterface, QStringLiteral("EmitSignal"));
    message << interface << QStringLiteral("ActiveChanged") << QStringLiteral("b")
            << QVariant::fromValue(QVariantList { QVariant::fromValue(QDBusVariant(active)) });
    ASSERT_EQ(bus.call(message).type(), QDBusMessage::ReplyMessage);
}

TEST_F(MockBus, ScreenSaverTellsWhetherTheScreenIsBlanked)
{
    const QString ss = QStringLiteral("org.freedesktop.ScreenSaver");
    const QString path = QStringLiteral("/org/freedesktop/ScreenSaver");
    startScreenSaver();
    ScreenSaverState screen(*bus);
    EXPECT_TRUE(screen.available());
    QSignalSpy changes(&screen, &ScreenState::blankedChanged);
    emitActiveChanged(*bus, ss, path, ss, true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return screen.blanked(); }));
    emitActiveChanged(*bus, ss, path, ss, true); // no change, no signal
    emitActiveChanged(*bus, ss, path, ss, false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !screen.blanked(); }));
    EXPECT_EQ(changes.count(), 2);

    // GNOME's own interface says the same.
    startMock({ QStringLiteral("org.gnome.ScreenSaver"), QStringLiteral("/org/gnome/ScreenSaver"),
                  QStringLiteral("org.gnome.ScreenSaver") },
        QStringLiteral("org.gnome.ScreenSaver"));
    emitActiveChanged(*bus, QStringLiteral("org.gnome.ScreenSaver"), QStringLiteral("/org/gnome/ScreenSaver"),
        QStringLiteral("org.gnome.ScreenSaver"), true);
    EXPECT_TRUE(QTest::qWaitFor([&] { return screen.blanked(); }));
}

TEST_F(MockBus, ScreenLockedAtStartCountsAsBlanked)
{
    startScreenSaver(true);
    ScreenSaverState screen(*bus);
    EXPECT_TRUE(QTest::qWaitFor([&] { return screen.blanked(); }));
}

TEST_F(MockBus, NoScreenSaverMeansTheScreenCountsAsSeen)
{
    ScreenSaverState screen(*bus);
    EXPECT_FALSE(screen.available());
    QCoreApplication::processEvents();
    EXPECT_FALSE(screen.blanked());
    ScreenSaverState nowhere(QDBusConnection(QStringLiteral("not connected")));
    EXPECT_FALSE(nowhere.available());
    EXPECT_FALSE(nowhere.blanked());
}

TEST_F(MockBus, NoLogindMeansNoLockAndNoError)
{
    LogindInhibitor locks(QDBusConnection(QStringLiteral("not connected")), *bus);
    EXPECT_FALSE(locks.takeDelayLock());
    EXPECT_FALSE(locks.takeIdleLock());
    locks.releaseDelayLock();
    EXPECT_FALSE(locks.holdsDelayLock());
}

} // namespace

// logind's session of this process on the mock: its SetBrightness writes
// the value where the kernel keeps it, or refuses as logind does a session
// without a seat.
void addSession(QDBusConnection& bus, const QString& brightnessFile, const QString& refusal = {})
{
    const QString session = QStringLiteral("/org/freedesktop/login1/session/c1");
    const auto mock = [&bus](const QString& path, const QString& method, const QVariantList& args) {
        QDBusMessage call = QDBusMessage::createMethodCall(Login1, path, MockInterface, method);
        call.setArguments(args);
        return bus.call(call).type() == QDBusMessage::ReplyMessage;
    };
    if (refusal.isEmpty()) {
        ASSERT_TRUE(mock(Login1Path, QStringLiteral("AddSession"),
            { QStringLiteral("c1"), QStringLiteral("seat0"), uint(::getuid()), QStringLiteral("me"), true }));
        ASSERT_TRUE(mock(Login1Path, QStringLiteral("AddMethod"),
            { QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("GetSessionByPID"),
                QStringLiteral("u"), QStringLiteral("o"), QStringLiteral("ret = '%1'").arg(session) }));
    }
    const QString code = refusal.isEmpty()
        ? QStringLiteral("open('%1', 'w').write('%d\\n' % args[2])").arg(brightnessFile)
        : QStringLiteral("raise dbus.exceptions.DBusException('%1', "
                         "name='org.freedesktop.login1.NotYourDevice')")
              .arg(refusal);
    ASSERT_TRUE(mock(session, QStringLiteral("AddMethod"),
        { QStringLiteral("org.freedesktop.login1.Session"), QStringLiteral("SetBrightness"),
            QStringLiteral("ssu"), QString(), code }));
}

// A test holds the brightness it asks for, and every way it can end puts
// the old one back and leaves no state file: a regular end, Cancel (and
// Ctrl+C or SIGTERM in the terminal, which act as Cancel), a failed write,
// the session's end (SIGTERM in the window program takes the same rule),
// and a crash, after which the next start puts it back. A session logind
// refuses starts no test.
TEST_F(MockBus, BrightnessIsHeldDuringATestAndPutBackAtEveryEnd)
{
    QTemporaryDir root;
    ASSERT_TRUE(QDir(root.path()).mkpath(QStringLiteral("sys/class/backlight/intel_backlight")));
    const QString level
        = test::writeFile(root, QStringLiteral("sys/class/backlight/intel_backlight/brightness"), "700\n");
    test::writeFile(root, QStringLiteral("sys/class/backlight/intel_backlight/max_brightness"), "1000\n");
    addSession(*bus, level);
    LogindBrightness screen(*bus, root.path());
    const QString state = root.filePath(QStringLiteral("data/brightness-to-restore"));

    test::FakeMainView view;
    test::FakeChart chart;
    test::FakeDialogs dialogs;
    test::FakeTestingWindow testing;
    PowerStatus battery;
    battery.line = PowerLine::Battery;
    battery.level = 80;
    FakePowerSource power(battery);
    FakeClock clock;
    test::FakeLoad load;
    dialogs.path = root.filePath(QStringLiteral("run.apr"));
    dialogs.brightness = 40;
    BrightnessHold hold(screen, state);
    TestSession session(view, chart, dialogs, testing, power, clock, load);
    session.setBrightnessHold(&hold);
    session.setShowResultsWindow([](const QString&, const std::function<void()>& closed) { closed(); });
    LogindEvents events(*bus);
    SessionEndOptions options;
    options.writeEntry = false;
    SessionEnd end({ [&] { return session.state().mode != TestMode::None; },
                       [&] { return session.state().resultsPath; }, [&] { session.stopTest(); } },
        options, nullptr, &events);

    const auto startHeld = [&](TestMode mode = TestMode::Normal) {
        session.startTest(mode);
        ASSERT_EQ(session.state().mode, mode) << dialogs.errors.join('\n').toStdString();
        EXPECT_EQ(test::readFile(level), "400\n");
        EXPECT_EQ(session.brightness(), (BrightnessSetting { 40, 400, 1000 }));
        EXPECT_TRUE(QFileInfo::exists(state));
    };
    const auto tick = [&](int percent) {
        clock.advanceMs(1000);
        power.setLevel(percent);
        session.onTick();
    };
    const auto putBack = [&] {
        EXPECT_TRUE(QTest::qWaitFor([&] { return test::readFile(level) == "700\n"; }));
        EXPECT_FALSE(QFileInfo::exists(state));
    };

    {
        SCOPED_TRACE("regular end");
        startHeld(TestMode::Fast);
        for (int percent : { 80, 79, 78, 77, 76 })
            tick(percent);
        putBack();
        EXPECT_TRUE(QTest::qWaitFor([&] { return session.state().mode == TestMode::None; }));
    }
    {
        SCOPED_TRACE("cancel");
        startHeld();
        tick(80);
        testing.closeWindow();
        tick(80);
        putBack();
    }
    {
        SCOPED_TRACE("failed write");
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit old {};
        getrlimit(RLIMIT_FSIZE, &old);
        startHeld();
        rlimit small = old;
        small.rlim_cur = 10;
        setrlimit(RLIMIT_FSIZE, &small);
        tick(80);
        setrlimit(RLIMIT_FSIZE, &old);
        putBack();
    }
    {
        SCOPED_TRACE("session end");
        startHeld();
        tick(80);
        emitLogindSignal(QStringLiteral("PrepareForShutdown"), true);
        putBack();
    }
    {
        SCOPED_TRACE("crash");
        startHeld();
        const QByteArray left = test::readFile(state);
        session.stopTest();
        // As a program killed during the test leaves the screen and its file.
        test::writeFile(root, QStringLiteral("sys/class/backlight/intel_backlight/brightness"), "400\n");
        test::writeFile(root, QStringLiteral("data/brightness-to-restore"), left);
        BrightnessHold next(screen, state);
        EXPECT_TRUE(next.restoreLeftOver());
        putBack();
    }
    {
        SCOPED_TRACE("refused");
        addSession(*bus, level, QStringLiteral("Your session has no seat, refusing."));
        dialogs.errors.clear();
        QFile::remove(*dialogs.path);
        QSignalSpy started(&session, &TestSession::testStarted);
        session.startTest(TestMode::Normal);
        EXPECT_EQ(started.count(), 0);
        ASSERT_EQ(dialogs.errors.size(), 1);
        EXPECT_TRUE(dialogs.errors[0].contains(QStringLiteral("no seat"))) << dialogs.errors[0].toStdString();
        EXPECT_FALSE(QFileInfo::exists(*dialogs.path));
        putBack();
    }
}
