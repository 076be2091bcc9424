// SPDX-License-Identifier: GPL-3.0-or-later
#include "sysinfo/processorcount.h"

#include <unistd.h>

namespace ampero {

int clampProcessorCount(long count)
{
    if (count < 1)
        return 1;
    if (count > 255)
        return 255;
    return static_cast<int>(count);
}

int countProcessors()
{
    return clampProcessorCount(sysconf(_SC_NPROCESSORS_ONLN));
}

} // namespace ampero
