// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Evaluation of one results file: everything the chart, the results window
// and the terminal report show, worked out without any display.
//
// Units: elapsed times are day fractions (1.0 = 24 hours, one second =
// TimeStep); levels are battery percentages; the mark is a signed integer,
// 0 meaning "no mark" (shown "N/A").
#include "core/timeunits.h"
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
    double lastSampleTime = 0.0; // x of the last sample

    // The fast-mode forecast line: (0, firstLevel) to (m, 0), or none.
    std::optional<double> forecastEnd; // m, day fraction
    QList<QPointF> forecastLine;

    // The measured battery life: the larger of the last sample's time and m.
    double bottomMaximum = 0.0;

    int64_t mark = 0;

    // Texts as the results window shows them.
    QString fileName; // the report file's name
    QString reportFolder; // the folder that holds it
    QString modeText; // "fast" or "normal"
    QString loadText; // the CPU load
    QString forecastText; // the system's forecast
    QString batteryLifeText; // the battery life by the test's results
    QString markText; // the mark

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
    // Texts as the results window shows them ("unknown" where a value is empty).
    QString averagePowerText; // AveragePowerLabel, "7.9 W"
    QString energyUsedText; // EnergyUsedLabel, "3.21 Wh"
    QString batteryHealthText; // BatteryHealthLabel, "92%"
    QString energyForecastText; // EnergyForecastLabel, fast tests
    // A scheduled workload's work, where the companion names one: "1234567 of
    // 1250000 units (98.8 %)" and "97.5 %" of bursts on time; empty otherwise.
    QString workDoneText;
    QString onTimeText;
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

// "N/A" for 0, else e.g. "1 mark", "2 marks", "-5 marks".
QString markText(int64_t mark);

// "fast", "normal" or "unknown"; the untranslated word for machine output.
QString modeText(uint8_t mode);
QString modeKeyword(uint8_t mode);
// "none" when noLoad is nonzero, else "full".
QString loadText(uint8_t noLoad);
QString loadKeyword(uint8_t noLoad);
// "unknown", or the duration with whole days kept ("1 days 1:01:01").
QString forecastText(uint32_t forecast);

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

} // namespace ampero
