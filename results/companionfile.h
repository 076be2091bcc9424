// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The companion file beside a results file, NAME.apr.jsonl: what the .apr
// cannot hold. It is JSON Lines (one JSON object a line, UTF-8, "\n" after
// each): the first line is the setup of the run, every further line one
// sample, appended as the test takes it.
//
//   {"format":"ampero-companion","format_version":1,"program_version":"1.1.1.23",
//    "start_time":"2026-12-09T16:02:11+01:00","machine":{"vendor":..,"model":..},
//    "kernel":..,"power_profile":..,"brightness_percent":..,"cpu_governor":..,
//    "battery":{"vendor":..,"model":..,"technology":..,
//               "energy_full_design_wh":..,"energy_full_wh":..}}
//   {"seconds":0,"level":87,"energy_wh":44.61,"power_w":7.93,"voltage_v":12.41}
//
// Values the system did not give are null. A line appended at a time means a
// test cut off at any moment leaves a file whose whole lines all read; the
// reader skips a last line cut part-way, and any other line that does not
// parse, and uses the rest. It reads in one pass and keeps at most one
// reading per sample of the results file, whatever the order or number of
// the lines, so its memory grows with the samples and not with the file.
#include "platform/screenbrightness.h"
#include "results/energysummary.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <optional>
#include <vector>

namespace ampero {

inline constexpr char CompanionFormatName[] = "ampero-companion";
inline constexpr int CompanionFormatVersion = 1;
// The largest companion read: some 40 days of samples. A larger one is
// ignored as a whole rather than read in part, which would give wrong totals.
inline constexpr qint64 CompanionMaxFileSize = qint64(256) << 20;
// The longest line read (ours are some 80 bytes): a longer one is passed
// over, never held.
inline constexpr qsizetype CompanionMaxLineLength = qsizetype(64) << 10;
// The samples a companion is read for when the results file does not say:
// as many as the longest results file holds.
inline constexpr qint64 CompanionDefaultSampleLimit = qint64(64) << 20;

// The sample of a results file of sampleCount samples that a reading taken
// at `seconds` belongs to: the nearest whole second. None beyond the samples.
std::optional<qint64> companionSampleIndex(double seconds, qint64 sampleCount);

// The path of the companion of a results file: the same name with ".jsonl".
QByteArray companionPath(const QByteArray& resultsPath);

// The setup of one run. Texts left empty and values left unset are written
// as null. Nothing that names the user, the host or a serial number.
struct CompanionSetup {
    QString programVersion;
    QString startTime; // ISO 8601 with the UTC offset
    QString machineVendor;
    QString machineModel;
    QString kernel;
    QString powerProfile;
    std::optional<double> brightnessPercent;
    // The brightness the test set for its length, written as
    // "brightness_set":{"percent":..,"raw":..,"max":..}; left out when the
    // test left the brightness as it was.
    std::optional<BrightnessSetting> brightnessSet;
    QString cpuGovernor;
    QString batteryVendor;
    QString batteryModel;
    QString batteryTechnology;
    std::optional<double> batteryEnergyFullDesignWh;
    std::optional<double> batteryEnergyFullWh;
    // The workload of a test with load ("full", "office", ...; empty without
    // load), the version of the set it belongs to, and whether it ran its
    // processor part only (no window to repaint).
    QString workload;
    int workloadVersion = 0;
    bool workloadProcessorOnly = false;
};

// What a scheduled workload did, written as the companion's last line once
// the test has ended; the reader adds it to the setup as workload_units_done,
// workload_units_scheduled, workload_bursts, workload_bursts_on_time and
// workload_on_time_share.
struct CompanionWorkloadResult {
    qint64 unitsDone = 0;
    qint64 unitsScheduled = 0;
    qint64 bursts = 0;
    qint64 burstsOnTime = 0;
};
QByteArray encodeWorkloadResultLine(const CompanionWorkloadResult& result);

// The setup line and a sample line, each one compact JSON object ending in "\n".
QByteArray encodeSetupLine(const CompanionSetup& setup);
QByteArray encodeSampleLine(const EnergySample& sample);

// What a companion file holds.
struct CompanionData {
    // False when there was no usable companion; problem then says why
    // ("no companion file", "not a companion file", ...).
    bool ok = false;
    QString problem;
    // The setup line as it was read, less figures beyond a battery's
    // bounds (plausibleEnergyWh and the like), which read as null.
    QJsonObject setup;
    // One reading per sample, the first line for each second, in the order
    // of their seconds; a reading belongs to the sample at the nearest whole
    // second, and those beyond the sample limit are left out.
    std::vector<EnergySample> samples;
    int skippedLines = 0; // lines that did not parse or were too long (a cut last line among them)

    // The battery's energies from the setup, where it gave numbers.
    std::optional<double> energyFullWh() const;
    std::optional<double> energyFullDesignWh() const;
};

// The brightness a setup says the test set; none where it set none (an
// older companion, or one whose values no screen can have).
std::optional<BrightnessSetting> brightnessSetIn(const QJsonObject& setup);

// Parses the bytes of a whole companion file, for a results file of
// sampleLimit samples. Total: any input gives a result; a first line that is
// not a companion setup gives ok = false.
CompanionData parseCompanion(const QByteArray& bytes, qint64 sampleLimit = CompanionDefaultSampleLimit);
// Reads the file at path (the file system's bytes) in pieces. Only a regular
// file is read, without waiting on a pipe, and only up to CompanionMaxFileSize.
CompanionData readCompanionFile(const QByteArray& path, qint64 sampleLimit = CompanionDefaultSampleLimit);

// Writes a companion file line by line, each line straight to the
// operating system, so that a killed program loses at most the line being
// written. finish() flushes to disk and closes. After a failed write the
// writer stops writing: the companion is an extra, and a test goes on
// without it.
class CompanionWriter {
public:
    CompanionWriter() = default;
    CompanionWriter(const CompanionWriter&) = delete;
    CompanionWriter& operator=(const CompanionWriter&) = delete;
    ~CompanionWriter();

    // Creates the file and writes the setup line. Whatever was at the name
    // (an older companion, a symlink, a FIFO, a hard link) is replaced by a
    // new file; nothing it pointed at is opened.
    bool create(const QByteArray& path, const CompanionSetup& setup);
    bool append(const EnergySample& sample);
    bool appendWorkloadResult(const CompanionWorkloadResult& result);
    // Flushes (fdatasync) and closes; false when that or any write failed.
    bool finish();
    bool isOpen() const { return m_fd >= 0; }
    const QString& errorString() const { return m_error; }

private:
    bool writeLine(const QByteArray& line);
    void close();

    int m_fd = -1;
    bool m_failed = false;
    QByteArray m_path;
    QString m_error;
};

} // namespace ampero
