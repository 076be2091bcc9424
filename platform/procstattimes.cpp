// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/procstattimes.h"

#include "platform/kernelfile.h"

#include <unistd.h>

namespace ampero {

ProcStatTimes::ProcStatTimes(QString path)
    : m_path(std::move(path))
    , m_userHz(sysconf(_SC_CLK_TCK))
{
}

ProcStatTimes::~ProcStatTimes()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

std::optional<ProcessorSnapshot> ProcStatTimes::snapshot()
{
    // Into a buffer kept between samples: /proc files report no size, and
    // this runs once a second for the program's whole life. 64 MiB is far
    // beyond the /proc/stat of any machine.
    constexpr qsizetype Limit = qsizetype(64) << 20;
    // The kernel's file stays open and is read again from its start, which
    // spares a path lookup, an open and a close each second. Any other file
    // (a test's, a copy) is opened afresh each time, as it may be replaced.
    if (m_fd < 0) {
        m_fd = openKernelFile(m_path);
        if (m_fd < 0)
            return std::nullopt;
        m_keepOpen = isProcFile(m_fd);
    }
    const auto used = readKernelFileAt(m_fd, m_buffer, Limit);
    if (!m_keepOpen || !used) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (!used)
        return std::nullopt;
    return parseProcStat(QByteArray::fromRawData(m_buffer.constData(), *used), m_userHz);
}

} // namespace ampero
