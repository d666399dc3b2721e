#include "decode/replydetails.h"
#include "link/commevents.h"
#include "sim/mdbnames.h"
#include "sim/virtualboard.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

using namespace kestrel;
using namespace kestrel::sim;

namespace {
QByteArray bytes(const char *hex) { return QByteArray::fromHex(QByteArray(hex).replace(' ', "")); }

// Writes a frame and collects every reply the board sends for it, in order.
QStringList answer(VirtualBoard &board, const char *frame)
{
    QSignalSpy sent(&board, &VirtualBoard::replySent);
    board.write(bytes(frame));
    QStringList replies;
    while (board.pendingReplies() > 0 && sent.wait(500)) {
    }
    for (const QList<QVariant> &signal : sent)
        replies << signal.at(0).toString();
    board.read();
    return replies;
}
QStringList act(VirtualBoard &board, const std::function<void()> &action)
{
    QSignalSpy sent(&board, &VirtualBoard::replySent);
    action();
    sent.wait(500);
    board.read();
    return sent.isEmpty() ? QStringList() : QStringList{sent.first().at(0).toString()};
}
} // namespace

class VirtualBoardTest : public QObject
{
    Q_OBJECT
private slots:
    void repliesToEveryCommand_data()
    {
        QTest::addColumn<QString>("frame");
        QTest::addColumn<QStringList>("replies");
        const QString crlf = QStringLiteral("\r\n");
        QTest::newRow("changer reset") << "08" << QStringList{"08 0B"};
        QTest::newRow("changer setup") << "09" << QStringList{"08 03 00 01 05 02 00 07 01 02 05 00 14 28 00 00 00 00 00 00 00 00 00 00" + crlf};
        QTest::newRow("tube status") << "0A" << QStringList{"08 00 00 14 14 14 00 00 00 00 00 00 00 00 00 00 00 00 00" + crlf};
        QTest::newRow("enable all coins") << "0C FF FF FF FF" << QStringList{"08 00"};
        QTest::newRow("disable all coins") << "0C 00 00 00 00" << QStringList{"08 00"};
        QTest::newRow("changer identify") << "0F 00" << QStringList{"08 56 4C 4D 30 30 30 30 30 30 30 30 30 30 30 31 43 48 4E 47 2D 33 30 30 30 20 20 20 01 02 00 00 00 07" + crlf};
        QTest::newRow("payout test") << "0F 02" << QStringList{"02"};
        QTest::newRow("dispense nickel") << "0F 02 01" << QStringList{"08 90 06" + crlf};
        QTest::newRow("dispense dime") << "0F 02 02" << QStringList{"08 91 08" + crlf};
        QTest::newRow("dispense quarter") << "0F 02 05" << QStringList{"08 92 06" + crlf};
        QTest::newRow("payout of a value no one coin is") << "0F 02 03" << QStringList{"08 91 08" + crlf, "08 90 06" + crlf};
        QTest::newRow("payout, the largest coins first") << "0F 02 08" << QStringList{"08 92 06" + crlf, "08 91 08" + crlf, "08 90 06" + crlf};
        QTest::newRow("dispense 3 quarters") << "0D 32" << QStringList{"08 92 06" + crlf, "08 92 06" + crlf, "08 92 06" + crlf};
        QTest::newRow("dispense a type with no tube") << "0D 14" << QStringList{"08 03"};
        QTest::newRow("changer poll") << "0B" << QStringList{"08 00"};
        QTest::newRow("feature enable") << "0F 01 00 00 00 07" << QStringList{"08 00"};
        QTest::newRow("payout status, nothing paid") << "0F 03" << QStringList{"08 " + QStringList(16, "00").join(' ') + crlf};
        QTest::newRow("payout value poll, nothing paid") << "0F 04" << QStringList{"08 00" + crlf};
        QTest::newRow("diagnostic status") << "0F 05" << QStringList{"08 03 00" + crlf};
        QTest::newRow("manual fill report") << "0F 06" << QStringList{"08 " + QStringList(16, "00").join(' ') + crlf};
        QTest::newRow("manual payout report") << "0F 07" << QStringList{"08 " + QStringList(16, "00").join(' ') + crlf};
        QTest::newRow("validator reset") << "30" << QStringList{"30 06"};
        QTest::newRow("validator setup") << "31" << QStringList{"30 02 00 01 00 64 02 01 F4 00 00 FF 01 02 05 0A 14 00 00 00 00 00 00 00 00 00 00 00" + crlf};
        QTest::newRow("enable bills") << "34 00 1F 00 00" << QStringList{"30 00"};
        QTest::newRow("return, nothing held") << "35 00" << QStringList{"30 0A"};
        QTest::newRow("stack, nothing held") << "35 01" << QStringList{"30 0A"};
        QTest::newRow("stacker") << "36" << QStringList{"30 00 00" + crlf};
        QTest::newRow("validator identify") << "37 00" << QStringList{"30 56 4C 4D 30 30 30 30 30 30 30 30 30 30 30 32 42 49 4C 4C 2D 35 30 30 20 20 20 20 01 00" + crlf};
        QTest::newRow("security") << "32 00 1F" << QStringList{"30 00"};
        QTest::newRow("validator poll") << "33" << QStringList{"30 00"};
        QTest::newRow("validator feature enable") << "37 01 00 00 00 02" << QStringList{"30 00"};
        QTest::newRow("validator identify with option bits") << "37 02" << QStringList{"30 56 4C 4D 30 30 30 30 30 30 30 30 30 30 30 32 42 49 4C 4C 2D 35 30 30 20 20 20 20 01 00 00 00 00 02" + crlf};
        QTest::newRow("recycler setup") << "37 03" << QStringList{"30 00 05" + crlf};
        QTest::newRow("recycler enable") << "37 04 00 00" + QStringLiteral(" 03 00 03").append(QStringLiteral(" 00").repeated(13)) << QStringList{"30 00"};
        QTest::newRow("dispense bill, recycler not enabled") << "37 06 00 00 01" << QStringList{"30 29"};
        QTest::newRow("bill dispense status") << "37 05" << QStringList{"30 00 00 00 14 00 00 00 0A" + QStringLiteral(" 00").repeated(26) + crlf};
        QTest::newRow("recycler payout status") << "37 08" << QStringList{"30" + QStringLiteral(" 00").repeated(32) + crlf};
        QTest::newRow("recycler payout value poll") << "37 09" << QStringList{"30 00 00" + crlf};
        QTest::newRow("recycler payout cancel") << "37 0A" << QStringList{"30 00"};
        QTest::newRow("reader reset") << "10" << QStringList{"10 00"};
        QTest::newRow("reader setup") << "11 00 01 0F 02 01" << QStringList{"10 01 02 00 01 05 02 05 00" + crlf};
        QTest::newRow("reader prices") << "11 01 00 64 00 05" << QStringList{"10 00"};
        QTest::newRow("vend cancel") << "13 01" << QStringList{"10 06"};
        QTest::newRow("vend failure") << "13 03" << QStringList{"10 00"};
        QTest::newRow("cash sale") << "13 05 00 19 00 07" << QStringList{"10 00"};
        QTest::newRow("revalue limit") << "15 01" << QStringList{"10 0F 01 2C" + crlf};
        QTest::newRow("revalue past the limit") << "15 00 01 2D" << QStringList{"10 0E"};
        QTest::newRow("reader enable") << "14 01" << QStringList{"10 00"};
        QTest::newRow("reader disable") << "14 00" << QStringList{"10 00"};
        QTest::newRow("reader cancel") << "14 02" << QStringList{"10 08"};
        QTest::newRow("vend, reader disabled") << "13 00" << QStringList{"10 06"};
        QTest::newRow("vend success") << "13 02" << QStringList{"10 00"};
        QTest::newRow("session complete") << "13 04" << QStringList{"10 07"};
        QTest::newRow("revalue") << "15 00" << QStringList{"10 0D"};
        QTest::newRow("reader id") << "17 00" << QStringList{"10 09 56 4C 4D 30 30 30 30 30 30 30 30 30 30 30 33 43 41 53 48 2D 31 30 20 20 20 20 20 01 00" + crlf};
        QTest::newRow("begin session, not a command") << "03" << QStringList{};
        QTest::newRow("write to lcd, not a command") << "02 01 41 41 41 41 41 41 41 41 41 41" << QStringList{};
    }
    void repliesToEveryCommand()
    {
        QFETCH(QString, frame);
        QFETCH(QStringList, replies);
        VirtualBoard board;
        board.setReplySpacing(1);
        board.open();
        QCOMPARE(answer(board, frame.toLatin1().constData()), replies);
    }

    // The board's set-up and identification replies are complete: the reply decoder finds every
    // field of them and nothing short or left over.
    void setUpAndIdentificationRepliesAreComplete_data()
    {
        QTest::addColumn<QString>("frame");
        QTest::addColumn<QString>("reply");
        QTest::newRow("changer setup") << "09" << "SETUP";
        QTest::newRow("tube status") << "0A" << "TUBE STATUS";
        QTest::newRow("changer identification") << "0F 00" << "IDENTIFICATION";
        QTest::newRow("validator setup") << "31" << "SETUP";
        QTest::newRow("stacker") << "36" << "STACKER";
        QTest::newRow("validator identification") << "37 00" << "IDENTIFICATION";
        QTest::newRow("reader setup") << "11 00 01 0F 02 01" << "READER CONFIGURATION";
        QTest::newRow("reader id") << "17 00" << "PERIPHERAL ID";
    }
    void setUpAndIdentificationRepliesAreComplete()
    {
        QFETCH(QString, frame);
        QFETCH(QString, reply);
        VirtualBoard board;
        board.setReplySpacing(1);
        board.open();
        const QStringList replies = answer(board, frame.toLatin1().constData());
        QCOMPARE(replies.size(), 1);
        decode::details::Context context;
        context.pendingFrame = bytes(frame.toLatin1().constData());
        const decode::details::Decoded d = decode::details::decode(replies.first().chopped(2), context);
        QCOMPARE(d.reply, reply);
        QCOMPARE(d.stoppedAt, -1);
        QVERIFY2(d.notes.isEmpty(), qPrintable(d.notes.join('\n')));
        for (const decode::details::Field &f : d.fields)
            QVERIFY2(f.name != QLatin1String("not understood"), qPrintable(QString::number(f.offset)));
    }

    void grantsRaisedDtrWithACtsChange()
    {
        VirtualBoard board;
        QSignalSpy events(&board, &link::SerialDevice::lineEvent);
        board.setDtr(true);                       // closed: nothing
        QTest::qWait(20);
        QVERIFY(events.isEmpty());
        board.setDtr(false);
        board.open();
        board.setDtr(true);
        QVERIFY(events.wait(200));
        QCOMPARE(events.first().at(0).toInt(), int(link::commevent::CtsChange));
        board.setDtr(true);                       // still high: no second grant
        board.setDtr(false);
        QTest::qWait(20);
        QCOMPARE(events.size(), 1);
    }

    void coinsFollowTheAcceptanceMaskAndTheTubes()
    {
        VirtualBoard board;
        board.setReplySpacing(1);
        board.open();
        const auto insert = [&](CoinChanger::Coin coin) {
            return act(board, [&] { board.insertCoin(coin); });
        };
        QCOMPARE(insert(CoinChanger::Nickel), QStringList{"08 70 06\r\n"});          // not accepted yet
        QCOMPARE(insert(CoinChanger::CanadianDollar), QStringList{"08 74 00\r\n"});
        answer(board, "0C FF FF FF FF");
        QCOMPARE(insert(CoinChanger::Nickel), QStringList{"08 50 06\r\n"});
        QCOMPARE(board.changer().tubeCount(0), 21);
        QCOMPARE(insert(CoinChanger::CanadianTwoDollar), QStringList{"08 45 00\r\n"});
        board.changer().setTubeCount(1, 2);
        QCOMPARE(insert(CoinChanger::Dime), QStringList{"08 51 00\r\n"});            // tube low
        board.changer().setTubeCount(2, 75);
        QCOMPARE(insert(CoinChanger::Quarter), QStringList{"08 42 4B\r\n"});         // tube full
        QCOMPARE(board.changer().tubeCount(2), 75);                                   // to the cash box
        board.changer().setTubeCount(0, 5);
        QCOMPARE(answer(board, "0F 02 01"), QStringList{"08 90 00\r\n"});            // now low
        board.changer().setTubeCount(1, 0);
        QCOMPARE(answer(board, "0F 02 02"), (QStringList{"08 90 00\r\n", "08 90 00\r\n"}));   // no dimes: two nickels
        board.changer().setTubeCount(0, 0);
        QCOMPARE(answer(board, "0F 02 02"), QStringList{"08 03"});                   // empty tubes
        answer(board, "0C 00 02 00 00");                                              // dimes only
        QCOMPARE(insert(CoinChanger::Quarter), QStringList{"08 72 4B\r\n"});
    }

    void billsFollowTheEnableAndEscrowMasks()
    {
        VirtualBoard board;
        board.setReplySpacing(1);
        board.open();
        const auto insert = [&](BillValidator::Bill bill) {
            return act(board, [&] { board.insertBill(bill); });
        };
        QCOMPARE(insert(BillValidator::One), QStringList{"30 0B"});                  // nothing enabled
        answer(board, "34 00 02 00 00");                                              // "Disable bills"
        QCOMPARE(insert(BillValidator::One), QStringList{"30 0B"});
        QCOMPARE(insert(BillValidator::Two), QStringList{"30 81 09\r\n"});
        answer(board, "34 00 1F 00 01");                                              // escrow for $1
        QCOMPARE(insert(BillValidator::One), QStringList{"30 90 09\r\n"});
        QCOMPARE(board.validator().inEscrow(), 0);
        QCOMPARE(insert(BillValidator::One), QStringList{"30 0B"});                  // escrow is busy
        QCOMPARE(insert(BillValidator::Twenty), QStringList{"30 84 09\r\n"});
        QCOMPARE(answer(board, "35 01"), QStringList{"30 80 09\r\n"});               // stacked
        QCOMPARE(insert(BillValidator::One), QStringList{"30 90 09\r\n"});
        QCOMPARE(answer(board, "35 00"), QStringList{"30 A0 09\r\n"});               // returned
        QCOMPARE(board.validator().stacked(), 3);
        QCOMPARE(answer(board, "36"), QStringList{"30 00 03\r\n"});
    }

    void vendApprovedOnceTheReaderIsEnabled()
    {
        VirtualBoard board;
        board.setReplySpacing(1);
        board.open();
        answer(board, "14 01");
        QCOMPARE(answer(board, "13 00"), QStringList{"10 05 00 01\r\n"});
    }

    void repliesComeAtLineSpeedWithASilenceBetween()
    {
        VirtualBoard board;
        board.setReplySpacing(30);
        board.open();
        QSignalSpy events(&board, &link::SerialDevice::lineEvent);
        QElapsedTimer clock;
        clock.start();
        board.sendReply("08 50 06\r\n");
        board.sendReply("30 06");
        // The characters come about a millisecond apart: the tenth about 9.4 ms after the first.
        QVERIFY(board.waiting() < 10);
        QByteArray reply;
        while (reply.size() < 10 && board.waitForCharacters(std::chrono::milliseconds(5)))
            reply += board.read();
        QCOMPARE(reply, QByteArray("08 50 06\r\n"));
        QVERIFY2(clock.nsecsElapsed() >= 9'000'000, qPrintable(QString::number(clock.nsecsElapsed())));
        // Then the line is silent until the next reply, which the event loop hears of.
        QVERIFY(!board.waitForCharacters(std::chrono::milliseconds(20)));
        QVERIFY(events.wait(500));
        QTRY_COMPARE_WITH_TIMEOUT(board.peek(), QByteArray("30 06"), 500);
    }

    void unpacedRepliesComeWhole()
    {
        VirtualBoard board;
        board.setPaced(false);
        board.setReplySpacing(30);
        board.open();
        QSignalSpy events(&board, &link::SerialDevice::lineEvent);
        board.sendReply("08 0C");
        board.sendReply("30 06");
        QVERIFY(events.wait(500));
        QCOMPARE(board.read(), QByteArray("08 0C"));
        QVERIFY(events.wait(500));
        QCOMPARE(board.read(), QByteArray("30 06"));
    }

    void noticeTextFollowsItsCcAfterASilence()
    {
        VirtualBoard board;
        board.setReplySpacing(1);
        board.open();
        QSignalSpy sent(&board, &VirtualBoard::replySent);
        board.sendNotice("Exact change only");
        QVERIFY(sent.wait(500));
        QCOMPARE(board.read(), QByteArray("CC"));
        QVERIFY(!board.waitForCharacters(std::chrono::milliseconds(5)));     // the silence
        QTRY_COMPARE_WITH_TIMEOUT(sent.size(), 2, 500);
        QCOMPARE(board.read(), QByteArray("Exact change only"));
        QCOMPARE(board.read(), QByteArray());
    }

    void frameTakesItsTimeOnTheLine()
    {
        VirtualBoard board;
        board.open();
        QSignalSpy frames(&board, &VirtualBoard::frameReceived);
        QElapsedTimer clock;
        clock.start();
        board.write(bytes("02 01 41 41 41 41 41 41 41 41 41 41"));
        board.drainOutput();
        // Twelve bytes at 9600 baud: 12.5 ms before the last one is out.
        QVERIFY2(clock.nsecsElapsed() >= 12'000'000, qPrintable(QString::number(clock.nsecsElapsed())));
        QCOMPARE(frames.size(), 1);
        QVERIFY(frames.first().at(1).toTime().isValid());
    }

    void closedBoardSendsNothing()
    {
        VirtualBoard board;
        board.insertCoin(CoinChanger::Nickel);
        QCOMPARE(board.pendingReplies(), 0);
        QVERIFY_THROWS_EXCEPTION(core::Failure, board.write("\x08"));
        QVERIFY_THROWS_EXCEPTION(core::Failure, board.read());
    }

    void framesAreNamed_data()
    {
        QTest::addColumn<QString>("frame");
        QTest::addColumn<QString>("shown");
        QTest::newRow("dispense dime") << "0F 02 02" << "0F 02 02  PAYOUT value=2 units";
        QTest::newRow("payout test") << "0F 02" << "0F 02  PAYOUT";
        QTest::newRow("dispense by type") << "0D 32" << "0D 32  DISPENSE coin=2 count=3";
        QTest::newRow("coin type") << "0C FF FF FF FF" << "0C FF FF FF FF  COIN TYPE enable=FFFF dispense=FFFF";
        QTest::newRow("bill type") << "34 00 1F 00 01" << "34 00 1F 00 01  BILL TYPE enable=001F escrow=0001";
        QTest::newRow("stack") << "35 01" << "35 01  ESCROW action=stack";
        QTest::newRow("a name two share") << "08" << "08  RESET (coin changer)";
        QTest::newRow("vend request") << "13 00 00 19 00 07" << "13 00 00 19 00 07  VEND REQUEST price=25 units item=7";
        QTest::newRow("reader response") << "07" << "07  END SESSION (a reader's response, as a test)";
        QTest::newRow("unknown") << "99 01" << "99 01  unknown command";
    }
    void framesAreNamed()
    {
        QFETCH(QString, frame);
        QFETCH(QString, shown);
        QCOMPARE(describeFrame(bytes(frame.toLatin1().constData())), shown);
    }
};

QTEST_GUILESS_MAIN(VirtualBoardTest)
#include "tst_virtualboard.moc"
