// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/kernelfile.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <limits>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace ampero {

int openKernelFile(const QString& path)
{
    return openKernelFile(QFile::encodeName(path).constData());
}

int openKernelFile(const char* nativePath)
{
    // O_NONBLOCK: opening a FIFO without a writer returns at once instead of
    // waiting for one. A regular file reads the same with or without it.
    const int fd = ::open(nativePath, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return -1;
    struct stat st { };
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

std::optional<qsizetype> readKernelFileInto(const QString& path, QByteArray& buffer, qsizetype maxBytes)
{
    return readKernelFileInto(QFile::encodeName(path).constData(), buffer, maxBytes);
}

std::optional<qsizetype> readKernelFileInto(const char* nativePath, QByteArray& buffer, qsizetype maxBytes)
{
    const int fd = openKernelFile(nativePath);
    if (fd < 0)
        return std::nullopt;
    const auto used = readKernelFileAt(fd, buffer, maxBytes);
    ::close(fd);
    return used;
}

bool isProcFile(int fd)
{
    struct statfs fs { };
    return ::fstatfs(fd, &fs) == 0 && fs.f_type == PROC_SUPER_MAGIC;
}

std::optional<qsizetype> readKernelFileAt(int fd, QByteArray& buffer, qsizetype maxBytes)
{
    if (buffer.size() == 0)
        buffer.resize(std::min<qsizetype>(maxBytes, 4096));
    qsizetype used = 0;
    // sysfs and /proc report no size: read until the end or the limit.
    while (used < maxBytes) {
        if (used == buffer.size())
            buffer.resize(std::min(buffer.size() * 2, maxBytes));
        const ssize_t n = ::pread(fd, buffer.data() + used, static_cast<size_t>(buffer.size() - used), used);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            break;
        used += n;
    }
    return used;
}

std::optional<QByteArray> readKernelFile(const QString& path, qsizetype maxBytes)
{
    QByteArray data;
    const auto used = readKernelFileInto(path, data, maxBytes);
    if (!used)
        return std::nullopt;
    data.truncate(*used);
    return data;
}

std::optional<qint64> parseKernelNumber(QByteArrayView text)
{
    if (text.endsWith('\n'))
        text.chop(1);
    const bool negative = text.startsWith('-');
    if (negative || text.startsWith('+'))
        text = text.sliced(1);
    if (text.isEmpty())
        return std::nullopt;
    // Accumulated as a negative number, whose range reaches one further.
    qint64 value = 0;
    constexpr qint64 lowest = std::numeric_limits<qint64>::min();
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        const int digit = c - '0';
        if (value < (lowest + digit) / 10)
            return std::nullopt;
        value = value * 10 - digit;
    }
    if (negative)
        return value;
    if (value == lowest)
        return std::nullopt;
    return -value;
}

} // namespace ampero
