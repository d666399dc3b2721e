// The program run as a technician's script or a CI job runs it: `kestrel --plan ...` with no
// display, its exit code, what it prints, the reports and log.txt it leaves, and Ctrl+C.

#include "plans/plan.h"
#include "tests/support/headless.h"

#include <QFile>
#include <QRegularExpression>
#include <QTest>

#ifdef Q_OS_UNIX
#include <csignal>
#endif

namespace {

struct Headless : kestrel::test::Headless
{
    Headless() : kestrel::test::Headless(QStringLiteral(KESTREL_EXECUTABLE)) {}
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
                                    << "p.plan:2: unknown verb push (press, send, expect, ask, wait, check)";
        QTest::newRow("no such plan") << QByteArray() << QStringList{"--plan", "nowhere.plan", "--com1", "virtual"} << 2
                                      << "nowhere.plan:1: no such plan file";
        QTest::newRow("port cannot be opened") << failing
                                               << QStringList{"--plan", "p.plan", "--com1", "/nonexistent/kestrel-tty"} << 2
                                               << "kestrel: /nonexistent/kestrel-tty cannot be opened";
        QTest::newRow("network port refused") << failing
                                              << QStringList{"--plan", "p.plan", "--com1", "socket://127.0.0.1:1"}
                                              << 2 << "kestrel: socket://127.0.0.1:1 cannot be opened";
        QTest::newRow("unknown fault") << failing
                                       << QStringList{"--plan", "p.plan", "--com1", "virtual?fault=coin-jam,jammed"} << 2
                                       << "kestrel: --com1 virtual?fault=coin-jam,jammed: the virtual board has no fault "
                                          "jammed (its faults: coin-jam, short-payout, validator-disabled)";
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

    // The virtual board's lasting faults, switched on by the port's name: each built-in plan fails
    // on the fault it is there to catch, and its failing step names the fault. The waits for the
    // technician are cut to two seconds, so that a jammed coin costs no minute.
    void faultsByPortName_data()
    {
        QTest::addColumn<QString>("plan");
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("failing");
        QTest::newRow("coin jam") << "changer" << "virtual?fault=coin-jam"
                                  << "no reply matching any of the patterns within 2 s; arrived instead: 08 0C (coin jam)";
        QTest::newRow("short payout") << "changer" << "virtual?fault=short-payout"
                                      << "Nickel: requested 1, reported 1, tube change 0 (short payout: 1 reported paid, still in the tube)";
        QTest::newRow("validator disabled") << "validator" << "virtual?fault=validator-disabled"
                                            << "no reply matching \"30 90 *\" within 2 s; arrived instead: 30 09 (validator disabled)";
        QTest::newRow("two at once") << "validator" << "virtual?fault=coin-jam,validator-disabled"
                                     << "arrived instead: 30 09 (validator disabled)";
    }
    void faultsByPortName()
    {
        QFETCH(QString, plan);
        QFETCH(QString, port);
        QFETCH(QString, failing);
        Headless kestrel;
        const auto &builtIns = kestrel::plans::builtIns();
        const auto found = std::find_if(builtIns.begin(), builtIns.end(),
                                        [&](const auto &b) { return plan == QLatin1String(b.name); });
        QVERIFY(found != builtIns.end());
        kestrel.write(QStringLiteral("p.plan"), QByteArray(found->text).replace("within 60s", "within 2s"));
        QCOMPARE(kestrel.run({"--plan", "p.plan", "--com1", port, "--plan-answers", "virtual"}, 120000), 1);
        QVERIFY2(kestrel.out.contains(QStringLiteral("\nFAIL ")) && kestrel.out.contains(failing), qPrintable(kestrel.out));
        // The same plan on a board with no fault passes: it is the fault that fails it.
        QCOMPARE(kestrel.run({"--plan", "p.plan", "--com1", "virtual", "--plan-answers", "virtual"}, 120000), 0);
    }

    // Every command of the three peripherals, composed by name and sent through the virtual board
    // at line speed as a plan sends it, each answered as the standard lays its reply out.
    void everyCommandOnTheVirtualBoard()
    {
        Headless kestrel;
        kestrel.write(QStringLiteral("every.plan"), R"plan(
send changer SETUP
expect "08 03 00 01 05 02 00 07 *"
send changer RESET
expect "08 0B"
send changer "TUBE STATUS"
expect "08 00 00 14 14 14 *"
send changer POLL
expect "08 00"
send changer "COIN TYPE" enable=0x3F
expect "08 00"
send changer DISPENSE coin=Nickel count=2
expect "08 90 *"
expect "08 90 *"
send changer IDENTIFICATION
expect "08 56 4C 4D *"
check reply "optional features" = "alternative payout (bit 0), extended diagnostic (bit 1), controlled manual fill and payout (bit 2)"
send changer "FEATURE ENABLE" features=0x7
expect "08 00"
send changer PAYOUT value=0.25
expect "08 92 *"
send changer "PAYOUT STATUS"
expect "08 02 00 01 *"
send changer "PAYOUT VALUE POLL"
expect "08 07"
check reply "paid out so far" = "0.35 USD"
send changer "SEND DIAGNOSTIC STATUS"
expect "08 03 00"
send changer "SEND CONTROLLED MANUAL FILL REPORT"
expect "08 00 *"
send changer "SEND CONTROLLED MANUAL PAYOUT REPORT"
expect "08 00 *"
send validator SETUP
expect "30 02 *"
send validator RESET
expect "30 06"
send validator SECURITY levels=0x1F
expect "30 00"
send validator POLL
expect "30 00"
send validator "BILL TYPE" enable=0x1F escrow=0
expect "30 00"
send validator ESCROW action=return
expect "30 0A"
send validator STACKER
expect "30 00 00"
send validator IDENTIFICATION
expect "30 56 4C 4D *"
send validator "FEATURE ENABLE" features=0x2
expect "30 00"
send validator "IDENTIFICATION WITH OPTION BITS"
expect "30 56 *"
check reply "optional features" = "bill recycling (bit 1)"
send validator "RECYCLER SETUP"
expect "30 00 05"
send validator "RECYCLER ENABLE" recycle=0x5
expect "30 00"
send validator "BILL DISPENSE STATUS"
expect "30 00 00 00 14 00 00 00 0A *"
send validator "DISPENSE BILL" bill=$5 count=2
expect "30 00"
send validator "DISPENSE VALUE" value=3.00
expect "30 00"
send validator "PAYOUT STATUS"
expect "30 00 03 00 00 00 02 *"
send validator "PAYOUT VALUE POLL"
expect "30 00 0D"
send validator "PAYOUT CANCEL"
expect "30 00"
send cashless RESET
expect "10 00"
send cashless "SETUP CONFIG DATA" level=2
expect "10 01 02 *"
send cashless "SETUP MAX/MIN PRICES" max=5.00 min=0.05
expect "10 00"
send cashless POLL
expect "10 00"
send cashless "READER ENABLE"
expect "10 00"
send cashless "VEND REQUEST" price=1.25 item=7
expect "10 05 00 19"
send cashless "VEND SUCCESS" item=7
expect "10 00"
send cashless "VEND REQUEST" price=4.00 item=8
expect "10 06"
send cashless "VEND CANCEL"
expect "10 06"
send cashless "VEND FAILURE"
expect "10 00"
send cashless "SESSION COMPLETE"
expect "10 07"
send cashless "CASH SALE" price=0.75 item=3
expect "10 00"
send cashless "REVALUE LIMIT REQUEST"
expect "10 0F 01 45"
send cashless "REVALUE REQUEST" amount=2.00
expect "10 0D"
send cashless "REQUEST ID"
expect "10 09 *"
check reply "manufacturer code" = "VLM"
send cashless "READER CANCEL"
expect "10 08"
send cashless "READER DISABLE"
expect "10 00"
send "0F 05"
expect "08 03 00"
)plan");
        QCOMPARE(kestrel.run({"--plan", "every.plan", "--com1", "virtual"}, 120000), 0);
        QVERIFY2(kestrel.out.contains(QStringLiteral("PASSED: ")), qPrintable(kestrel.out));
        // Each command logged by its name, as a button logs its line.
        for (const char *name : {"DISPENSE", "PAYOUT STATUS", "RECYCLER ENABLE", "VEND REQUEST", "REQUEST ID"})
            QVERIFY2(kestrel.out.contains(QStringLiteral("      log: %1\n").arg(QLatin1String(name))), name);
    }

    // The plan that exercises every command of the changer passes with no one at the board, and
    // catches a short payout.
    void changerDeep()
    {
        Headless kestrel;
        QCOMPARE(kestrel.run({"--plan", "changer-deep", "--com1", "virtual", "--report", "deep.xml"}, 60000), 0);
        QVERIFY(kestrel.out.contains(QStringLiteral("PASS     14  check reply \"diagnostic code 1\" = \"03 00: Changer OK\"")));
        QVERIFY(kestrel.read(QStringLiteral("deep.xml")).contains(QStringLiteral("failures=\"0\"")));
        QCOMPARE(kestrel.run({"--plan", "changer-deep", "--com1", "virtual?fault=short-payout"}, 60000), 1);
        QVERIFY2(kestrel.out.contains(QStringLiteral("the 03 00: ")) || kestrel.out.contains(QStringLiteral("14 00: Dispenser module error")),
                 qPrintable(kestrel.out));
        QVERIFY(kestrel.out.contains(QStringLiteral("(short payout: 2 reported paid, still in the tube)")));
    }

    // A wait never ends before its bound, on the clock the run's step times are given by.
    void waitsEndAtTheirBounds()
    {
        Headless kestrel;
        kestrel.write(QStringLiteral("p.plan"), QByteArray("wait 500ms\n").repeated(5) + "wait 1s\nwait 50ms\n");
        QCOMPARE(kestrel.run({"--plan", "p.plan", "--com1", "virtual"}), 0);
        const QList<double> bounds{500, 500, 500, 500, 500, 1000, 50};
        QList<double> took;
        static const QRegularExpression time(QStringLiteral("^PASS +\\d+  wait \\S+  \\(([0-9.]+) ms\\)$"),
                                             QRegularExpression::MultilineOption);
        for (auto m = time.globalMatch(kestrel.out); m.hasNext();)
            took << m.next().captured(1).toDouble();
        QCOMPARE(took.size(), bounds.size());
        for (int i = 0; i < bounds.size(); ++i)
            QVERIFY2(took[i] >= bounds[i], qPrintable(kestrel.out));
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
