// SPDX-License-Identifier: GPL-3.0-or-later
// How long the end-of-session rule takes: writing the run-once entry and
// completing a ten-hour results file (flushed to disk). logind waits at most
// InhibitDelayMaxSec (5 s by default) for it.
#include "platform/inhibitor.h"
#include "results/resultsformat.h"
#include "session/runentry.h"
#include "session/sessionend.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

using namespace ampero;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 50;
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        const QString path = dir.filePath(QStringLiteral("run %1.apr").arg(i));
        ResultsWriter writer;
        if (!writer.create(path.toStdString(), 2, 0, 36000))
            return 1;
        for (int s = 0; s < 36000; ++s)
            writer.appendSample(static_cast<uint8_t>(100 - s / 360));
        FakeInhibitor locks;
        SessionEndOptions options;
        options.autostartDirectory = dir.filePath(QStringLiteral("autostart"));
        SessionEnd end(
            { [] { return true; }, [&] { return path; }, [&] { writer.finish(nullptr, 50000, 123456789); } },
            options, &locks, nullptr);
        end.testStarted();
        const auto t0 = std::chrono::steady_clock::now();
        end.queryEndSession();
        const auto t1 = std::chrono::steady_clock::now();
        ms.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
    }
    std::sort(ms.begin(), ms.end());
    std::printf("end-of-session rule (entry + completing a 36000-sample file, fsync), %d runs:\n", runs);
    std::printf("  median %.3f ms, 95th percentile %.3f ms, max %.3f ms (logind allows 5000 ms)\n",
        ms[ms.size() / 2], ms[std::min(ms.size() - 1, ms.size() * 95 / 100)], ms.back());
    return 0;
}
