#include "records/runrecorder.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace kestrel::records {

Unit unitOf(const plans::IdentityWatcher::Identity &identity)
{
    Unit unit;
    unit.peripheral = identity.peripheral;
    unit.manufacturer = identity.byKind.value(mdb::FieldId::ManufacturerCode);
    unit.serial = identity.byKind.value(mdb::FieldId::SerialNumber);
    unit.model = identity.byKind.value(mdb::FieldId::Model);
    unit.software = identity.byKind.value(mdb::FieldId::SoftwareVersion);
    bool ok = false;
    const int level = identity.byKind.value(mdb::FieldId::FeatureLevel).section(QLatin1Char(' '), 0, 0).toInt(&ok);
    unit.level = ok ? level : -1;
    return unit;
}

Unit unitOf(const plans::PlanRunner &run)
{
    for (const auto &identity : run.identities()) {
        const Unit unit = unitOf(identity);
        if (unit.identified() && unit.peripheral != mdb::Peripheral::Unknown)
            return unit;
    }
    Unit unit;
    unit.peripheral = run.peripheralsHeard().value(0, mdb::Peripheral::Unknown);
    return unit;
}

RunRecord recordOf(const plans::PlanRunner &run, const plans::ReportHeader &header, const QString &uuid)
{
    using State = plans::PlanRunner::State;
    RunRecord r;
    r.uuid = uuid;
    r.plan = run.plan().name;
    r.title = run.plan().title;
    r.digest = run.plan().digest;
    r.port = header.port;
    r.started = header.started;
    r.unit = unitOf(run);
    for (int i = 0; i < run.plan().steps.size() && i < run.results().size(); ++i) {
        const auto &step = run.plan().steps[i];
        const auto &result = run.results()[i];
        r.steps.append({step.line, step.source, plans::PlanRunner::stateName(result.state), result.detail, result.startMs,
                        result.ms});
    }
    for (const auto &p : run.payouts())
        if (p.requested || p.reported || p.tubeChange)
            r.payouts.append({p.coin, p.requested, p.reported, p.tubeChange});
    for (const auto &t : run.roundTrips())
        r.roundTrips.append({t.command, t.ms});
    const bool done = !run.isRunning() && !run.results().isEmpty()
                      && std::none_of(run.results().begin(), run.results().end(),
                                      [](const auto &s) { return s.state == State::Waiting || s.state == State::Running; });
    if (done && !run.wasStopped() && !run.wasAbandoned()) {
        r.result = QLatin1String(run.passed() ? kPassed : kFailed);
        r.ended = header.started.addMSecs(qint64(run.elapsedMs()));
    } else if (done) {
        r.ended = header.started.addMSecs(qint64(run.elapsedMs()));
    }
    return r;
}

QString reportsFolder(const Store &store)
{
    return QFileInfo(store.path()).dir().filePath(QStringLiteral("reports"));
}

RunRecorder::RunRecorder(Store *store, const plans::PlanRunner &run, plans::ReportHeader header, QObject *parent)
    : QObject(parent), m_store(store), m_run(run), m_header(std::move(header)), m_uuid(newUuid())
{
    connect(&run, &plans::PlanRunner::stepFinished, this, [this] {
        if (!m_finished)
            save(false);
    });
}

void RunRecorder::begin()
{
    save(true);
}

void RunRecorder::save(bool queue, const QStringList &reports)
{
    if (!m_store || !m_store->isOpen())
        return;
    RunRecord record = recordOf(m_run, m_header, m_uuid);
    // A unit that has not identified itself yet may still do so: it is recorded as unidentified
    // only if the run ends without its identification.
    if (!m_finished && !record.unit.identified())
        record.unit.peripheral = mdb::Peripheral::Unknown;
    record.reports = reports;
    if (m_store->saveRun(record, queue) && queue)
        emit queued();
}

plans::ReportHeader RunRecorder::header() const
{
    plans::ReportHeader header = m_header;
    if (!m_store || !m_store->isOpen())
        return header;
    // The unit's runs before this one: found by the unit this run is recorded against.
    std::optional<qint64> unit = m_store->unitOfRun(m_uuid);
    if (const Unit ran = unitOf(m_run); !unit && ran.identified())
        for (const UnitRow &row : m_store->unitsWithSerial(ran.serial))
            if (row.unit.peripheral == ran.peripheral)
                unit = row.id;
    if (!unit)
        return header;
    for (const HistoryRow &row : m_store->runsOf(*unit, 20))
        if (row.uuid != m_uuid)
            header.earlier.append({row.started, row.plan, row.result, row.shortfall, row.medianMs});
    return header;
}

void RunRecorder::finish(const QStringList &written)
{
    if (m_finished)
        return;
    m_finished = true;
    if (!m_store || !m_store->isOpen())
        return;
    // Saved first with its unit, so that the kept report can list the unit's earlier runs.
    save(false, written);
    QStringList reports;
    const QString folder = reportsFolder(*m_store);
    QDir().mkpath(folder);
    QString base = QFileInfo(m_run.plan().name).completeBaseName();
    base.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9_-]")), QStringLiteral("_"));
    const QString kept = QDir(folder).filePath(QStringLiteral("%1-%2-%3.html")
                                                   .arg(m_header.started.toString(QStringLiteral("yyyyMMdd-HHmmss")), base,
                                                        m_uuid.left(8)));
    if (plans::writeReport(m_run, header(), kept).isEmpty()) {
        m_kept = kept;
        reports << QDir::toNativeSeparators(kept);
    }
    for (const QString &w : written)
        reports << QDir::toNativeSeparators(QFileInfo(w).absoluteFilePath());
    m_reports = reports;
    save(true, reports);
}

void RunRecorder::addReport(const QString &path)
{
    if (!m_finished)
        return;
    m_reports << QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
    save(true, m_reports);
}

} // namespace kestrel::records
