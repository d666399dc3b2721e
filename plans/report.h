#pragma once

#include "plans/planrunner.h"

#include <QDateTime>
#include <QString>

#include <optional>

namespace kestrel::plans {

// What a report says beside the run itself.
// One of the unit's earlier runs, as the bench records keep it.
struct EarlierRun
{
    QDateTime started;
    QString plan, result;
    std::optional<int> shortfall;      // coins asked for and not paid, for a changer's payout
    std::optional<double> medianMs;    // the median round trip
};

struct ReportHeader
{
    QString port;          // the device the plan ran against ("COM3", "virtual", ...)
    QDateTime started;
    QList<EarlierRun> earlier;   // the unit's runs before this one, oldest first
};

// The run as JUnit XML, the form CI servers and test dashboards read: the plan is the suite, each
// step a testcase, a failed step's reason its failure, a step not run skipped.
QString junitReport(const PlanRunner &run, const ReportHeader &header);

// The run as an HTML page a person can print or mail: the peripheral's identity, each step with
// its result, the payout reconciliation and the commands' round trips.
QString htmlReport(const PlanRunner &run, const ReportHeader &header);

// Writes the report the file's name asks for: HTML for .html or .htm, JUnit XML otherwise. Returns
// an error text, empty on success.
QString writeReport(const PlanRunner &run, const ReportHeader &header, const QString &path);

// Round trips per command: how many, and the fastest, median and slowest in milliseconds.
struct RoundTripSummary
{
    QString command;
    int count;
    double min, median, max;
};
QList<RoundTripSummary> summarize(const QList<PlanRunner::RoundTrip> &trips);

} // namespace kestrel::plans
