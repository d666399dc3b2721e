// The bench records as the program keeps them: a plan run against the virtual board kept with its
// unit, `--history`, a run killed mid-plan, two consoles at once, and storage the program cannot use
// (damaged, read-only, on a full disk), where the run goes on and only the records are lost.
#include "tests/support/headless.h"

#include <QSqlDatabase>
#include <QSqlQuery>

#include <csignal>

using namespace kestrel::test;

namespace {

const QStringList kChangerRun{QStringLiteral("--plan"), QStringLiteral("changer"), QStringLiteral("--com1"),
                              QStringLiteral("virtual"), QStringLiteral("--plan-answers"), QStringLiteral("virtual")};
// The virtual board's coin changer identifies itself with this serial number.
const QString kSerial = QStringLiteral("000000000001");

struct Records
{
    explicit Records(const QString &path) : name(QStringLiteral("check-%1").arg(quintptr(this)))
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        db.open();
    }
    ~Records()
    {
        QSqlDatabase::database(name).close();
        QSqlDatabase::removeDatabase(name);
    }
    QStringList column(const QString &sql) const
    {
        QSqlQuery q(QSqlDatabase::database(name));
        QStringList values;
        if (q.exec(sql))
            while (q.next())
                values << q.value(0).toString();
        return values;
    }
    QString name;
};

bool haveMountNamespace()
{
    return QProcess::execute(QStringLiteral("unshare"), {QStringLiteral("-rm"), QStringLiteral("true")}) == 0;
}

} // namespace

class tst_BenchRecords : public QObject
{
    Q_OBJECT

private slots:
    void aPlanRunIsKeptWithItsUnit()
    {
        Headless kestrel(QStringLiteral(KESTREL_EXECUTABLE));
        QCOMPARE(kestrel.run(kChangerRun), 0);
        QCOMPARE(kestrel.run(QStringList(kChangerRun) << QStringLiteral("--report") << QStringLiteral("r.html")), 0);
        QVERIFY2(kestrel.err.isEmpty(), qPrintable(kestrel.err));
        QVERIFY(!kestrel.recordsFile().isEmpty());
        {
            Records records(kestrel.recordsFile());
            QCOMPARE(records.column(QStringLiteral("SELECT result FROM runs")), (QStringList{"passed", "passed"}));
            QCOMPARE(records.column(QStringLiteral("SELECT serial || ' ' || model || ' ' || level FROM units")),
                     QStringList{kSerial + QStringLiteral(" CHNG-3000 3")});
            QCOMPARE(records.column(QStringLiteral("SELECT count(*) FROM steps GROUP BY run_id")), (QStringList{"32", "32"}));
            QCOMPARE(records.column(QStringLiteral("SELECT shortfall FROM runs")), (QStringList{"0", "0"}));
            // A session per run: the port opened and closed, its replies and its money.
            QCOMPARE(records.column(QStringLiteral("SELECT port || ' ' || total_cents FROM sessions WHERE ended IS NOT NULL")),
                     (QStringList{"virtual 40", "virtual 40"}));
            QCOMPARE(records.column(QStringLiteral("SELECT count(*) FROM session_units")), QStringList{"2"});
        }
        // The report: the timeline as SVG, the tubes before and after, and the earlier run.
        const QString report = kestrel.read(QStringLiteral("r.html"));
        QVERIFY(report.contains(QStringLiteral("<h2>Timeline</h2>\n<svg")));
        QVERIFY(report.contains(QStringLiteral("<h2>Tubes before and after</h2>\n<svg")));
        QCOMPARE(report.count(QStringLiteral("<td class=\"PASS\">passed</td>")), 1);

        QCOMPARE(kestrel.run({QStringLiteral("--history")}), 0);
        QVERIFY2(kestrel.out.contains(QRegularExpression(QStringLiteral("\n%1  coin changer  CHNG-3000  VLM  +2  +passed  ").arg(kSerial))),
                 qPrintable(kestrel.out));
        QCOMPARE(kestrel.run({QStringLiteral("--history"), kSerial, QStringLiteral("--csv")}), 0);
        const QStringList lines = kestrel.out.trimmed().split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines[0], QStringLiteral("started,plan,result,shortfall,median ms,port,report"));
        QVERIFY2(lines[2].contains(QStringLiteral(",changer,passed,0,")), qPrintable(lines[2]));
        // Both reports: the kept copy, then the one asked for.
        QVERIFY(lines[2].endsWith(QStringLiteral(".html")));
        QVERIFY(QFile::exists(lines[2].section(QLatin1Char(','), 6)));
        QCOMPARE(kestrel.run({QStringLiteral("--history"), kSerial, QStringLiteral("--last"), QStringLiteral("1")}), 0);
        QCOMPARE(kestrel.out.trimmed().split(QLatin1Char('\n')).size(), 3);   // the unit, the heading, one run
        QVERIFY(kestrel.out.startsWith(QStringLiteral("coin changer %1, VLM CHNG-3000").arg(kSerial)));
        QCOMPARE(kestrel.run({QStringLiteral("--history"), QStringLiteral("999999999999")}), 1);
        QCOMPARE(kestrel.out, QString());
        QCOMPARE(kestrel.run({QStringLiteral("--history"), QStringLiteral("--last"), QStringLiteral("0")}), 1);
        QVERIFY(kestrel.err.contains(QStringLiteral("--last 0: give a number of runs")));
    }

    // A settings file naming a server that is none: told once, never echoing its password, and the
    // records are kept on the bench.
    void aWrongServerInTheSettingsFile()
    {
        Headless kestrel(QStringLiteral(KESTREL_EXECUTABLE));
        QCOMPARE(kestrel.run(kChangerRun), 0);
        const QString maker = QDir(kestrel.file(QStringLiteral("data"))).entryList(QDir::Dirs | QDir::NoDotAndDotDot).value(0);
        QVERIFY(!maker.isEmpty());
        QDir().mkpath(kestrel.file(QStringLiteral("config/") + maker));
        kestrel.write(QStringLiteral("config/%1/Kestrel.ini").arg(maker), "[records]\nserver=postgresql://bench:topsecret@\n");
        QCOMPARE(kestrel.run(kChangerRun), 0);
        QCOMPARE(kestrel.err.count(QLatin1Char('\n')), 1);
        QVERIFY2(kestrel.err.contains(QStringLiteral("is no records server")), qPrintable(kestrel.err));
        QVERIFY(!kestrel.err.contains(QStringLiteral("topsecret")));
        Records records(kestrel.recordsFile());
        QCOMPARE(records.column(QStringLiteral("SELECT count(*) FROM runs")), QStringList{"2"});
    }

    // Killed in the middle of a plan: the run is found afterwards as interrupted, with the steps it
    // had done and its unit, and the file is whole.
    void aRunKilledMidPlanIsFoundInterrupted()
    {
        Headless kestrel(QStringLiteral(KESTREL_EXECUTABLE));
        kestrel.write(QStringLiteral("long.plan"),
                      "press changer \"Reset\"\nexpect \"08 0B\"\npress changer \"Identify\"\nexpect \"08 *\"\n"
                      "wait 20s\ncheck tally Nickel = 0\n");
        kestrel.start({QStringLiteral("--plan"), QStringLiteral("long.plan"), QStringLiteral("--com1"), QStringLiteral("virtual")});
        QVERIFY(kestrel.waitForOutput(QStringLiteral("PASS      4")));
        QTest::qWait(300);
        ::kill(pid_t(kestrel.process.processId()), SIGKILL);
        QCOMPARE(kestrel.finish(), -2);
        Records records(kestrel.recordsFile());
        QCOMPARE(records.column(QStringLiteral("PRAGMA integrity_check")), QStringList{"ok"});
        QCOMPARE(records.column(QStringLiteral("SELECT result || ' ' || coalesce(ended, 'never') FROM runs")),
                 QStringList{"interrupted never"});
        QCOMPARE(records.column(QStringLiteral("SELECT u.serial FROM runs r JOIN units u ON u.id = r.unit_id")), QStringList{kSerial});
        QCOMPARE(records.column(QStringLiteral("SELECT state FROM steps ORDER BY number")).mid(0, 4),
                 (QStringList{"PASS", "PASS", "PASS", "PASS"}));
        QCOMPARE(kestrel.run({QStringLiteral("--history"), kSerial}), 0);
        QVERIFY2(kestrel.out.contains(QStringLiteral("  long.plan  interrupted  -")), qPrintable(kestrel.out));
    }

    // Two consoles on one machine (two ports), writing their records at once: both are kept.
    void twoConsolesAtOnce()
    {
        Headless a(QStringLiteral(KESTREL_EXECUTABLE));
        Headless b(QStringLiteral(KESTREL_EXECUTABLE));
        QProcessEnvironment shared = a.process.processEnvironment();
        b.process.setProcessEnvironment(shared);
        a.start(kChangerRun);
        b.start(QStringList{QStringLiteral("--plan"), QStringLiteral("validator"), QStringLiteral("--com1"),
                            QStringLiteral("virtual"), QStringLiteral("--plan-answers"), QStringLiteral("virtual")});
        QCOMPARE(a.finish(), 0);
        QCOMPARE(b.finish(), 0);
        QVERIFY2(a.err.isEmpty() && b.err.isEmpty(), qPrintable(a.err + b.err));
        Records records(a.recordsFile());
        QCOMPARE(records.column(QStringLiteral("SELECT plan || ' ' || result FROM runs ORDER BY plan")),
                 (QStringList{"changer passed", "validator passed"}));
    }

    // A damaged file: moved aside, told once, and the run is kept in a new one.
    void aDamagedFileIsMovedAsideAndTheRunGoesOn()
    {
        Headless kestrel(QStringLiteral(KESTREL_EXECUTABLE));
        QCOMPARE(kestrel.run(kChangerRun), 0);
        const QString file = kestrel.recordsFile();
        for (const QString &suffix : {QStringLiteral(""), QStringLiteral("-wal"), QStringLiteral("-shm")})
            QFile::remove(file + suffix);
        {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray("not a database, but a file someone wrote over the records").repeated(100));
        }
        QCOMPARE(kestrel.run(kChangerRun), 0);
        QCOMPARE(kestrel.err.count(QLatin1Char('\n')), 1);
        QVERIFY2(kestrel.err.contains(QStringLiteral("were damaged (file is not a database); they were moved to ")),
                 qPrintable(kestrel.err));
        Records records(file);
        QCOMPARE(records.column(QStringLiteral("SELECT result FROM runs")), QStringList{"passed"});
    }

    // Storage that cannot be written, in a mount namespace of the test's own: a read-only folder
    // and a full disk. One message each; the plan passes, its report and log.txt are written.
    void storageThatCannotBeWritten_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("message");
        QTest::newRow("read-only") << QStringLiteral("\"$0\" --history >/dev/null; mount -o remount,ro data")
                                   << QStringLiteral("cannot be written: the file or its folder is read-only");
        QTest::newRow("full disk") << QStringLiteral("dd if=/dev/zero of=data/fill bs=1k count=1024 2>/dev/null; true")
                                   << QStringLiteral("No space left on device");
    }
    void storageThatCannotBeWritten()
    {
        QFETCH(QString, setup);
        QFETCH(QString, message);
        if (!haveMountNamespace())
            QSKIP("no mount namespace can be made here");
        Headless kestrel(QStringLiteral(KESTREL_EXECUTABLE));
        QDir(kestrel.dir.path()).mkdir(QStringLiteral("data"));
        const QString script = QStringLiteral("mount -t tmpfs -o size=256k tmpfs data || exit 9\n%1\n"
                                              "\"$0\" --plan changer --com1 virtual --plan-answers virtual --report r.html\n")
                                   .arg(setup);
        kestrel.start({QStringLiteral("-rm"), QStringLiteral("sh"), QStringLiteral("-c"), script, kestrel.program},
                      QStringLiteral("unshare"));
        QCOMPARE(kestrel.finish(), 0);
        QCOMPARE(kestrel.err.count(QLatin1Char('\n')), 1);
        QVERIFY2(kestrel.err.contains(message), qPrintable(kestrel.err));
        QVERIFY(kestrel.err.contains(QStringLiteral("this session's bench records are not kept")));
        QVERIFY(kestrel.read(QStringLiteral("r.html")).contains(QStringLiteral("PASSED")));
        QVERIFY(kestrel.read(QStringLiteral("log.txt")).contains(QStringLiteral("08 52")));
    }
};

QTEST_GUILESS_MAIN(tst_BenchRecords)
#include "tst_benchrecords.moc"
