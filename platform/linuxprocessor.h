// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "platform/processor.h"

#include <QString>

namespace ampero {

// The processor this program runs on. On x86 the brand comes from CPUID and
// the ticks from RDTSC. Elsewhere the brand is the "model name" line of
// cpuinfoPath (NUL-padded to 48 bytes) and the ticks are the current
// frequency of processor 0 (cpufreq, else the "cpu MHz" line) times the
// time slept.
class LinuxProcessor final : public Processor {
public:
    explicit LinuxProcessor(QString cpuinfoPath = QStringLiteral("/proc/cpuinfo"));
    std::optional<QByteArray> brandBytes() override;
    uint64_t ticksAcross(int sleepMs) override;

private:
    QString m_cpuinfoPath;
};

// The value of the first "key : value" line of a /proc/cpuinfo text whose
// key is key (surrounding blanks removed); empty when there is none.
QByteArray cpuinfoField(const QByteArray& cpuinfo, const QByteArray& key);

} // namespace ampero
