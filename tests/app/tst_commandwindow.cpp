// File > "Send MDB Command...": the composer in the real window, over the virtual board at line
// speed and over a fake device, driven as a technician types: bad input told and nothing sent, the
// frame shown as it is typed, the command sent as a button sends, its reply decoded.

#include "session/commandline.h"
#include "app/commandwindow.h"
#include "app/mainwindow.h"
#include "sim/virtualboard.h"
#include "tests/app/windowrig.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace kestrel;
using namespace kestrel::test;
using mdb::Peripheral;

namespace {

struct ComposerRig : DeviceWindowRig
{
    explicit ComposerRig(const QString &device = QStringLiteral("virtual")) : DeviceWindowRig(device)
    {
        window->findChild<QAction *>(QStringLiteral("mnuFileSendCommand"))->trigger();
        composer = window->commandWindow();
        board = session::virtualBoards(ports).value(0);
        if (board)
            QObject::connect(board, &sim::VirtualBoard::frameReceived,
                             [this](const QByteArray &frame) { frames << mdb::hex(frame); });
    }
    void type(const QString &param, const QString &value)
    {
        QLineEdit *field = composer->field(param);
        QVERIFY2(field, qPrintable(param));
        field->clear();
        QTest::keyClicks(field, value);
    }
    void clickSend(const char *name = "cmdSendCommand")
    {
        QTest::mouseClick(composer->findChild<QPushButton *>(QLatin1String(name)), Qt::LeftButton);
    }
    // Sends and waits for the decoded reply to come.
    bool sendAndAwaitReply()
    {
        clickSend();
        return QTest::qWaitFor([&] { return !composer->replyText().isEmpty(); }, 5000);
    }

    app::CommandWindow *composer = nullptr;
    sim::VirtualBoard *board = nullptr;
    QStringList frames;
};

} // namespace

class CommandWindowTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }

    // Bad input: told in the window, the frame not made, nothing queued or logged.
    void badInputSendsNothing_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("param");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("message");
        QTest::newRow("out of range") << "DISPENSE" << "coin" << "16" << "Not sent: coin = 16 is out of range: 0 to 15.";
        QTest::newRow("not a number") << "DISPENSE" << "coin" << "two" << "Not sent: coin = two is no coin type: give its number (0 to 15) or one of Nickel, Dime, Quarter, Canadian Dollar, Canadian Two Dollar.";
        QTest::newRow("a parameter left empty") << "DISPENSE" << "count" << "3" << "Not sent: DISPENSE needs coin (the coin type paid out).";
        QTest::newRow("money before SETUP") << "PAYOUT" << "value" << "0.40"
            << "Not sent: value is money, and the coin changer's scaling is not known: its SETUP reply has not been read in this session (send SETUP first).";
    }
    void badInputSendsNothing()
    {
        QFETCH(QString, command);
        QFETCH(QString, param);
        QFETCH(QString, value);
        QFETCH(QString, message);
        ComposerRig rig;
        rig.click("Option1");
        QVERIFY(rig.console().comInterface.PortOpen());
        rig.composer->choose(Peripheral::Changer, command);
        rig.type(param, value);
        QVERIFY2(rig.composer->frameText().startsWith(QStringLiteral("Frame: (")), qPrintable(rig.composer->frameText()));
        const QStringList before = rig.log();
        rig.clickSend();
        QCOMPARE(rig.composer->message(), message);
        QCOMPARE(rig.log(), before);
        QCOMPARE(rig.console().pendingFrames.count(), 0);
    }

    void rawFrames_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("message");
        QTest::newRow("odd digit") << "0F 5" << "Not sent: An odd number of hex digits (3): each byte is two.";
        QTest::newRow("more than 36 bytes") << QString(74, QLatin1Char('0')).prepend(QStringLiteral("0F"))
                                            << "Not sent: 38 bytes: an MDB block holds at most 36.";
        QTest::newRow("no peripheral") << "40 01" << "Not sent: 40 01 addresses no peripheral of the console.";
    }
    void rawFrames()
    {
        QFETCH(QString, typed);
        QFETCH(QString, message);
        ComposerRig rig;
        rig.click("Option1");
        QLineEdit *raw = rig.composer->findChild<QLineEdit *>(QStringLiteral("txtRawFrame"));
        QTest::keyClicks(raw, typed);
        rig.clickSend("cmdSendRaw");
        QCOMPARE(rig.composer->message(), message);
        QCOMPARE(rig.console().pendingFrames.count(), 0);
    }

    void noPortNoSend()
    {
        ComposerRig rig;
        rig.composer->choose(Peripheral::Changer, QStringLiteral("TUBE STATUS"));
        rig.clickSend();
        QCOMPARE(rig.composer->message(), QStringLiteral("Not sent: no port is open (pick one on the Setup tab)."));
    }

    // SETUP read, then money in the changer's scaling: the frame shown as typed, sent on the
    // handshake with the command's name in the action log, the reply decoded.
    void aCommandGoesAsAButtonGoes()
    {
        ComposerRig rig;
        rig.click("Option1");
        rig.composer->choose(Peripheral::Changer, QStringLiteral("SETUP"));
        QVERIFY(rig.sendAndAwaitReply());
        QVERIFY2(rig.composer->replyText().contains(QStringLiteral("[1] feature level: 3")), qPrintable(rig.composer->replyText()));
        QVERIFY(rig.log().contains(QStringLiteral("SETUP")));

        rig.composer->choose(Peripheral::Changer, QStringLiteral("PAYOUT"));
        rig.type(QStringLiteral("value"), QStringLiteral("0.40"));
        QCOMPARE(rig.composer->frameText(), QStringLiteral("Frame: 0F 02 08"));
        rig.type(QStringLiteral("value"), QStringLiteral("0.42"));
        QCOMPARE(rig.composer->frameText(), QStringLiteral("Frame: (value = 0.42 is not a whole number of the coin changer's units of 0.05)"));
        rig.type(QStringLiteral("value"), QStringLiteral("0.40"));
        QVERIFY(rig.sendAndAwaitReply());
        QCOMPARE(rig.frames.last(), QStringLiteral("0F 02 08"));
        QVERIFY(rig.log().contains(QStringLiteral("PAYOUT")));
        QTRY_VERIFY_WITH_TIMEOUT(rig.log().contains(QStringLiteral("Dispensing Nickel - Code (08 90 06)")), 3000);
        QCOMPARE(rig.board->changer().tubeCount(2), 19);   // a quarter, a dime and a nickel

        rig.composer->choose(Peripheral::Changer, QStringLiteral("PAYOUT STATUS"));
        QVERIFY(rig.sendAndAwaitReply());
        QVERIFY2(rig.composer->replyText().contains(QStringLiteral("[3] paid out of coin type 2 (Quarter): 1 coins")),
                 qPrintable(rig.composer->replyText()));

        // A raw frame, and its reply decoded as the command it is.
        QLineEdit *raw = rig.composer->findChild<QLineEdit *>(QStringLiteral("txtRawFrame"));
        QTest::keyClicks(raw, QStringLiteral("0f05"));
        rig.clickSend("cmdSendRaw");
        QVERIFY(QTest::qWaitFor([&] { return rig.composer->replyText().contains(QStringLiteral("Changer OK")); }, 5000));
        QVERIFY(rig.log().contains(QStringLiteral("SEND DIAGNOSTIC STATUS")));
    }

    // A command the peripheral's reported level lacks is held back with a warning; a second press
    // sends it anyway.
    void aLevelTheChangerLacksWarnsFirst()
    {
        ComposerRig rig(QStringLiteral("fake1"));
        rig.click("Option1");
        FakeSerialDevice &fake = *static_cast<FakeSerialDevice *>(rig.ports.device(1));
        fake.arrive("08 02 00 01 05 02 00 07 01 02 05 00 14 28 00 00 00 00 00 00 00 00 00 00\r\n");   // level 2
        QVERIFY(QTest::qWaitFor([&] { return rig.console().history.known().changer.has_value(); }, 3000));
        rig.composer->choose(Peripheral::Changer, QStringLiteral("PAYOUT"));
        rig.type(QStringLiteral("value"), QStringLiteral("0.25"));
        rig.clickSend();
        QCOMPARE(rig.composer->message(), QStringLiteral("The coin changer reported feature level 2; PAYOUT is a level 3 "
                                                         "command. Press Send again to send it anyway."));
        QCOMPARE(rig.composer->findChild<QPushButton *>(QStringLiteral("cmdSendCommand"))->text(), QStringLiteral("Send Anyway"));
        QCOMPARE(rig.console().pendingFrames.count(), 0);
        rig.clickSend();
        QCOMPARE(rig.console().pendingFrames.count(), 1);
        QVERIFY(rig.log().contains(QStringLiteral("PAYOUT")));
    }
};

QTEST_MAIN(CommandWindowTest)
#include "tst_commandwindow.moc"
