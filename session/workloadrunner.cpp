// SPDX-License-Identifier: GPL-3.0-or-later
#include "session/workloadrunner.h"

#include "session/workunit.h"

#include <QDir>
#include <QFile>
#include <chrono>
#include <condition_variable>
#include <fcntl.h>
#include <mutex>
#include <thread>
#include <unistd.h>

namespace ampero {

// One thread of a stream: waits for a burst, runs its units, writes its
// bytes (if any), says it is done, and waits again.
class BurstThread {
public:
    using Done = std::function<void()>;

    explicit BurstThread(const std::atomic<bool>& cancel)
        : m_cancel(cancel)
        , m_thread([this] { loop(); })
    {
    }
    ~BurstThread()
    {
        {
            std::lock_guard lock(m_mutex);
            m_quit = true;
        }
        m_wake.notify_one();
        m_thread.join();
    }
    BurstThread(const BurstThread&) = delete;
    BurstThread& operator=(const BurstThread&) = delete;

    void burst(int units, int fd, int bytes, Done done)
    {
        {
            std::lock_guard lock(m_mutex);
            m_units = units;
            m_fd = fd;
            m_bytes = bytes;
            m_done = std::move(done);
            m_pending = true;
        }
        m_wake.notify_one();
    }
    int64_t unitsRun() const { return m_unitsRun.load(std::memory_order_relaxed); }

private:
    void loop()
    {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_wake.wait(lock, [this] { return m_pending || m_quit; });
            if (m_quit)
                return;
            m_pending = false;
            const int units = m_units;
            const int fd = m_fd;
            const int bytes = m_bytes;
            Done done = std::move(m_done);
            lock.unlock();
            m_unitsRun.fetch_add(m_kernel.run(units, &m_cancel), std::memory_order_relaxed);
            if (fd >= 0 && bytes > 0 && !m_cancel.load(std::memory_order_relaxed))
                save(fd, bytes);
            done();
            lock.lock();
        }
    }

    // A document saved: the bytes written over the file's start and synced.
    void save(int fd, int bytes)
    {
        std::vector<char> block(static_cast<std::size_t>(bytes), static_cast<char>(m_kernel.checksum()));
        off_t at = 0;
        while (at < bytes) {
            const ssize_t n = ::pwrite(fd, block.data() + at, static_cast<std::size_t>(bytes - at), at);
            if (n <= 0)
                break; // a full disk costs the save, not the test
            at += n;
        }
        ::fdatasync(fd);
    }

    const std::atomic<bool>& m_cancel;
    WorkUnitKernel m_kernel;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_pending = false;
    bool m_quit = false;
    int m_units = 0;
    int m_fd = -1;
    int m_bytes = 0;
    Done m_done;
    std::atomic<int64_t> m_unitsRun { 0 };
    std::thread m_thread; // last: starts once the rest is built
};

WorkloadRunner::WorkloadRunner(std::function<int64_t()> nowUs, QObject* parent)
    : QObject(parent)
    , m_nowUs(nowUs ? std::move(nowUs) : std::function<int64_t()>([] {
        return std::chrono::duration_cast<std::chrono::microseconds>(
            std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }))
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &WorkloadRunner::wake);
}

WorkloadRunner::~WorkloadRunner()
{
    stop();
}

int64_t WorkloadRunner::now() const
{
    return m_nowUs() - m_startUs;
}

bool WorkloadRunner::start(Workload workload)
{
    stop();
    std::vector<BurstStream> streams = workloadStreams(workload);
    if (streams.empty())
        return false;
    m_cancel.store(false);
    try {
        for (const BurstStream& s : streams) {
            std::vector<std::unique_ptr<BurstThread>> threads;
            threads.reserve(static_cast<std::size_t>(s.threads));
            for (int i = 0; i < s.threads; ++i)
                threads.push_back(std::make_unique<BurstThread>(m_cancel));
            m_threads.push_back(std::move(threads));
            m_remaining.push_back(std::make_shared<std::atomic<int>>(0));
            if (s.writeBytes > 0 && m_fileFd < 0) {
                // A file of its own, gone from the folder at once: a killed
                // program leaves nothing behind.
                QByteArray name = QFile::encodeName(QDir::tempPath()) + "/ampero-workload-XXXXXX";
                m_fileFd = ::mkstemp(name.data());
                if (m_fileFd >= 0)
                    ::unlink(name.constData());
            }
        }
    } catch (...) {
        stop();
        return false;
    }
    ++m_generation;
    m_schedule = std::make_unique<WorkloadSchedule>(std::move(streams));
    m_wakeUps = 0;
    m_idleWakeUps = 0;
    m_startUs = m_nowUs();
    arm();
    return true;
}

void WorkloadRunner::arm()
{
    if (!m_schedule)
        return;
    const std::optional<int64_t> wakeAt = m_schedule->nextWakeUs();
    if (!wakeAt) {
        m_timer.stop();
        return;
    }
    // Rounded up to the millisecond: a timer that fires early would only
    // find nothing due and wake again.
    const int64_t inUs = std::max<int64_t>(0, *wakeAt - now());
    m_timer.start(static_cast<int>((inUs + 999) / 1000));
}

void WorkloadRunner::wake()
{
    if (!m_schedule)
        return;
    ++m_wakeUps;
    const quint64 generation = m_generation;
    const std::vector<int> started = m_schedule->startDue(now());
    if (started.empty())
        ++m_idleWakeUps;
    for (int i : started) {
        const BurstStream& s = m_schedule->streams()[static_cast<std::size_t>(i)];
        auto& threads = m_threads[static_cast<std::size_t>(i)];
        auto remaining = m_remaining[static_cast<std::size_t>(i)];
        remaining->store(static_cast<int>(threads.size()));
        const int n = static_cast<int>(threads.size());
        for (int t = 0; t < n; ++t) {
            // A fixed total split over the threads, the remainder to the first.
            const int units = s.units / n + (t == 0 ? s.units % n : 0);
            threads[static_cast<std::size_t>(t)]->burst(
                units, t == 0 ? m_fileFd : -1, t == 0 ? s.writeBytes : 0, [this, remaining, i, generation] {
                    if (remaining->fetch_sub(1) == 1)
                        QMetaObject::invokeMethod(
                            this, [this, i, generation] { burstEnded(i, generation); }, Qt::QueuedConnection);
                });
        }
    }
    arm();
}

void WorkloadRunner::burstEnded(int stream, quint64 generation)
{
    if (!m_schedule || generation != m_generation)
        return;
    m_schedule->finished(stream, now());
    Q_EMIT repaintWanted(m_schedule->streams()[static_cast<std::size_t>(stream)].repaint);
    arm();
}

WorkloadTally WorkloadRunner::tally() const
{
    return m_schedule ? m_schedule->tally(now()) : m_last;
}

int64_t WorkloadRunner::unitsRun() const
{
    int64_t total = 0;
    for (const auto& threads : m_threads)
        for (const auto& t : threads)
            total += t->unitsRun();
    return total;
}

WorkloadTally WorkloadRunner::stop()
{
    m_timer.stop();
    if (!m_schedule && m_threads.empty())
        return m_last;
    m_cancel.store(true);
    if (m_schedule)
        m_last = m_schedule->tallyAtStop(now());
    m_threads.clear(); // joins: each running burst ends at its next unit
    m_remaining.clear();
    m_schedule.reset();
    ++m_generation; // ends posted by the threads of this run are ignored
    if (m_fileFd >= 0) {
        ::close(m_fileFd);
        m_fileFd = -1;
    }
    return m_last;
}

} // namespace ampero
