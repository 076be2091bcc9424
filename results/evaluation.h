// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Evaluation of one results file: everything the chart, the results window
// and the terminal report show, worked out without any display.
//
// Units: elapsed times are day fractions (1.0 = 24 hours, one second =
// TimeStep); levels are battery percentages; the mark is a signed integer,
// 0 meaning "no mark" (shown "N/A").
#include "core/timeunits.h"
#include "core/workload.h"
#include "results/companionfile.h"
#include "results/energysummary.h"
#include "results/resultsformat.h"

#include <QByteArray>
#include <QList>
#include <QPointF>
#include <QString>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace ampero {

// One second as a day fraction; each sample advances the elapsed time by it.
inline constexpr double TimeStep = kDayPerSecond;

// A normal test that covered fewer points of charge than this gives a
// full-battery figure that is a long extrapolation.
inline constexpr int LongExtrapolationLevels = 10;

struct ResultsEvaluation {
    // False when the file was rejected or could not be read; failure says
    // why in one line, and rejected is true for a file that is not a results
    // file at all (the chart is then left as it was).
    bool ok = false;
    bool rejected = false;
    QString failure;

    // Raw fields of the file.
    uint8_t mode = 0;
    uint8_t noLoad = 0;
    uint32_t forecast = 0;
    uint32_t capacity = 0;
    uint64_t workCount = 0;
    bool complete = true; // false: recovered file without Terminator
    bool hasLevelChangeTimes = false;
    std::array<double, 3> levelChangeTimes { 0.0, 0.0, 0.0 };

    // The measured levels, one byte per second, as the file holds them
    // (shared, not copied: a two-year file is 64 MiB). Sample k lies at the
    // elapsed time of k steps; curvePoints() gives them as chart points.
    std::shared_ptr<const std::vector<uint8_t>> samples;
    qint64 sampleCount = 0;
    uint8_t firstLevel = 255; // 255 when there is no sample
    uint8_t lastLevel = 255;
    // The points of charge the measured life covers: the first level down
    // to 0 along a fast test's line, else down to the last sample's level
    // (the same difference the mark divides by).
    int coveredLevels = 0;
    double lastSampleTime = 0.0; // x of the last sample

    // The fast-mode forecast line: (0, firstLevel) to (m, 0), or none.
    std::optional<double> forecastEnd; // m, day fraction
    QList<QPointF> forecastLine;

    // The measured battery life: the larger of the last sample's time and m.
    double bottomMaximum = 0.0;

    // The system's forecast at the start of the test, a day fraction; none
    // when the file holds the unknown value.
    std::optional<double> systemForecast;

    // The measured battery life scaled to a full battery: bottomMaximum x 100
    // / coveredLevels, a day fraction; none when no charge was covered.
    std::optional<double> fullBatteryLife;

    int64_t mark = 0;

    // The report file's name and the folder that holds it.
    QString fileName;
    QString reportFolder;

    // What the companion file adds, when one beside the results file could
    // be read; otherwise hasCompanion is false, companionProblem says why
    // and every value below is empty.
    bool hasCompanion = false;
    QString companionProblem;
    QJsonObject setup; // the run's setup as the companion holds it
    // The companion's samples, at most one per sample of the results file.
    std::shared_ptr<const std::vector<EnergySample>> energySamples;
    EnergySummary energy;
    std::optional<double> energyFullWh;
    std::optional<double> energyFullDesignWh;
    std::optional<double> batteryHealth; // percent
    // The power readings as chart points: x elapsed day fraction, y watts.
    QList<QPointF> powerCurve;

    // A full-battery figure scaled up from fewer than LongExtrapolationLevels
    // points of charge measured (not along a fast test's line).
    bool longExtrapolation() const;
    // The mark comes from an estimated work count (a test without load),
    // not a counted one.
    bool markEstimated() const { return mark != 0 && noLoad != 0; }

    // A scheduled workload's run, where the companion names one: the
    // workload, its set's version, and its work as far as the companion says.
    struct WorkloadRun {
        Workload workload = Workload::FullLoad;
        int version = 0;
        bool processorOnly = false;
        std::optional<double> unitsDone;
        std::optional<double> unitsScheduled;
        std::optional<double> onTimeShare; // 0..1
    };
    std::optional<WorkloadRun> workload;
    // The screen brightness the test held, where its companion says it set
    // one.
    std::optional<BrightnessSetting> brightnessSet;
};

// Reads and evaluates the file at path.
ResultsEvaluation evaluateResultsFile(const QString& path);
// The same for a path given as the file system's bytes (a name that is not
// valid in the locale's encoding is opened as it is; only its texts lose the
// bytes they cannot show).
ResultsEvaluation evaluateResultsFileAt(const QByteArray& path);

// Evaluates what the reader returned for the file at path (path gives the
// file name and folder texts only). The samples are taken over, not copied.
// Reads no companion.
ResultsEvaluation evaluateResults(ResultsReadResult read, const QString& path);

// Adds a companion's values to a successful evaluation. Samples beyond the
// results file's own are left out (a companion of another run cannot
// stretch this one); a companion that is not ok adds nothing but its problem.
void addCompanion(ResultsEvaluation& evaluation, const CompanionData& companion);

// The points of the measured curve, level k at the elapsed time of k steps
// (summed, as the test took them).
QList<QPointF> curvePoints(const std::vector<uint8_t>& levels);

// The points a chart needs to draw levels[k] at x = k steps (x summed step by
// step): where the levels change less often than maxPoints allows, the first
// and last point of each run of equal levels, which draws the very same
// line; otherwise, of each of maxPoints / 4 equal slices of the samples, the
// first, lowest, highest and last level in their order, which is all a
// chart of that many columns can show.
QList<QPointF> levelCurve(std::span<const uint8_t> levels, double step, qsizetype maxPoints);

// The same polyline with fewer points: of each run of equal levels only the
// first and the last point are kept. The line drawn through the result is the
// line drawn through the input, so a chart can draw a day-long curve (tens of
// thousands of samples, a hundred level changes) from a few hundred points.
QList<QPointF> compactCurve(const QList<QPointF>& curve);

// --- The single rules, exposed for tests and other callers ---------------

// The forecast time m of a line from (0, firstLevel) through the mean angle
// of the two level-change intervals, in extended precision and in the order
// sine, division, cosine, product. No value when an interval is zero or a
// step gives an invalid number. Does not check that the times rise.
std::optional<double> forecastLineEnd(uint8_t firstLevel, const std::array<double, 3>& times);

// The forecast the program draws: only when the three times rise strictly
// (t0 < t1 < t2); an interrupted fast test forecasts nothing.
std::optional<double> fastForecast(uint8_t firstLevel, const std::array<double, 3>& times);

// The mark of a normal test: life (day fraction) x 86400 x work count
// / (capacity x 1000000) x 100 / (first - last level), in extended precision,
// rounded to nearest-even. 0 for any division by zero, invalid or
// out-of-range result.
int64_t computeMark(
    double life, uint64_t workCount, uint32_t capacity, uint8_t firstLevel, uint8_t lastLevel);

// The full battery's life from a measured life that covered coveredLevels
// points of charge; none when it covered none.
std::optional<double> fullBatteryLife(double life, int coveredLevels);

// "fast", "normal" or "unknown", the untranslated word for machine output.
QString modeKeyword(uint8_t mode);
// "none" when noLoad is nonzero, else "full".
QString loadKeyword(uint8_t noLoad);

// File name and folder of a path; "/" is the only separator. The folder
// loses a closing "/" unless that is the root (or follows another "/"); a
// bare name has an empty folder.
struct PathParts {
    QString folder;
    QString fileName;
};
PathParts splitResultsPath(const QString& path);

// The mailto link of "Send report", already percent-encoded: the folder and
// the file name are encoded, the fixed texts keep their own encoding.
QString reportMailUrl(const QString& folder, const QString& fileName);

// The texts of a run's load: "full", "none", or the workload with its
// version ("Office (workloads v1), processor part only"); the work a
// workload did ("30900 of 30900 units (100.0%)") and the share of its bursts
// on time ("97.5%"), empty for a run without a workload.
QString loadText(const ResultsEvaluation& e);
QString workDoneText(const ResultsEvaluation& e);
QString onTimeText(const ResultsEvaluation& e);
// The brightness a test held ("50% (raw 480 of 960)"), "not set" where its
// companion names none; empty for a run without a companion.
QString brightnessSetText(const ResultsEvaluation& e);

} // namespace ampero
