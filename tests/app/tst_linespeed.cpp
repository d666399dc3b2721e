#include "console/console.h"
#include "mdb/replytables.h"
#include "link/linetiming.h"
#include "console/portselection.h"
#include "link/realserialdevice.h"
#include "tests/support/eventwait.h"
#include "tests/support/linethief.h"
#include "tests/support/ptyboard.h"

#include <QTemporaryDir>
#include <QTest>

#include <iterator>

using namespace kestrel;
using namespace kestrel::test;
using namespace std::chrono_literals;

namespace {

// What the window owns, with its "Comm1" on a pty behind which a board sends at 9600 baud, a
// character at a time, through the real-port backend.
struct LineRig
{
    LineRig()
        : ports([](const QString &name) { return std::make_unique<link::RealSerialDevice>(name); })
    {
        ports.setName(1, board.path());
        console = std::make_unique<console::Console>(ports, console::Console::Settings{dir.filePath(QStringLiteral("log.txt"))});
        console->tallies.InitializeCount();
        console::selectPort(console->comInterface, 1, console->state.log, [] {});
    }

    QStringList log() const { return console->state.lstActionLog.rows(); }
    // Every character read, in all the reads.
    qsizetype charactersRead() const
    {
        qsizetype n = 0;
        for (const QString &read : console->state.List1.rows())
            n += read.size();
        return n;
    }
    QStringList raw() const { return console->state.List1.rows(); }
    QStringList logFileLines() const
    {
        QFile file(console->logFile.path());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QStringList lines = QString::fromLatin1(file.readAll()).split(QStringLiteral("\r\n"));
        lines.removeLast();
        return lines;
    }
    // Until the board has sent everything and the console has read `reads` replies.
    bool settle(int reads, std::chrono::milliseconds within = 20s)
    {
        const bool done = runUntil(
            [&] { return board.idle() && console->state.List1.count() >= reads; }, int(within.count()));
        runFor(50);
        if (!done || console->state.List1.count() != reads)
            qWarning() << "reads:" << console->state.List1.rows();
        return done && console->state.List1.count() == reads;
    }

    PtyBoard board;
    QTemporaryDir dir;
    link::PortMap ports;
    std::unique_ptr<console::Console> console;
};

// An MDB block of `bytes` bytes as the board's hex text, CR LF ended, whose data repeat
// "30 84 09" (a twenty-dollar bill's reply) after a first byte that varies with `seed`.
QByteArray block(int bytes, int seed)
{
    QByteArray data(1, char(0x08 + seed));
    static const char kBill[] = {0x30, char(0x84), 0x09};
    while (data.size() < bytes)
        data.append(kBill[(data.size() - 1) % 3]);
    return data.toHex(' ').toUpper() + "\r\n";
}

struct Sent
{
    QStringList texts, messages;
    qint64 cents = 0;
    int coins[5] = {}, bills[5] = {};
};

// Every row of the changer's and the validator's tables, as the board sends them: the three-byte
// replies with CR LF, the status codes alone (a line end straight after them would hide them).
// Each comes 20 ms after a reply that ended with a line end, 30 ms after one that did not, since
// text with no line end is whole only once the line has been silent for 20 ms.
Sent sendEveryRow(PtyBoard &board)
{
    Sent sent;
    bool lastEnded = true;
    const auto sendRows = [&](const ReplyRow *begin, const ReplyRow *end) {
        for (const ReplyRow *row = begin; row != end; ++row) {
            QByteArray text(row->reply);
            const bool lineEnd = text.size() == 8;
            if (lineEnd)
                text += "\r\n";
            board.send(text, lastEnded ? 20ms : 30ms);
            lastEnded = lineEnd;
            sent.texts << QString::fromLatin1(text);
            sent.messages << QString::fromLatin1(row->message);
            sent.cents += row->cents();
            if (row->tally == ReplyRow::Tally::Coin)
                ++sent.coins[row->row];
            else if (row->tally == ReplyRow::Tally::Bill)
                ++sent.bills[row->row];
        }
    };
    using namespace replies;
    sendRows(std::begin(kCoinsTakenIn), std::end(kCoinsTakenIn));
    sendRows(std::begin(kCoinsPaidOut), std::end(kCoinsPaidOut));
    sendRows(std::begin(kCoinsRejected), std::end(kCoinsRejected));
    sendRows(std::begin(kChangerStatus), std::end(kChangerStatus));
    sendRows(std::begin(kBillsTakenIn), std::end(kBillsTakenIn));
    sendRows(std::begin(kValidatorStatus), std::end(kValidatorStatus));
    return sent;
}

} // namespace

class LineSpeedTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }

    void everyReplyRowIsReadWholeAndRecognisedOnce()
    {
        // A board's UART never stops inside a reply, but on a busy machine the board's writer
        // thread can be held up for longer than the gap that ends one. A run in which it was, and
        // whose reads were cut otherwise than the replies sent, is checked for nothing lost and
        // run again.
        constexpr auto kHeldUp = link::linetiming::kHeldUpGap / 2;
        constexpr int kAttempts = 4;
        for (int attempt = 1;; ++attempt) {
            LineRig rig;
            QVERIFY(rig.console->comInterface.PortOpen());
            const Sent sent = sendEveryRow(rig.board);
            QCOMPARE(sent.texts.size(), 61);
            const bool settled = rig.settle(61);
            const auto held = rig.board.longestWaitWithinASend();
            if (held > kHeldUp && !(settled && rig.raw() == sent.texts)) {
                const QString all = sent.texts.join(QString());
                QVERIFY(runUntil([&] { return rig.charactersRead() >= all.size(); }));
                QCOMPARE(rig.raw().join(QString()), all);
                const auto us = std::chrono::duration_cast<std::chrono::microseconds>(held);
                const QString why = QStringLiteral("the board was held up for %1 us inside a reply")
                                        .arg(us.count());
                if (attempt == kAttempts)
                    QSKIP(qPrintable(why + QStringLiteral(" in every run")));
                qWarning().noquote() << why << "- again";
                continue;
            }
            // One pass per reply, each reply whole, each recognised once, nothing else in the log.
            QVERIFY(settled);
            QCOMPARE(rig.raw(), sent.texts);
            QCOMPARE(rig.log(), sent.messages);
            QCOMPARE(rig.console->state.TotalReceived.cents(), sent.cents);
            for (int row = 0; row < 5; ++row) {
                QCOMPARE(rig.console->state.lstCoinCount.row(row), QString::number(sent.coins[row]));
                QCOMPARE(rig.console->state.lstBillCount.row(row), QString::number(sent.bills[row]));
            }
            const QStringList lines = rig.logFileLines();
            QCOMPARE(lines.size(), 61);
            for (int i = 0; i < 61; ++i) {
                QString reply = sent.texts[i];
                reply.remove(QStringLiteral("\r\n"));
                QCOMPARE(lines[i].mid(18), reply);
            }
            return;
        }
    }

    void noticeTextFollowsItsCcAfterASilence()
    {
        LineRig rig;
        rig.board.send("CC");
        rig.board.send("  Use coins only  please", 10ms);
        QVERIFY(runUntil([&] { return !rig.log().isEmpty() && rig.board.idle(); }));
        runFor(50);
        QCOMPARE(rig.console->state.lblSpecialInstruction.text(), QStringLiteral("Use coins only"));
        QCOMPARE(rig.log(), QStringList{"Use coins only"});
        // The whole text goes to the raw replies and the log file, each as a read of its own.
        QCOMPARE(rig.raw(), QStringList({"CC", "  Use coins only  please"}));
        QCOMPARE(rig.logFileLines().size(), 2);
        QCOMPARE(rig.logFileLines().at(1).mid(18), QStringLiteral("  Use coins only  please"));
    }

    void longRepliesAreReadWhole_data()
    {
        QTest::addColumn<int>("bytes");
        QTest::newRow("19 bytes (a coin changer's TUBE STATUS)") << 19;
        QTest::newRow("24 bytes") << 24;
        QTest::newRow("34 bytes (a changer's IDENTIFICATION with its options)") << 34;
        QTest::newRow("36 bytes, the longest MDB block") << 36;
    }
    void longRepliesAreReadWhole()
    {
        QFETCH(int, bytes);
        LineRig rig;
        // Three of each, whose data repeat "30 84 09": a piece of one taken for a reply of its
        // own would count a twenty-dollar bill that was never inserted.
        QStringList sent;
        for (int i = 0; i < 3; ++i) {
            const QByteArray text = block(bytes, i);
            QCOMPARE(text.size(), bytes * 3 + 1);
            rig.board.send(text, 40ms);
            sent << QString::fromLatin1(text);
        }
        QVERIFY(rig.settle(3));
        QCOMPARE(rig.raw(), sent);
        QCOMPARE(rig.logFileLines().size(), 3);
        QVERIFY(rig.log().isEmpty());
        QCOMPARE(rig.console->state.TotalReceived.cents(), 0);
    }

    void aStallInsideAReplyDoesNotSplitIt()
    {
        // A USB adapter hands characters over in packets: the line stops for 8 ms inside a reply,
        // longer than the 3.5-character silence, while the reply has not ended.
        LineRig rig;
        constexpr int kReplies = 20;
        for (int i = 0; i < kReplies; ++i) {
            rig.board.send("08 5", 40ms);
            rig.board.send("0 06\r\n", 8ms);
        }
        const QByteArray longest = block(36, 7);
        rig.board.send(longest.left(50), 40ms);
        rig.board.send(longest.mid(50), 8ms);
        QVERIFY(rig.settle(kReplies + 1));
        QCOMPARE(rig.raw().count(QStringLiteral("08 50 06\r\n")), kReplies);
        QCOMPARE(rig.raw().last(), QString::fromLatin1(longest));
        QCOMPARE(rig.console->state.TotalReceived.cents(), 5 * kReplies);
        QCOMPARE(rig.logFileLines().size(), kReplies + 1);
    }

    void aReplyWithNoLineEndIsReadWholeAfterTheLongerSilence()
    {
        LineRig rig;
        rig.board.send("08 50 06");
        rig.board.send("30 06", 30ms);
        rig.board.send("08 51 08", 30ms);
        QVERIFY(rig.settle(3));
        QCOMPARE(rig.raw(), QStringList({"08 50 06", "30 06", "08 51 08"}));
        QCOMPARE(rig.log(), QStringList({"Received a Nickel", "Validator was reset - Code (30 06)",
                                         "Received a Dime"}));
    }

    void replyFollowedByNoiseWithoutASilenceCountsTheReplyOnce()
    {
        LineRig rig;
        const QByteArray text("08 50 06\r\n~~~!\x07~~~", 18);
        rig.board.send(text);
        QVERIFY(rig.settle(2));
        QCOMPARE(rig.raw(), QStringList({"08 50 06\r\n", QString::fromLatin1(text.mid(10))}));
        QCOMPARE(rig.log(), QStringList{"Received a Nickel"});
        QCOMPARE(rig.console->state.TotalReceived.cents(), 5);
    }

    void aLineThatNeverFallsSilentIsCutAtTheCap()
    {
        LineRig rig;
        // 200 characters back to back last 208 ms: the pause's cap (the longest reply and the
        // longer silence, 133.5 ms) cuts them, and not before the longest reply could be whole.
        rig.board.send(QByteArray(200, 'Z'));
        QVERIFY(runUntil([&] { return rig.board.idle(); }));
        runFor(200);
        const QStringList reads = rig.raw();
        QVERIFY2(reads.size() >= 2, qPrintable(QString::number(reads.size())));
        const int capCharacters = int(link::linetiming::kPauseCap / link::linetiming::kCharacterTime);
        QVERIFY2(reads.first().size() >= link::linetiming::kLongestReplyCharacters
                     && reads.first().size() <= capCharacters + 8,
                 qPrintable(QString::number(reads.first().size())));
        int total = 0;
        for (const QString &read : reads)
            total += int(read.size());
        QCOMPARE(total, 200);
    }

    void closingTheFarSideIsOneLostDevice()
    {
        LineRig rig;
        rig.board.send("08 50 06\r\n");
        QVERIFY(rig.settle(1));
        rig.board.hangUp();
        QVERIFY(runUntil([&] { return rig.log().size() >= 2; }, 3000));
        runFor(300);
        QCOMPARE(rig.log().size(), 2);
        QVERIFY(rig.log().last().startsWith(
            QStringLiteral("Communications Error, Comm device lost: %1: ").arg(rig.board.path())));
        QVERIFY(rig.log().last().endsWith(QStringLiteral(" - 8022")));
        QVERIFY(!rig.console->comInterface.PortOpen());
    }

    void aReadThatFoundNothingLeavesTheConsoleReading()
    {
        // A second reader of the line takes a reply first and leaves EAGAIN in errno, as a
        // socket of the accessibility bus does; the port's own read then finds nothing. The
        // console must keep the port and go on reading the replies that follow.
        LineRig rig;
        rig.console->comInterface.setPortOpen(false);
        LineThief first(rig.board.path());   // told before the port is
        QVERIFY(first.ok());
        rig.console->comInterface.setPortOpen(true);
        // Which of the two readers the event loop tells first is its own choice: the board sends
        // until the second reader has taken a reply.
        for (int i = 0; i < 10 && !first.hasTaken(); ++i) {
            rig.board.send("08 50 06\r\n", 20ms);
            runUntil([&] { return first.hasTaken() && rig.board.idle(); }, 1000);
        }
        QVERIFY(first.hasTaken());
        QVERIFY(runUntil([&] { return rig.board.idle(); }));
        runFor(50);
        const qsizetype before = rig.log().size();
        for (const QByteArray &reply : {QByteArray("08 51 08\r\n"), QByteArray("30 82 09\r\n")})
            rig.board.send(reply, 20ms);
        QVERIFY(runUntil([&] { return rig.board.idle() && rig.log().size() >= before + 2; }, 5000));
        runFor(50);
        QCOMPARE(rig.log().mid(before), QStringList({"Received a Dime", "Received a Five Dollar Bill - ($5)"}));
        QVERIFY(rig.console->comInterface.PortOpen());
    }

    void heavyInputKeepsThePortAndTheNextReplyCounts_data()
    {
        QTest::addColumn<QList<QByteArray>>("writes");
        const QByteArray line64k = QByteArray(64 * 1024 - 2, 'Q') + "\r\n";
        QTest::newRow("two 64 KB lines in one write") << QList<QByteArray>{line64k + line64k};
        QTest::newRow("one 1 MB write") << QList<QByteArray>{QByteArray(1 << 20, 'Z')};
        QList<QByteArray> replies;
        for (int i = 0; i < 100000; ++i)
            replies << QByteArray("30 80 09\r\n");
        QTest::newRow("100,000 replies as fast as the pty takes them") << replies;
    }
    void heavyInputKeepsThePortAndTheNextReplyCounts()
    {
        QFETCH(QList<QByteArray>, writes);
        LineRig rig;
        qsizetype sent = 0;
        for (const QByteArray &w : writes) {
            rig.board.sendWhole(w);
            sent += w.size();
        }
        QVERIFY(runUntil([&] { return rig.board.idle(); }, 120000));
        // A silence, then one more coin.
        rig.board.send("08 50 06\r\n", 50ms);
        QVERIFY(runUntil(
            [&] { return rig.log().contains(QStringLiteral("Received a Nickel")); }, 20000));
        for (const QString &line : rig.log())
            QVERIFY2(!line.contains(QStringLiteral("Comm device lost")), qPrintable(line));
        QVERIFY(rig.console->comInterface.PortOpen());
        QCOMPARE(rig.charactersRead(), sent + 10);       // every character read, none lost
        QCOMPARE(rig.raw().last(), QStringLiteral("08 50 06\r\n"));
        QCOMPARE(rig.console->state.lstCoinCount.row(0), QStringLiteral("1"));
    }

    void singleCharactersForAMinuteLoseNothing()
    {
        LineRig rig;
        // A character, a silence longer than the gap that ends text with no line end, over and
        // over: each its own read, none of them taken for a device that went away.
        constexpr int kCharacters = 2300;   // about a minute at 26 ms each
        for (int i = 0; i < kCharacters; ++i)
            rig.board.send(QByteArray(1, char('0' + i % 10)), 25ms);
        QVERIFY(runUntil([&] { return rig.board.idle(); }, 120000));
        runFor(100);
        for (const QString &line : rig.log())
            QVERIFY2(!line.contains(QStringLiteral("Comm device lost")), qPrintable(line));
        QVERIFY(rig.console->comInterface.PortOpen());
        QCOMPARE(rig.charactersRead(), qsizetype(kCharacters));
        QVERIFY(rig.raw().size() > kCharacters * 9 / 10);   // a busy machine may join a few
    }
};

QTEST_GUILESS_MAIN(LineSpeedTest)
#include "tst_linespeed.moc"
