#include "tests/support/pgserver.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTcpServer>

#include <unistd.h>

namespace kestrel::test {

PgServer::PgServer()
{
    const QStringList versions = QDir(QStringLiteral("/usr/lib/postgresql")).entryList(QDir::Dirs | QDir::NoDotAndDotDot,
                                                                                     QDir::Name | QDir::Reversed);
    for (const QString &v : versions)
        if (QFile::exists(QStringLiteral("/usr/lib/postgresql/%1/bin/initdb").arg(v))) {
            m_bin = QStringLiteral("/usr/lib/postgresql/%1/bin/").arg(v);
            break;
        }
    m_asNobody = ::geteuid() == 0;
}

PgServer::~PgServer()
{
    if (m_running)
        stop();
}

int PgServer::run(const QString &program, const QStringList &arguments, QString *output) const
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.setWorkingDirectory(m_dir.path());
    if (m_asNobody)
        p.start(QStringLiteral("runuser"), QStringList{QStringLiteral("-u"), QStringLiteral("nobody"), QStringLiteral("--"),
                                                       m_bin + program} + arguments);
    else
        p.start(m_bin + program, arguments);
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        if (output)
            *output = QStringLiteral("%1 did not finish").arg(program);
        return -1;
    }
    if (output)
        *output = QString::fromLocal8Bit(p.readAll());
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
}

bool PgServer::setUp()
{
    if (m_bin.isEmpty()) {
        error = QStringLiteral("no PostgreSQL server is installed (Debian: postgresql)");
        return false;
    }
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0)) {
        error = QStringLiteral("no free port");
        return false;
    }
    m_port = probe.serverPort();
    probe.close();
    QFile pw(m_dir.filePath(QStringLiteral("pw")));
    if (!pw.open(QIODevice::WriteOnly))
        return false;
    pw.write(kPassword);
    pw.close();
    if (m_asNobody) {
        QFile::setPermissions(m_dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                                                 | QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther);
        QProcess::execute(QStringLiteral("chown"), {QStringLiteral("nobody"), pw.fileName()});
    }
    QString out;
    if (run(QStringLiteral("initdb"), {QStringLiteral("-D"), m_dir.filePath(QStringLiteral("data")), QStringLiteral("-U"),
                                       QLatin1String(kUser), QStringLiteral("--pwfile=") + pw.fileName(),
                                       QStringLiteral("--auth-local=trust"), QStringLiteral("--auth-host=scram-sha-256"),
                                       QStringLiteral("-E"), QStringLiteral("UTF8"), QStringLiteral("--no-sync")},
            &out) != 0) {
        error = QStringLiteral("initdb failed: ") + out;
        return false;
    }
    if (!start())
        return false;
    const QString made = query(QStringLiteral("CREATE DATABASE %1").arg(QLatin1String(kDatabase)));
    if (!made.isEmpty() && made != QLatin1String("no row")) {
        error = QStringLiteral("the database cannot be made: ") + made;
        return false;
    }
    return true;
}

bool PgServer::start()
{
    QString out;
    const QString options = QStringLiteral("-p %1 -k %2 -c listen_addresses=127.0.0.1 -c fsync=off")
                                .arg(m_port).arg(m_dir.path());
    if (run(QStringLiteral("pg_ctl"), {QStringLiteral("-D"), m_dir.filePath(QStringLiteral("data")), QStringLiteral("-o"), options,
                                       QStringLiteral("-l"), m_dir.filePath(QStringLiteral("server.log")), QStringLiteral("-w"),
                                       QStringLiteral("start")},
            &out) != 0) {
        error = QStringLiteral("the server does not start: ") + out;
        return false;
    }
    m_running = true;
    return true;
}

bool PgServer::stop()
{
    QString out;
    const bool ok = run(QStringLiteral("pg_ctl"), {QStringLiteral("-D"), m_dir.filePath(QStringLiteral("data")), QStringLiteral("-m"),
                                                   QStringLiteral("fast"), QStringLiteral("-w"), QStringLiteral("stop")},
                        &out) == 0;
    m_running = !ok;
    return ok;
}

QString PgServer::url(const QString &password) const
{
    return QStringLiteral("postgresql://%1:%2@127.0.0.1:%3/%4").arg(QLatin1String(kUser), password).arg(m_port).arg(QLatin1String(kDatabase));
}

QString PgServer::query(const QString &sql) const
{
    const QString name = QStringLiteral("pgserver-check");
    QString result;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        db.setHostName(QStringLiteral("127.0.0.1"));
        db.setPort(m_port);
        db.setUserName(QLatin1String(kUser));
        db.setPassword(QLatin1String(kPassword));
        // The database itself is made through the one every server has.
        db.setDatabaseName(sql.startsWith(QLatin1String("CREATE DATABASE")) ? QStringLiteral("postgres") : QLatin1String(kDatabase));
        if (!db.open()) {
            result = db.lastError().text();
        } else {
            QSqlQuery q(db);
            if (!q.exec(sql))
                result = q.lastError().text();
            else
                result = q.next() ? q.value(0).toString() : QStringLiteral("no row");
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return result;
}

} // namespace kestrel::test
