#pragma once

#include "records/records.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QString>

#include <functional>
#include <optional>

namespace kestrel::records {

// The bench's own records: one SQLite file in the user's data folder, next to where an installed
// console writes log.txt. Written in WAL mode with foreign keys on, so a reader never holds up a
// writer; two consoles on one machine (two ports) write to it at once, each write waiting for the
// other's (a busy file is waited for, up to `busyMs`, never failed at once).
//
// Storage that cannot be used (a damaged file, a read-only one, one locked by another program for
// longer than the wait, a full disk) is told once through `problem`, and the store then stops
// writing: the session goes on, its log.txt, tallies and reports are not touched. A damaged file is
// moved aside with the date in its name and a new one started, and the message says where it went.
class Store
{
public:
    struct Options
    {
        QString path = defaultPath();
        int busyMs = 30000;
        // Each record is also queued for the shop's server (the outbox), in the same transaction.
        bool outbox = false;
        std::function<void(const QString &)> problem;   // told once per problem
    };

    explicit Store(Options options);
    ~Store();
    Store(const Store &) = delete;
    Store &operator=(const Store &) = delete;

    // "bench-records.sqlite" in the user's data folder.
    static QString defaultPath();

    // Opens the file, making or bringing its tables up to date. False (and the problem told) when the
    // records cannot be kept this session; a damaged file moved aside still opens anew.
    bool open();
    bool isOpen() const { return m_open; }
    const QString &path() const { return m_options.path; }
    // The last problem told, or empty.
    const QString &lastProblem() const { return m_problem; }

    // Writes the run as it stands now: made when it starts (as interrupted), written again as its
    // steps end and when it ends. `queue` puts this state of it in the outbox too.
    bool saveRun(const RunRecord &run, bool queue);
    bool saveSession(const SessionRecord &session, bool queue);

    // The units whose serial number, model or manufacturer contains `filter` (all for an empty
    // one), the last seen first.
    QList<UnitRow> units(const QString &filter = {});
    // The units of that exact serial number.
    QList<UnitRow> unitsWithSerial(const QString &serial);
    // A unit's runs in date order; only the last `last` when it is above 0.
    QList<HistoryRow> runsOf(qint64 unitId, int last = 0);
    // The unit a run was recorded against, if any.
    std::optional<qint64> unitOfRun(const QString &runUuid);
    int outboxCount();

    // The connection, for the outbox's sender and for tests.
    QSqlDatabase database() const;
    // Applies the connection settings every connection to the file uses (WAL, foreign keys,
    // NORMAL syncing). The error, or an invalid one when all is set.
    static QSqlError prepare(QSqlDatabase &db);

private:
    bool tell(const QString &problem);
    bool failed(const class QSqlError &error, const QString &doing);
    std::optional<qint64> unitId(class QSqlQuery &q, const Unit &unit, const QString &seen);
    bool write(const QString &doing, const std::function<bool(class QSqlQuery &)> &work);
    bool queue(QSqlQuery &q, const QString &uuid, const QString &kind, const QByteArray &body);
    QList<UnitRow> unitsWhere(const QString &where, const QVariantList &values);

    Options m_options;
    QString m_connection;
    bool m_open = false;
    bool m_told = false;
    QString m_problem;
};

// A record as the shop's server stores it (JSON), the same document for a run whether it is the
// first or the last state of it.
QByteArray runDocument(const RunRecord &run);
QByteArray sessionDocument(const SessionRecord &session);

// Dates as the records keep them: UTC, to the millisecond, so that text order is time order.
QString storedTime(const QDateTime &when);
QDateTime readTime(const QString &text);

} // namespace kestrel::records
