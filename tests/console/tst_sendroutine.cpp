#include "console/sendroutine.h"
#include "tests/support/consolerig.h"

#include <QTest>

using namespace kestrel;
using namespace kestrel::test;

class SendRoutineTest : public QObject
{
    Q_OBJECT
private slots:
    void storesTheFrameBeforeRaisingDtrThenLogsAndSelects()
    {
        ConsoleRig rig;
        console::SendRoutine send(rig.pendingFrames, rig.com, rig.log);
        rig.log.appendQuietly("earlier");
        QByteArray frameWhenDtrRose;
        const QByteArray frame("\x37\x00", 2);
        rig.device().afterOp = [&](FakeSerialDevice::Op op) {
            if (op == FakeSerialDevice::Op::SetDtr && rig.device().dtr())
                frameWhenDtrRose = rig.pendingFrames.count() == 1 ? frame : QByteArray();
        };
        send.QueueCommandFrame(frame, "Identify", "Error identifying Bill Validator, ");
        QCOMPARE(frameWhenDtrRose, frame);
        QVERIFY(rig.device().dtr());
        QVERIFY(rig.device().writes().isEmpty());      // the button never writes to the port
        QCOMPARE(rig.logLines(), QStringList({"earlier", "Identify"}));
        QCOMPARE(rig.actionLog.selectedRow(), 1);

        rig.device().changeCts();
        deliverEvents();
        QCOMPARE(rig.device().written(), frame);         // the 0x00 byte survives
    }

    void dtrFailureLogsTheErrorLineFirstAndQueuesNothing()
    {
        ConsoleRig rig;
        console::SendRoutine send(rig.pendingFrames, rig.com, rig.log);
        rig.device().failOn(FakeSerialDevice::Op::SetDtr, core::Failure(8019, "  DTR stuck "), 1);
        send.QueueCommandFrame(QByteArray("\x0f\x02\x02", 3), "Dispense Dime",
                               "Error In Dispensing Dime, ");
        QCOMPARE(rig.logLines(),
                 QStringList({"Error In Dispensing Dime, DTR stuck - 8019", "Dispense Dime"}));
        QCOMPARE(rig.actionLog.selectedRow(), 1);
        QVERIFY(rig.pendingFrames.isEmpty());
        rig.device().changeCts();
        deliverEvents();
        QVERIFY(rig.device().writes().isEmpty());
    }

    void closedPortStillParksTheFrame()
    {
        // With no port open DTR is only remembered; the press still logs its line.
        ConsoleRig rig(false);
        console::SendRoutine send(rig.pendingFrames, rig.com, rig.log);
        send.QueueCommandFrame("\x08", "Coin Changer Reset", "Error reseting changer, ");
        QCOMPARE(rig.logLines(), QStringList{"Coin Changer Reset"});
        QVERIFY(rig.com.DTREnable());
    }

    void samePressTwiceLogsTwice()
    {
        ConsoleRig rig;
        console::SendRoutine send(rig.pendingFrames, rig.com, rig.log);
        send.QueueCommandFrame("\x0a", "Tube Status", "Error getting tube status, ");
        send.QueueCommandFrame("\x0a", "Tube Status", "Error getting tube status, ");
        QCOMPARE(rig.logLines(), QStringList({"Tube Status", "Tube Status"}));
        QCOMPARE(rig.pendingFrames.count(), 2);
    }
};

QTEST_GUILESS_MAIN(SendRoutineTest)
#include "tst_sendroutine.moc"
