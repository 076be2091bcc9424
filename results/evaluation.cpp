// SPDX-License-Identifier: GPL-3.0-or-later
#include "results/evaluation.h"

#include "core/figuretext.h"
#include "core/phrases.h"
#include "core/sitesettings.h"
#include "core/testmode.h"
#include "core/timeunits.h"
#include "core/workload.h"

#include <QCoreApplication>
#include <QFile>
#include <QUrl>
#include <algorithm>
#include <cmath>

namespace ampero {

QString modeKeyword(uint8_t mode)
{
    switch (static_cast<TestMode>(mode)) {
    case TestMode::Fast:
        return QStringLiteral("fast");
    case TestMode::Normal:
        return QStringLiteral("normal");
    default:
        return QStringLiteral("unknown");
    }
}

QString loadKeyword(uint8_t noLoad)
{
    return noLoad != 0 ? QStringLiteral("none") : QStringLiteral("full");
}

std::optional<double> forecastLineEnd(uint8_t firstLevel, const std::array<double, 3>& times)
{
    // Intervals are kept as doubles; everything after runs in extended precision.
    const double d1 = static_cast<double>(static_cast<long double>(times[1]) - times[0]);
    const double d2 = static_cast<double>(static_cast<long double>(times[2]) - times[1]);
    if (d1 == 0.0 || d2 == 0.0 || !std::isfinite(d1) || !std::isfinite(d2))
        return std::nullopt;
    const long double a1 = std::atan(-1.0L / d1);
    const long double a2 = std::atan(-1.0L / d2);
    const long double theta = (a1 + a2) / 2.0L;
    const long double s = std::sin(theta);
    if (s == 0.0L || !std::isfinite(s))
        return std::nullopt;
    const long double k = -static_cast<long double>(firstLevel) / s;
    const double m = static_cast<double>(k * std::cos(theta));
    if (!std::isfinite(m))
        return std::nullopt;
    return m;
}

std::optional<double> fastForecast(uint8_t firstLevel, const std::array<double, 3>& times)
{
    if (!(times[0] < times[1] && times[1] < times[2]))
        return std::nullopt;
    return forecastLineEnd(firstLevel, times);
}

int64_t computeMark(double life, uint64_t workCount, uint32_t capacity, uint8_t firstLevel, uint8_t lastLevel)
{
    // The capacity scale is exact in 64 bits (and in the 64-bit significand).
    const uint64_t scale = static_cast<uint64_t>(capacity) * 1000000u;
    const int32_t drop = static_cast<int32_t>(firstLevel) - static_cast<int32_t>(lastLevel);
    if (scale == 0 || drop == 0)
        return 0;
    long double v = static_cast<long double>(life) * 24.0L;
    v = v * 3600.0L;
    v = v * static_cast<long double>(workCount);
    v = v / static_cast<long double>(scale);
    v = v * 100.0L;
    v = v / static_cast<long double>(drop);
    if (!std::isfinite(v))
        return 0;
    const long double r = std::nearbyint(v); // default rounding: nearest, ties to even
    // 2^63 is exact in long double; the valid range is [-2^63, 2^63).
    constexpr long double limit = 9223372036854775808.0L;
    if (!(r >= -limit && r < limit))
        return 0;
    return static_cast<int64_t>(r);
}

std::optional<double> fullBatteryLife(double life, int coveredLevels)
{
    if (coveredLevels <= 0 || !std::isfinite(life))
        return std::nullopt;
    return life * 100.0 / coveredLevels;
}

bool ResultsEvaluation::longExtrapolation() const
{
    return fullBatteryLife && !forecastEnd && coveredLevels < LongExtrapolationLevels;
}

PathParts splitResultsPath(const QString& path)
{
    PathParts parts;
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash < 0) {
        parts.fileName = path;
        return parts;
    }
    parts.fileName = path.mid(slash + 1);
    // A folder loses its closing slash; the root (or "//") keeps it.
    const bool keepSlash = slash == 0 || path.at(slash - 1) == QLatin1Char('/');
    parts.folder = path.left(keepSlash ? slash + 1 : slash);
    return parts;
}

QString reportMailUrl(const QString& folder, const QString& fileName)
{
    const QString subject = QStringLiteral("Orvex%20Ampero%20Report");
    // The fixed text carries its own encoding; a translation may replace it.
    const QString fixed
        = phrase("Do%20not%20forget%20to%20include%20information%20about%20your%20laptop%20and%20"
                 "battery.%0a%0dAlso%20attach%20report%20file:%20");
    const QString body = fixed + QString::fromLatin1(QUrl::toPercentEncoding(folder, "/")) + QLatin1Char('/')
        + QString::fromLatin1(QUrl::toPercentEncoding(fileName)) + QLatin1Char('.');
    return QStringLiteral("mailto:Orvex%20Company%20<") + site::supportMailbox()
        + QStringLiteral(">?subject=") + subject + QStringLiteral("&body=") + body;
}

ResultsEvaluation evaluateResultsFile(const QString& path)
{
    return evaluateResultsFileAt(QFile::encodeName(path));
}

ResultsEvaluation evaluateResultsFileAt(const QByteArray& path)
{
    ResultsEvaluation e = evaluateResults(readResultsFile(path.toStdString()), QFile::decodeName(path));
    // The companion only adds to a file that reads; whatever is wrong with
    // it leaves the results as they are.
    if (e.ok)
        addCompanion(e, readCompanionFile(companionPath(path), e.sampleCount));
    return e;
}

namespace {

// A run of a scheduled workload writes the file of a run without load; its
// companion names the workload and, at its end, the work it did.
void addWorkload(ResultsEvaluation& e)
{
    const std::optional<Workload> w = workloadFromKey(e.setup.value(QLatin1String("workload")).toString());
    if (!w || *w == Workload::FullLoad || e.noLoad == 0)
        return;
    ResultsEvaluation::WorkloadRun run;
    run.workload = *w;
    run.version = e.setup.value(QLatin1String("workload_version")).toInt();
    run.processorOnly = e.setup.value(QLatin1String("workload_processor_only")).toBool();
    const auto number = [&e](const char* key) -> std::optional<double> {
        const QJsonValue v = e.setup.value(QLatin1String(key));
        return v.isDouble() ? std::optional(v.toDouble()) : std::nullopt;
    };
    run.unitsDone = number("workload_units_done");
    run.unitsScheduled = number("workload_units_scheduled");
    run.onTimeShare = number("workload_on_time_share");
    e.workload = run;
}

} // namespace

void addCompanion(ResultsEvaluation& e, const CompanionData& c)
{
    if (!c.ok) {
        e.companionProblem = c.problem;
        return;
    }
    e.hasCompanion = true;
    e.setup = c.setup;
    addWorkload(e);
    e.brightnessSet = brightnessSetIn(e.setup);
    std::vector<EnergySample> samples;
    samples.reserve(c.samples.size());
    for (const EnergySample& s : c.samples)
        if (companionSampleIndex(s.seconds, e.sampleCount))
            samples.push_back(s);
    e.energy = summarizeEnergy(samples);
    e.energyFullWh = c.energyFullWh();
    e.energyFullDesignWh = c.energyFullDesignWh();
    e.batteryHealth = batteryHealthPercent(e.energyFullWh, e.energyFullDesignWh);
    for (const EnergySample& s : samples)
        if (s.powerW)
            e.powerCurve.append(QPointF(toDays(s.seconds), *s.powerW));
    e.energySamples = std::make_shared<const std::vector<EnergySample>>(std::move(samples));
}

ResultsEvaluation evaluateResults(ResultsReadResult read, const QString& path)
{
    ResultsEvaluation e;
    if (!read.ok()) {
        e.rejected = read.error == ResultsError::NotResultsFile;
        e.failure = QString::fromStdString(read.describe());
        return e;
    }
    ResultsData& d = read.data;
    e.mode = d.mode;
    e.noLoad = d.noLoad;
    e.forecast = d.forecast;
    e.capacity = d.capacity;
    e.workCount = d.workCount;
    e.complete = d.complete;
    e.hasLevelChangeTimes = d.hasLevelChangeTimes;
    e.levelChangeTimes = d.levelChangeTimes;

    e.sampleCount = static_cast<qint64>(d.samples.size());
    if (d.samples.empty()) {
        e.failure = QStringLiteral("results file holds no samples");
        return e;
    }
    e.firstLevel = d.samples.front();
    e.lastLevel = d.samples.back();
    // The elapsed time grows by repeated addition of one step, never by a product.
    double x = 0.0;
    for (std::size_t k = 0; k < d.samples.size(); ++k)
        x = x + TimeStep;
    e.lastSampleTime = x - TimeStep; // after the loop, not the last point's x

    e.bottomMaximum = e.lastSampleTime;
    e.samples = std::make_shared<const std::vector<uint8_t>>(std::move(d.samples));

    // A fast file without its level-change block has no times of its own to forecast from.
    if (d.mode == modeByte(TestMode::Fast) && d.hasLevelChangeTimes) {
        e.forecastEnd = fastForecast(e.firstLevel, d.levelChangeTimes);
        if (e.forecastEnd) {
            const double m = *e.forecastEnd;
            e.forecastLine = { QPointF(0.0, e.firstLevel), QPointF(m, 0.0) };
            if (!(e.bottomMaximum >= m))
                e.bottomMaximum = m;
        }
    }

    const PathParts parts = splitResultsPath(path);
    e.fileName = parts.fileName;
    e.reportFolder = parts.folder;
    if (d.forecast != ForecastUnknown)
        e.systemForecast = toDays(d.forecast);
    e.mark = d.mode == modeByte(TestMode::Normal)
        ? computeMark(e.bottomMaximum, d.workCount, d.capacity, e.firstLevel, e.lastLevel)
        : 0;
    // Along a fast test's line the life runs down to 0 %; otherwise to the
    // last level measured.
    e.coveredLevels = e.firstLevel - (e.forecastEnd ? 0 : e.lastLevel);
    e.fullBatteryLife = fullBatteryLife(e.bottomMaximum, e.coveredLevels);
    e.ok = true;
    return e;
}

QList<QPointF> curvePoints(const std::vector<uint8_t>& levels)
{
    QList<QPointF> out;
    out.reserve(static_cast<qsizetype>(levels.size()));
    double x = 0.0;
    for (uint8_t b : levels) {
        out.append(QPointF(x, b));
        x = x + TimeStep;
    }
    return out;
}

QList<QPointF> levelCurve(std::span<const uint8_t> levels, double step, qsizetype maxPoints)
{
    const std::size_t n = levels.size();
    QList<QPointF> out;
    if (n == 0)
        return out;
    // First try the exact line: the two ends of every run of equal levels.
    double x = 0.0;
    bool exact = true;
    for (std::size_t i = 0; i < n; ++i) {
        const bool startsRun = i == 0 || levels[i] != levels[i - 1];
        const bool endsRun = i == n - 1 || levels[i] != levels[i + 1];
        if (startsRun || endsRun) {
            if (out.size() >= maxPoints) {
                exact = false;
                break;
            }
            out.append(QPointF(x, levels[i]));
        }
        x = x + step;
    }
    if (exact)
        return out;

    // Too many changes to show one by one: per slice its first, lowest,
    // highest and last level, in the order they came.
    out.clear();
    const std::size_t slices = static_cast<std::size_t>(std::max<qsizetype>(1, maxPoints / 4));
    out.reserve(static_cast<qsizetype>(std::min(n, slices * 4)));
    x = 0.0;
    std::size_t i = 0;
    for (std::size_t s = 0; s < slices && i < n; ++s) {
        const std::size_t end
            = std::max(i + 1, static_cast<std::size_t>((static_cast<uint64_t>(n) * (s + 1)) / slices));
        std::size_t lo = i, hi = i;
        double xLo = x, xHi = x;
        const double xFirst = x;
        double xLast = x;
        for (std::size_t k = i; k < end; ++k) {
            if (levels[k] < levels[lo]) {
                lo = k;
                xLo = x;
            }
            if (levels[k] > levels[hi]) {
                hi = k;
                xHi = x;
            }
            xLast = x;
            x = x + step;
        }
        struct P {
            std::size_t k;
            double x;
        };
        P pts[4] = { { i, xFirst }, { lo, xLo }, { hi, xHi }, { end - 1, xLast } };
        std::sort(std::begin(pts), std::end(pts), [](const P& a, const P& b) { return a.k < b.k; });
        std::size_t last = SIZE_MAX;
        for (const P& p : pts) {
            if (p.k == last)
                continue;
            last = p.k;
            out.append(QPointF(p.x, levels[p.k]));
        }
        i = end;
    }
    return out;
}

QList<QPointF> compactCurve(const QList<QPointF>& curve)
{
    QList<QPointF> out;
    const qsizetype n = curve.size();
    for (qsizetype i = 0; i < n; ++i) {
        const bool startsRun = i == 0 || curve[i].y() != curve[i - 1].y();
        const bool endsRun = i == n - 1 || curve[i].y() != curve[i + 1].y();
        if (startsRun || endsRun)
            out.append(curve[i]);
    }
    return out;
}

QString loadText(const ResultsEvaluation& e)
{
    if (!e.workload)
        return loadText(e.noLoad);
    QString text
        = phrase("%1 (workloads v%2)").arg(workloadName(e.workload->workload)).arg(e.workload->version);
    if (e.workload->processorOnly)
        text += phrase(", processor part only");
    return text;
}

QString workDoneText(const ResultsEvaluation& e)
{
    if (!e.workload || !e.workload->unitsDone || !e.workload->unitsScheduled
        || *e.workload->unitsScheduled <= 0)
        return {};
    const double done = *e.workload->unitsDone;
    const double scheduled = *e.workload->unitsScheduled;
    return phrase("%1 of %2 units (%3%)")
        .arg(qint64(done))
        .arg(qint64(scheduled))
        .arg(QString::number(100.0 * done / scheduled, 'f', 1));
}

QString onTimeText(const ResultsEvaluation& e)
{
    if (!e.workload || !e.workload->onTimeShare)
        return {};
    return QString::number(100.0 * *e.workload->onTimeShare, 'f', 1) + QLatin1Char('%');
}

QString brightnessSetText(const ResultsEvaluation& e)
{
    if (!e.hasCompanion)
        return {};
    if (!e.brightnessSet)
        return phrase("not set");
    return phrase("%1% (raw %2 of %3)")
        .arg(e.brightnessSet->percent)
        .arg(e.brightnessSet->value)
        .arg(e.brightnessSet->max);
}

} // namespace ampero
