// SPDX-License-Identifier: GPL-3.0-or-later
#include "results/resultsformat.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ampero {

namespace {

// Little-endian numbers, assembled byte by byte so the host's order never matters.
template <typename T> void putLE(std::vector<uint8_t>& out, T value)
{
    for (std::size_t i = 0; i < sizeof(T); ++i)
        out.push_back(static_cast<uint8_t>((static_cast<uint64_t>(value) >> (8 * i)) & 0xFF));
}

template <typename T> T getLE(const uint8_t* p)
{
    uint64_t v = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i)
        v |= static_cast<uint64_t>(p[i]) << (8 * i);
    return static_cast<T>(v);
}

uint64_t doubleBits(double d)
{
    uint64_t bits = 0;
    static_assert(sizeof bits == sizeof d);
    std::memcpy(&bits, &d, sizeof d);
    return bits;
}

double bitsDouble(uint64_t bits)
{
    double d = 0;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

// A cursor over the input that checks every read against the end.
class Cursor {
public:
    explicit Cursor(std::span<const uint8_t> bytes)
        : m_bytes(bytes)
    {
    }
    std::size_t pos() const { return m_pos; }
    std::size_t left() const { return m_bytes.size() - m_pos; }
    bool atEnd() const { return m_pos >= m_bytes.size(); }
    const uint8_t* take(std::size_t n)
    {
        if (left() < n)
            return nullptr;
        const uint8_t* p = m_bytes.data() + m_pos;
        m_pos += n;
        return p;
    }

private:
    std::span<const uint8_t> m_bytes;
    std::size_t m_pos = 0;
};

ResultsReadResult failure(ResultsError error, std::size_t offset, const char* field)
{
    ResultsReadResult r;
    r.error = error;
    r.offset = offset;
    r.field = field;
    return r;
}

} // namespace

std::string ResultsReadResult::describe() const
{
    switch (error) {
    case ResultsError::None:
        return {};
    case ResultsError::CannotOpen:
        return "cannot read the file: "
            + (systemMessage.empty() ? std::string("unknown error") : systemMessage);
    case ResultsError::NotRegularFile:
        return "not a regular file (" + systemMessage + ")";
    case ResultsError::NotResultsFile:
        return "not a results file (wrong signature)";
    case ResultsError::TruncatedHeader:
        return "results file ends inside its header (" + field + " at byte " + std::to_string(offset) + ")";
    }
    return {};
}

namespace {

// Where the samples lie in the input; the rest of the result is filled in.
struct SampleRange {
    std::size_t first = 0;
    std::size_t count = 0;
};

ResultsReadResult parseFields(std::span<const uint8_t> bytes, SampleRange& range)
{
    Cursor in(bytes);
    const uint8_t* magic = in.take(4);
    if (!magic || std::memcmp(magic, ResultsMagic.data(), ResultsMagic.size()) != 0)
        return failure(ResultsError::NotResultsFile, 0, "Magic");

    ResultsReadResult r;
    ResultsData& d = r.data;
    const uint8_t* p = in.take(1);
    if (!p)
        return failure(ResultsError::TruncatedHeader, in.pos(), "Mode");
    d.mode = p[0];
    if (!(p = in.take(1)))
        return failure(ResultsError::TruncatedHeader, in.pos(), "NoLoad");
    d.noLoad = p[0];
    const std::size_t forecastAt = in.pos();
    if (!(p = in.take(4)))
        return failure(ResultsError::TruncatedHeader, forecastAt, "Forecast");
    d.forecast = getLE<uint32_t>(p);

    // Samples run up to the Terminator.
    range.first = in.pos();
    const uint8_t* begin = bytes.data() + range.first;
    const uint8_t* end = bytes.data() + bytes.size();
    const uint8_t* term = static_cast<const uint8_t*>(std::memchr(begin, ResultsTerminator, end - begin));
    if (!term) {
        // Cut off before the Terminator: keep the curve, there is no trailer.
        range.count = static_cast<std::size_t>(end - begin);
        d.complete = false;
        return r;
    }
    range.count = static_cast<std::size_t>(term - begin);
    in.take(range.count + 1);

    // Optional trailer fields, each missing only together with all after it.
    // A field cut part-way (the disk filled while the trailer was written)
    // leaves a file like one cut before its Terminator: the samples count,
    // no trailer value does.
    const auto cutInTrailer = [&r] {
        ResultsData& data = r.data;
        data.complete = false;
        data.hasLevelChangeTimes = false;
        data.levelChangeTimes = { 0.0, 0.0, 0.0 };
        data.capacity = 0;
        data.workCount = 0;
        return r;
    };
    if (d.mode == 1 && !in.atEnd()) {
        if (!(p = in.take(24)))
            return cutInTrailer();
        for (std::size_t i = 0; i < 3; ++i)
            d.levelChangeTimes[i] = bitsDouble(getLE<uint64_t>(p + 8 * i));
        d.hasLevelChangeTimes = true;
    }
    if (!in.atEnd()) {
        if (!(p = in.take(4)))
            return cutInTrailer();
        d.capacity = getLE<uint32_t>(p);
    }
    if (!in.atEnd()) {
        if (!(p = in.take(8)))
            return cutInTrailer();
        d.workCount = getLE<uint64_t>(p);
    }
    // Anything after the WorkCount is ignored.
    return r;
}

const char* fileKind(mode_t mode)
{
    if (S_ISDIR(mode))
        return "a folder";
    if (S_ISFIFO(mode))
        return "a pipe";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "a device";
    if (S_ISSOCK(mode))
        return "a socket";
    return "not a file";
}

} // namespace

ResultsReadResult parseResults(std::span<const uint8_t> bytes)
{
    SampleRange range;
    ResultsReadResult r = parseFields(bytes, range);
    if (r.ok())
        r.data.samples.assign(bytes.begin() + static_cast<std::ptrdiff_t>(range.first),
            bytes.begin() + static_cast<std::ptrdiff_t>(range.first + range.count));
    return r;
}

ResultsReadResult readResultsFile(const std::string& path)
{
    ResultsReadResult fail;
    fail.error = ResultsError::CannotOpen;
    // O_NONBLOCK: opening a FIFO with no writer returns at once instead of
    // waiting for one; the type check below then refuses it.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        fail.systemMessage = std::strerror(errno);
        return fail;
    }
    struct stat st { };
    if (::fstat(fd, &st) != 0) {
        fail.systemMessage = std::strerror(errno);
        ::close(fd);
        return fail;
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        fail.error = ResultsError::NotRegularFile;
        fail.systemMessage = fileKind(st.st_mode);
        return fail;
    }
    if (static_cast<uint64_t>(st.st_size) > ResultsMaxFileSize) {
        ::close(fd);
        fail.systemMessage = std::strerror(EFBIG);
        return fail;
    }
    // One buffer of the file's size plus one byte, so the end is seen in the
    // same call; a file that grows meanwhile is read up to the limit.
    std::vector<uint8_t> bytes(static_cast<std::size_t>(st.st_size) + 1);
    std::size_t used = 0;
    for (;;) {
        if (used == bytes.size()) {
            if (bytes.size() > ResultsMaxFileSize) {
                ::close(fd);
                fail.systemMessage = std::strerror(EFBIG);
                return fail;
            }
            bytes.resize(std::min(bytes.size() * 2 + 4096, ResultsMaxFileSize + 1));
        }
        const ssize_t n = ::read(fd, bytes.data() + used, bytes.size() - used);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            fail.systemMessage = std::strerror(errno);
            ::close(fd);
            return fail;
        }
        if (n == 0)
            break;
        used += static_cast<std::size_t>(n);
    }
    ::close(fd);
    bytes.resize(used);

    // The samples become the buffer itself: the header is moved out of its
    // front and the trailer cut off its end, with no second allocation.
    SampleRange range;
    ResultsReadResult r = parseFields(bytes, range);
    if (r.ok()) {
        bytes.erase(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(range.first));
        bytes.resize(range.count);
        r.data.samples = std::move(bytes);
    }
    return r;
}

std::vector<uint8_t> encodeResultsHeader(uint8_t mode, uint8_t noLoad, uint32_t forecast)
{
    std::vector<uint8_t> out(ResultsMagic.begin(), ResultsMagic.end());
    out.push_back(mode);
    out.push_back(noLoad);
    putLE(out, forecast);
    return out;
}

std::vector<uint8_t> encodeResultsTrailer(
    const std::array<double, 3>* levelChangeTimes, uint32_t capacity, uint64_t workCount)
{
    std::vector<uint8_t> out { ResultsTerminator };
    if (levelChangeTimes)
        for (double t : *levelChangeTimes)
            putLE(out, doubleBits(t));
    putLE(out, capacity);
    putLE(out, workCount);
    return out;
}

ResultsWriter::~ResultsWriter()
{
    close();
}

bool ResultsWriter::fail(const std::string& what, int err)
{
    m_error = what + ": " + std::strerror(err);
    return false;
}

bool ResultsWriter::writeAll(const uint8_t* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(m_fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return fail("cannot write " + m_path, errno);
        }
        if (n == 0)
            return fail("cannot write " + m_path, EIO);
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool ResultsWriter::create(const std::string& path, uint8_t mode, uint8_t noLoad, uint32_t forecast)
{
    close();
    m_path = path;
    m_error.clear();
    m_inUse = false;
    // Not O_TRUNC: the file is emptied only once this test holds its lock.
    // O_NONBLOCK: a FIFO at the name must not hold the start up; it is
    // refused below like every other file that is not a regular one.
    constexpr int flags = O_RDWR | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    bool created = false;
    m_fd = ::open(path.c_str(), flags);
    if (m_fd < 0 && errno == ENOENT) {
        m_fd = ::open(path.c_str(), flags | O_CREAT | O_EXCL, 0666);
        created = m_fd >= 0;
        if (m_fd < 0 && errno == EEXIST) // a link to a name still free, or a file made meanwhile
            m_fd = ::open(path.c_str(), flags | O_CREAT, 0666);
    }
    if (m_fd < 0)
        return fail("cannot create " + path, errno);
    struct stat st { };
    if (::fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        // /dev/null, a FIFO, a terminal: a test would run and keep nothing.
        close();
        m_error = "cannot create " + path + ": not a regular file";
        return false;
    }
    // A start that fails takes away the file it created, and only that file.
    const auto failCreated = [&](const std::string& what, int err) {
        struct stat now { };
        if (created && ::stat(path.c_str(), &now) == 0 && now.st_dev == st.st_dev && now.st_ino == st.st_ino)
            ::unlink(path.c_str());
        close();
        return err != 0 ? fail(what, err) : false;
    };
    while (::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR)
            continue;
        const int err = errno;
        if (err == EWOULDBLOCK) {
            close();
            m_inUse = true;
            m_error = "cannot create " + path + ": another test is writing this file";
            return false;
        }
        return failCreated("cannot lock " + path, err);
    }
    if (::ftruncate(m_fd, 0) != 0)
        return failCreated("cannot create " + path, errno);
    m_goodSize = 0;
    const auto header = encodeResultsHeader(mode, noLoad, forecast);
    if (!writeAll(header.data(), header.size()))
        return failCreated(m_error, 0);
    m_goodSize = header.size();
    return true;
}

bool ResultsWriter::appendSample(uint8_t level)
{
    if (m_fd < 0)
        return fail("no results file is open", EBADF);
    if (level == ResultsTerminator)
        return fail("level 255 cannot be stored", EINVAL);
    if (!writeAll(&level, 1))
        return false;
    ++m_goodSize;
    return true;
}

bool ResultsWriter::finish(
    const std::array<double, 3>* levelChangeTimes, uint32_t capacity, uint64_t workCount)
{
    if (m_fd < 0)
        return fail("no results file is open", EBADF);
    const auto trailer = encodeResultsTrailer(levelChangeTimes, capacity, workCount);
    bool ok = writeAll(trailer.data(), trailer.size());
    // EINVAL and EROFS: a file that cannot be synced (a special file system);
    // nothing was lost.
    if (ok && ::fdatasync(m_fd) != 0 && errno != EINVAL && errno != EROFS)
        ok = fail("cannot flush " + m_path, errno);
    if (!ok) {
        abandon();
        return false;
    }
    if (::close(m_fd) != 0) {
        m_fd = -1;
        return fail("cannot close " + m_path, errno);
    }
    m_fd = -1;
    return true;
}

void ResultsWriter::abandon()
{
    if (m_fd < 0)
        return;
    // What follows the last whole sample may be a part of a trailer, or a
    // whole one the disk may not hold: either way it is taken away.
    [[maybe_unused]] const int cut = ::ftruncate(m_fd, static_cast<off_t>(m_goodSize));
    close();
}

void ResultsWriter::close()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

} // namespace ampero
