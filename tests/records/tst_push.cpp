// The push of the bench records to a shop's PostgreSQL server, against a real server the test
// starts itself: a push, the server down and back, a connection cut mid-push (after the server's
// commit too), two benches at once, a refused login, and the program telling once that records wait.
#include "records/push.h"
#include "records/store.h"
#include "tests/support/headless.h"
#include "tests/support/pgserver.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <atomic>

using namespace kestrel;
using namespace kestrel::records;
using namespace kestrel::test;

namespace {

RunRecord aRun(const QString &serial)
{
    RunRecord r;
    r.uuid = newUuid();
    r.plan = QStringLiteral("changer");
    r.title = QStringLiteral("Coin changer check");
    r.digest = QStringLiteral("0123456789abcdef");
    r.port = QStringLiteral("virtual");
    r.started = QDateTime::currentDateTime();
    r.ended = r.started.addSecs(1);
    r.result = QLatin1String(kPassed);
    r.unit.peripheral = mdb::Peripheral::Changer;
    r.unit.serial = serial;
    r.unit.manufacturer = QStringLiteral("VLM");
    return r;
}

// A bench: its own records file with an outbox, and its pusher.
struct Bench
{
    Bench(const QString &path, const QString &url, const QString &name)
    {
        Store::Options o;
        o.path = path;
        o.outbox = true;
        store = std::make_unique<Store>(o);
        store->open();
        pusher = std::make_unique<Pusher>(path, *parseServer(url), name);
    }
    void queue(int runs, const QString &serial)
    {
        for (int i = 0; i < runs; ++i)
            QVERIFY(store->saveRun(aRun(serial), true));
    }
    std::unique_ptr<Store> store;
    std::unique_ptr<Pusher> pusher;
};

// Between the bench and the server: passes bytes both ways, and cuts the connections it is told to
// at the point it is told.
class Cutter : public QObject
{
public:
    enum Cut { None, AfterBegin, AfterCommit };
    explicit Cutter(int serverPort) : m_serverPort(serverPort)
    {
        m_listen.listen(QHostAddress::LocalHost, 0);
        m_port = m_listen.serverPort();
        connect(&m_listen, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *client = m_listen.nextPendingConnection())
                join(client, m_plan.value(m_connections++, None));
        });
    }
    int port() const { return m_port; }
    QList<Cut> m_plan;
    std::atomic<int> m_connections{0};
    std::atomic<int> m_cuts{0};

private:
    void join(QTcpSocket *client, Cut cut)
    {
        auto *server = new QTcpSocket(client);
        server->connectToHost(QHostAddress::LocalHost, quint16(m_serverPort));
        auto state = std::make_shared<int>(0);   // 1: BEGIN seen; messages since; 2: COMMIT sent
        const auto end = [this, client] {
            ++m_cuts;
            client->abort();
            client->deleteLater();
        };
        connect(client, &QTcpSocket::readyRead, server, [=] {
            const QByteArray bytes = client->readAll();
            server->write(bytes);
            if (cut == AfterBegin && *state >= 1 && ++*state > 6)
                return end();
            if (bytes.contains("BEGIN"))
                *state = 1;
            if (cut == AfterCommit && bytes.contains("COMMIT")) {
                server->flush();
                *state = 2;
            }
        });
        connect(server, &QTcpSocket::readyRead, client, [=] {
            const QByteArray bytes = server->readAll();
            // The server has the COMMIT: its answer never reaches the bench.
            if (*state == 2)
                return end();
            client->write(bytes);
        });
        connect(client, &QTcpSocket::disconnected, server, [server] { server->disconnectFromHost(); });
        connect(server, &QTcpSocket::disconnected, client, [client] { client->disconnectFromHost(); });
    }

    // A child, so that it moves to the proxy's thread with the cutter.
    QTcpServer m_listen{this};
    int m_serverPort;
    int m_port = 0;
};

} // namespace

class tst_Push : public QObject
{
    Q_OBJECT

    PgServer m_server;
    QTemporaryDir m_dir;
    int m_bench = 0;

    QString file() { return m_dir.filePath(QStringLiteral("bench-%1.sqlite").arg(++m_bench)); }
    QString stored() { return m_server.query(QStringLiteral("SELECT count(*) FROM kestrel_records")); }

private slots:
    void initTestCase()
    {
        if (!m_server.setUp())
            QFAIL(qPrintable(m_server.error));
    }

    void init()
    {
        m_server.query(QStringLiteral("DROP TABLE IF EXISTS kestrel_records"));
    }

    void aPush()
    {
        Bench bench(file(), m_server.url(), QStringLiteral("bench-a"));
        RunRecord r = aRun(QStringLiteral("1111"));
        r.result = QLatin1String(kInterrupted);
        r.ended.reset();
        QVERIFY(bench.store->saveRun(r, true));
        r.result = QLatin1String(kFailed);
        r.ended = r.started.addSecs(2);
        QVERIFY(bench.store->saveRun(r, true));
        bench.queue(2, QStringLiteral("2222"));
        bench.pusher->nudge();
        QTRY_COMPARE_WITH_TIMEOUT(bench.store->outboxCount(), 0, 10000);
        QCOMPARE(stored(), QStringLiteral("3"));
        // The run's last state is the one kept.
        QCOMPARE(m_server.query(QStringLiteral("SELECT body->>'result' FROM kestrel_records WHERE uuid = '%1'").arg(r.uuid)),
                 QStringLiteral("failed"));
        QCOMPARE(m_server.query(QStringLiteral("SELECT body->'unit'->>'serial' FROM kestrel_records WHERE uuid = '%1'").arg(r.uuid)),
                 QStringLiteral("1111"));
        QCOMPARE(m_server.query(QStringLiteral("SELECT DISTINCT bench FROM kestrel_records")), QStringLiteral("bench-a"));
    }

    // Down, then back: the records wait (told once), then all go, none lost, none twice.
    void theServerDownThenBack()
    {
        QVERIFY(m_server.stop());
        Bench bench(file(), m_server.url(), QStringLiteral("bench-a"));
        QSignalSpy waiting(bench.pusher.get(), &Pusher::waiting);
        QSignalSpy caughtUp(bench.pusher.get(), &Pusher::caughtUp);
        bench.queue(5, QStringLiteral("3333"));
        bench.pusher->nudge();
        QTRY_COMPARE_WITH_TIMEOUT(waiting.size(), 1, 10000);
        QVERIFY2(waiting[0][0].toString().contains(QStringLiteral("cannot be reached")), qPrintable(waiting[0][0].toString()));
        QTest::qWait(3500);   // tried again, and again, meanwhile
        QCOMPARE(waiting.size(), 1);
        bench.queue(2, QStringLiteral("3333"));
        QCOMPARE(bench.store->outboxCount(), 7);
        QVERIFY(m_server.start());
        QTRY_COMPARE_WITH_TIMEOUT(bench.store->outboxCount(), 0, 40000);
        QCOMPARE(stored(), QStringLiteral("7"));
        QTRY_COMPARE(caughtUp.size(), 1);
        QCOMPARE(waiting.size(), 1);
    }

    // Cut mid-batch, then cut after the server committed but before the bench heard so: the batch
    // is sent again, and the server keeps each record once.
    void theConnectionCutMidPush()
    {
        // The proxy runs on a thread of its own: the pusher's thread talks through it while this
        // one waits, and at the end this one waits for the pusher's thread to stop.
        QThread proxyThread;
        Cutter cutter(m_server.port());
        cutter.m_plan = {Cutter::AfterBegin, Cutter::AfterCommit};
        cutter.moveToThread(&proxyThread);
        proxyThread.start();
        const QString url = QStringLiteral("postgresql://%1:%2@127.0.0.1:%3/%4")
                                .arg(QLatin1String(PgServer::kUser), QLatin1String(PgServer::kPassword))
                                .arg(cutter.port()).arg(QLatin1String(PgServer::kDatabase));
        {
            Bench bench(file(), url, QStringLiteral("bench-a"));
            bench.queue(40, QStringLiteral("4444"));
            bench.pusher->nudge();
            QTRY_COMPARE_WITH_TIMEOUT(bench.store->outboxCount(), 0, 40000);
        }
        proxyThread.quit();
        proxyThread.wait();
        QCOMPARE(cutter.m_cuts.load(), 2);
        QVERIFY(cutter.m_connections.load() >= 3);
        QCOMPARE(stored(), QStringLiteral("40"));
    }

    void twoBenchesAtOnce()
    {
        Bench a(file(), m_server.url(), QStringLiteral("bench-a"));
        Bench b(file(), m_server.url(), QStringLiteral("bench-b"));
        a.queue(150, QStringLiteral("5555"));
        b.queue(150, QStringLiteral("6666"));
        a.pusher->nudge();
        b.pusher->nudge();
        QTRY_COMPARE_WITH_TIMEOUT(a.store->outboxCount() + b.store->outboxCount(), 0, 40000);
        QCOMPARE(stored(), QStringLiteral("300"));
        QCOMPARE(m_server.query(QStringLiteral("SELECT count(DISTINCT bench) FROM kestrel_records")), QStringLiteral("2"));
    }

    void aRefusedLoginIsToldOnce()
    {
        Bench bench(file(), m_server.url(QStringLiteral("wrong")), QStringLiteral("bench-a"));
        QSignalSpy waiting(bench.pusher.get(), &Pusher::waiting);
        bench.queue(1, QStringLiteral("7777"));
        bench.pusher->nudge();
        QTRY_COMPARE_WITH_TIMEOUT(waiting.size(), 1, 10000);
        const QString message = waiting[0][0].toString();
        QVERIFY2(message.contains(QStringLiteral("refused the login of kestrel")), qPrintable(message));
        QVERIFY2(message.contains(QStringLiteral("password authentication failed")), qPrintable(message));
        QVERIFY(!message.contains(QStringLiteral("wrong")));
        QTest::qWait(3500);
        QCOMPARE(waiting.size(), 1);
        QCOMPARE(bench.store->outboxCount(), 1);
    }

    // The program: a plan run while the server is down says once on stderr that its records wait,
    // and passes; the next run, with the server back, sends both.
    void theProgramTellsOnceThatRecordsWait()
    {
        Headless kestrel(QStringLiteral(KESTREL_EXECUTABLE));
        const QStringList run{QStringLiteral("--plan"), QStringLiteral("changer"), QStringLiteral("--com1"), QStringLiteral("virtual"),
                              QStringLiteral("--plan-answers"), QStringLiteral("virtual"), QStringLiteral("--records"), m_server.url()};
        QVERIFY(m_server.stop());
        QCOMPARE(kestrel.run(run), 0);
        QCOMPARE(kestrel.err.count(QStringLiteral("Bench records are waiting to be sent")), 1);
        QVERIFY2(!kestrel.err.contains(QLatin1String(PgServer::kPassword)), qPrintable(kestrel.err));
        QVERIFY(m_server.start());
        // The settings file names the server this time, in the folder named as the data folder is.
        const QString maker = QDir(kestrel.file(QStringLiteral("data"))).entryList(QDir::Dirs | QDir::NoDotAndDotDot).value(0);
        QVERIFY(!maker.isEmpty());
        QDir().mkpath(kestrel.file(QStringLiteral("config/") + maker));
        kestrel.write(QStringLiteral("config/%1/Kestrel.ini").arg(maker),
                      QStringLiteral("[records]\nserver=%1\n").arg(m_server.url()).toUtf8());
        QCOMPARE(kestrel.run(run.mid(0, 6)), 0);
        QVERIFY2(kestrel.err.isEmpty(), qPrintable(kestrel.err));
        // Two runs and two sessions, each once.
        QCOMPARE(m_server.query(QStringLiteral("SELECT count(*) FROM kestrel_records WHERE kind = 'run'")), QStringLiteral("2"));
        QCOMPARE(m_server.query(QStringLiteral("SELECT count(*) FROM kestrel_records WHERE kind = 'session'")), QStringLiteral("2"));
        QCOMPARE(m_server.query(QStringLiteral("SELECT count(*) FROM kestrel_records WHERE body->>'result' = 'passed'")),
                 QStringLiteral("2"));
    }
};

QTEST_GUILESS_MAIN(tst_Push)
#include "tst_push.moc"
