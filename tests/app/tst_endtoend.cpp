#include "session/commandline.h"
#include "app/mainwindow.h"
#include "decode/replydetails.h"
#include "sim/boardwindow.h"
#include "mdb/mdb.h"
#include "sim/virtualboard.h"
#include "tests/app/windowrig.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRegularExpression>
#include <QPushButton>
#include <QTemporaryDir>

using namespace kestrel;
using namespace kestrel::test;

namespace {
// The real window with the virtual board behind "Comm1", as `kestrel --com1 virtual` starts it,
// and the log file in a directory of the test's own.
struct BoardRig : DeviceWindowRig
{
    BoardRig()
        : DeviceWindowRig(QStringLiteral("virtual"))
        , board(session::virtualBoards(ports).value(0))
    {
        QObject::connect(board, &sim::VirtualBoard::frameReceived,
                         [this](const QByteArray &frame) { frames << mdb::hex(frame); });
        click("Option1");
    }

    // Presses a command button and waits until its frame has reached the board.
    bool send(const char *button)
    {
        const qsizetype before = frames.size();
        click(button);
        return QTest::qWaitFor([&] { return frames.size() > before; }, 3000);
    }
    QStringList log() const { return window->console().state.lstActionLog.rows(); }
    QString lastLog() const { return log().value(log().size() - 1); }
    QString label(const char *name) const
    {
        return window->control<QLabel>(QString::fromLatin1(name))->text();
    }

    sim::VirtualBoard *board = nullptr;
    QStringList frames;
};
} // namespace

class EndToEndTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }

    void dispenseDimeRoad()
    {
        BoardRig rig;
        QVERIFY(rig.board);
        QVERIFY(rig.board->paced());               // a character at a time, as a real board
        QVERIFY(rig.window->console().comInterface.PortOpen());
        QVERIFY(rig.send("cmdDispenseDime"));
        QCOMPARE(rig.frames, QStringList{"0F 02 02"});
        QTRY_COMPARE_WITH_TIMEOUT(rig.lastLog(), QStringLiteral("Dispensing Dime - Code (08 91 08)"), 3000);
        QCOMPARE(rig.log(), QStringList({"Dispense Dime", "Dispensing Dime - Code (08 91 08)"}));
        QCOMPARE(rig.window->console().state.List1.rows(), QStringList{"08 91 08\r\n"});   // read whole
        QTRY_COMPARE(rig.label("lblSpecialInstruction"), QStringLiteral("Dispensing Dime"));   // shown with the next frame
        QCOMPARE(rig.board->changer().tubeCount(1), 19);
        QVERIFY(!rig.board->dtr());
        QFile logFile(rig.dir.filePath("log.txt"));
        QVERIFY(logFile.open(QIODevice::ReadOnly));
        const QByteArray line = logFile.readAll();
        QVERIFY(line.endsWith("08 91 08\r\n"));
        QCOMPARE(line.size(), 18 + 8 + 2);
    }

    void coinsAndBillsMoveTalliesAndTotal()
    {
        BoardRig rig;
        console::Console &c = rig.window->console();
        QVERIFY(rig.send("enable_all_coin_types"));
        QVERIFY(rig.send("Command1"));            // enable bills
        QTRY_COMPARE_WITH_TIMEOUT(rig.board->pendingReplies(), 0, 3000);
        // One at a time, as a customer feeds them: each reply is read before the next comes.
        rig.board->insertCoin(sim::CoinChanger::Nickel);
        QTRY_COMPARE_WITH_TIMEOUT(rig.lastLog(), QStringLiteral("Received a Nickel"), 3000);
        rig.board->insertCoin(sim::CoinChanger::Dime);
        QTRY_COMPARE_WITH_TIMEOUT(rig.lastLog(), QStringLiteral("Received a Dime"), 3000);
        rig.board->insertCoin(sim::CoinChanger::Quarter);
        QTRY_COMPARE_WITH_TIMEOUT(rig.lastLog(), QStringLiteral("Received a Quarter"), 3000);
        rig.board->insertBill(sim::BillValidator::Five);
        QTRY_COMPARE_WITH_TIMEOUT(rig.lastLog(), QStringLiteral("Received a Five Dollar Bill - ($5)"), 3000);
        QCOMPARE(c.state.lstCoinCount.rows(), QStringList({"1", "1", "1", "0", "0"}));
        QCOMPARE(c.state.lstCoin.rows().mid(0, 3), QStringList({"Nickel received", "Dime received ", "Quarter "}));
        QCOMPARE(c.state.lstBillCount.row(2), QStringLiteral("1"));
        QCOMPARE(c.state.TotalReceived.cents(), 540);
        QTRY_COMPARE(rig.label("lblTotalReceived"), QStringLiteral("Total Money Received so far: 5.40"));   // shown with the next frame
    }

    void billHeldInEscrowThenStacked()
    {
        BoardRig rig;
        console::Console &c = rig.window->console();
        QVERIFY(rig.send("cmdDTRtoggle"));        // escrow on for the $1 bill
        QCOMPARE(rig.frames.last(), QStringLiteral("34 00 1F 00 01"));
        QTRY_COMPARE_WITH_TIMEOUT(rig.board->pendingReplies(), 0, 3000);
        rig.board->insertBill(sim::BillValidator::One);
        QTRY_VERIFY_WITH_TIMEOUT(c.state.List1.rows().contains("30 90 09\r\n"), 3000);
        QCOMPARE(c.state.TotalReceived.cents(), 0);     // held, not yet taken
        QVERIFY(rig.send("Stack_bill"));
        QTRY_COMPARE_WITH_TIMEOUT(rig.lastLog(), QStringLiteral("Received a One Dollar Bill - ($1)"), 3000);
        QCOMPARE(c.state.TotalReceived.cents(), 100);
        QCOMPARE(c.state.lstBillCount.row(0), QStringLiteral("1"));
    }

    void disabledCoinIsReturned()
    {
        BoardRig rig;
        console::Console &c = rig.window->console();
        QVERIFY(rig.send("disable_all_coin_types"));
        QTRY_COMPARE_WITH_TIMEOUT(rig.board->pendingReplies(), 0, 3000);
        rig.board->insertCoin(sim::CoinChanger::Dime);
        QTRY_COMPARE_WITH_TIMEOUT(rig.lastLog(), QStringLiteral("Dime rejected - Code (08 71 08)"), 3000);
        QTRY_COMPARE(rig.label("lblSpecialInstruction"), QStringLiteral("Dime rejected"));   // shown with the next frame
        QCOMPARE(c.state.lstCoinCount.row(1), QStringLiteral("0"));
        QCOMPARE(c.state.TotalReceived.cents(), 0);
    }

    void boardWindowSendsByHandAtLineSpeed()
    {
        BoardRig rig;
        sim::BoardWindow boardWindow(*rig.board);
        boardWindow.show();
        auto *reply = boardWindow.findChild<QLineEdit *>("reply");
        QTest::keyClicks(reply, "30 82 09");
        QTest::mouseClick(boardWindow.findChild<QPushButton *>("sendReply"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(rig.lastLog(), QStringLiteral("Received a Five Dollar Bill - ($5)"), 3000);
        QCOMPARE(rig.window->console().state.List1.rows(), QStringList{"30 82 09"});

        QTest::keyClicks(boardWindow.findChild<QLineEdit *>("notice"), "Exact change only");
        QTest::mouseClick(boardWindow.findChild<QPushButton *>("sendNotice"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(rig.label("lblSpecialInstruction"), QStringLiteral("Exact change only"), 3000);
        QCOMPARE(rig.lastLog(), QStringLiteral("Exact change only"));

        // Text the line cannot carry is refused, with a word, rather than sent changed.
        auto *refused = boardWindow.findChild<QLabel *>("refused");
        const int rows = rig.window->console().state.List1.count();
        reply->setText(QStringLiteral("08 50 06 \u20ac"));
        QTest::mouseClick(boardWindow.findChild<QPushButton *>("sendReply"), Qt::LeftButton);
        QCOMPARE(refused->text(), QStringLiteral("Not sent: \u201c\u20ac\u201d is no character the line can "
                                                 "carry (one byte each, Latin-1)."));
        QTest::qWait(100);
        QCOMPARE(rig.window->console().state.List1.count(), rows);
        reply->setText(QStringLiteral("08 0C"));
        QTest::mouseClick(boardWindow.findChild<QPushButton *>("sendReply"), Qt::LeftButton);
        QVERIFY(refused->text().isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(rig.lastLog(), QStringLiteral("Coin jam - Code (08 0C)"), 3000);

        // Each frame received is listed with the time it arrived, to the millisecond.
        QVERIFY(rig.send("cmdTubeStatus"));
        auto *frames = boardWindow.findChild<QListWidget *>("frames");
        QCOMPARE(frames->count(), 1);
        QVERIFY2(QRegularExpression("^\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d  0A  TUBE STATUS$")
                     .match(frames->item(0)->text()).hasMatch(),
                 qPrintable(frames->item(0)->text()));
    }

    // "Replay a recording...": a field log played into the line, mixed with what the operator
    // does on the board meanwhile; a bad file is refused with its reason.
    void boardWindowReplaysARecording()
    {
        BoardRig rig;
        sim::BoardWindow boardWindow(*rig.board);
        QTemporaryDir dir;
        QFile log(dir.filePath(QStringLiteral("log.txt")));
        QVERIFY(log.open(QIODevice::WriteOnly));
        log.write("12-09-202614:00:0008 50 06\r\n12-09-202614:00:0008 52 06\r\n12-09-202614:00:01CC\r\n"
                  "12-09-202614:00:01EXACT CHANGE\r\n");
        log.close();
        QVERIFY(boardWindow.replayFile(log.fileName()));
        rig.board->insertBill(sim::BillValidator::One);   // refused: bills are not enabled
        QTRY_COMPARE_WITH_TIMEOUT(rig.label("lblSpecialInstruction"), QStringLiteral("EXACT CHANGE"), 5000);
        QCOMPARE(rig.window->console().state.TotalReceived.cents(), 30);
        QVERIFY(rig.log().contains(QStringLiteral("Received a Nickel")));
        QVERIFY(rig.log().contains(QStringLiteral("Bill rejected - Code (30 0B)")));

        QFile bad(dir.filePath(QStringLiteral("bad.txt")));
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write("not a log\n");
        bad.close();
        QVERIFY(!boardWindow.replayFile(bad.fileName()));
        QCOMPARE(boardWindow.findChild<QLabel *>("refused")->text(),
                 QStringLiteral("Not played: %1:1: not a line of log.txt (its date and time, then what was read)").arg(bad.fileName()));
    }

    void everyLongReplyIsOneRowDecodedWhole_data()
    {
        QTest::addColumn<QByteArray>("button");
        QTest::addColumn<QString>("reply");
        QTest::addColumn<int>("bytes");
        QTest::newRow("changer TUBE STATUS") << QByteArray("cmdTubeStatus") << "TUBE STATUS" << 19;
        QTest::newRow("changer SETUP") << QByteArray("Setup") << "SETUP" << 24;
        QTest::newRow("changer IDENTIFICATION") << QByteArray("ID") << "IDENTIFICATION" << 34;
        QTest::newRow("validator SETUP") << QByteArray("BV_setup") << "SETUP" << 28;
        QTest::newRow("validator IDENTIFICATION") << QByteArray("BV_id") << "IDENTIFICATION" << 30;
        QTest::newRow("reader REQUEST ID") << QByteArray("cmdRequestID") << "PERIPHERAL ID" << 31;
    }
    void everyLongReplyIsOneRowDecodedWhole()
    {
        QFETCH(QByteArray, button);
        QFETCH(QString, reply);
        QFETCH(int, bytes);
        BoardRig rig;
        console::Console &c = rig.window->console();
        QVERIFY(rig.send(button.constData()));
        QTRY_VERIFY_WITH_TIMEOUT(rig.board->pendingReplies() == 0 && c.state.List1.count() == 1, 3000);
        QTest::qWait(200);
        QCOMPARE(c.state.List1.count(), 1);                   // one row, not pieces
        const QString row = c.state.List1.row(0);
        QVERIFY2(row.endsWith(QStringLiteral("\r\n")), qPrintable(row));
        decode::details::Context context;
        context.pendingFrame = c.pendingFrames.lastSent();
        const decode::details::Decoded decoded = decode::details::decode(row, context);
        QCOMPARE(decoded.reply, reply);
        QCOMPARE(decoded.bytes.size(), bytes);
        QCOMPARE(decoded.stoppedAt, int(row.size()) - 2);   // read to the line end
        QFile logFile(rig.dir.filePath("log.txt"));
        QVERIFY(logFile.open(QIODevice::ReadOnly));
        QCOMPARE(logFile.readAll().count("\r\n"), 1);   // one line
    }

    void pressesTenMsApartAllGoOutInOrder()
    {
        BoardRig rig;
        const char *buttons[] = {"cmdDispenseNickel", "cmdDispenseDime", "cmdDispenseQuarter"};
        const char *frames[] = {"0F 02 01", "0F 02 02", "0F 02 05"};
        QStringList expected;
        for (int i = 0; i < 20; ++i) {
            rig.click(buttons[i % 3]);
            expected << QString::fromLatin1(frames[i % 3]);
            QTest::qWait(10);
        }
        QTRY_COMPARE_WITH_TIMEOUT(rig.frames.size(), 20, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(rig.board->pendingReplies(), 0, 5000);
        QTest::qWait(200);
        QCOMPARE(rig.frames, expected);                 // every frame, once, in order
        QCOMPARE(rig.log().count(QStringLiteral("Dispense Dime")), 7);
        QCOMPARE(rig.log().filter(QStringLiteral("Dispensing")).size(), 20);
        QVERIFY(rig.log().filter(QStringLiteral("Error")).isEmpty());
    }

    void aBoardThatStopsAnsweringGetsNothingLate()
    {
        BoardRig rig;
        rig.board->setAnswersDtr(false);
        rig.click("cmdDispenseDime");
        rig.click("cmdTubeStatus");
        QTRY_COMPARE_WITH_TIMEOUT(rig.log().size(), 4, 1500);
        QCOMPARE(rig.log().mid(2), QStringList({
            "Error In Dispensing Dime, Not sent: the board did not answer DTR within 1000 ms - 8024",
            "Error getting tube status, Not sent: the board did not answer DTR within 1000 ms - 8024"}));
        QVERIFY(!rig.board->dtr());
        rig.board->setAnswersDtr(true);
        QTest::qWait(300);
        QVERIFY(rig.frames.isEmpty());
        QVERIFY(rig.send("cmdDispenseNickel"));
        QCOMPARE(rig.frames, QStringList{"0F 02 01"});
    }

    void aFullQueueRefusesThePressAlone()
    {
        BoardRig rig;
        rig.board->setAnswersDtr(false);
        for (int i = 0; i < 17; ++i)
            rig.click("cmdDispenseDime");
        QCOMPARE(rig.window->console().pendingFrames.count(), 16);
        QCOMPARE(rig.log().size(), 17);
        QCOMPARE(rig.log().last(),
                 QStringLiteral("Error In Dispensing Dime, Not sent: 16 commands already wait for the board - 8023"));
        // Closing the port drops the waiting frames, each with its line; none is sent later.
        rig.window->console().comInterface.setPortOpen(false);
        QCOMPARE(rig.window->console().pendingFrames.count(), 0);
        QCOMPARE(rig.log().filter(QStringLiteral("the port was closed before the board answered")).size(), 16);
        rig.board->setAnswersDtr(true);
        QTest::qWait(200);
        QVERIFY(rig.frames.isEmpty());
    }

    void faultsAndNoticesFromTheBoard()
    {
        BoardRig rig;
        rig.board->sendReply("08 0C");
        QTRY_COMPARE_WITH_TIMEOUT(rig.lastLog(), QStringLiteral("Coin jam - Code (08 0C)"), 3000);
        rig.board->sendNotice("Service due");
        QTRY_COMPARE_WITH_TIMEOUT(rig.label("lblSpecialInstruction"), QStringLiteral("Service due"), 3000);
        rig.board->raiseLineEvent(1004);
        QTRY_COMPARE_WITH_TIMEOUT(rig.lastLog(), QStringLiteral("Framing Error"), 3000);
    }
};

QTEST_MAIN(EndToEndTest)
#include "tst_endtoend.moc"
