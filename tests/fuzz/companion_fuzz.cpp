// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target for the companion-file reader: any input must parse or be
// refused with a reason; the samples it read, written back line by line,
// must read again to the same values; and whatever it read, added to an
// evaluated results file, must print as a JSON report of finite numbers.
#include "app/report.h"
#include "results/companionfile.h"
#include "results/evaluation.h"

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>
#include <cstdio>
#include <cstdlib>

using namespace ampero;

namespace {

void check(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "companion check failed: %s\n", what);
        std::abort();
    }
}

bool same(const std::optional<double>& a, const std::optional<double>& b)
{
    return a.has_value() == b.has_value() && (!a || *a == *b);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const CompanionData first = parseCompanion(bytes);
    if (!first.ok) {
        check(!first.problem.isEmpty(), "refusal without a reason");
        return 0;
    }
    // Written back once, the values are rounded as the writer rounds them;
    // from then on every round trip must keep them exactly.
    QByteArray again = encodeSetupLine(CompanionSetup {});
    for (const EnergySample& s : first.samples)
        again += encodeSampleLine(s);
    const CompanionData second = parseCompanion(again);
    check(second.ok && second.skippedLines == 0, "written companion does not read");
    QByteArray third = encodeSetupLine(CompanionSetup {});
    for (const EnergySample& s : second.samples)
        third += encodeSampleLine(s);
    check(third == again, "second write differs from the first");
    const CompanionData fourth = parseCompanion(third);
    check(fourth.samples.size() == second.samples.size(), "sample count");
    for (std::size_t i = 0; i < fourth.samples.size(); ++i) {
        const EnergySample& a = second.samples[i];
        const EnergySample& b = fourth.samples[i];
        check(a.seconds == b.seconds && a.level == b.level && same(a.energyWh, b.energyWh)
                && same(a.powerW, b.powerW) && same(a.voltageV, b.voltageV),
            "sample values");
    }

    // A results file of 100 samples with this companion beside it.
    std::vector<uint8_t> apr = encodeResultsHeader(1, 0, 3600);
    for (int k = 0; k < 100; ++k)
        apr.push_back(static_cast<uint8_t>(90 - k / 30));
    ResultsEvaluation e = evaluateResults(parseResults(apr), QStringLiteral("/tmp/fuzz.apr"));
    check(e.ok, "results file does not evaluate");
    addCompanion(e, first);
    check(e.hasCompanion, "companion not taken");
    const QByteArray json = reportJson(QStringLiteral("/tmp/fuzz.apr"), e);
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    check(error.error == QJsonParseError::NoError && doc.isObject(), "report is not JSON");
    for (const char* key : { "average_power_w", "energy_used_wh", "battery_health_percent", "energy_full_wh",
             "energy_full_design_wh", "energy_forecast_seconds" }) {
        const QJsonValue v = doc.object().value(QLatin1String(key));
        check(v.isNull() || (v.isDouble() && std::isfinite(v.toDouble())), key);
    }
    return 0;
}
