// SPDX-License-Identifier: GPL-3.0-or-later
#include "results/resultsformat.h"
#include "support/testutil.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace ampero;

AMPERO_TEST_PRELOAD_FAULT_SHIM()

namespace {

std::vector<uint8_t> v(std::initializer_list<int> values)
{
    std::vector<uint8_t> out;
    for (int x : values)
        out.push_back(static_cast<uint8_t>(x));
    return out;
}

// The example normal-test file: samples 100, 100, 99, no forecast, capacity 48000, work count 5.
const std::vector<uint8_t> kNormalExample = v({ 0x03, 0x41, 0x50, 0x52, 0x02, 0x00, 0xFF, 0xFF, 0xFF, 0xFF,
    0x64, 0x64, 0x63, 0xFF, 0x80, 0xBB, 0x00, 0x00, 0x05, 0, 0, 0, 0, 0, 0, 0 });

std::vector<uint8_t> writeWithWriter(const QTemporaryDir& dir, uint8_t mode,
    const std::vector<uint8_t>& samples, const std::array<double, 3>* times, uint32_t capacity, uint64_t work)
{
    const std::string path = dir.filePath(QStringLiteral("w.apr")).toStdString();
    ResultsWriter w;
    EXPECT_TRUE(w.create(path, mode, 0, 0xFFFFFFFFu)) << w.errorString();
    for (uint8_t s : samples)
        EXPECT_TRUE(w.appendSample(s));
    EXPECT_TRUE(w.finish(times, capacity, work)) << w.errorString();
    const QByteArray b = test::readFile(QString::fromStdString(path));
    return std::vector<uint8_t>(b.begin(), b.end());
}

std::vector<uint8_t> fastExample()
{
    const std::array<double, 3> times { 2.0 / 86400, 4.0 / 86400, 5.0 / 86400 };
    std::vector<uint8_t> out = encodeResultsHeader(1, 1, 7200);
    for (int s : { 80, 80, 79, 79, 78, 77 })
        out.push_back(static_cast<uint8_t>(s));
    const auto trailer = encodeResultsTrailer(&times, 41000, 123456789012345ull);
    out.insert(out.end(), trailer.begin(), trailer.end());
    return out;
}

} // namespace

TEST(ResultsFormat, WriterProducesTheDocumentedNormalExampleByteForByte)
{
    QTemporaryDir dir;
    EXPECT_EQ(writeWithWriter(dir, 2, { 100, 100, 99 }, nullptr, 48000, 5), kNormalExample);
}

TEST(ResultsFormat, ReaderParsesTheNormalExample)
{
    const auto r = parseResults(kNormalExample);
    ASSERT_TRUE(r.ok()) << r.describe();
    EXPECT_EQ(r.data.mode, 2);
    EXPECT_EQ(r.data.noLoad, 0);
    EXPECT_EQ(r.data.forecast, 0xFFFFFFFFu);
    EXPECT_EQ(r.data.samples, v({ 100, 100, 99 }));
    EXPECT_FALSE(r.data.hasLevelChangeTimes);
    EXPECT_EQ(r.data.capacity, 48000u);
    EXPECT_EQ(r.data.workCount, 5u);
    EXPECT_TRUE(r.data.complete);
}

TEST(ResultsFormat, FastFileRoundTripsThroughWriterAndReader)
{
    QTemporaryDir dir;
    const std::array<double, 3> times { 2.0 / 86400, 4.0 / 86400, 5.0 / 86400 };
    const auto bytes = writeWithWriter(dir, 1, { 80, 80, 79, 79, 78, 77 }, &times, 41000, 123456789012345ull);
    ASSERT_EQ(bytes.size(), 47u + 6u);
    const auto r = parseResults(bytes);
    ASSERT_TRUE(r.ok());
    EXPECT_TRUE(r.data.hasLevelChangeTimes);
    EXPECT_EQ(r.data.levelChangeTimes, times);
    EXPECT_EQ(r.data.capacity, 41000u);
    EXPECT_EQ(r.data.workCount, 123456789012345ull);
    // The level-change times are binary64 little-endian: 2/86400 starts at offset 17.
    uint64_t bits = 0;
    const double t0 = 2.0 / 86400;
    std::memcpy(&bits, &t0, 8);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(bytes[17 + i], static_cast<uint8_t>(bits >> (8 * i)));
}

TEST(ResultsFormat, SignatureMustMatchExactly)
{
    for (auto magic :
        { v({ 0x03, 'a', 'p', 'r' }), v({ 0x04, 'A', 'P', 'R' }), v({ 'A', 'P', 'R', 0x03 }), v({}) }) {
        auto bytes = kNormalExample;
        std::copy(magic.begin(), magic.end(), bytes.begin());
        if (magic.empty())
            bytes.clear();
        const auto r = parseResults(bytes);
        EXPECT_EQ(r.error, ResultsError::NotResultsFile);
    }
}

TEST(ResultsFormat, EveryValueOfTheFirstByteButTheLengthByteIsRejected)
{
    for (int first = 0; first < 256; ++first) {
        auto bytes = kNormalExample;
        bytes[0] = static_cast<uint8_t>(first);
        EXPECT_EQ(parseResults(bytes).ok(), first == 0x03) << first;
    }
}

TEST(ResultsFormat, OptionalTrailerFieldsMayBeMissingOnlyFromTheEnd)
{
    const auto header = encodeResultsHeader(2, 0, 100);
    auto withTerm = header;
    withTerm.insert(withTerm.end(), { 50, 49, 0xFF });
    // Ends right after the Terminator: capacity and work count are 0.
    auto r = parseResults(withTerm);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.data.capacity, 0u);
    EXPECT_EQ(r.data.workCount, 0u);
    // Capacity only.
    auto withCap = withTerm;
    withCap.insert(withCap.end(), { 0x10, 0x27, 0, 0 });
    r = parseResults(withCap);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.data.capacity, 10000u);
    EXPECT_EQ(r.data.workCount, 0u);
    // Two bytes into the capacity (the disk filled at the stop): the samples
    // are kept as in a file cut before its Terminator, no trailer value is.
    auto half = withCap;
    half.insert(half.end(), { 0x10, 0x27 });
    r = parseResults(half);
    ASSERT_TRUE(r.ok()) << r.describe();
    EXPECT_FALSE(r.data.complete);
    EXPECT_EQ(r.data.samples, v({ 50, 49 }));
    EXPECT_EQ(r.data.capacity, 0u);
    EXPECT_EQ(r.data.workCount, 0u);
}

TEST(ResultsFormat, FastFileEndingAfterTheTerminatorHasNoLevelChangeTimes)
{
    auto bytes = encodeResultsHeader(1, 0, 100);
    bytes.insert(bytes.end(), { 80, 79, 0xFF });
    const auto r = parseResults(bytes);
    ASSERT_TRUE(r.ok());
    EXPECT_FALSE(r.data.hasLevelChangeTimes);
    EXPECT_EQ(r.data.capacity, 0u);
}

TEST(ResultsFormat, HeaderAndTerminatorAloneIsWellFormedWithNoSamples)
{
    auto bytes = encodeResultsHeader(2, 0, 100);
    bytes.push_back(0xFF);
    const auto r = parseResults(bytes);
    ASSERT_TRUE(r.ok());
    EXPECT_TRUE(r.data.samples.empty());
    EXPECT_TRUE(r.data.complete);
}

TEST(ResultsFormat, BytesAfterWorkCountAreIgnored)
{
    auto bytes = kNormalExample;
    bytes.insert(bytes.end(), { 1, 2, 3, 0xFF });
    const auto r = parseResults(bytes);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.data.workCount, 5u);
}

TEST(ResultsFormat, FileCutBeforeItsTerminatorIsRecoveredAsIncomplete)
{
    auto bytes = encodeResultsHeader(1, 0, 3600);
    bytes.insert(bytes.end(), { 90, 90, 89 });
    const auto r = parseResults(bytes);
    ASSERT_TRUE(r.ok());
    EXPECT_FALSE(r.data.complete);
    EXPECT_EQ(r.data.samples, v({ 90, 90, 89 }));
    EXPECT_FALSE(r.data.hasLevelChangeTimes);
    EXPECT_EQ(r.data.capacity, 0u);
    EXPECT_EQ(r.data.workCount, 0u);
}

// Every prefix of a valid file either reads (recovered or with missing optional
// fields) or fails with the field it stopped in; none crashes or reads past the end.
TEST(ResultsFormat, EveryTruncationPointOfAFastAndANormalFile)
{
    for (const auto& full : { kNormalExample, fastExample() }) {
        const bool fast = full[4] == 1;
        const std::size_t n = fast ? full.size() - 47 : full.size() - 23;
        const std::size_t term = 10 + n;
        for (std::size_t len = 0; len <= full.size(); ++len) {
            const std::vector<uint8_t> prefix(full.begin(), full.begin() + static_cast<long>(len));
            const auto r = parseResults(prefix);
            SCOPED_TRACE(testing::Message() << (fast ? "fast" : "normal") << " prefix " << len);
            if (len < 4) {
                EXPECT_EQ(r.error, ResultsError::NotResultsFile);
            } else if (len < 10) {
                EXPECT_EQ(r.error, ResultsError::TruncatedHeader);
            } else if (len <= term) {
                ASSERT_TRUE(r.ok());
                EXPECT_FALSE(r.data.complete);
                EXPECT_EQ(r.data.samples.size(), len - 10);
            } else {
                const std::size_t after = len - term - 1;
                const std::vector<std::size_t> ends = fast ? std::vector<std::size_t> { 0, 24, 28, 36 }
                                                           : std::vector<std::size_t> { 0, 4, 12 };
                const bool atFieldEnd = std::find(ends.begin(), ends.end(), after) != ends.end();
                // A trailer cut part-way reads like a file cut before it.
                ASSERT_TRUE(r.ok()) << r.describe();
                EXPECT_EQ(r.data.complete, atFieldEnd);
                EXPECT_EQ(r.data.samples.size(), n);
                if (!atFieldEnd) {
                    EXPECT_FALSE(r.data.hasLevelChangeTimes);
                    EXPECT_EQ(r.data.capacity, 0u);
                    EXPECT_EQ(r.data.workCount, 0u);
                }
            }
        }
    }
}

TEST(ResultsFormat, WriterRefusesTheUnknownLevelAndWritesNothingForIt)
{
    QTemporaryDir dir;
    const std::string path = dir.filePath(QStringLiteral("x.apr")).toStdString();
    ResultsWriter w;
    ASSERT_TRUE(w.create(path, 2, 0, 10));
    EXPECT_FALSE(w.appendSample(255));
    EXPECT_TRUE(w.appendSample(42));
    EXPECT_EQ(test::readFile(QString::fromStdString(path)).size(), 11);
    EXPECT_TRUE(w.finish(nullptr, 0, 0));
    EXPECT_FALSE(w.isOpen());
}

TEST(ResultsFormat, FileIsOnDiskAfterEverySampleWithoutTerminator)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("live.apr"));
    ResultsWriter w;
    ASSERT_TRUE(w.create(path.toStdString(), 2, 0, 10));
    w.appendSample(70);
    w.appendSample(69);
    const auto r = readResultsFile(path.toStdString());
    ASSERT_TRUE(r.ok());
    EXPECT_FALSE(r.data.complete);
    EXPECT_EQ(r.data.samples, v({ 70, 69 }));
}

// A second test on a file another test writes is refused, and the first
// test's data stays; once the first writer is gone the file may be reused.
TEST(ResultsFormat, SecondWriterOfTheSameFileIsRefusedAndTruncatesNothing)
{
    QTemporaryDir dir;
    const std::string path = dir.filePath(QStringLiteral("busy.apr")).toStdString();
    ResultsWriter first;
    ASSERT_TRUE(first.create(path, 2, 0, 10));
    ASSERT_TRUE(first.appendSample(70));
    ResultsWriter second;
    EXPECT_FALSE(second.create(path, 1, 1, 20));
    EXPECT_TRUE(second.inUse());
    EXPECT_FALSE(second.isOpen());
    EXPECT_NE(second.errorString().find("another test is writing this file"), std::string::npos)
        << second.errorString();
    ASSERT_TRUE(first.appendSample(69));
    ASSERT_TRUE(first.finish(nullptr, 1, 2));
    const auto r = readResultsFile(path);
    ASSERT_TRUE(r.ok());
    EXPECT_TRUE(r.data.complete);
    EXPECT_EQ(r.data.mode, 2);
    EXPECT_EQ(r.data.samples, v({ 70, 69 }));

    ResultsWriter third;
    EXPECT_TRUE(third.create(path, 1, 1, 20)) << third.errorString();
    EXPECT_FALSE(third.inUse());
}

// A full disk or a failing flush at the stop: finish() says so and leaves a
// file that every reader sees as incomplete, with its samples, never a
// trailer that may not be what was meant.
TEST(ResultsFormat, FailedTrailerOrFlushLeavesAnIncompleteFile)
{
    if (!test::FaultInjection::active())
        GTEST_SKIP() << "the fault shim is not preloaded";
    QTemporaryDir dir;
    const struct {
        const char* name;
        qint64 limit; // bytes the file may reach
        int syncErrno;
        const char* message;
    } rows[] = {
        { "disk full inside the trailer", 10 + 3 + 6, 0, "No space left on device" },
        { "disk full right at the Terminator", 10 + 3, 0, "No space left on device" },
        { "fdatasync fails", -1, EIO, "Input/output error" },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const QString path = dir.filePath(QStringLiteral("%1.apr").arg(QString::fromLatin1(row.name)));
        ResultsWriter w;
        ASSERT_TRUE(w.create(path.toStdString(), 2, 0, 10));
        for (int level : { 90, 90, 89 })
            ASSERT_TRUE(w.appendSample(static_cast<uint8_t>(level)));
        {
            test::FaultInjection fault(QFile::encodeName(path), row.limit, row.syncErrno);
            EXPECT_FALSE(w.finish(nullptr, 48000, 5));
        }
        EXPECT_NE(w.errorString().find(row.message), std::string::npos) << w.errorString();
        EXPECT_FALSE(w.isOpen());
        EXPECT_EQ(test::readFile(path).size(), 13);
        const auto r = readResultsFile(path.toStdString());
        ASSERT_TRUE(r.ok()) << r.describe();
        EXPECT_FALSE(r.data.complete);
        EXPECT_EQ(r.data.samples, v({ 90, 90, 89 }));
    }
}

TEST(ResultsFormat, CreateFailsWithTheSystemsReasonInAMissingFolder)
{
    ResultsWriter w;
    EXPECT_FALSE(w.create("/nonexistent-folder/x.apr", 2, 0, 0));
    EXPECT_NE(w.errorString().find("No such file or directory"), std::string::npos) << w.errorString();
    EXPECT_FALSE(w.isOpen());
    EXPECT_FALSE(w.appendSample(50));
    EXPECT_FALSE(w.finish(nullptr, 0, 0));
}

// A start that fails for lack of space takes away the file it created, and
// never a file that was there before it.
TEST(ResultsFormat, FailedCreateRemovesOnlyTheFileItMade)
{
    if (!test::FaultInjection::active())
        GTEST_SKIP() << "the fault shim is not preloaded";
    QTemporaryDir dir;
    const QString made = dir.filePath(QStringLiteral("new.apr"));
    const QString old = test::writeFile(dir, QStringLiteral("old.apr"), "old");
    for (const QString& path : { made, old }) {
        test::FaultInjection fault(QFile::encodeName(path), 0);
        ResultsWriter w;
        EXPECT_FALSE(w.create(path.toStdString(), 2, 0, 0));
        EXPECT_NE(w.errorString().find("No space left on device"), std::string::npos) << w.errorString();
    }
    EXPECT_FALSE(QFile::exists(made));
    EXPECT_TRUE(QFile::exists(old));
}

TEST(ResultsFormat, ReaderOpensReadOnlyFilesAndReportsMissingOnes)
{
    QTemporaryDir dir;
    const QString path = test::writeFile(dir, QStringLiteral("ro.apr"),
        QByteArray(reinterpret_cast<const char*>(kNormalExample.data()),
            static_cast<qsizetype>(kNormalExample.size())));
    ::chmod(path.toLocal8Bit().constData(), 0444);
    EXPECT_TRUE(readResultsFile(path.toStdString()).ok());
    const auto missing = readResultsFile(dir.filePath(QStringLiteral("none.apr")).toStdString());
    EXPECT_EQ(missing.error, ResultsError::CannotOpen);
    EXPECT_NE(missing.describe().find("No such file"), std::string::npos);
    EXPECT_EQ(readResultsFile(dir.path().toStdString()).error, ResultsError::NotRegularFile);
}
