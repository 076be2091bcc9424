// SPDX-License-Identifier: GPL-3.0-or-later
#include "testutil.h"

#include <QAbstractEventDispatcher>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>
#include <xcb/xcb.h>

namespace ampero::test {

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(static_cast<char>(v & 0xFF));
    return out;
}

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& data)
{
    const QString path = dir.filePath(name);
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(data);
    return path;
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

QString amperoBinary()
{
    const QString fromEnv = qEnvironmentVariable("AMPERO_BINARY");
    return fromEnv.isEmpty() ? QStringLiteral(AMPERO_BINARY_DIR "/ampero") : fromEnv;
}

QByteArray exampleResults()
{
    return bytes({ 3, 'A', 'P', 'R', 2, 0, 0xFF, 0xFF, 0xFF, 0xFF, 100, 100, 99, 0xFF, 0x80, 0xBB, 0, 0, 5, 0,
        0, 0, 0, 0, 0, 0 });
}

ProgramExit runAmpero(const QStringList& args, QProcessEnvironment env)
{
    for (const char* var : { "DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM" })
        env.remove(QString::fromLatin1(var));
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(amperoBinary(), args);
    ProgramExit e;
    if (p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit)
        e.code = p.exitCode();
    e.out = p.readAllStandardOutput();
    e.err = p.readAllStandardError();
    return e;
}

} // namespace ampero::test

namespace ampero::test {

FaultInjection::FaultInjection(const QByteArray& fileSuffix, qint64 writeLimit, int syncErrno)
{
    qputenv("AMPERO_FAULT_TARGET", fileSuffix);
    if (writeLimit >= 0)
        qputenv("AMPERO_FAULT_WRITE_LIMIT", QByteArray::number(writeLimit));
    if (syncErrno != 0)
        qputenv("AMPERO_FAULT_SYNC_ERRNO", QByteArray::number(syncErrno));
}

FaultInjection::~FaultInjection()
{
    qunsetenv("AMPERO_FAULT_TARGET");
    qunsetenv("AMPERO_FAULT_WRITE_LIMIT");
    qunsetenv("AMPERO_FAULT_SYNC_ERRNO");
}

bool FaultInjection::active()
{
    const char* preload = std::getenv("LD_PRELOAD");
    return preload && std::strstr(preload, "faultshim");
}

QString faultShimPath()
{
    const QString path = QStringLiteral(AMPERO_FAULT_SHIM);
    return QFileInfo::exists(path) ? path : QString();
}

bool preloadFaultShim()
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    return false; // a sanitizer's runtime must come first: the fault cases skip
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
    return false;
#endif
#endif
    if (FaultInjection::active() || !QFileInfo::exists(QStringLiteral(AMPERO_FAULT_SHIM)))
        return FaultInjection::active();
    ::setenv("LD_PRELOAD", AMPERO_FAULT_SHIM, 1);
    // The same program with the same arguments, now with the shim.
    std::vector<char*> args;
    std::ifstream cmdline("/proc/self/cmdline", std::ios::binary);
    static std::vector<std::string> words;
    for (std::string w; std::getline(cmdline, w, '\0');)
        words.push_back(w);
    for (std::string& w : words)
        args.push_back(w.data());
    args.push_back(nullptr);
    ::execv("/proc/self/exe", args.data());
    return false; // exec failed: the fault cases skip
}

void sendVisibilityNotice(quintptr window, bool covered)
{
    xcb_visibility_notify_event_t event {};
    event.response_type = XCB_VISIBILITY_NOTIFY;
    event.window = static_cast<xcb_window_t>(window);
    event.state = covered ? XCB_VISIBILITY_FULLY_OBSCURED : XCB_VISIBILITY_PARTIALLY_OBSCURED;
    qintptr result = 0;
    QAbstractEventDispatcher::instance()->filterNativeEvent("xcb_generic_event_t", &event, &result);
}

} // namespace ampero::test
