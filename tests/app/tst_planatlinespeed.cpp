// The real program running a plan with no window against a board as the field has it: on a pty
// at 9600 baud, a character every 1.04 ms, and over RFC 2217. Replies that run together with no
// line end, bounds kept to the millisecond, a board that goes away mid-plan, a reply cut short by
// a stalled line, a capture on a disk that fills, and a day's recording played back.

#include "capture/recording.h"
#include "link/linetiming.h"
#include "tests/support/headless.h"
#include "tests/support/netboard.h"
#include "tests/support/ptyboard.h"

#include <QDir>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

using namespace kestrel;
using namespace kestrel::test;
using namespace std::chrono_literals;

namespace {

// The time ten characters take on the line: a three-byte reply and its CR LF.
constexpr auto kTenCharacters = link::linetiming::kCharacterTime * 10;

struct Program : Headless
{
    Program() : Headless(QStringLiteral(KESTREL_EXECUTABLE)) {}

    // Starts a plan on `port` and returns once the program has opened it: it says which port it
    // runs on just before it opens it.
    bool startPlan(const QByteArray &plan, const QString &port, const QStringList &more = {})
    {
        write(QStringLiteral("p.plan"), plan);
        start(QStringList{"--plan", "p.plan", "--com1", port} + more);
        if (!waitForOutput(QStringLiteral(" steps, on ")))
            return false;
        QTest::qWait(300);
        return process.state() == QProcess::Running;
    }
    // The milliseconds each step took, in order, as the summary lines give them.
    QList<double> stepTimes() const
    {
        static const QRegularExpression time(QStringLiteral("^\\S+\\s+\\d+  .*\\(([0-9.]+) ms\\)$"),
                                             QRegularExpression::MultilineOption);
        QList<double> times;
        for (auto m = time.globalMatch(out); m.hasNext();)
            times << m.next().captured(1).toDouble();
        return times;
    }
    QStringList logFileLines() const
    {
        QStringList lines = read(QStringLiteral("log.txt")).split(QStringLiteral("\r\n"));
        lines.removeLast();
        return lines;
    }
};

QByteArray logLines(int count, const QByteArray &reply)
{
    QByteArray text;
    for (int i = 0; i < count; ++i)
        text += QStringLiteral("12-09-2026%1:%2:%3")
                    .arg(14 + i / 3600, 2, 10, QLatin1Char('0'))
                    .arg(i / 60 % 60, 2, 10, QLatin1Char('0'))
                    .arg(i % 60, 2, 10, QLatin1Char('0'))
                    .toLatin1()
                + reply + "\r\n";
    return text;
}

} // namespace

class PlanAtLineSpeedTest : public QObject
{
    Q_OBJECT
private slots:
    // A board that ends a reply with no line feed and sends the next a few milliseconds later:
    // both replies in one read. A byte is two hex digits, so "0B08" is two replies joined, and a
    // carriage return alone ends a reply as a line feed does. Each reply is counted once, with its
    // own log.txt line and capture packet; with line feeds between them nothing changes.
    void repliesThatRunTogether_data()
    {
        QTest::addColumn<QByteArray>("first");
        QTest::addColumn<QString>("total");
        QTest::newRow("a status code, then a quarter") << QByteArray("08 0B") << "0.25";
        QTest::newRow("a dollar bill, then a quarter") << QByteArray("30 80 09") << "1.25";
        QTest::newRow("a nickel, then a quarter") << QByteArray("08 50 06") << "0.30";
        QTest::newRow("a carriage return alone between") << QByteArray("08 0B\r") << "0.25";
        QTest::newRow("a notice with no text, then a quarter") << QByteArray("CC") << "0.25";
        QTest::newRow("line feed: a status code, then a quarter") << QByteArray("08 0B\r\n") << "0.25";
        QTest::newRow("line feed: a dollar bill, then a quarter") << QByteArray("30 80 09\r\n") << "1.25";
        QTest::newRow("line feed: a nickel, then a quarter") << QByteArray("08 50 06\r\n") << "0.30";
    }
    void repliesThatRunTogether()
    {
        QFETCH(QByteArray, first);
        QFETCH(QString, total);
        PtyBoard board;
        QVERIFY(board.ok());
        Program kestrel;
        QByteArray plan = "expect \"08 52 06\" within 10s\ncheck tally Quarter = 1\ncheck total = " + total.toLatin1() + "\n";
        if (first == "CC")
            plan += "check status = \"\"\n";
        QVERIFY(kestrel.startPlan(plan, board.path(), {"--capture", "c.pcapng"}));
        board.send(first);
        board.send("08 52 06\r\n", 3ms);
        QCOMPARE(kestrel.finish(), 0);
        QVERIFY2(kestrel.out.contains(QStringLiteral("PASSED")), qPrintable(kestrel.out));
        QCOMPARE(kestrel.logFileLines().size(), 2);
        const capture::Loaded captured = capture::readRecording(kestrel.file(QStringLiteral("c.pcapng")));
        QVERIFY2(captured.recording, qPrintable(captured.error));
        QCOMPARE(captured.recording->reads.size(), 2);
        QCOMPARE(captured.recording->reads.first().text, QString::fromLatin1(first));
    }

    // A step never ends before its bound: a reply 20 ms before the bound passes, one 20 ms after
    // fails, and the failing step took at least its bound. The board's own timing is checked: a run
    // in which its writer was held up is run again.
    void boundsAreKept_data()
    {
        QTest::addColumn<QByteArray>("expect");
        QTest::addColumn<int>("boundMs");
        QTest::addColumn<int>("offsetMs");
        QTest::newRow("within 1s, 20 ms early") << QByteArray("expect \"08 52 06\" within 1s") << 1000 << -20;
        QTest::newRow("within 1s, 20 ms late") << QByteArray("expect \"08 52 06\" within 1s") << 1000 << 20;
        QTest::newRow("the default 2 s, 20 ms early") << QByteArray("expect \"08 52 06\"") << 2000 << -20;
        QTest::newRow("the default 2 s, 20 ms late") << QByteArray("expect \"08 52 06\"") << 2000 << 20;
    }
    void boundsAreKept()
    {
        QFETCH(QByteArray, expect);
        QFETCH(int, boundMs);
        QFETCH(int, offsetMs);
        const auto gap = std::chrono::milliseconds(boundMs + offsetMs);
        for (int attempt = 1;; ++attempt) {
            PtyBoard board;
            Program kestrel;
            // The wait after keeps the port open for a reply that comes after the bound.
            QVERIFY(kestrel.startPlan("expect \"08 50 06\" within 30s\n" + expect + "\nwait 500ms\n", board.path()));
            board.send("08 50 06\r\n");
            QTRY_VERIFY(board.idle());
            const auto firstEnded = board.lastCharacterAt();
            board.send("08 52 06\r\n", gap - kTenCharacters);
            const int code = kestrel.finish();
            const auto sent = board.lastCharacterAt() - firstEnded;
            if (std::chrono::abs(sent - gap) > 5ms && attempt < 3) {
                qWarning("attempt %d: the board's writer was held up; again", attempt);
                continue;
            }
            QCOMPARE(code, offsetMs < 0 ? 0 : 1);
            const QList<double> times = kestrel.stepTimes();
            QCOMPARE(times.size(), 3);
            if (offsetMs > 0)
                QVERIFY2(times[1] >= boundMs, qPrintable(kestrel.out));
            break;
        }
    }

    // The pty's far side closed, and an RFC 2217 server's connection dropped, two seconds into a
    // plan: the loss is told once, the step under way fails with it as its reason, the rest are
    // not run, the report is written and the program ends at once with 1.
    void aLostBoardEndsThePlan_data()
    {
        QTest::addColumn<bool>("network");
        QTest::addColumn<QString>("reason");
        QTest::newRow("pty hung up") << false << "the device hung up";
        QTest::newRow("RFC 2217 server gone") << true << "the server closed the connection";
    }
    void aLostBoardEndsThePlan()
    {
        QFETCH(bool, network);
        QFETCH(QString, reason);
        PtyBoard pty;
        NetBoard net;
        const QString port = network ? net.url() : pty.path();
        Program kestrel;
        QVERIFY(kestrel.startPlan("expect \"08 50 06\" within 30s\nexpect \"08 51 08\" within 30s\n"
                                  "expect \"08 52 06\" within 30s\ncheck total = 0.40\n",
                                  port, {"--report", "r.xml"}));
        network ? net.send("08 50 06\r\n") : pty.send("08 50 06\r\n");
        QVERIFY(kestrel.waitForOutput(QStringLiteral("PASS      1")));
        QTest::qWait(2000);
        network ? net.dropConnection() : pty.hangUp();
        QElapsedTimer ended;
        ended.start();
        QCOMPARE(kestrel.finish(10000), 1);
        QVERIFY2(ended.elapsed() < 2000, qPrintable(QString::number(ended.elapsed())));
        QVERIFY2(kestrel.out.contains(QStringLiteral("the port was lost: Comm device lost: %1: %2").arg(port, reason)),
                 qPrintable(kestrel.out));
        QCOMPARE(kestrel.out.count(QStringLiteral("Comm device lost")), 2);   // the log line, the step
        QCOMPARE(kestrel.out.count(QStringLiteral("\nnot run ")), 2);
        QVERIFY(kestrel.out.contains(QStringLiteral("FAILED: 1 passed, 0 asked, 1 failed, 2 not run")));
        const QString xml = kestrel.read(QStringLiteral("r.xml"));
        QVERIFY(xml.contains(reason));
        QCOMPARE(xml.count(QStringLiteral("<skipped message=\"not run\"/>")), 2);
    }

    // A stall inside a reply cuts it in two reads: "08 52" alone is no quarter, the console does
    // not count it, and an expectation of "08 52 *" is not met by it.
    void anExpectationIsMetOnlyByAWholeReply()
    {
        PtyBoard board;
        Program kestrel;
        QVERIFY(kestrel.startPlan("expect \"08 52 *\" within 1s\n", board.path()));
        board.send("08 52");
        board.send(" 06\r\n", 150ms);
        QCOMPARE(kestrel.finish(), 1);
        QVERIFY2(kestrel.out.contains(QStringLiteral("arrived instead: 08 52 (cut short, not counted)")), qPrintable(kestrel.out));
    }

    // A capture on a disk that fills: the capture stops saying why, the file ends at its last whole
    // block (it reads back, every packet in it whole), and the run says it did not do all it was
    // asked. A capture that cannot start leaves no file. The disk is a small tmpfs of the test's
    // own, in a mount namespace of its own.
    void aCaptureOnAFullDisk()
    {
        if (QProcess::execute(QStringLiteral("unshare"), {"-rm", "true"}) != 0)
            QSKIP("no mount namespace can be made here");
        Program kestrel;
        kestrel.write(QStringLiteral("log.txt.rec"), logLines(400, "08 50 06"));
        kestrel.write(QStringLiteral("w.plan"), "wait 4s\n");
        QDir(kestrel.dir.path()).mkdir(QStringLiteral("disk"));
        const QString script = QStringLiteral(
            "mount -t tmpfs -o size=8k tmpfs disk || exit 9\n"
            "[ \"$1\" = full ] && { dd if=/dev/zero of=disk/fill bs=1k count=64 2>/dev/null; true; }\n"
            "\"$0\" --plan w.plan --com1 'replay:log.txt.rec?speed=max' --capture disk/c.pcapng\n"
            "rc=$?\n"
            "if [ -e disk/c.pcapng ]; then cp disk/c.pcapng kept.pcapng; fi\n"
            "exit $rc\n");
        kestrel.start({"-rm", "sh", "-c", script, kestrel.program, "filling"}, QStringLiteral("unshare"));
        QCOMPARE(kestrel.finish(), 1);
        QVERIFY2(kestrel.err.contains(QStringLiteral("stopped: No space left on device")), qPrintable(kestrel.err));
        const capture::Loaded kept = capture::readRecording(kestrel.file(QStringLiteral("kept.pcapng")));
        QVERIFY2(kept.recording, qPrintable(kept.error));
        QVERIFY(kept.recording->reads.size() >= 10);
        QVERIFY2(kestrel.err.contains(QStringLiteral("the %1 packets before are kept").arg(kept.recording->reads.size())),
                 qPrintable(kestrel.err));

        QFile::remove(kestrel.file(QStringLiteral("kept.pcapng")));
        kestrel.start({"-rm", "sh", "-c", script, kestrel.program, "full"}, QStringLiteral("unshare"));
        QCOMPARE(kestrel.finish(), 2);
        QVERIFY2(kestrel.err.contains(QStringLiteral("cannot write the capture disk/c.pcapng: No space left on device")),
                 qPrintable(kestrel.err));
        QVERIFY(!QFile::exists(kestrel.file(QStringLiteral("kept.pcapng"))));
    }

    // A day's log.txt (64 MB) plays at once: its first reply is counted within seconds, however
    // far into the file a fault lies. A fault met while playing ends the replay there, once, with
    // the line at fault, after the replies before it were counted.
    void aLargeRecordingPlaysAtOnce()
    {
        Program kestrel;
        QByteArray big = logLines(1, "08 50 06");
        // The day's other replies move no money ("validator busy"): at the line's pace a console
        // that reads late takes several in one pass, and the total checked is the nickel's alone.
        const QByteArray line = logLines(1, "30 03");
        big.reserve(capture::kLargestRecording);
        while (big.size() + line.size() + 16 <= capture::kLargestRecording)
            big += line;
        big += "not a log line\r\n";
        kestrel.write(QStringLiteral("day.txt"), big);
        big.clear();
        kestrel.write(QStringLiteral("p.plan"), "expect \"08 50 06\" within 10s\ncheck total = 0.05\n");
        QVERIFY2(kestrel.run({"--plan", "p.plan", "--com1", "replay:day.txt?speed=max"}) == 0,
                 qPrintable(kestrel.out + kestrel.err));

        kestrel.write(QStringLiteral("short.txt"), logLines(5, "08 50 06") + "12-09-2026 not a line\r\n" + logLines(1, "08 52 06"));
        kestrel.write(QStringLiteral("p.plan"), "wait 5s\n");
        QCOMPARE(kestrel.run({"--plan", "p.plan", "--com1", "replay:short.txt?speed=max"}), 1);
        QCOMPARE(kestrel.out.count(QStringLiteral("log: Received a Nickel")), 5);
        QVERIFY(!kestrel.out.contains(QStringLiteral("Received a Quarter")));
        QCOMPARE(kestrel.out.count(QStringLiteral("log: Communications Error, Comm device lost: replay: short.txt:6: "
                                                  "not a line of log.txt")), 1);
        QVERIFY2(kestrel.out.contains(QStringLiteral("the port was lost: Comm device lost: replay: short.txt:6:")), qPrintable(kestrel.out));
    }
};

QTEST_GUILESS_MAIN(PlanAtLineSpeedTest)
#include "tst_planatlinespeed.moc"
