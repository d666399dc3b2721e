#include "bench/benches.h"

#include "records/push.h"
#include "records/store.h"
#ifdef Q_OS_LINUX
#include "tests/support/pgserver.h"
#endif

#include <QElapsedTimer>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace kestrel::bench {

namespace {

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// A changer plan's run as the records keep it at its end: its 32 steps, three tubes' payouts, its
// round trips.
records::RunRecord changerRun(const QString &serial, const QDateTime &started)
{
    records::RunRecord r;
    r.uuid = records::newUuid();
    r.plan = QStringLiteral("changer");
    r.title = QStringLiteral("Coin changer check");
    r.digest = QStringLiteral("0123456789abcdef");
    r.port = QStringLiteral("COM3");
    r.started = started;
    r.ended = started.addSecs(40);
    r.result = QLatin1String(records::kPassed);
    r.unit.peripheral = mdb::Peripheral::Changer;
    r.unit.manufacturer = QStringLiteral("VLM");
    r.unit.serial = serial;
    r.unit.model = QStringLiteral("CHNG-3000");
    r.unit.software = QStringLiteral("1.02");
    r.unit.level = 3;
    for (int i = 0; i < 32; ++i)
        r.steps.append({i + 2, QStringLiteral("expect \"08 50 *\" or \"08 40 *\" within 60s"), QStringLiteral("PASS"),
                        QStringLiteral("08 50 06"), i * 100.0, 57.5});
    for (const char *coin : {"Nickel", "Dime", "Quarter"})
        r.payouts.append({QString::fromLatin1(coin), 1, 1, -1});
    for (int i = 0; i < 8; ++i)
        r.roundTrips.append({QStringLiteral("Tube Status"), 55.0 + i});
    return r;
}

// A records file holding `runs` runs of `units` changers, written in one transaction.
void fill(records::Store &store, int units, int runs)
{
    QSqlDatabase db = store.database();
    QSqlQuery q(db);
    q.exec(QStringLiteral("BEGIN"));
    const QDateTime start = QDateTime::currentDateTime().addYears(-2);
    for (int u = 0; u < units; ++u) {
        q.prepare(QStringLiteral("INSERT INTO units (uuid, address, manufacturer, serial, model, identified, first_seen, last_seen)"
                                 " VALUES (?, '08', 'VLM', ?, 'CHNG-3000', 1, ?, ?)"));
        q.addBindValue(records::newUuid());
        q.addBindValue(QStringLiteral("%1").arg(u, 12, 10, QLatin1Char('0')));
        q.addBindValue(records::storedTime(start));
        q.addBindValue(records::storedTime(start));
        q.exec();
    }
    q.prepare(QStringLiteral("INSERT INTO runs (uuid, unit_id, plan, title, digest, port, started, ended, result, shortfall, median_ms)"
                             " VALUES (?, ?, 'changer', 'Coin changer check', '0123456789abcdef', 'COM3', ?, ?, ?, 0, 57.5)"));
    for (int r = 0; r < runs; ++r) {
        const QDateTime t = start.addSecs(qint64(r) * 600);
        q.addBindValue(records::newUuid());
        q.addBindValue(1 + r % units);
        q.addBindValue(records::storedTime(t));
        q.addBindValue(records::storedTime(t.addSecs(40)));
        q.addBindValue(r % 17 ? QStringLiteral("passed") : QStringLiteral("failed"));
        q.exec();
    }
    q.exec(QStringLiteral("COMMIT"));
}

} // namespace

void records()
{
    QTemporaryDir dir;
    const auto open = [&](const QString &name, bool outbox) {
        records::Store::Options o;
        o.path = dir.filePath(name);
        o.outbox = outbox;
        auto store = std::make_unique<records::Store>(o);
        store->open();
        return store;
    };
    constexpr int kUnits = 1000, kRuns = 100000;
    auto small = open(QStringLiteral("small.sqlite"), true);
    auto large = open(QStringLiteral("large.sqlite"), true);
    QElapsedTimer clock;
    clock.start();
    fill(*large, kUnits, kRuns);
    std::printf("Bench records (a file of %d runs of %d units made in %.1f s)\n\n", kRuns, kUnits, clock.elapsed() / 1000.0);

    // Recording a plan run's end: its row, its 32 steps, its unit and its outbox row, in one
    // transaction; in an empty file and in the large one, in turns.
    std::vector<double> intoSmall, intoLarge;
    for (int i = 0; i < 60; ++i) {
        for (records::Store *store : {small.get(), large.get()}) {
            const records::RunRecord run = changerRun(QStringLiteral("%1").arg(i % kUnits, 12, 10, QLatin1Char('0')),
                                                      QDateTime::currentDateTime());
            clock.restart();
            store->saveRun(run, true);
            (store == small.get() ? intoSmall : intoLarge).push_back(clock.nsecsElapsed() / 1e6);
        }
    }
    // A unit's history: its serial number looked up, then its runs in date order.
    std::vector<double> history;
    int rows = 0;
    for (int i = 0; i < 60; ++i) {
        clock.restart();
        const auto units = large->unitsWithSerial(QStringLiteral("%1").arg((i * 37) % kUnits, 12, 10, QLatin1Char('0')));
        rows = int(large->runsOf(units.value(0).id).size());
        history.push_back(clock.nsecsElapsed() / 1e6);
    }
    std::vector<double> search;
    for (int i = 0; i < 30; ++i) {
        clock.restart();
        large->units(QStringLiteral("%1").arg(i * 7 % 100, 2, 10, QLatin1Char('0')));
        search.push_back(clock.nsecsElapsed() / 1e6);
    }
    std::printf("| what | median ms |\n|---|---|\n");
    std::printf("| a changer run recorded at its end (32 steps, unit, outbox), empty file | %.2f |\n", median(intoSmall));
    std::printf("| the same, in a file of %d runs | %.2f |\n", kRuns, median(intoLarge));
    std::printf("| one unit's history (%d runs) among %d runs | %.2f |\n", rows, kRuns, median(history));
    std::printf("| the units searched by part of a serial number, among %d units | %.2f |\n\n", kUnits, median(search));

#ifdef Q_OS_LINUX
    // The push: runs per second from the outbox to a PostgreSQL server on this machine.
    test::PgServer server;
    if (!server.setUp()) {
        std::printf("(no PostgreSQL server here: %s)\n", qPrintable(server.error));
        return;
    }
    std::printf("| push to a PostgreSQL server on this machine | runs | seconds | runs per second |\n|---|---|---|---|\n");
    for (int round = 0; round < 3; ++round) {
        auto bench = open(QStringLiteral("push-%1.sqlite").arg(round), true);
        constexpr int kPushed = 2000;
        for (int i = 0; i < kPushed; ++i)
            bench->saveRun(changerRun(QStringLiteral("%1").arg(i % 50), QDateTime::currentDateTime()), true);
        records::Pusher pusher(bench->path(), *records::parseServer(server.url()), QStringLiteral("bench"));
        clock.restart();
        const bool emptied = pusher.flush(120000);
        const double s = clock.elapsed() / 1000.0;
        std::printf("| round %d%s | %d | %.2f | %.0f |\n", round + 1, emptied ? "" : " (not emptied)", kPushed, s, kPushed / s);
    }
    std::printf("\n");
#endif
}

} // namespace kestrel::bench
