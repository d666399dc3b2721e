#include "session/commandline.h"
#include "app/planwindow.h"
#include "tests/app/windowrig.h"
#include "tests/support/eventwait.h"
#include "tests/support/netboard.h"

#include <QElapsedTimer>
#include <QPushButton>
#include <QRadioButton>
#include <QTcpServer>
#include <QTest>

using namespace kestrel;
using namespace kestrel::test;
using namespace std::chrono_literals;

namespace {

} // namespace

class NetPortsTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }

    void dispenseDimeOverRfc2217()
    {
        NetBoard board;
        DeviceWindowRig rig(board.url());
        rig.click("Option1");
        QVERIFY(rig.window->console().comInterface.PortOpen());
        // The settings come one after the other, DTR among them: the board's thread may still be
        // reading the last ones when the first has arrived.
        QVERIFY(runUntil([&] {
            const NetBoard::Seen seen = board.seen();
            return seen.baud == 9600 && seen.dataSize == 8 && seen.parity == 1 && seen.stopSize == 1
                   && !seen.dtr.isEmpty();
        }));
        runFor(50);   // nothing more than one DTR setting follows
        const NetBoard::Seen setup = board.seen();
        QCOMPARE(setup.dataSize, 8);
        QCOMPARE(setup.parity, 1);      // none
        QCOMPARE(setup.stopSize, 1);
        QCOMPARE(setup.dtr, QList<bool>{false});

        rig.click("cmdDispenseDime");
        // DTR rises at the server; its CTS change brings exactly the frame; DTR falls.
        QVERIFY(runUntil([&] { return board.seen().received.size() >= 3 && board.seen().dtr.size() >= 3; }));
        runFor(100);
        const NetBoard::Seen after = board.seen();
        QCOMPARE(after.dtr, QList<bool>({false, true, false}));
        QCOMPARE(after.received, QByteArray("\x0f\x02\x02", 3));
        QCOMPARE(after.ctsNotices.size(), 1);

        board.send("08 91 08\r\n", 3ms);
        QVERIFY(runUntil([&] { return rig.log().size() >= 2; }));
        QCOMPARE(rig.log(), QStringList({"Dispense Dime", "Dispensing Dime - Code (08 91 08)"}));
        QCOMPARE(rig.window->console().state.List1.rows(), QStringList{"08 91 08\r\n"});   // read whole
    }

    void twoCtsChangesForOneRaiseSendOneFrame()
    {
        NetBoard board;
        board.setCtsChangesPerRaise(2);
        DeviceWindowRig rig(board.url());
        rig.click("Option1");
        rig.click("cmdDispenseQuarter");
        QVERIFY(runUntil([&] { return board.seen().ctsNotices.size() == 2; }));
        runFor(150);
        QCOMPARE(board.seen().received, QByteArray("\x0f\x02\x05", 3));
    }

    void lineErrorsShowTheirLines()
    {
        NetBoard board;
        DeviceWindowRig rig(board.url());
        rig.click("Option1");
        QVERIFY(runUntil([&] { return board.seen().baud == 9600; }));
        board.notifyLineState(0x08);            // framing
        board.notifyLineState(0x04);            // parity
        board.notifyLineState(0x02);            // overrun
        board.notifyLineState(0x10);            // break: no line
        QVERIFY(runUntil([&] { return rig.log().size() >= 3; }));
        runFor(100);
        QCOMPARE(rig.log(), QStringList({"Framing Error", "Parity Error", "Comm overrun, Data Lost"}));
    }

    void serverClosingIsOneLostDevice()
    {
        NetBoard board;
        DeviceWindowRig rig(board.url());
        rig.click("Option1");
        QVERIFY(runUntil([&] { return board.seen().connected; }));
        board.dropConnection();
        QVERIFY(runUntil([&] { return !rig.log().isEmpty(); }));
        runFor(300);
        QCOMPARE(rig.log().size(), 1);
        QCOMPARE(rig.log().first(), QStringLiteral("Communications Error, Comm device lost: %1: the server "
                                                   "closed the connection - 8022").arg(board.url()));
        QVERIFY(!rig.window->console().comInterface.PortOpen());
        // The server is back: the operator picks the port again.
        rig.click("Option1");
        QVERIFY(rig.window->console().comInterface.PortOpen());
    }

    // A test plan running in the window when the board's server goes away: the plan window ends
    // the run at once, the step under way failed with the loss, the rest not run.
    void aLostBoardEndsThePlanInTheWindow()
    {
        NetBoard board;
        DeviceWindowRig rig(board.url());
        rig.click("Option1");
        QVERIFY(rig.console().comInterface.PortOpen());
        const QString path = rig.dir.filePath(QStringLiteral("lost.plan"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("expect \"08 50 06\" within 30s\nexpect \"08 51 08\" within 30s\ncheck total = 0.15\n");
        file.close();
        app::PlanWindow window(rig.console(), {});
        QVERIFY(window.load(path));
        window.run();
        board.send("08 50 06\r\n");
        const auto &results = window.runner()->results();
        QVERIFY(runUntil([&] { return results[0].state == plans::PlanRunner::State::Passed; }));
        board.dropConnection();
        QElapsedTimer ended;
        ended.start();
        QVERIFY(runUntil([&] { return !window.runner()->isRunning(); }, 30000));
        QVERIFY(ended.elapsed() < 2000);
        QCOMPARE(results[1].state, plans::PlanRunner::State::Failed);
        QCOMPARE(results[1].detail, QStringLiteral("the port was lost: Comm device lost: %1: the server closed the connection").arg(board.url()));
        QCOMPARE(results[2].state, plans::PlanRunner::State::NotRun);
        QCOMPARE(window.message(), QStringLiteral("Failed: see the steps in red."));
    }

    void rawTcpRepliesAreRecognised()
    {
        NetBoard board(NetBoard::Protocol::Raw);
        DeviceWindowRig rig(board.url());
        rig.click("Option1");
        QVERIFY(runUntil([&] { return board.seen().connected; }));
        board.send("08 50 06\r\n");
        board.send("30 82 09\r\n", 20ms);
        QVERIFY(runUntil([&] { return rig.log().size() >= 2; }));
        QCOMPARE(rig.log(), QStringList({"Received a Nickel", "Received a Five Dollar Bill - ($5)"}));
        // No modem lines: a command button's frame waits for a CTS change that never comes.
        rig.click("cmdDispenseDime");
        runFor(200);
        QVERIFY(board.seen().received.isEmpty());
        QVERIFY(board.seen().dtr.isEmpty());
    }

    void pressesTenMsApartAllGoOutInOrder()
    {
        NetBoard board;
        DeviceWindowRig rig(board.url());
        rig.click("Option1");
        QVERIFY(runUntil([&] { return board.seen().baud == 9600 && !board.seen().dtr.isEmpty(); }));
        const char *buttons[] = {"cmdDispenseNickel", "cmdDispenseDime", "cmdDispenseQuarter"};
        QByteArray expected;
        for (int i = 0; i < 20; ++i) {
            rig.click(buttons[i % 3]);
            expected += QByteArray("\x0f\x02", 2) + char("\x01\x02\x05"[i % 3]);
            runFor(10);
        }
        QVERIFY(runUntil([&] { return board.seen().received.size() >= expected.size(); }, 5000));
        runFor(200);
        QCOMPARE(board.seen().received, expected);       // every frame, once, in order
        QCOMPARE(board.seen().ctsNotices.size(), 20);    // one handshake each
        QCOMPARE(rig.log().size(), 20);
    }

    void aBoardThatStopsAnsweringGetsNothingLate()
    {
        NetBoard board;
        DeviceWindowRig rig(board.url());
        rig.click("Option1");
        QVERIFY(runUntil([&] { return board.seen().baud == 9600 && !board.seen().dtr.isEmpty(); }));
        board.setCtsChangesPerRaise(0);
        rig.click("cmdDispenseDime");
        rig.click("cmdDispenseQuarter");
        // Within the bound each waiting frame gets its button's error line; nothing went out.
        QVERIFY(runUntil([&] { return rig.log().size() >= 4; }, 1500));
        QCOMPARE(rig.log(), QStringList({"Dispense Dime", "Dispense Quarter",
            "Error In Dispensing Dime, Not sent: the board did not answer DTR within 1000 ms - 8024",
            "Error In Dispensing Quarter, Not sent: the board did not answer DTR within 1000 ms - 8024"}));
        // The board answers again: it finds no old request standing, and nothing is sent.
        board.setCtsChangesPerRaise(1);
        runFor(300);
        QVERIFY(board.seen().received.isEmpty());
        QCOMPARE(board.seen().dtr.last(), false);
        // The next press goes out as usual.
        rig.click("cmdDispenseNickel");
        QVERIFY(runUntil([&] { return board.seen().received.size() >= 3; }));
        runFor(100);
        QCOMPARE(board.seen().received, QByteArray("\x0f\x02\x01", 3));
    }

    void aServerThatNeverAnswersTheNegotiationGreysItsOption()
    {
        NetBoard board;
        board.setSilent(true);
        DeviceWindowRig rig(board.url());
        QElapsedTimer took;
        took.start();
        rig.click("Option1");
        QVERIFY2(took.elapsed() < 3500, qPrintable(QString::number(took.elapsed())));
        QCOMPARE(rig.log(), QStringList{QStringLiteral(
            "Error opening comm 1, The hardware is not available: %1: no answer to the COM Port "
            "Control option (RFC 2217) within 3 s - 8010").arg(board.url())});
        QVERIFY(!rig.window->control("Option1")->isEnabled());
        QVERIFY(!rig.window->console().comInterface.PortOpen());
    }

    void aClosedPortGreysItsOption()
    {
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
        const quint16 port = closed.serverPort();
        closed.close();
        const QString url = QStringLiteral("rfc2217://127.0.0.1:%1").arg(port);
        DeviceWindowRig rig(url);
        rig.click("Option1");
        QCOMPARE(rig.log().size(), 1);
        QVERIFY2(rig.log().first().startsWith(
                     QStringLiteral("Error opening comm 1, The hardware is not available: %1: ").arg(url)),
                 qPrintable(rig.log().first()));
        QVERIFY(rig.log().first().endsWith(QStringLiteral(" - 8010")));
        QVERIFY(!rig.window->control("Option1")->isEnabled());
        QVERIFY(!rig.window->console().comInterface.PortOpen());
    }
};

QTEST_MAIN(NetPortsTest)
#include "tst_netports.moc"
