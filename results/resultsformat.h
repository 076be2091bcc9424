// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The .apr results file: layout, reader and writer.
//
// Layout (little-endian, no padding):
//   0   4  Magic            0x03 'A' 'P' 'R'
//   4   1  Mode             1 fast, 2 normal (other values are read as they are)
//   5   1  NoLoad           1 without CPU load, 0 with it
//   6   4  Forecast         seconds, 0xFFFFFFFF when unknown
//   10  n  Samples          one level byte per second, 0..254
//   +0  1  Terminator       0xFF
//   +1  24 LevelChangeTimes 3 x binary64 day fractions, fast tests only
//   ..  4  Capacity         mWh, 0 when unknown
//   ..  8  WorkCount        loop iterations or estimated clock cycles
//
// The reader and the writer mirror each other. This file needs nothing but
// the standard library, so the reader can be fuzzed on its own.
#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace ampero {

inline constexpr std::array<uint8_t, 4> ResultsMagic { 0x03, 'A', 'P', 'R' };
inline constexpr uint8_t ResultsTerminator = 0xFF;
inline constexpr std::size_t ResultsHeaderSize = 10;
// Forecast value meaning that the operating system gave none.
inline constexpr uint32_t ForecastUnknown = 0xFFFFFFFFu;

// A forecast as the Forecast field stores it. A time the field cannot hold
// is unknown: a capped value would read as a real forecast.
constexpr uint32_t forecastField(std::optional<std::chrono::seconds> forecast)
{
    if (!forecast || forecast->count() < 0 || forecast->count() >= ForecastUnknown)
        return ForecastUnknown;
    return static_cast<uint32_t>(forecast->count());
}
// The largest file readResultsFile() reads: 64 MiB, some two years of samples.
// Anything longer is refused as too large.
inline constexpr std::size_t ResultsMaxFileSize = std::size_t(64) << 20;

struct ResultsData {
    uint8_t mode = 0;
    uint8_t noLoad = 0;
    uint32_t forecast = 0;
    std::vector<uint8_t> samples;
    // True when the file carries the three level-change times (fast tests).
    bool hasLevelChangeTimes = false;
    std::array<double, 3> levelChangeTimes { 0.0, 0.0, 0.0 };
    uint32_t capacity = 0;
    uint64_t workCount = 0;
    // False for a file cut off before its Terminator (power loss, crash) or
    // inside its trailer (a full disk at the stop): its samples are
    // recovered, its trailer values are absent.
    bool complete = true;
};

enum class ResultsError {
    None,
    CannotOpen, // the file could not be opened or read
    NotRegularFile, // a folder, pipe, device or socket: nothing is read from it
    NotResultsFile, // the first four bytes are not the Magic
    TruncatedHeader, // the file ends inside Mode, NoLoad or Forecast
};

struct ResultsReadResult {
    ResultsData data;
    ResultsError error = ResultsError::None;
    // Byte offset at which reading stopped on an error, and what was being read.
    std::size_t offset = 0;
    std::string field;
    // Operating-system text when the file could not be opened or read.
    std::string systemMessage;

    bool ok() const { return error == ResultsError::None; }
    // One line in English describing the failure, empty on success.
    std::string describe() const;
};

// Parses the bytes of a whole results file. Total: any input gives either
// data or an error, never reads past the span, never allocates more than the
// input's size.
ResultsReadResult parseResults(std::span<const uint8_t> bytes);

// Opens the file read-only and parses it. The path is taken as bytes, as the
// file system names files. Only a regular file is read: the file is opened
// without waiting (a FIFO with no writer would block for ever) and anything
// else is refused before a byte is read. The samples are the file's own
// buffer, not a copy, so a file takes its own size in memory once.
ResultsReadResult readResultsFile(const std::string& path);

// The bytes the writer puts down, for the writer itself and for tests.
std::vector<uint8_t> encodeResultsHeader(uint8_t mode, uint8_t noLoad, uint32_t forecast);
std::vector<uint8_t> encodeResultsTrailer(
    const std::array<double, 3>* levelChangeTimes, uint32_t capacity, uint64_t workCount);

// Writes a results file in three phases: create() puts down the header,
// appendSample() one byte a tick, finish() the Terminator and the trailer.
// Every write goes straight to the operating system (no buffer of ours);
// finish() flushes the file to disk before closing it, so a file completed
// just before a shutdown survives it.
class ResultsWriter {
public:
    ResultsWriter() = default;
    ResultsWriter(const ResultsWriter&) = delete;
    ResultsWriter& operator=(const ResultsWriter&) = delete;
    ~ResultsWriter();

    // Creates or replaces the file and writes the header. The file is locked
    // (flock, exclusive) before it is emptied, and stays locked until it is
    // closed, so a second test on the same file is refused instead of
    // overwriting the first one's data; the lock goes with the descriptor, so
    // a crash frees it. On failure the file is closed and errorString() says
    // why; inUse() tells a file held by another test.
    bool create(const std::string& path, uint8_t mode, uint8_t noLoad, uint32_t forecast);
    // Appends one sample. A level of 255 cannot be stored (it is the
    // Terminator) and is refused.
    bool appendSample(uint8_t level);
    // Appends the Terminator and the trailer, flushes and closes. The file is
    // closed afterwards even when a write failed. When any write of the test
    // failed (a sample, the trailer or the flush), the file is cut back to its
    // last whole sample and carries no Terminator: every reader then sees an
    // incomplete file, never a trailer that might not be what was meant.
    bool finish(const std::array<double, 3>* levelChangeTimes, uint32_t capacity, uint64_t workCount);
    // Ends a test whose writing failed: cuts the file back to its last whole
    // sample (so it reads as incomplete) and closes it.
    void abandon();
    // Closes without writing anything more.
    void close();
    // True when create() failed because another test holds the file.
    bool inUse() const { return m_inUse; }

    bool isOpen() const { return m_fd >= 0; }
    const std::string& path() const { return m_path; }
    const std::string& errorString() const { return m_error; }

private:
    bool writeAll(const uint8_t* data, std::size_t size);
    bool fail(const std::string& what, int err);

    int m_fd = -1;
    bool m_inUse = false;
    uint64_t m_goodSize = 0; // bytes on disk up to the last whole sample
    std::string m_path;
    std::string m_error;
};

} // namespace ampero
