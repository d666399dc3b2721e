#include "records/push.h"

#include "records/store.h"

#include <QEventLoop>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QTimer>
#include <QUrl>

#include <atomic>

namespace kestrel::records {

namespace {

std::atomic<int> g_pushers{0};

const char kServerTable[] =
    "CREATE TABLE IF NOT EXISTS kestrel_records ("
    " uuid uuid PRIMARY KEY,"
    " kind text NOT NULL,"
    " bench text NOT NULL,"
    " revision bigint NOT NULL,"
    " recorded timestamptz NOT NULL DEFAULT now(),"
    " body jsonb NOT NULL)";

// A newer state of a record replaces an older one; the same state again changes nothing.
const char kServerInsert[] =
    "INSERT INTO kestrel_records (uuid, kind, bench, revision, body) VALUES (?::uuid, ?, ?, ?, ?::jsonb)"
    " ON CONFLICT (uuid) DO UPDATE SET revision = excluded.revision, body = excluded.body, recorded = now()"
    " WHERE kestrel_records.revision < excluded.revision";

constexpr int kBatch = 200;
constexpr int kFirstRetryMs = 1000;
constexpr int kLastRetryMs = 60000;

bool refusedLogin(const QString &text)
{
    for (const char *words : {"password authentication failed", "does not exist", "no pg_hba.conf entry",
                              "authentication failed", "permission denied"})
        if (text.contains(QLatin1String(words), Qt::CaseInsensitive))
            return true;
    return false;
}

} // namespace

QString ServerAddress::shown() const
{
    return QStringLiteral("%1@%2:%3/%4").arg(user, host).arg(port).arg(database);
}

std::optional<ServerAddress> parseServer(const QString &text, QString *why)
{
    const auto fail = [&](const QString &reason) -> std::optional<ServerAddress> {
        if (why)
            *why = reason;
        return std::nullopt;
    };
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || (url.scheme() != QLatin1String("postgresql") && url.scheme() != QLatin1String("postgres")))
        return fail(QStringLiteral("a records server is postgresql://USER@HOST:PORT/DATABASE"));
    ServerAddress a;
    a.user = url.userName();
    a.password = url.password();
    a.host = url.host();
    a.port = url.port(5432);
    a.database = url.path().mid(1);
    if (a.user.isEmpty() || a.host.isEmpty() || a.database.isEmpty() || a.database.contains(QLatin1Char('/')))
        return fail(QStringLiteral("a records server is postgresql://USER@HOST:PORT/DATABASE (user, host and database "
                                   "are needed)"));
    return a;
}

// The pushing itself, on the pusher's thread: its own connection to the records file and one to
// the server.
class PushWorker : public QObject
{
    Q_OBJECT
public:
    PushWorker(QString path, ServerAddress server, QString bench)
        : m_path(std::move(path)), m_server(std::move(server)), m_bench(std::move(bench))
    {
        const int n = g_pushers.fetch_add(1);
        m_local = QStringLiteral("kestrel-push-local-%1").arg(n);
        m_remote = QStringLiteral("kestrel-push-server-%1").arg(n);
    }
    ~PushWorker() override
    {
        for (const QString &name : {m_local, m_remote}) {
            {
                QSqlDatabase db = QSqlDatabase::database(name, false);
                if (db.isValid())
                    db.close();
            }
            QSqlDatabase::removeDatabase(name);
        }
    }

    void begin()
    {
        m_retry = new QTimer(this);
        m_retry->setSingleShot(true);
        connect(m_retry, &QTimer::timeout, this, &PushWorker::push);
    }

    // One pass: batches until the outbox is empty or the server fails. `pass` tells what is left.
    void push()
    {
        m_retry->stop();
        int left = 0;
        QString error;
        for (;;) {
            const std::optional<int> sent = pushBatch(&left, &error);
            if (!sent || *sent == 0)
                break;
        }
        if (!error.isEmpty()) {
            if (!m_failing)
                emit waiting(error);
            m_failing = true;
            m_retry->start(m_delay);
            m_delay = std::min(m_delay * 2, kLastRetryMs);
        } else {
            m_delay = kFirstRetryMs;
            if (m_failing && left == 0)
                emit caughtUp();
            if (left == 0)
                m_failing = false;
        }
        emit pass(left, error.isEmpty());
    }

signals:
    void waiting(const QString &why);
    void caughtUp();
    void pass(int left, bool ok);

private:
    QSqlDatabase local()
    {
        QSqlDatabase db = QSqlDatabase::database(m_local, false);
        if (!db.isValid()) {
            db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_local);
            db.setDatabaseName(m_path);
            db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=30000"));
        }
        if (!db.isOpen() && db.open())
            Store::prepare(db);
        return db;
    }

    QString connectServer(QSqlDatabase &db)
    {
        db = QSqlDatabase::database(m_remote, false);
        if (!db.isValid()) {
            db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_remote);
            if (!db.isValid())
                return QStringLiteral("Qt's PostgreSQL driver is missing");
            db.setHostName(m_server.host);
            db.setPort(m_server.port);
            db.setUserName(m_server.user);
            db.setPassword(m_server.password);
            db.setDatabaseName(m_server.database);
            // A host that never answers, or a peer gone quiet, is given up in seconds, not minutes.
            db.setConnectOptions(QStringLiteral("connect_timeout=3;keepalives_idle=5;keepalives_interval=2;keepalives_count=2"));
        }
        if (db.isOpen())
            return {};
        if (!db.open()) {
            const QString text = db.lastError().text().trimmed();
            db.close();
            if (refusedLogin(text))
                return QStringLiteral("the shop's records server %1 refused the login of %2: %3")
                    .arg(m_server.host + QLatin1Char(':') + QString::number(m_server.port), m_server.user, text);
            return QStringLiteral("the shop's records server %1 cannot be reached: %2").arg(m_server.shown(), text);
        }
        QSqlQuery q(db);
        if (!q.exec(QString::fromLatin1(kServerTable))) {
            // Two benches making the table at once: one of them loses the race, then finds it made.
            if (!q.exec(QString::fromLatin1(kServerTable))) {
                const QString text = q.lastError().text().trimmed();
                db.close();
                return QStringLiteral("the shop's records server %1 cannot keep the records: %2").arg(m_server.shown(), text);
            }
        }
        return {};
    }

    // Sends one batch; the number sent (0: none were waiting), or nothing on failure.
    std::optional<int> pushBatch(int *left, QString *error)
    {
        QSqlDatabase db = local();
        QSqlQuery rows(db);
        rows.setForwardOnly(true);
        if (!db.isOpen() || !rows.exec(QStringLiteral("SELECT id, uuid, kind, revision, body FROM outbox ORDER BY id LIMIT %1").arg(kBatch))) {
            *error = QStringLiteral("the bench records cannot be read for sending: %1").arg(db.lastError().text());
            return std::nullopt;
        }
        struct Row { qint64 id; QString uuid, kind; qint64 revision; QString body; };
        QList<Row> batch;
        while (rows.next())
            batch.append({rows.value(0).toLongLong(), rows.value(1).toString(), rows.value(2).toString(),
                          rows.value(3).toLongLong(), rows.value(4).toString()});
        rows.finish();
        if (batch.isEmpty()) {
            *left = 0;
            return 0;
        }
        QSqlDatabase server;
        if (QString why = connectServer(server); !why.isEmpty()) {
            *error = why;
            *left = countLeft(db);
            return std::nullopt;
        }
        const auto serverFailed = [&](const QSqlError &e) -> std::optional<int> {
            *error = QStringLiteral("the shop's records server %1 stopped taking records: %2").arg(m_server.shown(), e.text().trimmed());
            server.rollback();
            server.close();      // connected afresh next time
            *left = countLeft(db);
            return std::nullopt;
        };
        if (!server.transaction())
            return serverFailed(server.lastError());
        QSqlQuery insert(server);
        insert.prepare(QString::fromLatin1(kServerInsert));
        for (const Row &row : batch) {
            insert.addBindValue(row.uuid);
            insert.addBindValue(row.kind);
            insert.addBindValue(m_bench);
            insert.addBindValue(row.revision);
            insert.addBindValue(row.body);
            if (!insert.exec())
                return serverFailed(insert.lastError());
        }
        if (!server.commit())
            return serverFailed(server.lastError());
        // Only now does the batch leave the outbox. Killed before this, the batch is sent again
        // and the server's UUIDs keep each record once.
        QSqlQuery done(db);
        done.prepare(QStringLiteral("DELETE FROM outbox WHERE id <= ?"));
        done.addBindValue(batch.last().id);
        if (!done.exec()) {
            *error = QStringLiteral("the bench records cannot be marked as sent: %1").arg(done.lastError().text());
            return std::nullopt;
        }
        *left = countLeft(db);
        return int(batch.size());
    }

    static int countLeft(QSqlDatabase &db)
    {
        QSqlQuery q(db);
        return q.exec(QStringLiteral("SELECT count(*) FROM outbox")) && q.next() ? q.value(0).toInt() : -1;
    }

    QString m_path;
    ServerAddress m_server;
    QString m_bench;
    QString m_local, m_remote;
    QTimer *m_retry = nullptr;
    int m_delay = kFirstRetryMs;
    bool m_failing = false;
};

Pusher::Pusher(const QString &recordsPath, const ServerAddress &server, const QString &bench, QObject *parent)
    : QObject(parent), m_server(server), m_thread(new QThread), m_worker(new PushWorker(recordsPath, server, bench))
{
    m_worker->moveToThread(m_thread);
    connect(m_thread, &QThread::started, m_worker, &PushWorker::begin);
    connect(m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    connect(m_worker, &PushWorker::waiting, this, &Pusher::waiting);
    connect(m_worker, &PushWorker::caughtUp, this, &Pusher::caughtUp);
    m_thread->start();
    nudge();   // what an earlier session left waiting
}

Pusher::~Pusher()
{
    m_thread->quit();
    m_thread->wait();
    delete m_thread;
}

void Pusher::nudge()
{
    QMetaObject::invokeMethod(m_worker, &PushWorker::push, Qt::QueuedConnection);
}

bool Pusher::flush(int ms)
{
    QEventLoop loop;
    bool empty = false;
    const QMetaObject::Connection passed = connect(m_worker, &PushWorker::pass, &loop, [&](int left, bool ok) {
        empty = ok && left == 0;
        loop.quit();
    });
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    nudge();
    loop.exec();
    disconnect(passed);
    return empty;
}

} // namespace kestrel::records

#include "push.moc"
