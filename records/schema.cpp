#include "records/schema.h"

#include <QSqlError>
#include <QSqlQuery>

namespace kestrel::records {

namespace {

// Version 1: the units, the plan runs with their steps, the sessions with the units they met.
// Dates are ISO 8601 text with their offset from UTC; lists of payouts, round trips and tallies are
// JSON text, read back whole with their run.
const char *const kVersion1[] = {
    "CREATE TABLE units ("
    " id INTEGER PRIMARY KEY,"
    " uuid TEXT NOT NULL UNIQUE,"
    " address TEXT NOT NULL,"          // "08", "30", "10"
    " manufacturer TEXT NOT NULL DEFAULT '',"
    " serial TEXT NOT NULL DEFAULT '',"
    " model TEXT NOT NULL DEFAULT '',"
    " software TEXT NOT NULL DEFAULT '',"
    " level INTEGER,"
    " identified INTEGER NOT NULL,"
    " first_seen TEXT NOT NULL,"
    " last_seen TEXT NOT NULL,"
    " UNIQUE (address, manufacturer, serial, model))",
    "CREATE INDEX units_by_serial ON units (serial)",
    "CREATE TABLE runs ("
    " id INTEGER PRIMARY KEY,"
    " uuid TEXT NOT NULL UNIQUE,"
    " unit_id INTEGER REFERENCES units (id),"
    " plan TEXT NOT NULL,"
    " title TEXT NOT NULL,"
    " digest TEXT NOT NULL,"
    " port TEXT NOT NULL,"
    " started TEXT NOT NULL,"
    " ended TEXT,"
    " result TEXT NOT NULL CHECK (result IN ('passed', 'failed', 'interrupted')),"
    " shortfall INTEGER,"
    " median_ms REAL,"
    " payouts TEXT NOT NULL DEFAULT '[]',"
    " round_trips TEXT NOT NULL DEFAULT '[]',"
    " reports TEXT NOT NULL DEFAULT '[]')",
    "CREATE INDEX runs_by_unit ON runs (unit_id, started)",
    "CREATE TABLE steps ("
    " run_id INTEGER NOT NULL REFERENCES runs (id) ON DELETE CASCADE,"
    " number INTEGER NOT NULL,"
    " line INTEGER NOT NULL,"
    " source TEXT NOT NULL,"
    " state TEXT NOT NULL,"
    " detail TEXT NOT NULL,"
    " start_ms REAL NOT NULL,"
    " ms REAL NOT NULL,"
    " PRIMARY KEY (run_id, number))",
    "CREATE TABLE sessions ("
    " id INTEGER PRIMARY KEY,"
    " uuid TEXT NOT NULL UNIQUE,"
    " port TEXT NOT NULL,"
    " started TEXT NOT NULL,"
    " ended TEXT,"
    " replies INTEGER NOT NULL DEFAULT 0,"
    " total_cents INTEGER NOT NULL DEFAULT 0,"
    " tallies TEXT NOT NULL DEFAULT '[]')",
    "CREATE TABLE session_units ("
    " session_id INTEGER NOT NULL REFERENCES sessions (id) ON DELETE CASCADE,"
    " unit_id INTEGER NOT NULL REFERENCES units (id),"
    " PRIMARY KEY (session_id, unit_id))",
    nullptr,
};

// Version 2: the outbox of records still to be sent to the shop's server. Each row is one record
// (a run or a session) as the server stores it, with the record's UUID; a row leaves the outbox
// only once the server has committed it.
const char *const kVersion2[] = {
    "CREATE TABLE outbox ("
    " id INTEGER PRIMARY KEY,"
    " uuid TEXT NOT NULL,"
    " kind TEXT NOT NULL,"
    " revision INTEGER NOT NULL,"
    " body TEXT NOT NULL,"
    " queued TEXT NOT NULL)",
    nullptr,
};

const Migration kMigrations[] = {
    {1, kVersion1},
    {2, kVersion2},
};

const Schema kSchema{kMigrations, int(std::size(kMigrations))};

} // namespace

const Schema &schema()
{
    return kSchema;
}

int userVersion(QSqlDatabase &db)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("PRAGMA user_version")) || !q.next())
        return -1;
    return q.value(0).toInt();
}

QString migrate(QSqlDatabase &db, const Schema &schema)
{
    const int at = userVersion(db);
    if (at < 0)
        return QStringLiteral("its version cannot be read: %1").arg(db.lastError().text());
    if (at > schema.newest())
        return QStringLiteral("it was made by a newer console (version %1; this one knows up to %2)")
            .arg(at).arg(schema.newest());
    for (int m = 0; m < schema.count; ++m) {
        const Migration &migration = schema.migrations[m];
        if (migration.version <= at)
            continue;
        QSqlQuery q(db);
        // IMMEDIATE: a second console opening the same new file waits here, then finds it done.
        if (!q.exec(QStringLiteral("BEGIN IMMEDIATE")))
            return QStringLiteral("it cannot be brought to version %1: %2").arg(migration.version).arg(q.lastError().text());
        if (userVersion(db) >= migration.version) {
            q.exec(QStringLiteral("COMMIT"));
            continue;
        }
        for (const char *const *statement = migration.statements; *statement; ++statement) {
            if (!q.exec(QString::fromLatin1(*statement))) {
                const QString why = q.lastError().text();
                q.exec(QStringLiteral("ROLLBACK"));
                return QStringLiteral("it cannot be brought to version %1: %2").arg(migration.version).arg(why);
            }
        }
        if (!q.exec(QStringLiteral("PRAGMA user_version = %1").arg(migration.version)) || !q.exec(QStringLiteral("COMMIT"))) {
            const QString why = q.lastError().text();
            q.exec(QStringLiteral("ROLLBACK"));
            return QStringLiteral("it cannot be brought to version %1: %2").arg(migration.version).arg(why);
        }
    }
    return {};
}

} // namespace kestrel::records
