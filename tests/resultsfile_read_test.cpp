// SPDX-License-Identifier: GPL-3.0-or-later
#include "results/resultsformat.h"
#include "support/testutil.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>

using namespace ampero;

namespace {

// A file that never ends is refused, not read until memory runs out.
TEST(ResultsFileRead, EndlessDeviceIsRefusedAsTooLarge)
{
    if (!QFile::exists(QStringLiteral("/dev/zero")))
        GTEST_SKIP() << "no /dev/zero";
    const ResultsReadResult r = readResultsFile("/dev/zero");
    EXPECT_EQ(r.error, ResultsError::CannotOpen);
    EXPECT_EQ(r.describe(), "cannot read the file: File too large");
}

// A results file from a pipe (a shell's process substitution) reads like a
// regular file, whatever its size.
TEST(ResultsFileRead, PipeIsReadToItsEnd)
{
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("pipe.apr"));
    ASSERT_EQ(::mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);

    std::vector<uint8_t> file = encodeResultsHeader(2, 0, 600);
    file.insert(file.end(), 200000, 77);
    const auto trailer = encodeResultsTrailer(nullptr, 48000, 9);
    file.insert(file.end(), trailer.begin(), trailer.end());

    std::thread writer([&] {
        QFile out(fifo);
        if (out.open(QIODevice::WriteOnly))
            out.write(reinterpret_cast<const char*>(file.data()), qint64(file.size()));
    });
    const ResultsReadResult r = readResultsFile(fifo.toStdString());
    writer.join();
    ASSERT_TRUE(r.ok()) << r.describe();
    EXPECT_EQ(r.data.samples.size(), 200000u);
    EXPECT_EQ(r.data.capacity, 48000u);
    EXPECT_EQ(r.data.workCount, 9u);
}

TEST(ResultsFileRead, FileOfExactlyTheLargestSizeIsRead)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("big.apr"));
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        const auto header = encodeResultsHeader(2, 0, 0);
        f.write(reinterpret_cast<const char*>(header.data()), qint64(header.size()));
        ASSERT_TRUE(f.resize(qint64(ResultsMaxFileSize))); // zero samples up to the limit
    }
    const ResultsReadResult r = readResultsFile(path.toStdString());
    ASSERT_TRUE(r.ok()) << r.describe();
    EXPECT_EQ(r.data.samples.size(), ResultsMaxFileSize - ResultsHeaderSize);
    EXPECT_FALSE(r.data.complete);

    {
        QFile f(path);
        ASSERT_TRUE(f.resize(qint64(ResultsMaxFileSize) + 1));
    }
    const ResultsReadResult tooBig = readResultsFile(path.toStdString());
    EXPECT_EQ(tooBig.error, ResultsError::CannotOpen);
    EXPECT_EQ(tooBig.describe(), "cannot read the file: File too large");
}

} // namespace
