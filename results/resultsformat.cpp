// SPDX-License-Identifier: GPL-3.0-or-later
#include "results/resultsformat.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
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
    case ResultsError::NotResultsFile:
        return "not a results file (wrong signature)";
    case ResultsError::TruncatedHeader:
        return "results file ends inside its header (" + field + " at byte " + std::to_string(offset) + ")";
    case ResultsError::TruncatedTrailer:
        return "results file ends inside its trailer (" + field + " at byte " + std::to_string(offset) + ")";
    }
    return {};
}

ResultsReadResult parseResults(std::span<const uint8_t> bytes)
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

    // Samples run up to the Terminator. The vector never grows past the input.
    const std::size_t first = in.pos();
    const uint8_t* begin = bytes.data() + first;
    const uint8_t* end = bytes.data() + bytes.size();
    const uint8_t* term = static_cast<const uint8_t*>(std::memchr(begin, ResultsTerminator, end - begin));
    if (!term) {
        // Cut off before the Terminator: keep the curve, there is no trailer.
        d.samples.assign(begin, end);
        d.complete = false;
        return r;
    }
    d.samples.assign(begin, term);
    in.take(static_cast<std::size_t>(term - begin) + 1);

    // Optional trailer fields, each missing only together with all after it.
    if (d.mode == 1 && !in.atEnd()) {
        const std::size_t at = in.pos();
        if (!(p = in.take(24)))
            return failure(ResultsError::TruncatedTrailer, at, "LevelChangeTimes");
        for (std::size_t i = 0; i < 3; ++i)
            d.levelChangeTimes[i] = bitsDouble(getLE<uint64_t>(p + 8 * i));
        d.hasLevelChangeTimes = true;
    }
    if (!in.atEnd()) {
        const std::size_t at = in.pos();
        if (!(p = in.take(4)))
            return failure(ResultsError::TruncatedTrailer, at, "Capacity");
        d.capacity = getLE<uint32_t>(p);
    }
    if (!in.atEnd()) {
        const std::size_t at = in.pos();
        if (!(p = in.take(8)))
            return failure(ResultsError::TruncatedTrailer, at, "WorkCount");
        d.workCount = getLE<uint64_t>(p);
    }
    // Anything after the WorkCount is ignored.
    return r;
}

ResultsReadResult readResultsFile(const std::string& path)
{
    ResultsReadResult fail;
    fail.error = ResultsError::CannotOpen;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        fail.systemMessage = std::strerror(errno);
        return fail;
    }
    struct stat st { };
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        fail.systemMessage = std::strerror(EISDIR);
        return fail;
    }
    // Read straight into one buffer of the file's size (plus one byte, so the
    // end is seen in the same call); grow only if the file grows meanwhile.
    if (st.st_size > 0 && static_cast<uint64_t>(st.st_size) > ResultsMaxFileSize) {
        ::close(fd);
        fail.systemMessage = std::strerror(EFBIG);
        return fail;
    }
    std::vector<uint8_t> bytes(st.st_size > 0 ? static_cast<std::size_t>(st.st_size) + 1 : 65536);
    std::size_t used = 0;
    for (;;) {
        if (used == bytes.size()) {
            // A device or pipe that never ends (/dev/zero) must not take all memory.
            if (bytes.size() > ResultsMaxFileSize) {
                ::close(fd);
                fail.systemMessage = std::strerror(EFBIG);
                return fail;
            }
            bytes.resize(std::min(bytes.size() * 2, ResultsMaxFileSize + 1));
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
    bytes.resize(used);
    ::close(fd);
    return parseResults(bytes);
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
    m_fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (m_fd < 0)
        return fail("cannot create " + path, errno);
    const auto header = encodeResultsHeader(mode, noLoad, forecast);
    if (!writeAll(header.data(), header.size())) {
        close();
        return false;
    }
    return true;
}

bool ResultsWriter::appendSample(uint8_t level)
{
    if (m_fd < 0)
        return fail("no results file is open", EBADF);
    if (level == ResultsTerminator)
        return fail("level 255 cannot be stored", EINVAL);
    return writeAll(&level, 1);
}

bool ResultsWriter::finish(
    const std::array<double, 3>* levelChangeTimes, uint32_t capacity, uint64_t workCount)
{
    if (m_fd < 0)
        return fail("no results file is open", EBADF);
    const auto trailer = encodeResultsTrailer(levelChangeTimes, capacity, workCount);
    bool ok = writeAll(trailer.data(), trailer.size());
    if (ok && ::fdatasync(m_fd) != 0 && errno != EINVAL && errno != EROFS)
        ok = fail("cannot flush " + m_path, errno);
    if (::close(m_fd) != 0 && ok)
        ok = fail("cannot close " + m_path, errno);
    m_fd = -1;
    return ok;
}

void ResultsWriter::close()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

} // namespace ampero
