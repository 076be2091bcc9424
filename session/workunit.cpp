// SPDX-License-Identifier: GPL-3.0-or-later
#include "session/workunit.h"

namespace ampero {

namespace {
// Passes over the working set per unit: about 0.1 ms on the reference machine.
constexpr int PassesPerUnit = 3;
} // namespace

WorkUnitKernel::WorkUnitKernel()
    : m_data(WorkingSetBytes / sizeof(uint64_t))
{
    uint64_t x = 0x9E3779B97F4A7C15ULL;
    for (uint64_t& v : m_data) {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        v = x;
    }
}

void WorkUnitKernel::unit()
{
    uint64_t h = m_hash;
    double acc = m_acc;
    for (int pass = 0; pass < PassesPerUnit; ++pass) {
        // Each element feeds the hash and the floating-point sum and is
        // written back changed, so every load and store stays.
        for (uint64_t& v : m_data) {
            h = (h ^ v) * 0x100000001B3ULL;
            acc = acc * 0.999999 + static_cast<double>(h >> 11) * 0x1p-53;
            v = h + static_cast<uint64_t>(acc * 1024.0);
        }
    }
    m_hash = h;
    m_acc = acc;
}

int WorkUnitKernel::run(int units, const std::atomic<bool>* cancel)
{
    int done = 0;
    for (; done < units; ++done) {
        if (cancel && cancel->load(std::memory_order_relaxed))
            break;
        unit();
    }
    return done;
}

} // namespace ampero
