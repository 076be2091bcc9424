// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The workloads a test can run: full load (every processor busy, the load
// workers) and schedules of fixed work that stand for the way a laptop is
// used. Their names are what the companion file, the terminal's --workload
// and the reports use; the set carries one version number, which a result
// names, so that results of a changed set are never compared as equal.
#include "core/phrases.h"

#include <QString>
#include <QStringView>
#include <array>
#include <optional>

namespace ampero {

enum class Workload {
    FullLoad, // every processor busy, as the load workers do
    Reading,
    Office,
    Web,
    Video,
};

// The version of the set of schedules. Raise it with any change to a
// schedule, its units or threads, or the work unit itself.
inline constexpr int WorkloadSetVersion = 1;

inline constexpr std::array<Workload, 5> AllWorkloads { Workload::FullLoad, Workload::Reading,
    Workload::Office, Workload::Web, Workload::Video };

// The workload's name on the command line and in the companion file.
inline QString workloadKey(Workload w)
{
    switch (w) {
    case Workload::FullLoad:
        return QStringLiteral("full");
    case Workload::Reading:
        return QStringLiteral("reading");
    case Workload::Office:
        return QStringLiteral("office");
    case Workload::Web:
        return QStringLiteral("web");
    case Workload::Video:
        return QStringLiteral("video");
    }
    return {};
}

// The workload of a key, ignoring case; none for any other text.
inline std::optional<Workload> workloadFromKey(QStringView key)
{
    for (Workload w : AllWorkloads)
        if (key.compare(workloadKey(w), Qt::CaseInsensitive) == 0)
            return w;
    return std::nullopt;
}

// The name a user reads, in the menu and the results.
inline QString workloadName(Workload w)
{
    switch (w) {
    case Workload::FullLoad:
        return phrase("Full load");
    case Workload::Reading:
        return phrase("Reading");
    case Workload::Office:
        return phrase("Office");
    case Workload::Web:
        return phrase("Web");
    case Workload::Video:
        return phrase("Video");
    }
    return {};
}

} // namespace ampero
