#include "link/commevents.h"
#include "tests/support/consolerig.h"

#include <QTest>

using namespace kestrel;
using namespace kestrel::test;

namespace {
// Queues a frame the way a command button does: queue it, raise DTR.
void park(ConsoleRig &rig, const QByteArray &frame)
{
    rig.pendingFrames.push(frame, QStringLiteral("Error In Dispensing Dime, "));
    rig.com.setDTREnable(true);
}
} // namespace

class CommEventHandlerTest : public QObject
{
    Q_OBJECT
private slots:
    void eventCodes_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("line");   // empty: the log stays as it was
        QTest::newRow("break") << 1001 << "";
        QTest::newRow("CTS timeout") << 1002 << "CTS Timeout";
        QTest::newRow("DSR timeout") << 1003 << "DSR Timeout";
        QTest::newRow("framing") << 1004 << "Framing Error";
        QTest::newRow("overrun") << 1006 << "Comm overrun, Data Lost";
        QTest::newRow("receive overflow") << 1008 << "Receive Buffer overflow";
        QTest::newRow("parity") << 1009 << "Parity Error";
        QTest::newRow("transmit full") << 1010 << "";
        QTest::newRow("CD change") << 5 << "";
        QTest::newRow("DSR change") << 4 << "";
        QTest::newRow("ring") << 6 << "";
        QTest::newRow("end of file") << 7 << "";
        QTest::newRow("CD timeout") << 1007 << "";
        QTest::newRow("control block") << 1011 << "";
        QTest::newRow("unknown") << 4242 << "";
    }
    void eventCodes()
    {
        QFETCH(int, code);
        QFETCH(QString, line);
        ConsoleRig rig;
        rig.log.AppendLogLine("before");
        rig.device().raiseEvent(code);
        deliverEvents();
        QStringList expected{"before"};
        if (!line.isEmpty())
            expected << line;
        QCOMPARE(rig.logLines(), expected);
        QCOMPARE(rig.actionLog.selectedRow(), 0);      // error lines do not move the selection
        QVERIFY(rig.device().writes().isEmpty());
    }

    void ctsWritesThePendingFrameThenDropsDtr()
    {
        ConsoleRig rig;
        const QByteArray frame("\x0f\x02\x02", 3);
        park(rig, frame);
        rig.device().changeCts();
        deliverEvents();
        QCOMPARE(rig.device().writes(), QList<QByteArray>{frame});
        QCOMPARE(rig.device().dtrChanges().mid(1), QList<bool>({true, false}));
        QVERIFY(!rig.com.DTREnable());
        QVERIFY(rig.logLines().isEmpty());
    }

    void dtrFallsOnlyOnceTheFrameIsOut()
    {
        ConsoleRig rig;
        QList<FakeSerialDevice::Op> order;
        rig.device().afterOp = [&](FakeSerialDevice::Op op) {
            if (op == FakeSerialDevice::Op::Write || op == FakeSerialDevice::Op::Drain
                || op == FakeSerialDevice::Op::SetDtr)
                order << op;
        };
        park(rig, QByteArray("\x02\x01" "AAAAAAAAAA"));
        rig.device().changeCts();
        deliverEvents();
        using Op = FakeSerialDevice::Op;
        QCOMPARE(order, QList<Op>({Op::SetDtr, Op::Write, Op::Drain, Op::SetDtr}));
        QVERIFY(!rig.device().dtr());
    }

    void ctsWhileIdleWritesNothing()
    {
        // One frame per handshake: the board changing CTS back, a second change for the same
        // raise, or a change before any button was pressed writes nothing.
        ConsoleRig rig;
        rig.device().changeCts();
        deliverEvents();
        QVERIFY(rig.device().writes().isEmpty());
        QVERIFY(!rig.device().dtr());

        park(rig, QByteArray("\x0f\x02\x05", 3));
        rig.device().changeCts();
        rig.device().changeCts();
        deliverEvents();
        QCOMPARE(rig.device().writes().size(), 1);
    }

    void sendEventDropsDtrWithoutWriting()
    {
        ConsoleRig rig;
        park(rig, "\x08");
        rig.device().raiseEvent(link::commevent::Send);
        deliverEvents();
        QVERIFY(!rig.device().dtr());
        rig.device().changeCts();
        deliverEvents();
        QVERIFY(rig.device().writes().isEmpty());
    }

    void framesQueuedBeforeTheBoardAnswersGoOutInOrderOnePerHandshake()
    {
        ConsoleRig rig;
        const QByteArray enable("\x0c\xff\xff\xff\xff", 5), disable("\x0c\x00\x00\x00\x00", 5);
        park(rig, enable);
        park(rig, disable);
        rig.device().changeCts();
        deliverEvents();
        QCOMPARE(rig.device().writes(), QList<QByteArray>{enable});
        // DTR fell after the first frame and rose again for the second (each press raised it).
        QVERIFY(rig.device().dtr());
        QCOMPARE(rig.device().dtrChanges().mid(1), QList<bool>({true, true, false, true}));
        rig.device().changeCts();
        deliverEvents();
        QCOMPARE(rig.device().writes(), QList<QByteArray>({enable, disable}));
        QVERIFY(!rig.device().dtr());
        QCOMPARE(rig.pendingFrames.lastSent(), disable);
        rig.device().changeCts();   // a stray change: nothing is left to send
        deliverEvents();
        QCOMPARE(rig.device().writes().size(), 2);
    }

    void failingStatementsAddCommunicationsErrorLinesAndTheNextRuns()
    {
        ConsoleRig rig;
        park(rig, "\x0a");
        rig.device().failOn(FakeSerialDevice::Op::Write, core::Failure(8021, " Write failed "), 1);
        rig.device().changeCts();
        deliverEvents();
        QCOMPARE(rig.logLines(), QStringList{"Communications Error, Write failed - 8021"});
        QVERIFY(!rig.device().dtr());                   // the drop still ran
        QCOMPARE(rig.actionLog.selectedRow(), -1);

        park(rig, "\x0a");
        rig.device().failOn(FakeSerialDevice::Op::SetDtr, core::Failure(8019, "no DTR"), 1);
        rig.device().changeCts();
        deliverEvents();
        QCOMPARE(rig.device().writes().size(), 1);
        QCOMPARE(rig.logLines().last(), QStringLiteral("Communications Error, no DTR - 8019"));
    }

    void eventDuringTheHandlerWaitsUntilItReturns()
    {
        ConsoleRig rig;
        park(rig, "\x30");
        rig.device().failOn(FakeSerialDevice::Op::SetDtr, core::Failure(8019, "no DTR"), 1);
        rig.device().afterOp = [&](FakeSerialDevice::Op op) {
            if (op == FakeSerialDevice::Op::Write)
                rig.device().raiseEvent(link::commevent::Framing);
        };
        rig.device().changeCts();
        deliverEvents();
        QCOMPARE(rig.logLines(),
                 QStringList({"Communications Error, no DTR - 8019", "Framing Error"}));
    }
};

QTEST_GUILESS_MAIN(CommEventHandlerTest)
#include "tst_commeventhandler.moc"
