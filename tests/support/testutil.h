// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QByteArray>
#include <QEvent>
#include <QObject>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
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

// Counts the paint events of the widgets it is installed on.
struct PaintCounter : QObject {
    int paints = 0;
    bool eventFilter(QObject*, QEvent* e) override
    {
        paints += e->type() == QEvent::Paint;
        return false;
    }
};

// What the X server sends when other windows cover a window wholly
// (covered) or leave part of it again, handed to the program's native event
// filters as the xcb platform would hand it; window: the window's winId().
void sendVisibilityNotice(quintptr window, bool covered);

// Path of the built program, for tests that start it.
QString amperoBinary();

// A complete normal-mode results file: 100% to 99% over three samples, a
// work count of 5 and a capacity of 48000 mWh.
QByteArray exampleResults();

// How a run of the built program ended: code -1 when it did not end by
// itself within 30 s.
struct ProgramExit {
    int code = -1;
    QByteArray out, err;
};
// Runs the built program with env (the test's own environment by default)
// and no display at all.
ProgramExit runAmpero(
    const QStringList& args, QProcessEnvironment env = QProcessEnvironment::systemEnvironment());

// Sanitizer builds compile the logic and its tests but not the program; a
// test that starts the program skips there.
#ifdef AMPERO_PROGRAM_NOT_BUILT
#define AMPERO_REQUIRE_PROGRAM() GTEST_SKIP() << "the program is not built in a sanitizer build"
#else
#define AMPERO_REQUIRE_PROGRAM() static_cast<void>(0)
#endif
// The fault shim (tests/faults/faultshim.c): a full disk for one file, or a
// failing fdatasync. In a binary that runs with the shim preloaded (see
// AMPERO_TEST_PRELOAD_FAULT_SHIM), an instance switches the fault on for its
// lifetime. faultShimPath() is the library, for a child's LD_PRELOAD.
class FaultInjection {
public:
    // fileSuffix: the end of the file's path; writeLimit: the size the file
    // may reach (-1: no limit); syncErrno: errno of its syncs (0: none).
    FaultInjection(const QByteArray& fileSuffix, qint64 writeLimit, int syncErrno = 0);
    ~FaultInjection();
    FaultInjection(const FaultInjection&) = delete;
    FaultInjection& operator=(const FaultInjection&) = delete;
    // True when this process runs with the shim preloaded.
    static bool active();
};
QString faultShimPath();
// Starts this test binary again with the shim preloaded, unless it already
// is; called before main() by AMPERO_TEST_PRELOAD_FAULT_SHIM.
bool preloadFaultShim();

} // namespace ampero::test

// Put once at namespace scope in a test file whose cases inject faults in
// their own process.
#define AMPERO_TEST_PRELOAD_FAULT_SHIM()                                                                     \
    [[maybe_unused]] static const bool ampero_faultShimPreloaded = ampero::test::preloadFaultShim();

namespace ampero::test {

} // namespace ampero::test
