// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The worst results file the reader accepts: as large as it takes, a normal
// test whose level flips every second, so no run of samples can be drawn as
// one line.
#include "results/resultsformat.h"

#include <cstdint>
#include <fcntl.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace ampero::bench {

// Writes the file at path from a child process, so that its 64 MiB count
// against no benchmark's memory. True when it was written whole.
inline bool writeAlternatingFile(const std::string& path)
{
    const pid_t child = fork();
    if (child == 0) {
        std::vector<uint8_t> bytes = encodeResultsHeader(2, 1, 0xFFFFFFFFu);
        const std::size_t samples = ResultsMaxFileSize - ResultsHeaderSize - 13;
        bytes.reserve(ResultsMaxFileSize);
        for (std::size_t k = 0; k < samples; ++k)
            bytes.push_back(k % 2 ? 40 : 60);
        const auto trailer = encodeResultsTrailer(nullptr, 48000, 123456789);
        bytes.insert(bytes.end(), trailer.begin(), trailer.end());
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const bool ok
            = fd >= 0 && ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
        _exit(ok && ::close(fd) == 0 ? 0 : 1);
    }
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && status == 0;
}

} // namespace ampero::bench
