// SPDX-License-Identifier: GPL-3.0-or-later
// Cost of one tick of the usage timer on this machine: reading /proc/stat,
// the per-processor shares and the bar positions and average text.
#include "platform/procstattimes.h"
#include "sysinfo/processorcount.h"
#include "sysinfo/usagedisplay.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

using namespace ampero;

namespace {

// A tick counter that moves one second per call, so every sample has an interval.
class SteppingTimes final : public ProcessorTimesSource {
public:
    std::optional<ProcessorSnapshot> snapshot() override { return m_real.snapshot(); }
    std::chrono::milliseconds tickCount() override { return m_tick += std::chrono::seconds(1); }

private:
    ProcStatTimes m_real;
    std::chrono::milliseconds m_tick { 0 };
};

} // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20000;
    const int n = countProcessors();
    SteppingTimes source;
    UsageMeter meter(source, n);
    meter.start();

    std::vector<double> us;
    us.reserve(static_cast<size_t>(rounds));
    int shown = 0;
    for (int i = 0; i < rounds; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        const auto d = meter.tick();
        const auto t1 = std::chrono::steady_clock::now();
        shown += d ? 1 : 0;
        us.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
    }
    std::sort(us.begin(), us.end());
    double sum = 0;
    for (double v : us)
        sum += v;
    std::printf("usage sampler tick, %d processors, %d rounds (%d shown)\n", n, rounds, shown);
    std::printf("  mean   %8.2f us\n", sum / rounds);
    std::printf("  median %8.2f us\n", us[us.size() / 2]);
    std::printf("  p99    %8.2f us\n", us[us.size() * 99 / 100]);
    std::printf("  max    %8.2f us\n", us.back());
    std::printf("  target  100.00 us per tick: %s\n", us[us.size() / 2] < 100.0 ? "met" : "MISSED");
    return 0;
}
