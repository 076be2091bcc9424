// SPDX-License-Identifier: GPL-3.0-or-later
// What every power backend announces, and what the 1-second tick of a test
// costs on UPower: the same rules for the fake, the simulation, sysfs and
// UPower (a mock on a private bus).
#include "platform/clock.h"
#include "platform/dbus/upowerpowersource.h"
#include "platform/fakepowersource.h"
#include "platform/simpowersource.h"
#include "platform/sysfspowersource.h"
#include "session/testsession.h"
#include "support/sessionfakes.h"
#include "support/upowermock.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>
#include <tuple>

using namespace ampero;

namespace {

constexpr int WaitMs = 5000;

// Each backend driven its own way. poll() is the backend's own look (a
// timer in the program, by hand here); settle() waits until it has seen a
// change it is told of, for the backends that are told.
struct FakeBackend {
    void start()
    {
        PowerStatus s;
        s.line = PowerLine::Battery;
        s.level = 55;
        s.timeLeft = std::chrono::seconds(3600);
        source.setStatus(s);
    }
    void changeLevel() { source.setLevel(54); }
    void changeTimeOnly()
    {
        PowerStatus s = source.status();
        s.timeLeft = std::chrono::seconds(3000);
        source.setStatus(s);
    }
    void poll() { }
    void settle(const std::function<bool()>&) { }

    FakePowerSource source;
};

struct SimBackend {
    void start() { }
    void changeLevel() { clock->advanceMs(10000); }
    void changeTimeOnly() { clock->advanceMs(2000); }
    void poll() { source.checkForChange(); }
    void settle(const std::function<bool()>&) { poll(); }

    std::shared_ptr<FakeClock> clock = std::make_shared<FakeClock>();
    SimPowerSource source { clock, 10, 0 };
};

struct SysfsBackend {
    void start()
    {
        ASSERT_TRUE(dir.isValid());
        write(QStringLiteral("AC"), { { "type", "Mains" }, { "online", "0" } });
        battery(30000000, 10000000);
        source = std::make_unique<SysfsPowerSource>(dir.path(), 0);
    }
    void changeLevel() { battery(29000000, 10000000); }
    void changeTimeOnly() { battery(30000000, 7000000); }
    void poll() { source->checkForChange(); }
    void settle(const std::function<bool()>&) { poll(); }

    void battery(long long energyNow, long long powerNow)
    {
        write(QStringLiteral("BAT0"),
            { { "type", "Battery" }, { "status", "Discharging" }, { "energy_full", "60000000" },
                { "energy_now", std::to_string(energyNow) }, { "power_now", std::to_string(powerNow) } });
    }
    void write(const QString& name, const std::vector<std::pair<std::string, std::string>>& attributes)
    {
        ASSERT_TRUE(QDir(dir.path()).mkpath(name));
        for (const auto& [key, value] : attributes) {
            QFile f(dir.filePath(name + QLatin1Char('/') + QString::fromStdString(key)));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(QByteArray::fromStdString(value + '\n'));
        }
    }

    QTemporaryDir dir;
    std::unique_ptr<SysfsPowerSource> source;
};

struct UPowerBackend {
    void start()
    {
        if (!test::UPowerMockBus::haveDaemon())
            GTEST_SKIP() << "dbus-daemon is not installed";
        ASSERT_NO_FATAL_FAILURE(mock.startBus());
        ASSERT_NO_FATAL_FAILURE(mock.startMock());
        mock.addDischargingBattery(55.0, 50.0, 10.0, 3600);
        source = std::make_unique<UPowerPowerSource>(mock.bus());
    }
    void changeLevel() { mock.setDisplay(QStringLiteral("Percentage"), 54.0); }
    void changeTimeOnly() { mock.setDisplay(QStringLiteral("TimeToEmpty"), qlonglong(3000)); }
    void poll()
    {
        source->checkForResume();
        source->checkForChange();
        EXPECT_TRUE(QTest::qWaitFor([this] { return !source->readPending(); }, WaitMs));
    }
    // UPower tells of every change by a signal.
    void settle(const std::function<bool()>& seen) { EXPECT_TRUE(QTest::qWaitFor(seen, WaitMs)); }

    test::UPowerMockBus mock { QStringLiteral("ampero-power-notices") };
    std::unique_ptr<UPowerPowerSource> source;
};

template <typename B> PowerSource& sourceOf(B& b)
{
    if constexpr (std::is_same_v<B, FakeBackend> || std::is_same_v<B, SimBackend>)
        return b.source;
    else
        return *b.source;
}

template <typename B> class PowerNotices : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(backend.start());
        if (IsSkipped())
            return;
        source().setSuspendedTimeSource([ms = suspendedMs] { return *ms; });
        spy = std::make_unique<QSignalSpy>(&source(), &PowerSource::powerChanged);
    }

    PowerSource& source() { return sourceOf(backend); }
    // The one notice so far, which carries the source's current reading.
    void expectOneNoticeOfTheCurrentReading()
    {
        ASSERT_EQ(spy->count(), 1);
        EXPECT_EQ(spy->at(0).at(0).value<PowerStatus>(), source().status());
    }

    B backend;
    std::shared_ptr<int64_t> suspendedMs = std::make_shared<int64_t>(0);
    std::unique_ptr<QSignalSpy> spy;
};

using Backends = ::testing::Types<FakeBackend, SimBackend, SysfsBackend, UPowerBackend>;
class BackendNames {
public:
    template <typename B> static std::string GetName(int)
    {
        if constexpr (std::is_same_v<B, FakeBackend>)
            return "Fake";
        else if constexpr (std::is_same_v<B, SimBackend>)
            return "Sim";
        else if constexpr (std::is_same_v<B, SysfsBackend>)
            return "Sysfs";
        else
            return "UPower";
    }
};
TYPED_TEST_SUITE(PowerNotices, Backends, BackendNames);

TYPED_TEST(PowerNotices, LevelChangeEmitsOnce)
{
    const std::optional<int> before = this->source().status().level;
    this->backend.changeLevel();
    this->backend.settle([this] { return this->spy->count() > 0; });
    this->backend.poll();
    QCoreApplication::processEvents();
    EXPECT_LT(this->source().status().level, before);
    this->expectOneNoticeOfTheCurrentReading();
}

TYPED_TEST(PowerNotices, TimeOnlyChangeEmitsNothing)
{
    const PowerStatus before = this->source().status();
    ASSERT_NE(before.timeLeft, std::nullopt);
    this->backend.changeTimeOnly();
    this->backend.settle([&] { return this->source().status().timeLeft != before.timeLeft; });
    this->backend.poll();
    QCoreApplication::processEvents();
    // The new time is kept, but it is no change of the power state.
    EXPECT_NE(this->source().status().timeLeft, before.timeLeft);
    EXPECT_EQ(this->source().status().level, before.level);
    EXPECT_EQ(this->spy->count(), 0);
}

TYPED_TEST(PowerNotices, ResumeEmitsOnce)
{
    *this->suspendedMs += 60000; // a minute asleep
    this->source().resumed(); // the system's notice
    this->backend.poll(); // and the backend's own look: the same sleep
    QCoreApplication::processEvents();
    this->expectOneNoticeOfTheCurrentReading();
}

} // namespace

namespace {

// A test session over a power source, with fakes for everything else.
struct SessionOver {
    explicit SessionOver(PowerSource& power)
        : session(view, chart, dialogs, testing, power, clock, load)
    {
        dialogs.path = dir.filePath(QStringLiteral("run.apr"));
    }
    QTemporaryDir dir;
    test::FakeMainView view;
    test::FakeChart chart;
    test::FakeDialogs dialogs;
    test::FakeTestingWindow testing;
    FakeClock clock;
    test::FakeLoad load;
    TestSession session;
};

// On UPower a reading is three D-Bus calls (with one battery), each of which may block for two
// seconds. The ticks of a running test and the power checks use the kept
// reading: a test costs D-Bus calls only when UPower announces a change.
TEST(UPowerSession, TicksMakeNoDBusCall)
{
    UPowerBackend upower;
    ASSERT_NO_FATAL_FAILURE(upower.start());
    if (::testing::Test::IsSkipped())
        return;
    SessionOver parts(*upower.source);
    auto& view = parts.view;
    auto& clock = parts.clock;
    auto& session = parts.session;
    session.powerWatcher().startupCheck();
    ASSERT_TRUE(view.testsEnabled);
    EXPECT_EQ(upower.mock.takePropertyReads(), 3)
        << "the reading at start-up: OnBattery, DisplayDevice, the battery's design energy and voltage";

    const auto ticks = [&] {
        for (int i = 0; i < 5; ++i) {
            clock.advanceMs(1000);
            session.onTick();
        }
    };
    session.startTest(TestMode::Normal);
    ASSERT_EQ(session.state().mode, TestMode::Normal);
    EXPECT_EQ(upower.mock.takePropertyReads(), 3) << "the start checks the power on a fresh reading";
    ticks();
    EXPECT_EQ(session.lastSample(), 55);
    EXPECT_EQ(upower.mock.takePropertyReads(), 0) << "five ticks";

    upower.changeLevel();
    ASSERT_TRUE(QTest::qWaitFor([&] { return view.level == QLatin1String("54%"); }, WaitMs))
        << "the power check follows the notice";
    ticks();
    EXPECT_EQ(session.lastSample(), 54);
    EXPECT_EQ(upower.mock.takePropertyReads(), 3) << "one reading for the change, none for the ticks";
    session.stopTest();
}

// A restart of UPower (an upgrade) keeps the test going on the last reading;
// a service that does not come back in time ends it, saying why.
TEST(UPowerSession, ServiceRestartKeepsTheTestAndLossEndsItWithTheReason)
{
    UPowerBackend upower;
    ASSERT_NO_FATAL_FAILURE(upower.start());
    if (::testing::Test::IsSkipped())
        return;
    SessionOver parts(*upower.source);
    auto& view = parts.view;
    auto& dialogs = parts.dialogs;
    auto& session = parts.session;
    session.startTest(TestMode::Normal);
    upower.mock.stopMock(); // and back within the grace period of 30 s
    ASSERT_NO_FATAL_FAILURE(upower.mock.startMock(QStringLiteral("{\"OnBattery\": true}")));
    upower.mock.addDischargingBattery(53.0, 50.0, 10.0, 3600);
    ASSERT_TRUE(QTest::qWaitFor([&] { return upower.source->status().level == 53; }, WaitMs));
    session.onTick();
    EXPECT_EQ(session.lastSample(), 53);
    upower.source->setGracePeriod(std::chrono::milliseconds(200));
    upower.mock.stopMock();
    ASSERT_TRUE(QTest::qWaitFor([&] { return session.state().mode == TestMode::None; }, WaitMs));
    EXPECT_EQ(view.action, QLatin1String("testing interrupted"));
    EXPECT_EQ(dialogs.errors, QStringList { QStringLiteral("the power service stopped answering") });
}

} // namespace
