// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "platform/processortimes.h"

#include <QString>

namespace ampero {

// Per-processor times from the kernel's /proc/stat (path replaceable for
// tests), the tick counter from CLOCK_MONOTONIC.
class ProcStatTimes final : public ProcessorTimesSource {
public:
    explicit ProcStatTimes(QString path = QStringLiteral("/proc/stat"));
    ~ProcStatTimes() override;
    ProcStatTimes(const ProcStatTimes&) = delete;
    ProcStatTimes& operator=(const ProcStatTimes&) = delete;
    std::optional<ProcessorSnapshot> snapshot() override;
    std::chrono::milliseconds tickCount() override { return monotonicMs(); }

private:
    QString m_path;
    long m_userHz;
    QByteArray m_buffer;
    int m_fd = -1; // /proc/stat, kept open between samples
    bool m_keepOpen = false;
};

} // namespace ampero
