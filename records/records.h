#pragma once

#include "mdb/mdb.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace kestrel::records {

// What the bench remembers: each unit seen, each plan run against it, each session of the console.
// Not every reply: log.txt and captures keep those.

// A peripheral, by its identification reply. One that answered none is known by its address alone
// and is "unidentified".
struct Unit
{
    mdb::Peripheral peripheral = mdb::Peripheral::Unknown;
    QString manufacturer, serial, model, software;
    int level = -1;                 // the feature level, -1 when not read

    bool identified() const { return !serial.isEmpty() || !manufacturer.isEmpty() || !model.isEmpty(); }
    // "08", "30", "10".
    QString address() const;
    // "coin changer", "bill validator", "cashless reader".
    QString kind() const;
    // The serial number, or "unidentified".
    QString serialText() const;
};

inline constexpr char kPassed[] = "passed";
inline constexpr char kFailed[] = "failed";
// A run that never finished: stopped (Ctrl+C, the Stop button), its port lost, or the console
// killed or crashed under it. A run is written as this when it starts, so a crash leaves it so.
inline constexpr char kInterrupted[] = "interrupted";

struct StepRecord
{
    int line = 0;
    QString source, state, detail;
    double startMs = 0, ms = 0;
};

struct PayoutRecord
{
    QString coin;
    int requested = 0, reported = 0;
    std::optional<int> tubeChange;
};

struct RoundTripRecord
{
    QString command;
    double ms = 0;
};

struct RunRecord
{
    QString uuid;                  // made when the run starts; the same on every copy of it
    QString plan, title, digest, port;
    QDateTime started;
    std::optional<QDateTime> ended;
    QString result = QLatin1String(kInterrupted);
    Unit unit;                     // the unit the plan ran against
    QList<StepRecord> steps;
    QList<PayoutRecord> payouts;
    QList<RoundTripRecord> roundTrips;
    QStringList reports;           // the reports written: the kept copy first, then those asked for

    // Coins asked for and not paid out, over the tubes whose change was read (changers only).
    std::optional<int> shortfall() const;
    std::optional<double> medianRoundTripMs() const;
};

struct SessionRecord
{
    QString uuid;
    QString port;
    QDateTime started;
    std::optional<QDateTime> ended;
    int replies = 0;               // replies read whole
    qint64 totalCents = 0;
    QList<QPair<QString, int>> tallies;     // coin and bill name, count
    QList<Unit> units;             // identified during the session
};

// One line of a unit's history, newest last.
struct HistoryRow
{
    qint64 runId = 0;
    QString uuid, plan, result, port;
    QDateTime started;
    std::optional<QDateTime> ended;
    std::optional<int> shortfall;
    std::optional<double> medianMs;
    QString report;                // the kept HTML report, or empty
};

struct UnitRow
{
    qint64 id = 0;
    Unit unit;
    QDateTime firstSeen, lastSeen;
    int runs = 0;
    QString lastResult;
};

// A new record's identity, the same on the bench and on the shop's server.
QString newUuid();

} // namespace kestrel::records
