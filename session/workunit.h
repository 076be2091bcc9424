// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The unit of work of the workloads: one fixed piece of integer, floating
// point and memory work over a working set larger than a level-1 cache.
// Every workload counts its work in these units, so the same workload does
// the same work on every machine.
#include <atomic>
#include <cstdint>
#include <vector>

namespace ampero {

class WorkUnitKernel {
public:
    // The working set of one kernel: 128 KiB, past the 32 to 48 KiB of a
    // level-1 data cache, within a level-2 one.
    static constexpr std::size_t WorkingSetBytes = std::size_t { 128 } * 1024;

    WorkUnitKernel();
    // Runs `units` units, or fewer when cancel is set between two units;
    // returns the units run.
    int run(int units, const std::atomic<bool>* cancel = nullptr);
    // A value that depends on every unit run, so none can be left out.
    uint64_t checksum() const { return m_hash; }

private:
    void unit();

    std::vector<uint64_t> m_data;
    uint64_t m_hash = 0x243F6A8885A308D3ULL;
    double m_acc = 1.0;
};

} // namespace ampero
