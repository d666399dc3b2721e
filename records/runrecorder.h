#pragma once

#include "plans/planrunner.h"
#include "plans/report.h"
#include "records/store.h"

#include <QObject>

namespace kestrel::records {

// The unit a device's identification reply names.
Unit unitOf(const plans::IdentityWatcher::Identity &identity);
// The unit a run ran against: the first that identified itself, else the first that answered, as
// unidentified; none when nothing answered.
Unit unitOf(const plans::PlanRunner &run);

// The run as the records keep it: its steps as they stand, the unit it ran against, its payouts and
// round trips, and its result (a run stopped or whose port was lost is interrupted).
RunRecord recordOf(const plans::PlanRunner &run, const plans::ReportHeader &header, const QString &uuid);

// Keeps one plan run in the bench records as it goes: written as interrupted before its first step,
// again as each step ends (so a crash or a kill leaves what it did), and once more when it ends,
// with its result, its reports and a copy of its HTML report kept beside the records. Does nothing
// when there is no store or it cannot be written.
class RunRecorder : public QObject
{
    Q_OBJECT
public:
    RunRecorder(Store *store, const plans::PlanRunner &run, plans::ReportHeader header, QObject *parent = nullptr);

    // Call before the run starts.
    void begin();
    // Call once the run has ended and its reports (`written`) are written.
    void finish(const QStringList &written = {});
    // A report written after the run ended (the plan window's "Save Report").
    void addReport(const QString &path);

    // The header with the unit's earlier runs, for the reports the caller writes.
    plans::ReportHeader header() const;
    const QString &uuid() const { return m_uuid; }
    // The kept copy of the HTML report, once finished.
    const QString &keptReport() const { return m_kept; }

signals:
    // A state of the run was queued for the shop's server.
    void queued();

private:
    void save(bool queue, const QStringList &reports = {});

    Store *m_store;
    const plans::PlanRunner &m_run;
    plans::ReportHeader m_header;
    QString m_uuid;
    QString m_kept;
    QStringList m_reports;
    bool m_finished = false;
};

// The folder the kept reports go in: "reports" beside the records file.
QString reportsFolder(const Store &store);

} // namespace kestrel::records
