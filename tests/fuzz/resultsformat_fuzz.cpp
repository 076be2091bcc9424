// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target for the results-file reader: any input must parse or fail
// cleanly; a parsed file written back by the writer's encoders must read
// again to the same data.
#include "results/resultsformat.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

using namespace ampero;

namespace {

void check(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "round trip differs: %s\n", what);
        std::abort();
    }
}

std::vector<uint8_t> encode(const ResultsData& d)
{
    std::vector<uint8_t> out = encodeResultsHeader(d.mode, d.noLoad, d.forecast);
    out.insert(out.end(), d.samples.begin(), d.samples.end());
    if (d.complete) {
        // The writer puts the level-change times into every fast file.
        const std::array<double, 3>* times = d.mode == 1 ? &d.levelChangeTimes : nullptr;
        const auto trailer = encodeResultsTrailer(times, d.capacity, d.workCount);
        out.insert(out.end(), trailer.begin(), trailer.end());
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const ResultsReadResult first = parseResults(std::span<const uint8_t>(data, size));
    if (!first.ok()) {
        check(!first.describe().empty(), "failure without a reason");
        check(first.offset <= size, "failure offset past the input");
        return 0;
    }
    const ResultsData& a = first.data;
    check(a.samples.size() <= size, "more samples than bytes");
    for (uint8_t s : a.samples)
        check(s != ResultsTerminator, "terminator inside the samples");

    const std::vector<uint8_t> bytes = encode(a);
    const ResultsReadResult second = parseResults(bytes);
    check(second.ok(), "written file does not read");
    const ResultsData& b = second.data;
    check(a.mode == b.mode && a.noLoad == b.noLoad && a.forecast == b.forecast, "header");
    check(a.samples == b.samples, "samples");
    check(a.complete == b.complete, "completeness");
    if (a.complete) {
        check(b.hasLevelChangeTimes == (a.mode == 1), "level-change times present");
        // Bit for bit: NaNs must survive too.
        check(std::memcmp(a.levelChangeTimes.data(), b.levelChangeTimes.data(), sizeof(double) * 3) == 0,
            "level-change times");
        check(a.capacity == b.capacity && a.workCount == b.workCount, "capacity or work count");
    }
    check(encode(b) == bytes, "second write differs from the first");
    return 0;
}
