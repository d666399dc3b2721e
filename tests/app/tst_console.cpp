#include "app/startup.h"
#include "tests/app/windowrig.h"

#include <QLabel>
#include "app/lineview.h"
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>

using namespace kestrel;
using namespace kestrel::test;

class ConsoleTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }

    void startsWithSplashThenMainWindowAndSplashAgain()
    {
        link::PortMap ports([](const QString &name) { return std::make_unique<FakeSerialDevice>(name); });
        app::Startup startup(ports);
        startup.begin();
        QCOMPARE(WindowRig::splashCount(), 1);
        QVERIFY(!startup.mainWindow());
        QTRY_VERIFY_WITH_TIMEOUT(startup.mainWindow(), 3000);   // the splash's timer ran out
        QCOMPARE(WindowRig::splashCount(), 1);                   // shown again by the load step
        QVERIFY(startup.mainWindow()->isVisible());
        QTRY_COMPARE_WITH_TIMEOUT(WindowRig::splashCount(), 0, 3000);
        QVERIFY(startup.mainWindow()->isVisible());
    }

    void stateAfterStart()
    {
        WindowRig rig;
        console::Console &c = rig.console();
        QCOMPARE(c.state.lstCoin.rows(), QStringList({"Nickel", "Dime", "Quarter", "Canadian Dollar",
                                                "Canadian Two Dollar"}));
        QCOMPARE(c.state.lstBillCount.rows(), QStringList(5, "0"));
        QCOMPARE(c.state.lstDebuggingValue.rows(), QStringList(3, " "));
        for (core::LineListModel *l : {&c.state.lstCoin, &c.state.lstCoinCount, &c.state.lstBill, &c.state.lstBillCount,
                                 &c.state.lstDebugging, &c.state.lstDebuggingValue})
            QCOMPARE(l->selectedRow(), 0);
        QCOMPARE(c.state.lstActionLog.count(), 0);
        QCOMPARE(c.state.List1.count(), 0);
        QCOMPARE(rig.control<QLabel>("lblTotalReceived")->text(),
                 QStringLiteral("Money Received so far: $0.00"));
        QCOMPARE(c.state.TotalReceived.cents(), 0);
        for (int i = 0; i < 6; ++i) {
            QCOMPARE(rig.window->Pictab(i)->isVisible(), i == 0);
            QCOMPARE(rig.window->Pictab(i)->isEnabled(), i == 0);
            QCOMPARE(rig.window->Pictab(i)->geometry(),
                     rig.window->TabStrip1()->clientArea().translated(rig.window->TabStrip1()->pos()));
        }
        QCOMPARE(rig.window->TabStrip1()->selectedTab(), 1);
        QVERIFY(!c.comInterface.PortOpen());
        QVERIFY(!c.comInterface.DTREnable());
        for (int port = 1; port <= 4; ++port)
            QCOMPARE(rig.device(port).openCount(), 0);
    }

    void tabSwitching()
    {
        WindowRig rig;
        app::TabStrip *tabs = rig.window->TabStrip1();
        tabs->selectTab(4);
        QCOMPARE(rig.window->CurrentFrame(), 3);
        QVERIFY(rig.window->Pictab(3)->isVisible());
        QVERIFY(rig.window->Pictab(3)->isEnabled());
        QVERIFY(!rig.window->Pictab(0)->isVisible());
        // A click on the tab already shown changes nothing.
        QTest::mouseClick(tabs->tabBar(), Qt::LeftButton, {},
                          tabs->tabBar()->tabRect(3).center());
        QCOMPARE(rig.window->CurrentFrame(), 3);
        QTest::mouseClick(tabs->tabBar(), Qt::LeftButton, {},
                          tabs->tabBar()->tabRect(5).center());
        QCOMPARE(rig.window->CurrentFrame(), 5);
        int visible = 0;
        for (int i = 0; i < 6; ++i)
            visible += rig.window->Pictab(i)->isVisible();
        QCOMPARE(visible, 1);
        QVERIFY(rig.log().isEmpty());
    }

    void clearButtonsAndUsbPanel()
    {
        WindowRig rig;
        console::Console &c = rig.console();
        c.state.lstCoinCount.setRow(1, "4");
        c.state.TotalReceived.add(40);
        c.state.lstActionLog.append("Received a Dime");
        rig.window->TabStrip1()->selectTab(4);
        rig.click("cmdClearCoinTotals");
        QCOMPARE(c.state.lstCoin.count(), 0);
        QCOMPARE(c.state.lstBill.count(), 5);
        rig.click("cmdClearAll");
        QCOMPARE(c.state.lstCoinCount.rows(), QStringList(5, "0"));
        QCOMPARE(c.state.TotalReceived.cents(), 0);
        QCOMPARE(c.state.lstActionLog.count(), 0);

        rig.window->TabStrip1()->selectTab(5);
        c.lstUSBResults.append("x");
        rig.click("ConnectHID");
        QCOMPARE(c.lstUSBResults.count(), 1);
        rig.click("clearUSBResults");
        QCOMPARE(c.lstUSBResults.count(), 0);
    }

    void listClickAlignsItsPartner()
    {
        WindowRig rig;
        rig.window->TabStrip1()->selectTab(2);
        auto *view = rig.control<app::LineView>("lstBillCount");
        QTest::mouseClick(view, Qt::LeftButton, {}, view->rowRect(3).center());
        QCOMPARE(rig.console().state.lstBill.selectedRow(), 3);
        QCOMPARE(rig.console().state.lstBillCount.selectedRow(), 3);
        // Keys move the selection too, and the partner follows.
        QTest::keyClick(view, Qt::Key_Up);
        QCOMPARE(rig.console().state.lstBill.selectedRow(), 2);
        QTest::keyClick(view, Qt::Key_End);
        QCOMPARE(rig.console().state.lstBill.selectedRow(), 4);
        // A click below the last row selects nothing.
        QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(5, view->height() - 3));
        QCOMPARE(rig.console().state.lstBill.selectedRow(), 4);
    }

    void pickingPorts()
    {
        WindowRig rig;
        rig.device(3).failOn(FakeSerialDevice::Op::Open,
                             core::Failure(8002, "Invalid Port Number: no serial device fake3 "));
        rig.click("Option2");
        QVERIFY(rig.device(2).isOpen());
        rig.click("Option1");
        QVERIFY(!rig.device(2).isOpen());
        QVERIFY(rig.device(1).isOpen());
        QVERIFY(rig.log().isEmpty());

        rig.click("Option3");
        QVERIFY(!rig.device(1).isOpen());
        QVERIFY(!rig.console().comInterface.PortOpen());
        QCOMPARE(rig.log(), QStringList{
            "Error opening comm 3, Invalid Port Number: no serial device fake3 - 8002"});
        QCOMPARE(rig.console().state.lstActionLog.selectedRow(), 0);
        QVERIFY(!rig.control("Option3")->isEnabled());

        // "802.11b" only moves the mark; the open port stays open.
        rig.click("Option4");
        rig.click("Option6");
        QVERIFY(rig.device(4).isOpen());
        QVERIFY(rig.control<QRadioButton>("Option6")->isChecked());
        QCOMPARE(rig.log().size(), 1);
        QVERIFY(!rig.control("Option5")->isEnabled());
    }

    void exitCommands_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("failingOp");
        QTest::addColumn<bool>("windowOpen");
        QTest::addColumn<bool>("portOpen");
        QTest::addColumn<int>("ended");
        QTest::addColumn<int>("selected");   // the log's selected row afterwards
        using Op = FakeSerialDevice::Op;
        QTest::newRow("setup, close fails: stops") << "cmdExitSetup" << int(Op::Close) << true << true << 0 << -1;
        QTest::newRow("usb, close fails: stops") << "cmdExitUSB" << int(Op::Close) << true << true << 0 << -1;
        QTest::newRow("bill, read fails: goes on") << "cmdExitBillVal" << int(Op::IsOpen) << false << false << 0 << 0;
        QTest::newRow("cashless, close fails: goes on") << "cmdExitCashless" << int(Op::Close) << false << true << 0 << 0;
        QTest::newRow("changer, close fails: ends") << "cmdExitChanger" << int(Op::Close) << true << true << 1 << -1;
        QTest::newRow("other, read fails: ends") << "cmdExitother" << int(Op::IsOpen) << true << true << 1 << -1;
    }
    void exitCommands()
    {
        QFETCH(QString, command);
        QFETCH(int, failingOp);
        QFETCH(bool, windowOpen);
        QFETCH(bool, portOpen);
        QFETCH(int, ended);
        QFETCH(int, selected);
        WindowRig rig;
        rig.click("Option2");
        rig.device(2).failOn(FakeSerialDevice::Op(failingOp), core::Failure(8020, "stuck"));
        rig.click(command.toLatin1());
        QCOMPARE(rig.log(), QStringList{"Error In Exit Command Click Routine, stuck - 8020"});
        QCOMPARE(rig.console().state.lstActionLog.selectedRow(), selected);
        QCOMPARE(rig.window->isVisible(), windowOpen);
        rig.device(2).clearFailures();
        QCOMPARE(rig.device(2).isOpen(), portOpen);
        QCOMPARE(rig.programEnded, ended);
    }

    void everyExitClosesThePortThenTheWindow()
    {
        for (const char *command : {"cmdExitSetup", "cmdExitBillVal", "cmdExitCashless",
                                    "cmdExitChanger", "cmdExitUSB", "cmdExitother"}) {
            WindowRig rig;
            rig.click("Option2");
            rig.click(command);
            QVERIFY2(!rig.device(2).isOpen(), command);
            QVERIFY2(!rig.window->isVisible(), command);
            QVERIFY(rig.log().isEmpty());
        }
        WindowRig rig;
        rig.click("Option2");
        rig.device(2).failOn(FakeSerialDevice::Op::Close, core::Failure(8020, "stuck"));
        rig.window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(rig.window.get()));
        QTest::keyClick(rig.window.get(), Qt::Key_X, Qt::ControlModifier);
        QVERIFY(!rig.window->isVisible());                // File > Exit closes whatever happens
    }

    void titleBarCloseReleasesThePort()
    {
        WindowRig rig;
        rig.click("Option1");
        app::frmKestrel *window = rig.window.release();
        QPointer<app::frmKestrel> watch(window);
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!watch);
        QVERIFY(!rig.device(1).isOpen());
    }
};

QTEST_MAIN(ConsoleTest)
#include "tst_console.moc"
