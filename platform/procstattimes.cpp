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

std::optional<ProcessorSnapshot> ProcStatTimes::snapshot()
{
    // Into a buffer kept between samples: /proc files report no size, and
    // this runs once a second for the program's whole life. 64 MiB is far
    // beyond the /proc/stat of any machine.
    const auto used = readKernelFileInto(m_path, m_buffer, qsizetype(64) << 20);
    if (!used)
        return std::nullopt;
    return parseProcStat(QByteArray::fromRawData(m_buffer.constData(), *used), m_userHz);
}

} // namespace ampero
