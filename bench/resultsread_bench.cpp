// SPDX-License-Identifier: GPL-3.0-or-later
// Reads a results file of 1 000 000 samples (about eleven and a half days of
// a normal test) and prints the read time, best of several runs, and the
// memory the process peaked at. Target: under 50 ms and under 20 MB.
#include "results/resultsformat.h"

#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

using namespace ampero;

namespace {

// A field of /proc/self/status in kB (VmHWM: peak resident memory).
long statusKb(const char* field)
{
    std::ifstream in("/proc/self/status");
    std::string line;
    const std::string key = std::string(field) + ":";
    while (std::getline(in, line))
        if (line.rfind(key, 0) == 0)
            return std::stol(line.substr(key.size()));
    return -1;
}

constexpr std::size_t SampleCount = 1000000;
constexpr int Runs = 7;

bool writeBigFile(const std::string& path)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    const auto header = encodeResultsHeader(2, 0, 0xFFFFFFFFu);
    out.write(reinterpret_cast<const char*>(header.data()), std::streamsize(header.size()));
    // A slow fall from 100 % to 0 %, written a block at a time.
    char block[4096];
    for (std::size_t done = 0; done < SampleCount;) {
        const std::size_t n = std::min(sizeof block, SampleCount - done);
        for (std::size_t i = 0; i < n; ++i)
            block[i] = static_cast<char>(100 - (done + i) * 101 / SampleCount);
        out.write(block, std::streamsize(n));
        done += n;
    }
    const auto trailer = encodeResultsTrailer(nullptr, 48000, 123456789);
    out.write(reinterpret_cast<const char*>(trailer.data()), std::streamsize(trailer.size()));
    return bool(out);
}

} // namespace

int main()
{
    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "cannot create a temporary folder\n");
        return 1;
    }
    const std::string path = dir.filePath(QStringLiteral("big.apr")).toStdString();
    if (!writeBigFile(path)) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return 1;
    }

    const long hwmBefore = statusKb("VmHWM");
    double bestMs = 1e300;
    for (int run = 0; run < Runs; ++run) {
        const auto start = std::chrono::steady_clock::now();
        const ResultsReadResult r = readResultsFile(path);
        const auto stop = std::chrono::steady_clock::now();
        if (!r.ok() || r.data.samples.size() != SampleCount || !r.data.complete || r.data.capacity != 48000) {
            std::fprintf(stderr, "reading failed: %s\n", r.describe().c_str());
            return 1;
        }
        bestMs = std::min(bestMs, std::chrono::duration<double, std::milli>(stop - start).count());
    }
    const long hwmAfter = statusKb("VmHWM");

    std::printf("results file: %zu samples\n", SampleCount);
    std::printf("read time (best of %d): %.2f ms (target < 50 ms)\n", Runs, bestMs);
    std::printf("peak memory VmHWM: before %.1f MB, after %.1f MB, growth %.1f MB (target < 20 MB)\n",
        hwmBefore / 1024.0, hwmAfter / 1024.0, (hwmAfter - hwmBefore) / 1024.0);
    const bool met = bestMs < 50.0 && hwmAfter < 20 * 1024;
    std::printf("%s\n", met ? "targets met" : "TARGETS MISSED");
    return 0;
}
