// The bench records' file: its schema and migrations, a run kept with its unit, two writers at
// once, and storage that cannot be used (damaged, locked, newer than this console).
#include "records/schema.h"
#include "records/store.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

using namespace kestrel;
using namespace kestrel::records;

namespace {

Unit changer(const QString &serial)
{
    Unit u;
    u.peripheral = mdb::Peripheral::Changer;
    u.manufacturer = QStringLiteral("VLM");
    u.serial = serial;
    u.model = QStringLiteral("CHNG-3000");
    u.software = QStringLiteral("1.02");
    u.level = 3;
    return u;
}

RunRecord run(const Unit &unit, const QDateTime &started, const QString &result, int shortBy = 0)
{
    RunRecord r;
    r.uuid = newUuid();
    r.plan = QStringLiteral("changer");
    r.title = QStringLiteral("Coin changer check");
    r.digest = QStringLiteral("0123456789abcdef");
    r.port = QStringLiteral("virtual");
    r.started = started;
    r.ended = started.addSecs(2);
    r.result = result;
    r.unit = unit;
    r.steps = {{1, QStringLiteral("press changer \"Reset\""), QStringLiteral("PASS"), {}, 0, 1.5},
               {2, QStringLiteral("expect \"08 0B\""), QStringLiteral("PASS"), QStringLiteral("08 0B"), 1.5, 40}};
    r.payouts = {{QStringLiteral("Nickel"), 2, 2, -(2 - shortBy)}};
    r.roundTrips = {{QStringLiteral("Reset"), 40}, {QStringLiteral("Setup"), 60}, {QStringLiteral("Identify"), 50}};
    return r;
}

int count(QSqlDatabase db, const QString &sql)
{
    QSqlQuery q(db);
    return q.exec(sql) && q.next() ? q.value(0).toInt() : -1;
}

} // namespace

class tst_Store : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path(const QString &name) const { return m_dir.filePath(name); }

    Store::Options options(const QString &name, QStringList *problems = nullptr)
    {
        Store::Options o;
        o.path = path(name);
        o.busyMs = 300;
        if (problems)
            o.problem = [problems](const QString &p) { problems->append(p); };
        return o;
    }

private slots:
    void aNewFileHasTheNewestSchemaInWalModeWithForeignKeys()
    {
        Store store(options(QStringLiteral("new.sqlite")));
        QVERIFY(store.open());
        QSqlDatabase db = store.database();
        QCOMPARE(userVersion(db), schema().newest());
        QSqlQuery q(db);
        QVERIFY(q.exec(QStringLiteral("PRAGMA journal_mode")) && q.next());
        QCOMPARE(q.value(0).toString(), QStringLiteral("wal"));
        QVERIFY(q.exec(QStringLiteral("PRAGMA foreign_keys")) && q.next());
        QCOMPARE(q.value(0).toInt(), 1);
        // A step of a run that is not there is refused: the keys are enforced.
        QVERIFY(!q.exec(QStringLiteral("INSERT INTO steps VALUES (999, 1, 1, 's', 'PASS', '', 0, 0)")));
    }

    // A file left at each earlier version is brought to the newest, keeping what it held.
    void everyEarlierVersionIsMigrated()
    {
        for (int at = 0; at < schema().count; ++at) {
            const QString name = QStringLiteral("v%1.sqlite").arg(at);
            {
                QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
                db.setDatabaseName(path(name));
                QVERIFY(db.open());
                const Schema earlier{schema().migrations, at};
                QCOMPARE(migrate(db, earlier), QString());
                QCOMPARE(userVersion(db), earlier.newest());
                if (at >= 1) {
                    QSqlQuery q(db);
                    QVERIFY2(q.exec(QStringLiteral("INSERT INTO units (uuid, address, identified, first_seen, last_seen)"
                                                   " VALUES ('u', '08', 0, 'x', 'x')")),
                             qPrintable(q.lastError().text()));
                }
                db.close();
            }
            QSqlDatabase::removeDatabase(name);
            Store store(options(name));
            QVERIFY2(store.open(), qPrintable(store.lastProblem()));
            QSqlDatabase db = store.database();
            QCOMPARE(userVersion(db), schema().newest());
            QCOMPARE(count(db, QStringLiteral("SELECT count(*) FROM units")), at >= 1 ? 1 : 0);
            QCOMPARE(count(db, QStringLiteral("SELECT count(*) FROM outbox")), 0);
        }
    }

    // A step that fails leaves the file at the version it was, whole.
    void aFailedMigrationLeavesTheFileAsItWas()
    {
        static const char *const bad[] = {"CREATE TABLE later (x)", "THIS IS NO SQL", nullptr};
        QList<Migration> steps(schema().migrations, schema().migrations + schema().count);
        steps.append({schema().newest() + 1, bad});
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("bad"));
        db.setDatabaseName(path(QStringLiteral("bad.sqlite")));
        QVERIFY(db.open());
        const QString error = migrate(db, Schema{steps.constData(), int(steps.size())});
        QVERIFY(error.contains(QStringLiteral("version %1").arg(schema().newest() + 1)));
        QCOMPARE(userVersion(db), schema().newest());
        QCOMPARE(count(db, QStringLiteral("SELECT count(*) FROM sqlite_master WHERE name = 'later'")), 0);
        db.close();
        db = {};
        QSqlDatabase::removeDatabase(QStringLiteral("bad"));
    }

    void aFileFromANewerConsoleIsRefusedUntouched()
    {
        {
            Store store(options(QStringLiteral("newer.sqlite")));
            QVERIFY(store.open());
            QSqlQuery(store.database()).exec(QStringLiteral("PRAGMA user_version = 99"));
        }
        QStringList problems;
        Store store(options(QStringLiteral("newer.sqlite"), &problems));
        QVERIFY(!store.open());
        QCOMPARE(problems.size(), 1);
        QVERIFY2(problems[0].contains(QStringLiteral("made by a newer console (version 99")), qPrintable(problems[0]));
        QVERIFY(QFile::exists(path(QStringLiteral("newer.sqlite"))));
    }

    // A run is kept with its unit and steps; written again as it goes, it stays one run. Its
    // unit's history comes back in date order, the last N when asked.
    void runsAreKeptWithTheirUnit()
    {
        Store store(options(QStringLiteral("runs.sqlite")));
        QVERIFY(store.open());
        const QDateTime t0 = QDateTime::fromString(QStringLiteral("2026-03-01T09:00:00Z"), Qt::ISODate);
        RunRecord first = run(changer(QStringLiteral("123456789012")), t0, QLatin1String(kInterrupted));
        first.ended.reset();
        QVERIFY(store.saveRun(first, false));
        first.result = QLatin1String(kPassed);
        first.ended = t0.addSecs(3);
        QVERIFY(store.saveRun(first, false));
        QVERIFY(store.saveRun(run(changer(QStringLiteral("123456789012")), t0.addDays(30), QLatin1String(kFailed), 1), false));
        QVERIFY(store.saveRun(run(changer(QStringLiteral("123456789012")), t0.addDays(2), QLatin1String(kPassed)), false));
        Unit unidentified;
        unidentified.peripheral = mdb::Peripheral::Validator;
        QVERIFY(store.saveRun(run(unidentified, t0, QLatin1String(kFailed)), false));

        const QList<UnitRow> units = store.unitsWithSerial(QStringLiteral("123456789012"));
        QCOMPARE(units.size(), 1);
        QCOMPARE(units[0].runs, 3);
        QCOMPARE(units[0].lastResult, QLatin1String(kFailed));
        QCOMPARE(units[0].unit.software, QStringLiteral("1.02"));
        QCOMPARE(units[0].unit.level, 3);
        const QList<HistoryRow> runs = store.runsOf(units[0].id);
        QCOMPARE(runs.size(), 3);
        QCOMPARE(runs[0].started, t0.toLocalTime());
        QCOMPARE(runs[0].result, QLatin1String(kPassed));
        QCOMPARE(runs[1].started, t0.addDays(2).toLocalTime());
        QCOMPARE(runs[2].shortfall, 1);
        QCOMPARE(runs[2].medianMs, 50.0);
        QCOMPARE(store.runsOf(units[0].id, 2).size(), 2);
        QCOMPARE(store.runsOf(units[0].id, 2).first().started, t0.addDays(2).toLocalTime());
        QCOMPARE(count(store.database(), QStringLiteral("SELECT count(*) FROM steps")), 8);

        // An unidentified peripheral is known by its address.
        const QList<UnitRow> all = store.units();
        QCOMPARE(all.size(), 2);
        const auto found = std::find_if(all.begin(), all.end(), [](const UnitRow &u) { return !u.unit.identified(); });
        QVERIFY(found != all.end());
        QCOMPARE(found->unit.serialText(), QStringLiteral("unidentified"));
        QCOMPARE(found->unit.address(), QStringLiteral("30"));

        // The search: by serial, model or manufacturer, LIKE's wildcards taken as typed.
        QCOMPARE(store.units(QStringLiteral("6789")).size(), 1);
        QCOMPARE(store.units(QStringLiteral("chng")).size(), 1);
        QCOMPARE(store.units(QStringLiteral("VLM")).size(), 1);
        QCOMPARE(store.units(QStringLiteral("%")).size(), 0);
        QCOMPARE(store.units(QStringLiteral("nothing")).size(), 0);
    }

    // Queued for the shop's server: each save of a run that asks for it is an outbox row, carrying
    // the run's UUID.
    void theOutboxHoldsEachQueuedState()
    {
        Store::Options o = options(QStringLiteral("outbox.sqlite"));
        o.outbox = true;
        Store store(o);
        QVERIFY(store.open());
        const RunRecord r = run(changer(QStringLiteral("1")), QDateTime::currentDateTime(), QLatin1String(kPassed));
        QVERIFY(store.saveRun(r, true));
        QVERIFY(store.saveRun(r, false));
        QVERIFY(store.saveRun(r, true));
        QCOMPARE(store.outboxCount(), 2);
        QSqlQuery q(store.database());
        QVERIFY(q.exec(QStringLiteral("SELECT DISTINCT uuid FROM outbox")) && q.next());
        QCOMPARE(q.value(0).toString(), r.uuid);
    }

    // Two writers at once, each on its own thread with its own connection, as two consoles on one
    // machine: every run of both is kept, none fails.
    void twoWritersAtOnce()
    {
        const QString file = path(QStringLiteral("shared.sqlite"));
        constexpr int kRuns = 150;
        std::atomic<int> failures{0};
        const auto writer = [&](const QString &serial) {
            Store::Options o;
            o.path = file;
            o.problem = [&](const QString &) { ++failures; };
            Store store(o);
            if (!store.open())
                return;
            for (int i = 0; i < kRuns; ++i)
                if (!store.saveRun(run(changer(serial), QDateTime::currentDateTime(), QLatin1String(kPassed)), false))
                    ++failures;
        };
        std::unique_ptr<QThread> a(QThread::create(writer, QStringLiteral("A"))), b(QThread::create(writer, QStringLiteral("B")));
        a->start();
        b->start();
        QVERIFY(a->wait(120000) && b->wait(120000));
        QCOMPARE(failures.load(), 0);
        Store store(options(QStringLiteral("shared.sqlite")));
        QVERIFY(store.open());
        QCOMPARE(count(store.database(), QStringLiteral("SELECT count(*) FROM runs")), 2 * kRuns);
        QCOMPARE(count(store.database(), QStringLiteral("SELECT count(*) FROM units")), 2);
    }

    // A damaged file is moved aside with the date in its name, a new one is started, and the
    // message says where the old one went.
    void aDamagedFileIsMovedAside()
    {
        const QString file = path(QStringLiteral("damaged.sqlite"));
        {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray(8192, 'x'));
        }
        QStringList problems;
        Store store(options(QStringLiteral("damaged.sqlite"), &problems));
        QVERIFY(store.open());
        QCOMPARE(problems.size(), 1);
        const QString today = QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"));
        const QString aside = path(QStringLiteral("damaged.damaged-%1").arg(today));
        QVERIFY2(problems[0].contains(QStringLiteral("were moved to %1").arg(QDir::toNativeSeparators(aside))), qPrintable(problems[0]));
        QVERIFY2(problems[0].contains(QStringLiteral("new records were started")), qPrintable(problems[0]));
        const QStringList kept = QDir(m_dir.path()).entryList({QStringLiteral("damaged.damaged-*")});
        QCOMPARE(kept.size(), 1);
        QCOMPARE(QFileInfo(m_dir.filePath(kept[0])).size(), 8192);
        QVERIFY(store.saveRun(run(changer(QStringLiteral("2")), QDateTime::currentDateTime(), QLatin1String(kPassed)), false));
    }

    // Held by another program past the wait: one message, and the store stops writing.
    void aFileLockedByAnotherProgram()
    {
        Store store(options(QStringLiteral("locked.sqlite")));
        QVERIFY(store.open());
        QStringList problems;
        Store second(options(QStringLiteral("locked.sqlite"), &problems));
        QVERIFY(second.open());
        QSqlDatabase holder = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("holder"));
        holder.setDatabaseName(path(QStringLiteral("locked.sqlite")));
        QVERIFY(holder.open());
        QSqlQuery hold(holder);
        QVERIFY(hold.exec(QStringLiteral("BEGIN EXCLUSIVE")));
        QElapsedTimer waited;
        waited.start();
        QVERIFY(!second.saveRun(run(changer(QStringLiteral("3")), QDateTime::currentDateTime(), QLatin1String(kPassed)), false));
        QVERIFY(waited.elapsed() >= 250);
        QVERIFY(!second.saveRun(run(changer(QStringLiteral("3")), QDateTime::currentDateTime(), QLatin1String(kPassed)), false));
        QCOMPARE(problems.size(), 1);
        QVERIFY2(problems[0].contains(QStringLiteral("locked by another program")), qPrintable(problems[0]));
        QVERIFY(hold.exec(QStringLiteral("ROLLBACK")));
        hold = QSqlQuery();
        holder.close();
        holder = {};
        QSqlDatabase::removeDatabase(QStringLiteral("holder"));
    }

    void documentsCarryTheRunWhole()
    {
        const RunRecord r = run(changer(QStringLiteral("42")), QDateTime::currentDateTime(), QLatin1String(kFailed), 1);
        const QJsonObject o = QJsonDocument::fromJson(runDocument(r)).object();
        QCOMPARE(o.value(QStringLiteral("result")).toString(), QLatin1String(kFailed));
        QCOMPARE(o.value(QStringLiteral("unit")).toObject().value(QStringLiteral("serial")).toString(), QStringLiteral("42"));
        QCOMPARE(o.value(QStringLiteral("steps")).toArray().size(), 2);
        QCOMPARE(o.value(QStringLiteral("shortfall")).toInt(), 1);
    }
};

QTEST_GUILESS_MAIN(tst_Store)
#include "tst_store.moc"
