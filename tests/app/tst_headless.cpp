// The program run as a technician's script or a CI job runs it: `kestrel --plan ...` with no
// display, its exit code, what it prints, the reports and log.txt it leaves, and Ctrl+C.

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_UNIX
#include <csignal>
#endif

namespace {

// The program copied into a scratch folder, so that the log.txt it writes beside itself is the
// test's to read, started with no display at all.
struct Headless
{
    Headless()
    {
        const QString name = QStringLiteral(KESTREL_EXECUTABLE).section(QLatin1Char('/'), -1);
        program = dir.filePath(name);
        QFile::copy(QStringLiteral(KESTREL_EXECUTABLE), program);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *display : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QLatin1String(display));
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(dir.path());
    }
    QString file(const QString &name) const { return dir.filePath(name); }
    void write(const QString &name, const QByteArray &text) const
    {
        QFile f(file(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    QString read(const QString &name) const
    {
        QFile f(file(name));
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }
    int run(const QStringList &arguments, int timeoutMs = 30000)
    {
        process.start(program, arguments);
        if (!process.waitForFinished(timeoutMs))
            return -1;
        out = QString::fromLocal8Bit(process.readAllStandardOutput());
        err = QString::fromLocal8Bit(process.readAllStandardError());
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    }

    QTemporaryDir dir;
    QString program;
    QProcess process;
    QString out, err;
};

} // namespace

class HeadlessTest : public QObject
{
    Q_OBJECT
private slots:
    // 0 when every step passes, 1 when one fails, 2 when the plan is wrong or the port cannot be
    // opened; a wrong plan sends nothing and says where it is wrong.
    void exitCodes_data()
    {
        QTest::addColumn<QByteArray>("plan");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("said");
        const QByteArray failing = "press cashless \"Reset\"\nexpect \"10 99\" within 300ms\n";
        QTest::newRow("passes") << QByteArray() << QStringList{"--plan", "cashless", "--com1", "virtual"} << 0
                                << "PASSED: 15 passed, 0 asked, 0 failed, 0 not run";
        QTest::newRow("a step fails") << failing << QStringList{"--plan", "p.plan", "--com1", "virtual"} << 1
                                      << "no reply matching \"10 99\" within 300 ms; arrived instead: 10 00";
        QTest::newRow("wrong plan") << QByteArray("press cashless \"Reset\"\npush \"Setup\"\n")
                                    << QStringList{"--plan", "p.plan", "--com1", "virtual"} << 2
                                    << "p.plan:2: unknown verb push (press, expect, ask, wait, check)";
        QTest::newRow("no such plan") << QByteArray() << QStringList{"--plan", "nowhere.plan", "--com1", "virtual"} << 2
                                      << "nowhere.plan:1: no such plan file";
        QTest::newRow("port cannot be opened") << failing
                                               << QStringList{"--plan", "p.plan", "--com1", "/nonexistent/kestrel-tty"} << 2
                                               << "kestrel: /nonexistent/kestrel-tty cannot be opened";
        QTest::newRow("network port refused") << failing
                                              << QStringList{"--plan", "p.plan", "--com1", "socket://127.0.0.1:1"}
                                              << 2 << "kestrel: socket://127.0.0.1:1 cannot be opened";
        QTest::newRow("unknown answerer") << failing
                                          << QStringList{"--plan", "p.plan", "--com1", "virtual", "--plan-answers", "operator"}
                                          << 2 << "kestrel: --plan-answers operator: the only answerer is \"virtual\"";
    }
    void exitCodes()
    {
        QFETCH(QByteArray, plan);
        QFETCH(QStringList, arguments);
        QFETCH(int, code);
        QFETCH(QString, said);
        Headless kestrel;
        if (!plan.isEmpty())
            kestrel.write(QStringLiteral("p.plan"), plan);
        QCOMPARE(kestrel.run(arguments), code);
        QVERIFY2((kestrel.out + kestrel.err).contains(said), qPrintable(kestrel.out + kestrel.err));
        if (code == 2 && arguments.contains(QStringLiteral("virtual")))
            QVERIFY2(!kestrel.out.contains(QStringLiteral("log: ")), qPrintable(kestrel.out));   // nothing sent
    }

    // A built-in plan, unattended on the virtual board: its reports and log.txt, with no display.
    void reportsAndLog()
    {
        Headless kestrel;
        QCOMPARE(kestrel.run({"--plan", "changer", "--com1", "virtual", "--plan-answers", "virtual",
                              "--report", "changer.xml", "--report", "changer.html"}), 0);
        QVERIFY(kestrel.out.contains(QStringLiteral("ASK     Insert a quarter")));
        QVERIFY(kestrel.out.contains(QStringLiteral("PASS     37  check payout")));
        const QString xml = kestrel.read(QStringLiteral("changer.xml"));
        QVERIFY(xml.startsWith(QStringLiteral("<?xml")));
        QVERIFY(xml.contains(QStringLiteral("<testsuite name=\"Coin changer check\" tests=\"32\" failures=\"0\"")));
        QCOMPARE(xml.count(QStringLiteral("<testcase ")), 32);
        const QString html = kestrel.read(QStringLiteral("changer.html"));
        QVERIFY(html.contains(QStringLiteral("Coin changer check: PASSED")));
        QVERIFY(html.contains(QStringLiteral("CHNG-3000")));
        // log.txt beside the program, as the window writes it: every reply read, one a line.
        const QString log = kestrel.read(QStringLiteral("log.txt"));
        QVERIFY2(log.contains(QStringLiteral("08 92 06")), qPrintable(log));
        QVERIFY(log.contains(QStringLiteral("08 0B")));
    }

    // A plan's session captured on the virtual board, then the same plan against its replay:
    // the recording answers as the board did. A bad recording is refused at start-up.
    void planAgainstItsReplay()
    {
        Headless kestrel;
        QCOMPARE(kestrel.run({"--plan", "changer", "--com1", "virtual", "--plan-answers", "virtual", "--capture", "s.pcapng"}), 0);
        QVERIFY(QFile::exists(kestrel.file(QStringLiteral("s.pcapng"))));
        QCOMPARE(kestrel.run({"--plan", "changer", "--com1", "replay:s.pcapng"}), 0);
        QVERIFY(kestrel.out.contains(QStringLiteral("PASS     37  check payout")));

        kestrel.write(QStringLiteral("bad.pcapng"), QByteArray("\x0A\x0D\x0D\x0A\x10", 5));
        QCOMPARE(kestrel.run({"--plan", "changer", "--com1", "replay:bad.pcapng"}), 2);
        QVERIFY2(kestrel.err.contains(QStringLiteral("--com1 replay:bad.pcapng: bad.pcapng: byte 0: the file ends inside a block (truncated)")),
                 qPrintable(kestrel.err));
        QCOMPARE(kestrel.run({"--plan", "changer", "--com1", "replay:s.pcapng?speed=fast"}), 2);
        QVERIFY2(kestrel.err.contains(QStringLiteral("a replay's speed is a factor from 0.01 to 10000, or max, not fast")),
                 qPrintable(kestrel.err));
    }

#ifdef Q_OS_UNIX
    // Ctrl+C while a step waits: the run ends at once, the step is stopped, the port is closed
    // and the report is written as far as it got.
    void interrupted()
    {
        Headless kestrel;
        kestrel.write(QStringLiteral("p.plan"), "ask \"Insert a nickel\"\nexpect \"08 50 *\" within 60s\ncheck total = 0.05\n");
        kestrel.process.start(kestrel.program, {"--plan", "p.plan", "--com1", "virtual", "--report", "r.xml"});
        QVERIFY(kestrel.process.waitForStarted());
        QByteArray out;
        QTRY_VERIFY_WITH_TIMEOUT((out += kestrel.process.readAllStandardOutput()).contains("ASK "), 10000);
        QTest::qWait(200);
        ::kill(pid_t(kestrel.process.processId()), SIGINT);
        QVERIFY(kestrel.process.waitForFinished(3000));
        QCOMPARE(kestrel.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(kestrel.process.exitCode(), 1);
        out += kestrel.process.readAllStandardOutput();
        QVERIFY2(out.contains("STOPPED: 0 passed, 1 asked, 1 failed, 1 not run"), out.constData());
        const QString xml = kestrel.read(QStringLiteral("r.xml"));
        QVERIFY(xml.contains(QStringLiteral("type=\"stopped\"")));
        QVERIFY(xml.contains(QStringLiteral("<skipped message=\"not run\"/>")));
    }
#endif
};

QTEST_GUILESS_MAIN(HeadlessTest)
#include "tst_headless.moc"
