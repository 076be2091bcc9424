// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <cstdint>
#include <vector>

namespace ampero::test {

// Bytes from a list of numbers, for writing expected file contents inline.
QByteArray bytes(std::initializer_list<int> values);

// Writes data to dir/name and returns the full path.
QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& data);

// Reads a whole file; an empty array when it cannot be read.
QByteArray readFile(const QString& path);

// Path of the built program, for tests that start it.
QString amperoBinary();

// Sanitizer builds compile the logic and its tests but not the program; a
// test that starts the program skips there.
#ifdef AMPERO_PROGRAM_NOT_BUILT
#define AMPERO_REQUIRE_PROGRAM() GTEST_SKIP() << "the program is not built in a sanitizer build"
#else
#define AMPERO_REQUIRE_PROGRAM() static_cast<void>(0)
#endif

} // namespace ampero::test
