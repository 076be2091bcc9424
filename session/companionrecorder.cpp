// SPDX-License-Identifier: GPL-3.0-or-later
#include "session/companionrecorder.h"

#include "core/timeunits.h"
#include "platform/machinefacts.h"
#include "platform/powersource.h"
#include "session/testsession.h"
#include "version.h"

#include <cmath>

namespace ampero {

CompanionRecorder::CompanionRecorder(
    TestSession& session, PowerSource& power, MachineFactsSource* machine, QObject* parent)
    : QObject(parent)
    , m_session(session)
    , m_power(power)
    , m_machine(machine)
    , m_now([] { return QDateTime::currentDateTime(); })
{
    connect(&session, &TestSession::testStarted, this, &CompanionRecorder::testStarted);
    connect(&session, &TestSession::sampleTaken, this, &CompanionRecorder::sampleTaken);
    connect(&session, &TestSession::testEnded, this, &CompanionRecorder::testEnded);
}

CompanionRecorder::~CompanionRecorder()
{
    // A program that quits while a test runs (the session ended) still
    // leaves its companion on disk.
    finish();
}

CompanionSetup CompanionRecorder::currentSetup()
{
    const MachineFacts facts = m_machine ? m_machine->read() : MachineFacts();
    const PowerStatus& status = m_power.status();
    CompanionSetup s;
    s.programVersion = QStringLiteral(AMPERO_VERSION_STRING);
    const QDateTime now = m_now();
    s.startTime = now.toOffsetFromUtc(now.offsetFromUtc()).toString(Qt::ISODate);
    s.machineVendor = facts.vendor;
    s.machineModel = facts.model;
    s.kernel = facts.kernel;
    s.powerProfile = facts.powerProfile;
    s.brightnessPercent = facts.brightnessPercent;
    s.brightnessSet = m_session.brightness();
    s.cpuGovernor = facts.cpuGovernor;
    s.batteryVendor = m_battery.manufacturer;
    s.batteryModel = m_battery.name;
    if (m_battery.chemistry != BatteryChemistry::Unknown)
        s.batteryTechnology = chemistryName(m_battery.chemistry);
    s.batteryEnergyFullDesignWh = status.energyFullDesignWh;
    s.batteryEnergyFullWh = status.energyFullWh;
    if (const std::optional<Workload> w = m_session.workload()) {
        s.workload = workloadKey(*w);
        s.workloadVersion = WorkloadSetVersion;
        s.workloadProcessorOnly = m_processorOnly && *w != Workload::FullLoad;
    }
    return s;
}

void CompanionRecorder::testStarted()
{
    m_failureSaid = false;
    checkWrite(m_writer.create(companionPath(m_session.state().resultsFileName), currentSetup()));
}

void CompanionRecorder::checkWrite(bool ok)
{
    if (ok || m_failureSaid)
        return;
    m_failureSaid = true;
    Q_EMIT writeFailed(m_writer.errorString());
}

void CompanionRecorder::sampleTaken(double elapsed, int level)
{
    if (!m_writer.isOpen())
        return;
    // The reading the tick took its level from: the source keeps it until
    // its next refresh.
    const PowerStatus& status = m_power.status();
    EnergySample s;
    s.seconds = std::round(toSeconds(elapsed) * 1000.0) / 1000.0;
    s.level = level;
    s.energyWh = status.energyWh;
    s.powerW = status.powerW;
    s.voltageV = status.voltageV;
    checkWrite(m_writer.append(s));
    if (s.powerW && std::isfinite(*s.powerW))
        Q_EMIT powerSampled(elapsed, *s.powerW);
}

void CompanionRecorder::testEnded()
{
    // The workload has stopped by now: what it did goes in the last line.
    const std::optional<Workload> w = m_session.workload();
    if (m_writer.isOpen() && w && *w != Workload::FullLoad) {
        const WorkloadTally& t = m_session.workloadTally();
        checkWrite(m_writer.appendWorkloadResult({ t.unitsDone, t.unitsDue, t.burstsDue, t.burstsOnTime }));
    }
    finish();
}

void CompanionRecorder::finish()
{
    if (m_writer.isOpen())
        checkWrite(m_writer.finish());
}

} // namespace ampero
