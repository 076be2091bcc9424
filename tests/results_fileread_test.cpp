// SPDX-License-Identifier: GPL-3.0-or-later
#include "results/resultsformat.h"
#include "support/testutil.h"

#include <QFile>
#include <QTemporaryDir>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <future>
#include <gtest/gtest.h>
#include <memory>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace ampero;

namespace {

// Only a regular file is read. A FIFO with no writer once blocked the reader
// in open() for ever (in the window, on the main thread); a device never
// ends. Each is refused at once, before a byte is read, and says what it is.
TEST(ResultsFileRead, AnythingButARegularFileIsRefusedAtOnce)
{
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("pipe.apr"));
    ASSERT_EQ(::mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    const struct {
        QString path;
        const char* says;
    } rows[] = {
        { fifo, "not a regular file (a pipe)" },
        { QStringLiteral("/dev/zero"), "not a regular file (a device)" },
        { dir.path(), "not a regular file (a folder)" },
    };
    for (const auto& row : rows) {
        // A blocked open() would hang the test: read on a thread that can be abandoned.
        auto promise = std::make_shared<std::promise<ResultsReadResult>>();
        std::future<ResultsReadResult> read = promise->get_future();
        std::thread([promise, path = row.path.toStdString()] {
            promise->set_value(readResultsFile(path));
        }).detach();
        ASSERT_EQ(read.wait_for(std::chrono::seconds(5)), std::future_status::ready) << row.says;
        const ResultsReadResult r = read.get();
        EXPECT_EQ(r.error, ResultsError::NotRegularFile) << row.says;
        EXPECT_EQ(r.describe(), row.says);
    }
    // The FIFO was never opened for reading: a writer would still block.
    const int fd = ::open(fifo.toLocal8Bit().constData(), O_WRONLY | O_NONBLOCK);
    EXPECT_EQ(fd, -1);
    EXPECT_EQ(errno, ENXIO);
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
