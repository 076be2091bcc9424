// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Reading the files the kernel provides (sysfs attributes, /proc files) that
// the user never named. Such a path may hold anything in a test tree or a
// tampered folder: a FIFO would block an open or a read for ever, and a
// device may never end. So a file is opened with O_NONBLOCK and read only
// when fstat() shows a regular file, as every sysfs and /proc file is; what
// else is there reads as missing.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>

namespace ampero {

// Opens path for reading as above: a file descriptor (O_CLOEXEC), or -1 when
// it is missing, unreadable or not a regular file.
int openKernelFile(const QString& path);
// The same for a path already in the file system's encoding (a path read
// again and again need not be encoded each time).
int openKernelFile(const char* nativePath);

// Up to maxBytes of the file; nullopt when it is missing, unreadable or not
// a regular file.
std::optional<QByteArray> readKernelFile(const QString& path, qsizetype maxBytes = 4096);

// The same into buffer, which grows as needed up to maxBytes and keeps its
// size between calls (for a file read again and again); the number of bytes
// read, or nullopt as above.
std::optional<qsizetype> readKernelFileInto(const QString& path, QByteArray& buffer, qsizetype maxBytes);
std::optional<qsizetype> readKernelFileInto(const char* nativePath, QByteArray& buffer, qsizetype maxBytes);
// The same from a file already open (openKernelFile), from its start: a
// /proc file kept open gives its current contents each time.
std::optional<qsizetype> readKernelFileAt(int fd, QByteArray& buffer, qsizetype maxBytes);

// True when the open file is one the kernel writes as it is read (a /proc
// file), so that keeping it open and reading it again gives fresh figures.
bool isProcFile(int fd);

// A whole number as the kernel writes one: an optional sign, digits, and at
// most one trailing newline. Anything else (blanks, a NUL byte, a fraction,
// a value beyond 64 bits) is no number.
std::optional<qint64> parseKernelNumber(QByteArrayView text);

} // namespace ampero
