#include "decode/replydetails.h"

#include <QTest>

using namespace kestrel;
using namespace kestrel::decode::details;

namespace {

QString ascii(const char *text)
{
    return QString::fromLatin1(QByteArray(text).toHex(' ').toUpper());
}

QString zeros(int n)
{
    QStringList z;
    for (int i = 0; i < n; ++i)
        z << QStringLiteral("00");
    return z.join(QLatin1Char(' '));
}

Context pending(const char *hexFrame)
{
    Context c;
    c.pendingFrame = QByteArray::fromHex(hexFrame);
    return c;
}

} // namespace

// Reference replies written out by hand, byte by byte as the MDB standard lays them out, with the
// fields the decoder must find in them.
class ReplyDetailsTest : public QObject
{
    Q_OBJECT
private slots:
    void references_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("frame");        // the pending frame, hex
        QTest::addColumn<bool>("exact");           // the lines are all there is
        QTest::addColumn<QStringList>("lines");

        QTest::newRow("coin type 0 to its tube, six in it") << "08 50 06" << "" << true << QStringList{
            "Text: 08 50 06", "Bytes: 0:08 1:50 2:06", "Device: coin changer (08)", "Reply: POLL",
            "  because: The address byte 08.",
            "  because: Changer activity: coins in and out, and status codes.",
            "[0] address: coin changer (08)",
            "[1-2] coin deposited: coin type 0 (Nickel) to the tubes; coins now in the tube: 6"};

        QTest::newRow("two events in one poll") << "08 52 0B 03" << "" << false << QStringList{
            "[1-2] coin deposited: coin type 2 (Quarter) to the tubes; coins now in the tube: 11",
            "[3] status: 03: no credit"};

        QTest::newRow("coins paid by hand, a slug, a reset") << "08 91 08 21 0B" << "" << false << QStringList{
            "[1-2] coins dispensed by hand: 1 coin(s) of coin type 1 (Dime); coins now in the tube: 8",
            "[3] slug: 1 slug(s)", "[4] status: 0B: changer was reset"};

        QTest::newRow("coin returned to the customer") << "08 70 06" << "" << false << QStringList{
            "[1-2] coin deposited: coin type 0 (Nickel) to the returned (rejected); coins now in the tube: 6"};

        QTest::newRow("payout busy, told by the pending frame") << "02" << "0F 02" << false << QStringList{
            "Device: coin changer (08)",
            "  because: No address byte; the pending frame 0F 02 went to that device.",
            "[0] status: 02: changer payout busy"};

        QTest::newRow("tube status with a faulty sensor")
            << "08 00 03 14 00 05 " + zeros(13) << "0A" << false << QStringList{
            "Reply: TUBE STATUS", "  because: The pending frame 0A asked for TUBE STATUS.",
            "[1-2] tubes full: coin types 0, 1",
            "[3] tube of coin type 0 (Nickel): 20 coins",
            "[4] tube of coin type 1 (Dime): 0 coins: flagged full with none in it, a faulty tube sensor",
            "[5] tube of coin type 2 (Quarter): 5 coins",
            "[18] tube of coin type 15: 0 coins"};

        QTest::newRow("changer setup in US dollars, telephone code 0001")
            << "08 03 00 01 05 02 00 07 01 02 05 00 14 28 " + zeros(10) << "09" << false << QStringList{
            "Reply: SETUP", "[1] feature level: 3",
            "[2-3] country or currency: 0001 (telephone code 1, USA)",
            "[4] coin scaling factor: 5", "[5] decimal places: 2",
            "[6-7] coins routed to tubes: coin types 0, 1, 2",
            "[8] credit of coin type 0 (Nickel): 1: 0.05 USD",
            "[10] credit of coin type 2 (Quarter): 5: 0.25 USD",
            "[12] credit of coin type 4 (Canadian Dollar): 20: 1.00 USD",
            "[23] credit of coin type 15: 0: 0.00 USD"};

        QTest::newRow("changer setup in euro, ISO code 1978")
            << "08 02 19 78 0A 02 00 0F 05 0A 14 32 FF " + zeros(11) << "09" << false << QStringList{
            "[2-3] country or currency: 1978 (ISO 4217 978, euro)",
            "[4] coin scaling factor: 10",
            "[8] credit of coin type 0 (Nickel): 5: 0.50 EUR",
            "[10] credit of coin type 2 (Quarter): 20: 2.00 EUR",
            "[11] credit of coin type 3: 50: 5.00 EUR",
            "[12] credit of coin type 4 (Canadian Dollar): a token"};

        QTest::newRow("a country code that is no BCD")
            << "08 01 13 7F 05 02 00 00 " + zeros(16) << "09" << false << QStringList{
            "[2-3] country or currency: 137F (not BCD; 4991 in decimal)"};

        QTest::newRow("changer identification")
            << "08 " + ascii("VLM") + " " + ascii("000000000417") + " " + ascii("CHNG-3000   ")
                   + " 01 02 00 00 00 05" << "0F 00" << true << QStringList{
            "Text: 08 " + ascii("VLM") + " " + ascii("000000000417") + " " + ascii("CHNG-3000   ")
                + " 01 02 00 00 00 05",
            QString(), "Device: coin changer (08)", "Reply: IDENTIFICATION",
            "  because: The address byte 08.",
            "  because: The pending frame 0F 00 asked for IDENTIFICATION.",
            "[0] address: coin changer (08)",
            "[1-3] manufacturer code: \"VLM\"", "[4-15] serial number: \"000000000417\"",
            "[16-27] model: \"CHNG-3000   \"", "[28-29] software version: 1.02",
            "[30-33] optional features: alternative payout (bit 0), controlled manual fill and payout (bit 2)"};

        QTest::newRow("too short a tube status") << "08 00 00 14" << "0A" << false << QStringList{
            "[3] tube of coin type 0 (Nickel): 20 coins",
            "Note: Too short: a TUBE STATUS reply has 18 data bytes after the address, 3 came."};

        QTest::newRow("lower case: decoded as far as it goes") << "08 0a" << "" << true << QStringList{
            "Text: 08 0a", "Bytes: 0:08", "Device: coin changer (08)", "Reply: POLL",
            "  because: The address byte 08.",
            "  because: Changer activity: coins in and out, and status codes.",
            "[0] address: coin changer (08)",
            "Note: Reading stopped at character 4: lower-case hex digits (the board sends upper case)."};

        QTest::newRow("line end after the reply") << "08 50 06\r\n" << "" << false << QStringList{
            "Text: 08 50 06\u240d\u240a",
            "Note: Reading stopped at character 9: a line end."};

        QTest::newRow("bill stacked, then a status byte") << "30 80 09" << "" << false << QStringList{
            "Device: bill validator (30)", "Reply: POLL",
            "[1] bill: bill type 0 ($1) stacked", "[2] status: 09: validator disabled"};

        QTest::newRow("bill in escrow, bills while disabled") << "30 92 43" << "" << false << QStringList{
            "[1] bill: bill type 2 ($5) held in escrow", "[2] attempts while disabled: 3"};

        QTest::newRow("stacker full") << "30 80 64" << "36" << false << QStringList{
            "Reply: STACKER", "[1-2] stacker: full, 100 bills"};

        QTest::newRow("a SETUP of noise with 255 decimal places") << "08 03 00 01 05 FF 00 07 01 " + zeros(15) << "09" << false
            << QStringList{"[5] decimal places: 255", "[8] credit of coin type 0 (Nickel): 1: 5 x 10^-255 USD"};

        QTest::newRow("a reply to the command sent to its peripheral, not the last sent")
            << "08 00 00 14 14 14 " + zeros(13) << "" << false << QStringList{"Reply: TUBE STATUS"};

        QTest::newRow("validator setup")
            << "30 01 00 01 00 64 02 01 F4 00 03 FF 01 02 05 0A 14 " + zeros(11) << "31" << false << QStringList{
            "[1] feature level: 1", "[2-3] country or currency: 0001 (telephone code 1, USA)",
            "[4-5] bill scaling factor: 100", "[6] decimal places: 2",
            "[7-8] stacker capacity: 500 bills",
            "[9-10] security levels: high security for bill types with bits 0003",
            "[11] escrow: can hold a bill in escrow",
            "[12] credit of bill type 0 ($1): 1: 1.00 USD",
            "[16] credit of bill type 4 ($20): 20: 20.00 USD"};

        QTest::newRow("validator identification")
            << "30 " + ascii("VLM") + " " + ascii("000000000002") + " " + ascii("BILL-500    ") + " 02 10"
            << "37 00" << false << QStringList{
            "Reply: IDENTIFICATION", "[1-3] manufacturer code: \"VLM\"",
            "[16-27] model: \"BILL-500    \"", "[28-29] software version: 2.10"};

        QTest::newRow("reader configuration") << "10 01 01 00 01 05 02 05 00" << "11 00 01 0F 02 01" << false << QStringList{
            "Device: cashless reader (10)", "Reply: READER CONFIGURATION",
            "[3-4] country or currency: 0001 (telephone code 1, USA)", "[5] scale factor: 5",
            "[6] decimal places: 2", "[7] maximum response time: 5 s", "[8] options: bits 00"};

        QTest::newRow("vend approved, money in units") << "10 05 00 0A" << "13 00" << false << QStringList{
            "Reply: VEND APPROVED", "[2-3] vend amount: 10 units",
            "Note: Money in units: no SETUP reply of the cashless reader was seen in this run."};

        QTest::newRow("display request") << "10 02 0A 48 49" << "" << false << QStringList{
            "Reply: DISPLAY REQUEST", "[2] display time: 1 s", "[3-4] text: \"HI\""};

        // The replies of the commands beyond the buttons: each layout, and replies that stop short,
        // run long or are not what the layout holds.
        QTest::newRow("payout status") << "08 00 02 01" << "0F 03" << false << QStringList{
            "Reply: PAYOUT STATUS", "  because: The pending frame 0F 03 asked for PAYOUT STATUS.",
            "[1] paid out of coin type 0 (Nickel): 0 coins", "[2] paid out of coin type 1 (Dime): 2 coins",
            "[3] paid out of coin type 2 (Quarter): 1 coins"};
        QTest::newRow("payout status with no data") << "08" << "0F 03" << false << QStringList{
            "Note: No coins reported (no data bytes)."};
        QTest::newRow("payout value poll") << "08 08" << "0F 04" << false << QStringList{
            "Reply: PAYOUT VALUE POLL", "[1] paid out so far: 8 units"};
        QTest::newRow("diagnostic status, two codes") << "08 11 30 15 02" << "0F 05" << false << QStringList{
            "Reply: SEND DIAGNOSTIC STATUS",
            "[1-2] diagnostic code 1: 11 30: Discriminator module error: coin jam in sensor",
            "[3-4] diagnostic code 2: 15 02: Coin cassette or tube module error: cassette removed"};
        QTest::newRow("diagnostic status, changer OK") << "08 03 00" << "0F 05" << false << QStringList{
            "[1-2] diagnostic code 1: 03 00: Changer OK"};
        QTest::newRow("diagnostic status cut in a code") << "08 03 00 11" << "0F 05" << false << QStringList{
            "[1-2] diagnostic code 1: 03 00: Changer OK", "[3] not understood: 11"};
        QTest::newRow("diagnostic status too short") << "08 03" << "0F 05" << false << QStringList{
            "Note: Too short: a diagnostic status has at least one code of 2 bytes.", "[1] not understood: 03"};
        QTest::newRow("manual fill report") << "08 05 " + zeros(15) << "0F 06" << false << QStringList{
            "Reply: SEND CONTROLLED MANUAL FILL REPORT", "[1] filled into the tube of coin type 0 (Nickel): 5 coins"};
        QTest::newRow("manual payout report, too long") << "08 01 " + zeros(15) + " 07" << "0F 07" << false << QStringList{
            "[1] paid out by hand of coin type 0 (Nickel): 1 coins", "[17] not understood: 07",
            "Note: Too long: a SEND CONTROLLED MANUAL PAYOUT REPORT reply has 16 data bytes after the address, 17 came."};
        QTest::newRow("an ACK to a command of ACKs") << "08 00" << "0C FF FF FF FF" << false << QStringList{
            "Reply: POLL", "  because: The pending frame 0C FF FF FF FF (COIN TYPE) is answered by an ACK or the device's activity.",
            "[1] status: 00: ACK"};
        QTest::newRow("recycler setup") << "30 00 05" << "37 03" << false << QStringList{
            "Reply: RECYCLER SETUP", "[1-2] bills routed to the recycler: bill types 0, 2"};
        QTest::newRow("recycler setup too short") << "30 00" << "37 03" << false << QStringList{
            "Note: Too short: a RECYCLER SETUP reply has 2 data bytes after the address, 1 came.", "[1] not understood: 00"};
        QTest::newRow("bill dispense status") << "30 00 01 00 14 00 00 00 0A " + zeros(26) << "37 05" << false << QStringList{
            "Reply: BILL DISPENSE STATUS", "[1-2] dispensers full: bill types 0",
            "[3-4] in the recycler, bill type 0 ($1): 20 bills", "[7-8] in the recycler, bill type 2 ($5): 10 bills"};
        QTest::newRow("recycler payout status") << "30 00 02 " + zeros(30) << "37 08" << false << QStringList{
            "Reply: PAYOUT STATUS", "[1-2] paid out of bill type 0 ($1): 2 bills"};
        QTest::newRow("recycler payout value poll") << "30 00 06" << "37 09" << false << QStringList{
            "Reply: PAYOUT VALUE POLL", "[1-2] paid out so far: 6 units"};
        QTest::newRow("validator identification with option bits")
            << "30 " + ascii("VLM") + " " + ascii("000000000002") + " " + ascii("BILL-500    ") + " 01 00 00 00 00 02"
            << "37 02" << false << QStringList{
            "Reply: IDENTIFICATION WITH OPTION BITS", "[30-33] optional features: bill recycling (bit 1)"};
        QTest::newRow("a recycler status in a poll") << "30 27" << "" << false << QStringList{
            "[1] recycler status: 27: dispenser jam"};
        QTest::newRow("revalue limit amount") << "10 0F 01 2C" << "15 01" << false << QStringList{
            "Reply: REVALUE LIMIT AMOUNT", "[2-3] revalue limit: 300 units"};
        QTest::newRow("an ACK from the reader") << "10 00" << "14 01" << false << QStringList{
            "Reply: ACK", "[1] response: ACK to READER ENABLE"};
        QTest::newRow("garbage after a vend approved") << "10 05 00 0A FF FF" << "13 00 00 0A 00 01" << false << QStringList{
            "[2-3] vend amount: 10 units", "[4] not understood: FF", "[5] not understood: FF"};

        QTest::newRow("no peripheral's address") << "99 01" << "" << true << QStringList{
            "Text: 99 01", "Bytes: 0:99 1:01", "Device: unknown device", "Reply: unknown",
            "  because: The first byte 99 is no peripheral's address, and no frame was sent that would tell.",
            "[0] not understood: 99", "[1] not understood: 01"};
    }
    void references()
    {
        QFETCH(QString, text);
        QFETCH(QString, frame);
        QFETCH(bool, exact);
        QFETCH(QStringList, lines);
        const QStringList got = describe(decode::details::decode(text, pending(frame.toLatin1().replace(' ', ""))));
        if (exact) {
            QCOMPARE(got.size(), lines.size());
            for (int i = 0; i < lines.size(); ++i)
                if (!lines[i].isNull())
                    QCOMPARE(got[i], lines[i]);
        } else {
            for (const QString &line : lines)
                QVERIFY2(got.contains(line), qPrintable(line + QStringLiteral("\n  in:\n") + got.join('\n')));
        }
    }

    void moneyFollowsTheSetupSeen()
    {
        Context context = pending("1300");
        const Decoded setup = decode::details::decode(QStringLiteral("10 01 01 00 01 05 02 05 00"));
        QVERIFY(setup.setup);
        context.known.reader = setup.setup;
        const QStringList lines = describe(decode::details::decode(QStringLiteral("10 05 00 0A"), context));
        QVERIFY(lines.contains(QStringLiteral("[2-3] vend amount: 0.50 USD")));
        QVERIFY(!lines.join(' ').contains(QStringLiteral("units")));
    }

    void everyByteIsShown_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("poll") << "08 50 06 03 21";
        QTest::newRow("setup too long") << "08 03 00 01 05 02 00 07 " + zeros(16) + " 77";
        QTest::newRow("reader id") << "10 09 " + ascii("VLM") + " 11 22";
        QTest::newRow("stacker too short") << "30 80";
    }
    void everyByteIsShown()
    {
        QFETCH(QString, text);
        const Decoded d = decode::details::decode(text, pending(text.startsWith("08 03") ? "09" : text.startsWith("30") ? "36" : ""));
        QList<bool> covered(d.bytes.size(), false);
        for (const Field &f : d.fields)
            for (int i = f.offset; i < f.offset + f.length; ++i) {
                QVERIFY(!covered[i]);
                covered[i] = true;
            }
        QVERIFY(!covered.contains(false));
    }
};

QTEST_GUILESS_MAIN(ReplyDetailsTest)
#include "tst_replydetails.moc"
