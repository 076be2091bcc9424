// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/procstattimes.h"

#include "platform/kernelfile.h"

#include <cerrno>
#include <unistd.h>

namespace ampero {

ProcStatTimes::ProcStatTimes(QString path)
    : m_path(std::move(path))
    , m_userHz(sysconf(_SC_CLK_TCK))
{
}

std::optional<ProcessorSnapshot> ProcStatTimes::snapshot()
{
    // Plain read(2) into a buffer kept between samples: /proc files report no
    // size, and this runs once a second for the program's whole life.
    // Refuses anything but a regular file, which could block (openKernelFile).
    const int fd = openKernelFile(m_path);
    if (fd < 0)
        return std::nullopt;
    if (m_buffer.size() < 16384)
        m_buffer.resize(16384);
    qsizetype used = 0;
    for (;;) {
        if (used == m_buffer.size())
            m_buffer.resize(m_buffer.size() * 2);
        const ssize_t n = ::read(fd, m_buffer.data() + used, static_cast<size_t>(m_buffer.size() - used));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0)
            break;
        used += n;
    }
    ::close(fd);
    return parseProcStat(QByteArray::fromRawData(m_buffer.constData(), used), m_userHz);
}

} // namespace ampero
