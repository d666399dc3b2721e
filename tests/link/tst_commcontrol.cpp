#include "link/commerrors.h"
#include "link/commevents.h"
#include "tests/support/consolerig.h"

#include <QSignalSpy>
#include <QTest>

using namespace kestrel;
using namespace kestrel::test;

class CommControlTest : public QObject
{
    Q_OBJECT
private slots:
    void portSelectionRules()
    {
        ConsoleRig rig(false);
        QVERIFY(!rig.com.PortOpen());
        rig.com.setPortOpen(false);                       // closing a closed port is no failure
        rig.com.setCommPort(3);
        rig.com.setPortOpen(true);
        QVERIFY(rig.com.PortOpen());
        QCOMPARE(rig.device(3).openCount(), 1);
        QCOMPARE(rig.device(1).openCount(), 0);
        try {
            rig.com.setCommPort(2);                       // only while closed
            QFAIL("CommPort changed while open");
        } catch (const core::Failure &f) {
            QCOMPARE(f.number(), 8005);
        }
        QVERIFY_THROWS_EXCEPTION(core::Failure, rig.com.setPortOpen(true));
        rig.com.setPortOpen(false);
        QVERIFY(!rig.device(3).isOpen());
        QVERIFY_THROWS_EXCEPTION(core::Failure, rig.com.setCommPort(0));
        rig.com.setCommPort(9);                           // a number without a device behind it
        try {
            rig.com.setPortOpen(true);
            QFAIL("opened a port without a device");
        } catch (const core::Failure &f) {
            QCOMPARE(f.number(), 8002);
        }
    }

    void closedPortAccessFails()
    {
        ConsoleRig rig(false);
        for (auto access : {+[](link::CommControl &c) { c.setOutput("x"); },
                            +[](link::CommControl &c) { c.Input(); },
                            +[](link::CommControl &c) { c.InBufferCount(); }}) {
            try {
                access(rig.com);
                QFAIL("access to a closed port succeeded");
            } catch (const core::Failure &f) {
                QCOMPARE(f.number(), 8018);
            }
        }
    }

    void dtrIsKeptWhileClosedAndAppliedOnOpen()
    {
        ConsoleRig rig(false);
        rig.com.setDTREnable(true);
        QVERIFY(rig.com.DTREnable());
        rig.com.setPortOpen(true);
        QVERIFY(rig.device(1).dtr());
        rig.com.setDTREnable(false);
        QVERIFY(!rig.device(1).dtr());
    }

    void inputIsLatin1TextWithNulsKept()
    {
        ConsoleRig rig;
        rig.device().arrive(QByteArray("08\0\xff", 4));
        QCOMPARE(rig.com.InBufferCount(), 4);
        QCOMPARE(rig.com.peekInput().size(), 4);
        const QString text = rig.com.Input();
        QCOMPARE(text, QString::fromLatin1(QByteArray("08\0\xff", 4)));
        QCOMPARE(rig.com.InBufferCount(), 0);
    }

    void eventsAreQueuedOneAtATimeAndNeverReentered()
    {
        ConsoleRig rig;
        QList<int> seen;
        int depth = 0;
        int maxDepth = 0;
        QObject::connect(&rig.com, &link::CommControl::OnComm, [&](int event) {
            ++depth;
            maxDepth = std::max(maxDepth, depth);
            seen << event;
            if (seen.size() == 1)
                rig.device().raiseEvent(link::commevent::Parity);   // happens while the handler runs
            --depth;
        });
        rig.device().raiseEvent(link::commevent::Framing);
        QVERIFY(seen.isEmpty());                               // nothing runs inside the device call
        deliverEvents();
        QCOMPARE(seen, QList<int>({link::commevent::Framing, link::commevent::Parity}));
        QCOMPARE(maxDepth, 1);
    }

    void receiveNotificationsCoalesceAndCloseDropsPending()
    {
        ConsoleRig rig;
        QSignalSpy spy(&rig.com, &link::CommControl::OnComm);
        rig.device().arrive("08 ");
        rig.device().arrive("50 06");
        deliverEvents();
        QCOMPARE(spy.count(), 1);
        rig.device().arrive("08 51 08");
        rig.device().changeCts();
        rig.com.setPortOpen(false);
        deliverEvents();
        QCOMPARE(spy.count(), 1);                              // events of a closed port are dropped
    }

    void lostDeviceClosesThePortAndIsReported()
    {
        ConsoleRig rig;
        QSignalSpy lost(&rig.com, &link::CommControl::deviceLost);
        rig.device().vanish(QStringLiteral("adapter pulled"));
        deliverEvents();
        QCOMPARE(lost.count(), 1);
        QCOMPARE(lost.at(0).at(0).toInt(), 8022);
        QVERIFY(lost.at(0).at(1).toString().contains(QStringLiteral("adapter pulled")));
        QVERIFY(!rig.com.PortOpen());
        rig.com.setPortOpen(true);                             // the operator can pick it again
        QVERIFY(rig.com.PortOpen());
    }
};

QTEST_GUILESS_MAIN(CommControlTest)
#include "tst_commcontrol.moc"
