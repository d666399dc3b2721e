#include "records/store.h"

#include "records/schema.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QThread>

#include <atomic>

namespace kestrel::records {

namespace {

std::atomic<int> g_connections{0};

// SQLite's primary result codes, as Qt's driver gives them in QSqlError::nativeErrorCode().
enum SqliteCode { Busy = 5, Locked = 6, ReadOnly = 8, IoError = 10, Corrupt = 11, Full = 13, CantOpen = 14, NotADatabase = 26 };

int codeOf(const QSqlError &error)
{
    bool ok = false;
    const int code = error.nativeErrorCode().toInt(&ok);
    return ok ? code & 0xFF : -1;
}

QJsonObject unitObject(const Unit &u)
{
    return {{QStringLiteral("address"), u.address()},
            {QStringLiteral("kind"), u.kind()},
            {QStringLiteral("identified"), u.identified()},
            {QStringLiteral("manufacturer"), u.manufacturer},
            {QStringLiteral("serial"), u.serial},
            {QStringLiteral("model"), u.model},
            {QStringLiteral("software"), u.software},
            {QStringLiteral("level"), u.level < 0 ? QJsonValue() : QJsonValue(u.level)}};
}

QJsonArray payoutArray(const QList<PayoutRecord> &payouts)
{
    QJsonArray a;
    for (const PayoutRecord &p : payouts)
        a.append(QJsonObject{{QStringLiteral("coin"), p.coin},
                             {QStringLiteral("requested"), p.requested},
                             {QStringLiteral("reported"), p.reported},
                             {QStringLiteral("tube_change"), p.tubeChange ? QJsonValue(*p.tubeChange) : QJsonValue()}});
    return a;
}

QJsonArray tripArray(const QList<RoundTripRecord> &trips)
{
    QJsonArray a;
    for (const RoundTripRecord &t : trips)
        a.append(QJsonObject{{QStringLiteral("command"), t.command}, {QStringLiteral("ms"), t.ms}});
    return a;
}

QByteArray compact(const QJsonArray &a)
{
    return QJsonDocument(a).toJson(QJsonDocument::Compact);
}

QVariant orNull(const std::optional<QDateTime> &when)
{
    return when ? QVariant(storedTime(*when)) : QVariant();
}

// Text as the tables keep it: a missing text is an empty one, never NULL.
QVariant text(const QString &s)
{
    return s.isNull() ? QVariant(QString(QLatin1String(""))) : QVariant(s);
}

template <typename T> QVariant orNull(const std::optional<T> &value)
{
    return value ? QVariant(*value) : QVariant();
}

} // namespace

QString storedTime(const QDateTime &when)
{
    return when.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzzZ"));
}

QDateTime readTime(const QString &text)
{
    return QDateTime::fromString(text, Qt::ISODateWithMs).toLocalTime();
}

QByteArray runDocument(const RunRecord &run)
{
    QJsonArray steps;
    for (const StepRecord &s : run.steps)
        steps.append(QJsonObject{{QStringLiteral("line"), s.line},
                                 {QStringLiteral("step"), s.source},
                                 {QStringLiteral("state"), s.state},
                                 {QStringLiteral("detail"), s.detail},
                                 {QStringLiteral("start_ms"), s.startMs},
                                 {QStringLiteral("ms"), s.ms}});
    const std::optional<int> shortfall = run.shortfall();
    const std::optional<double> median = run.medianRoundTripMs();
    const QJsonObject o{{QStringLiteral("plan"), run.plan},
                        {QStringLiteral("title"), run.title},
                        {QStringLiteral("digest"), run.digest},
                        {QStringLiteral("port"), run.port},
                        {QStringLiteral("started"), storedTime(run.started)},
                        {QStringLiteral("ended"), run.ended ? QJsonValue(storedTime(*run.ended)) : QJsonValue()},
                        {QStringLiteral("result"), run.result},
                        {QStringLiteral("unit"), unitObject(run.unit)},
                        {QStringLiteral("steps"), steps},
                        {QStringLiteral("payouts"), payoutArray(run.payouts)},
                        {QStringLiteral("round_trips"), tripArray(run.roundTrips)},
                        {QStringLiteral("shortfall"), shortfall ? QJsonValue(*shortfall) : QJsonValue()},
                        {QStringLiteral("median_ms"), median ? QJsonValue(*median) : QJsonValue()}};
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

QByteArray sessionDocument(const SessionRecord &session)
{
    QJsonArray tallies, units;
    for (const auto &t : session.tallies)
        tallies.append(QJsonObject{{QStringLiteral("name"), t.first}, {QStringLiteral("count"), t.second}});
    for (const Unit &u : session.units)
        units.append(unitObject(u));
    const QJsonObject o{{QStringLiteral("port"), session.port},
                        {QStringLiteral("started"), storedTime(session.started)},
                        {QStringLiteral("ended"), session.ended ? QJsonValue(storedTime(*session.ended)) : QJsonValue()},
                        {QStringLiteral("replies"), session.replies},
                        {QStringLiteral("total_cents"), session.totalCents},
                        {QStringLiteral("tallies"), tallies},
                        {QStringLiteral("units"), units}};
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

Store::Store(Options options)
    : m_options(std::move(options)),
      m_connection(QStringLiteral("kestrel-records-%1").arg(g_connections.fetch_add(1)))
{
}

Store::~Store()
{
    {
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        if (db.isValid())
            db.close();
    }
    QSqlDatabase::removeDatabase(m_connection);
}

QString Store::defaultPath()
{
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    return QDir(dir).filePath(QStringLiteral("bench-records.sqlite"));
}

QSqlDatabase Store::database() const
{
    return QSqlDatabase::database(m_connection, false);
}

QSqlError Store::prepare(QSqlDatabase &db)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("PRAGMA foreign_keys = ON")))
        return q.lastError();
    // The first read of the file: it tells a file that is no database at all. A file that stays out
    // of WAL mode is one that cannot be written.
    if (!q.exec(QStringLiteral("PRAGMA journal_mode = WAL")))
        return q.lastError();
    if (!q.next() || q.value(0).toString().compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0)
        return QSqlError(QString(), QStringLiteral("the file cannot be written"), QSqlError::ConnectionError,
                         QString::number(ReadOnly));
    if (!q.exec(QStringLiteral("PRAGMA synchronous = NORMAL")))
        return q.lastError();
    // The tables are read once: a file whose pages are damaged says so here rather than mid-run.
    if (!q.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")) || !q.next())
        return q.lastError();
    return {};
}

bool Store::tell(const QString &problem)
{
    m_problem = problem;
    m_open = false;
    if (!m_told && m_options.problem)
        m_options.problem(problem);
    m_told = true;
    return false;
}

bool Store::failed(const QSqlError &error, const QString &doing)
{
    const QString path = QDir::toNativeSeparators(m_options.path);
    const QString tail = QStringLiteral("; this session's bench records are not kept (log.txt and the reports are)");
    switch (codeOf(error)) {
    case Busy:
    case Locked:
        return tell(QStringLiteral("The bench records %1 are locked by another program (waited %2 s to %3)%4")
                        .arg(path).arg(m_options.busyMs / 1000.0).arg(doing, tail));
    case CantOpen:
        // In WAL mode a reader writes beside the file too: a file or folder that is read-only
        // cannot even be opened.
        if (!QFileInfo::exists(m_options.path) || (QFileInfo(m_options.path).isWritable()
            && QFileInfo(QFileInfo(m_options.path).absolutePath()).isWritable()))
            break;
        [[fallthrough]];
    case ReadOnly:
        return tell(QStringLiteral("The bench records %1 cannot be written: the file or its folder is read-only%2").arg(path, tail));
    case Full:
        return tell(QStringLiteral("The bench records %1 cannot be written: No space left on device%2").arg(path, tail));
    case Corrupt:
    case NotADatabase:
        return tell(QStringLiteral("The bench records %1 are damaged (%2); they are moved aside at the next start%3")
                        .arg(path, error.databaseText(), tail));
    default:
        break;
    }
    return tell(QStringLiteral("The bench records %1 cannot be used (%2: %3)%4")
                    .arg(path, doing, error.databaseText().isEmpty() ? error.text() : error.databaseText(), tail));
}

bool Store::open()
{
    const QString path = QDir::toNativeSeparators(m_options.path);
    QDir().mkpath(QFileInfo(m_options.path).absolutePath());
    for (int attempt = 0; attempt < 2; ++attempt) {
        QSqlDatabase db = QSqlDatabase::contains(m_connection) ? QSqlDatabase::database(m_connection, false)
                                                               : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
        if (!db.isValid())
            return tell(QStringLiteral("The bench records cannot be kept: Qt's SQLite driver is missing"));
        db.setDatabaseName(m_options.path);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(m_options.busyMs));
        if (!db.open())
            return failed(db.lastError(), QStringLiteral("opening it"));
        // Two consoles opening a new file at once: the one that loses the race to switch it to WAL
        // is told BUSY at once, without SQLite's busy wait, so it waits here as a write would.
        QSqlError prepared = prepare(db);
        for (QElapsedTimer waited; codeOf(prepared) == Busy || codeOf(prepared) == Locked;) {
            if (!waited.isValid())
                waited.start();
            if (waited.elapsed() >= m_options.busyMs)
                break;
            QThread::msleep(20);
            prepared = prepare(db);
        }
        const int code = codeOf(prepared);
        const QString why = prepared.databaseText();
        const QString migrated = prepared.isValid() ? QString() : migrate(db, schema());
        if (!prepared.isValid() && migrated.isEmpty()) {
            m_open = true;
            return true;
        }
        if (attempt == 0 && (code == Corrupt || code == NotADatabase)) {
            // A damaged file: kept for whoever wants to look into it, beside the new one.
            db.close();
            const QFileInfo info(m_options.path);
            const QString aside = info.dir().filePath(QStringLiteral("%1.damaged-%2.%3")
                                                          .arg(info.completeBaseName(),
                                                               QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd-HHmmss")),
                                                               info.suffix()));
            if (!QFile::rename(m_options.path, aside))
                return tell(QStringLiteral("The bench records %1 are damaged (%2) and cannot be moved aside; this session's "
                                           "bench records are not kept").arg(path, why));
            QFile::remove(m_options.path + QStringLiteral("-wal"));
            QFile::remove(m_options.path + QStringLiteral("-shm"));
            const QString notice = QStringLiteral("The bench records %1 were damaged (%2); they were moved to %3 and new "
                                                  "records were started").arg(path, why, QDir::toNativeSeparators(aside));
            m_problem = notice;
            if (m_options.problem)
                m_options.problem(notice);
            continue;
        }
        db.close();
        if (!migrated.isEmpty())
            return tell(QStringLiteral("The bench records %1 cannot be used: %2; this session's bench records are not kept")
                            .arg(path, migrated));
        return failed(prepared, QStringLiteral("opening it"));
    }
    return false;
}

bool Store::write(const QString &doing, const std::function<bool(QSqlQuery &)> &work)
{
    if (!m_open)
        return false;
    QSqlDatabase db = database();
    QSqlQuery q(db);
    // IMMEDIATE takes the write lock first, so two consoles writing at once wait for each other
    // at the start instead of failing in the middle.
    if (!q.exec(QStringLiteral("BEGIN IMMEDIATE")))
        return failed(q.lastError(), doing);
    if (!work(q)) {
        const QSqlError error = q.lastError();
        QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
        return failed(error, doing);
    }
    if (!q.exec(QStringLiteral("COMMIT"))) {
        const QSqlError error = q.lastError();
        QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
        return failed(error, doing);
    }
    return true;
}

std::optional<qint64> Store::unitId(QSqlQuery &q, const Unit &unit, const QString &seen)
{
    if (unit.peripheral == mdb::Peripheral::Unknown)
        return std::nullopt;
    q.prepare(QStringLiteral(
        "INSERT INTO units (uuid, address, manufacturer, serial, model, software, level, identified, first_seen, last_seen)"
        " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"
        " ON CONFLICT (address, manufacturer, serial, model) DO UPDATE SET"
        " software = CASE WHEN excluded.software <> '' THEN excluded.software ELSE software END,"
        " level = coalesce(excluded.level, level), last_seen = max(last_seen, excluded.last_seen)"));
    q.addBindValue(newUuid());
    q.addBindValue(unit.address());
    q.addBindValue(text(unit.manufacturer));
    q.addBindValue(text(unit.serial));
    q.addBindValue(text(unit.model));
    q.addBindValue(text(unit.software));
    q.addBindValue(unit.level < 0 ? QVariant() : QVariant(unit.level));
    q.addBindValue(unit.identified() ? 1 : 0);
    q.addBindValue(seen);
    q.addBindValue(seen);
    if (!q.exec())
        return std::nullopt;
    q.prepare(QStringLiteral("SELECT id FROM units WHERE address = ? AND manufacturer = ? AND serial = ? AND model = ?"));
    q.addBindValue(unit.address());
    q.addBindValue(text(unit.manufacturer));
    q.addBindValue(text(unit.serial));
    q.addBindValue(text(unit.model));
    if (!q.exec() || !q.next())
        return std::nullopt;
    return q.value(0).toLongLong();
}

bool Store::queue(QSqlQuery &q, const QString &uuid, const QString &kind, const QByteArray &body)
{
    if (!m_options.outbox)
        return true;
    // A state's revision is its time, and always above the record's states still waiting, so the
    // server keeps the last of two saved within one millisecond.
    q.prepare(QStringLiteral("INSERT INTO outbox (uuid, kind, revision, body, queued) VALUES (?, ?,"
                             " max(?, coalesce((SELECT max(revision) + 1 FROM outbox WHERE uuid = ?), 0)), ?, ?)"));
    q.addBindValue(uuid);
    q.addBindValue(kind);
    q.addBindValue(QDateTime::currentMSecsSinceEpoch());
    q.addBindValue(uuid);
    q.addBindValue(QString::fromUtf8(body));
    q.addBindValue(storedTime(QDateTime::currentDateTime()));
    return q.exec();
}

bool Store::saveRun(const RunRecord &run, bool queueIt)
{
    return write(QStringLiteral("writing a plan run"), [&](QSqlQuery &q) {
        const QString seen = storedTime(run.ended.value_or(run.started));
        std::optional<qint64> unit;
        if (run.unit.peripheral != mdb::Peripheral::Unknown && !(unit = unitId(q, run.unit, seen)))
            return false;
        q.prepare(QStringLiteral(
            "INSERT INTO runs (uuid, unit_id, plan, title, digest, port, started, ended, result, shortfall, median_ms,"
            " payouts, round_trips, reports) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"
            " ON CONFLICT (uuid) DO UPDATE SET unit_id = coalesce(excluded.unit_id, unit_id), ended = excluded.ended,"
            " result = excluded.result, shortfall = excluded.shortfall, median_ms = excluded.median_ms,"
            " payouts = excluded.payouts, round_trips = excluded.round_trips, reports = excluded.reports"));
        QJsonArray reports;
        for (const QString &r : run.reports)
            reports.append(r);
        q.addBindValue(run.uuid);
        q.addBindValue(unit ? QVariant(*unit) : QVariant());
        q.addBindValue(text(run.plan));
        q.addBindValue(text(run.title));
        q.addBindValue(text(run.digest));
        q.addBindValue(text(run.port));
        q.addBindValue(storedTime(run.started));
        q.addBindValue(orNull(run.ended));
        q.addBindValue(text(run.result));
        q.addBindValue(orNull(run.shortfall()));
        q.addBindValue(orNull(run.medianRoundTripMs()));
        q.addBindValue(QString::fromUtf8(compact(payoutArray(run.payouts))));
        q.addBindValue(QString::fromUtf8(compact(tripArray(run.roundTrips))));
        q.addBindValue(QString::fromUtf8(compact(reports)));
        if (!q.exec())
            return false;
        q.prepare(QStringLiteral("SELECT id FROM runs WHERE uuid = ?"));
        q.addBindValue(run.uuid);
        if (!q.exec() || !q.next())
            return false;
        const qint64 runId = q.value(0).toLongLong();
        q.prepare(QStringLiteral("DELETE FROM steps WHERE run_id = ?"));
        q.addBindValue(runId);
        if (!q.exec())
            return false;
        q.prepare(QStringLiteral("INSERT INTO steps (run_id, number, line, source, state, detail, start_ms, ms)"
                                 " VALUES (?, ?, ?, ?, ?, ?, ?, ?)"));
        for (int i = 0; i < run.steps.size(); ++i) {
            const StepRecord &s = run.steps[i];
            q.addBindValue(runId);
            q.addBindValue(i + 1);
            q.addBindValue(s.line);
            q.addBindValue(text(s.source));
            q.addBindValue(text(s.state));
            q.addBindValue(text(s.detail));
            q.addBindValue(s.startMs);
            q.addBindValue(s.ms);
            if (!q.exec())
                return false;
        }
        return !queueIt || queue(q, run.uuid, QStringLiteral("run"), runDocument(run));
    });
}

bool Store::saveSession(const SessionRecord &session, bool queueIt)
{
    return write(QStringLiteral("writing a session"), [&](QSqlQuery &q) {
        QJsonArray tallies;
        for (const auto &t : session.tallies)
            tallies.append(QJsonObject{{QStringLiteral("name"), t.first}, {QStringLiteral("count"), t.second}});
        q.prepare(QStringLiteral(
            "INSERT INTO sessions (uuid, port, started, ended, replies, total_cents, tallies) VALUES (?, ?, ?, ?, ?, ?, ?)"
            " ON CONFLICT (uuid) DO UPDATE SET ended = excluded.ended, replies = excluded.replies,"
            " total_cents = excluded.total_cents, tallies = excluded.tallies"));
        q.addBindValue(session.uuid);
        q.addBindValue(text(session.port));
        q.addBindValue(storedTime(session.started));
        q.addBindValue(orNull(session.ended));
        q.addBindValue(session.replies);
        q.addBindValue(session.totalCents);
        q.addBindValue(QString::fromUtf8(compact(tallies)));
        if (!q.exec())
            return false;
        q.prepare(QStringLiteral("SELECT id FROM sessions WHERE uuid = ?"));
        q.addBindValue(session.uuid);
        if (!q.exec() || !q.next())
            return false;
        const qint64 sessionId = q.value(0).toLongLong();
        const QString seen = storedTime(session.ended.value_or(QDateTime::currentDateTime()));
        for (const Unit &unit : session.units) {
            const std::optional<qint64> id = unitId(q, unit, seen);
            if (!id)
                return false;
            q.prepare(QStringLiteral("INSERT OR IGNORE INTO session_units (session_id, unit_id) VALUES (?, ?)"));
            q.addBindValue(sessionId);
            q.addBindValue(*id);
            if (!q.exec())
                return false;
        }
        return !queueIt || queue(q, session.uuid, QStringLiteral("session"), sessionDocument(session));
    });
}

QList<UnitRow> Store::unitsWhere(const QString &where, const QVariantList &values)
{
    QList<UnitRow> rows;
    if (!m_open)
        return rows;
    QSqlQuery q(database());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral(
                  "SELECT u.id, u.address, u.manufacturer, u.serial, u.model, u.software, u.level, u.first_seen, u.last_seen,"
                  " (SELECT count(*) FROM runs r WHERE r.unit_id = u.id),"
                  " (SELECT r.result FROM runs r WHERE r.unit_id = u.id ORDER BY r.started DESC LIMIT 1)"
                  " FROM units u %1 ORDER BY u.last_seen DESC, u.id DESC").arg(where));
    for (const QVariant &v : values)
        q.addBindValue(v);
    if (!q.exec())
        return rows;
    while (q.next()) {
        UnitRow row;
        row.id = q.value(0).toLongLong();
        const quint8 address = quint8(q.value(1).toString().toUInt(nullptr, 16));
        row.unit.peripheral = mdb::peripheralOf(address);
        row.unit.manufacturer = q.value(2).toString();
        row.unit.serial = q.value(3).toString();
        row.unit.model = q.value(4).toString();
        row.unit.software = q.value(5).toString();
        row.unit.level = q.value(6).isNull() ? -1 : q.value(6).toInt();
        row.firstSeen = readTime(q.value(7).toString());
        row.lastSeen = readTime(q.value(8).toString());
        row.runs = q.value(9).toInt();
        row.lastResult = q.value(10).toString();
        rows.append(row);
    }
    return rows;
}

QList<UnitRow> Store::units(const QString &filter)
{
    if (filter.trimmed().isEmpty())
        return unitsWhere({}, {});
    // Searched as typed: LIKE's own wildcards in the filter are taken literally.
    QString pattern = filter.trimmed();
    pattern.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('%'), QLatin1String("\\%"))
        .replace(QLatin1Char('_'), QLatin1String("\\_"));
    pattern = QLatin1Char('%') + pattern + QLatin1Char('%');
    return unitsWhere(QStringLiteral("WHERE u.serial LIKE ? ESCAPE '\\' OR u.model LIKE ? ESCAPE '\\'"
                                     " OR u.manufacturer LIKE ? ESCAPE '\\'"),
                      {pattern, pattern, pattern});
}

QList<UnitRow> Store::unitsWithSerial(const QString &serial)
{
    return unitsWhere(QStringLiteral("WHERE u.serial = ?"), {serial});
}

QList<HistoryRow> Store::runsOf(qint64 unitId, int last)
{
    QList<HistoryRow> rows;
    if (!m_open)
        return rows;
    QSqlQuery q(database());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT id, uuid, plan, result, port, started, ended, shortfall, median_ms, reports FROM runs"
                             " WHERE unit_id = ? ORDER BY started DESC, id DESC%1")
                  .arg(last > 0 ? QStringLiteral(" LIMIT %1").arg(last) : QString()));
    q.addBindValue(unitId);
    if (!q.exec())
        return rows;
    while (q.next()) {
        HistoryRow row;
        row.runId = q.value(0).toLongLong();
        row.uuid = q.value(1).toString();
        row.plan = q.value(2).toString();
        row.result = q.value(3).toString();
        row.port = q.value(4).toString();
        row.started = readTime(q.value(5).toString());
        if (!q.value(6).isNull())
            row.ended = readTime(q.value(6).toString());
        if (!q.value(7).isNull())
            row.shortfall = q.value(7).toInt();
        if (!q.value(8).isNull())
            row.medianMs = q.value(8).toDouble();
        const QJsonArray reports = QJsonDocument::fromJson(q.value(9).toString().toUtf8()).array();
        for (const QJsonValue &r : reports)
            if (r.toString().endsWith(QLatin1String(".html"), Qt::CaseInsensitive)
                || r.toString().endsWith(QLatin1String(".htm"), Qt::CaseInsensitive)) {
                row.report = r.toString();
                break;
            }
        rows.prepend(row);
    }
    return rows;
}

std::optional<qint64> Store::unitOfRun(const QString &runUuid)
{
    if (!m_open)
        return std::nullopt;
    QSqlQuery q(database());
    q.prepare(QStringLiteral("SELECT unit_id FROM runs WHERE uuid = ?"));
    q.addBindValue(runUuid);
    if (!q.exec() || !q.next() || q.value(0).isNull())
        return std::nullopt;
    return q.value(0).toLongLong();
}

int Store::outboxCount()
{
    if (!m_open)
        return 0;
    QSqlQuery q(database());
    return q.exec(QStringLiteral("SELECT count(*) FROM outbox")) && q.next() ? q.value(0).toInt() : 0;
}

} // namespace kestrel::records
