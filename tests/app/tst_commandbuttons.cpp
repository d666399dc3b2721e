#include "commands/commandtables.h"
#include "tests/app/windowrig.h"

#include <QPushButton>

using namespace kestrel;
using namespace kestrel::test;

namespace {
// Every command button with the frame it sends, its log line and its error message.
struct Expected
{
    const char *control, *frame, *logLine, *errorMessage;
};
const Expected kButtons[] = {
    {"cmdResetChanger", "08", "Coin Changer Reset", "Error reseting changer, "},
    {"Setup", "09", "Return Set-up Information", "Error during coin changer setup, "},
    {"cmdTubeStatus", "0A", "Tube Status", "Error getting tube status, "},
    {"enable_all_coin_types", "0C FF FF FF FF", "Enable all Coins", "Error In Enabling All Coins, "},
    {"disable_all_coin_types", "0C 00 00 00 00", "Disable all Coins", "Error In Disabling All Coins, "},
    {"ID", "0F 00", "Identify", "Error identifing changer, "},
    {"Payout", "0F 02", "Payout Test", "Error running payout test, "},
    {"cmdDispenseNickel", "0F 02 01", "Dispense Nickel", "Error In Dispensing Nickel, "},
    {"cmdDispenseDime", "0F 02 02", "Dispense Dime", "Error In Dispensing Dime, "},
    {"cmdDispenseQuarter", "0F 02 05", "Dispense Quarter", "Error In Dispensing Quarter, "},
    {"Command5", "0C FF FF FF FF", "Enable all Coins", "Error In Enabling All Coins, "},
    {"cmdResetVal", "30", "Bill Validator Reset", "Error reseting Bill Validator, "},
    {"BV_setup", "31", "Return Set-up information", "Error during Bill Validator Setup, "},
    {"Command1", "34 00 1F 00 00", "Enable bills", "Error enabling bills, "},
    {"Command4", "34 00 02 00 00", "Disable bills", "Error disabling bills, "},
    {"cmdBillReturn", "35 00", "Bill Returned from Escrow", "Error returning bill in escrow, "},
    {"Stack_bill", "35 01", "Stack Bill", "Error stacking bill, "},
    {"cmdStacker", "36", "Stacker capacity level", "Error checking if stacker is full, "},
    {"BV_id", "37 00", "Identify", "Error identifying Bill Validator, "},
    {"cmdResetCashless", "10", "Cashless device reset", "Error reseting cashless device, "},
    {"EnableCashless", "14 01", "Reader Enabled", "Error enabling cashless device, "},
    {"DisableCashless", "14 00", "Reader Disabled", "Error disabling cashless device, "},
    {"cmdReadercancel", "14 02", "Cashless device canceled", "Error canceling reader, "},
    {"cmdVendRequest", "13 00", "Vend requested", "Error during vend request, "},
    {"cmdRevalReq", "15 00", "Request Revalue", "Error requesting revalue, "},
    {"cmdRequestID", "17 00", "Request ID", "Error requesting Cashless Device's ID, "},
    {"Command2", "11 00 01 0F 02 01", "Send Set-up", "Error sending test frame, "},
    {"Command9", "17 00", "17 00", "Error sending test frame, "},
    {"Command10", "03", "Begin Session", "Error sending test frame, "},
    {"Command11", "05 00 01", "Vend Approved", "Error sending test frame, "},
    {"Command12", "13 02", "Vend Success", "Error sending test frame, "},
    {"Command13", "13 04", "Session Complete", "Error sending test frame, "},
    {"Command8", "07", "End session", "Error ending session, "},
    {"Command14", "02 01 41 41 41 41 41 41 41 41 41 41", "write to lcd", "Error sending test frame, "},
};

QByteArray bytes(const char *hex) { return QByteArray::fromHex(QByteArray(hex).replace(' ', "")); }
} // namespace

namespace {
// The board answers every handshake the console asks for, one CTS change each.
void answerEveryHandshake(WindowRig &rig)
{
    for (int i = 0; i < 20 && rig.device(1).dtr(); ++i) {
        rig.device(1).changeCts();
        deliverEvents();
    }
}
} // namespace

class CommandButtonsTest : public QObject
{
    Q_OBJECT
private slots:
    void everyButton_data()
    {
        QTest::addColumn<int>("index");
        for (int i = 0; i < int(std::size(kButtons)); ++i)
            QTest::newRow(kButtons[i].control) << i;
    }
    void everyButton()
    {
        QFETCH(int, index);
        const Expected &e = kButtons[index];
        WindowRig rig;
        rig.click("Option1");
        rig.device(1).forgetWrites();
        rig.click(e.control);
        QCOMPARE(rig.console().pendingFrames.count(), 1);
        QVERIFY(rig.device(1).dtr());
        QCOMPARE(rig.log(), QStringList{e.logLine});
        QCOMPARE(rig.console().state.lstActionLog.selectedRow(), 0);
        QVERIFY(rig.device(1).writes().isEmpty());
        rig.device(1).changeCts();
        deliverEvents();
        QCOMPARE(rig.device(1).written(), bytes(e.frame));
        QCOMPARE(rig.console().pendingFrames.lastSent(), bytes(e.frame));
        QVERIFY(!rig.device(1).dtr());

        // Raising DTR fails: the error line comes first, then the button's own line.
        rig.device(1).failOn(FakeSerialDevice::Op::SetDtr, core::Failure(8019, " DTR line stuck "), 1);
        rig.click(e.control);
        QCOMPARE(rig.log().mid(1), QStringList({QString::fromLatin1(e.errorMessage) + "DTR line stuck - 8019",
                                                 QString::fromLatin1(e.logLine)}));
        QCOMPARE(rig.console().state.lstActionLog.selectedRow(), 2);
        QVERIFY(rig.window->isVisible());
    }

    // Test plans name buttons by the captions in the command tables: they are the window's.
    void captionsAgreeWithTheWindow()
    {
        WindowRig rig;
        for (const core::Table<commands::CommandRow> *table : {&commands::kCoinChanger, &commands::kBillValidator, &commands::kCashless})
            for (const commands::CommandRow &row : *table) {
                auto *button = rig.window->control<QPushButton>(QString::fromLatin1(row.control));
                QVERIFY2(button, row.control);
                QCOMPARE(button->text(), QString::fromLatin1(row.caption));
            }
    }

    void enableThenDisableBeforeTheBoardAnswersSendsBothInOrder()
    {
        WindowRig rig;
        rig.click("Option1");
        rig.click("enable_all_coin_types");
        rig.click("disable_all_coin_types");
        answerEveryHandshake(rig);
        QCOMPARE(rig.device(1).writes(),
                 QList<QByteArray>({bytes("0C FF FF FF FF"), bytes("0C 00 00 00 00")}));
        QCOMPARE(rig.log(), QStringList({"Enable all Coins", "Disable all Coins"}));
    }

    void escrowToggleDoublePressAndEnableBills()
    {
        WindowRig rig;
        rig.click("Option1");
        auto *toggle = rig.control<QPushButton>("cmdDTRtoggle");
        rig.click("cmdDTRtoggle");
        QCOMPARE(toggle->text(), QStringLiteral("Disable Escrow"));
        rig.click("cmdDTRtoggle");
        QCOMPARE(toggle->text(), QStringLiteral("Enable Escrow"));
        answerEveryHandshake(rig);
        QCOMPARE(rig.device(1).writes(),
                 QList<QByteArray>({bytes("34 00 1F 00 01"), bytes("34 00 1F 00 00")}));
        QCOMPARE(rig.log(), QStringList({"Escrow Enabled", "Escrow Disabled"}));

        // After turning escrow on, "Enable bills" sends an escrow mask of 0; the toggle keeps its
        // caption, and its next press sends the same bytes "Enable bills" sent.
        rig.click("cmdDTRtoggle");
        rig.click("Command1");
        QCOMPARE(toggle->text(), QStringLiteral("Disable Escrow"));
        rig.click("cmdDTRtoggle");
        QCOMPARE(toggle->text(), QStringLiteral("Enable Escrow"));
        rig.device(1).forgetWrites();
        answerEveryHandshake(rig);
        const QList<QByteArray> sent = rig.device(1).writes();
        QCOMPARE(sent.size(), 3);
        QCOMPARE(sent[2], sent[1]);   // the toggle sent what "Enable bills" sent
    }
};

QTEST_MAIN(CommandButtonsTest)
#include "tst_commandbuttons.moc"
