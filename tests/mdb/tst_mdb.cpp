#include "commands/commandtables.h"
#include "mdb/compose.h"
#include "mdb/mdb.h"

#include <QTest>

using namespace kestrel;
using mdb::Peripheral;

Q_DECLARE_METATYPE(mdb::Peripheral)

namespace {
QByteArray bytes(const char *hexText) { return QByteArray::fromHex(hexText); }

// What the virtual board's SETUP replies say.
mdb::Known virtualBoard()
{
    mdb::Known known;
    known.changer = mdb::MoneySetup{0x0001, 5, 2, 3, {1, 2, 5, 0, 20, 40}};
    known.validator = mdb::MoneySetup{0x0001, 100, 2, 2, {1, 2, 5, 10, 20}};
    known.reader = mdb::MoneySetup{0x0001, 5, 2, 2, {}};
    return known;
}
} // namespace

// The bus's facts, checked against the MDB standard's own numbers.
class MdbTest : public QObject
{
    Q_OBJECT
private slots:
    void checksumIsTheLowByteOfTheSum_data()
    {
        QTest::addColumn<QByteArray>("block");
        QTest::addColumn<int>("checksum");
        QTest::newRow("nothing") << QByteArray() << 0x00;
        QTest::newRow("RESET of the changer") << bytes("08") << 0x08;
        QTest::newRow("EXPANSION PAYOUT of 2 units") << bytes("0F0202") << 0x13;
        QTest::newRow("COIN TYPE, all enabled") << bytes("0CFFFFFFFF") << 0x08;   // 0x408
        QTest::newRow("VEND APPROVED 0001") << bytes("050001") << 0x06;
        QTest::newRow("a 36-byte block of FF") << QByteArray(36, '\xff') << 0xDC;   // 36 x 255 = 0x23DC
    }
    void checksumIsTheLowByteOfTheSum()
    {
        QFETCH(QByteArray, block);
        QFETCH(int, checksum);
        QCOMPARE(int(mdb::checksum(block)), checksum);
    }

    void addressesNameThePeripherals_data()
    {
        QTest::addColumn<int>("byte");
        QTest::addColumn<Peripheral>("peripheral");
        QTest::newRow("08 changer RESET") << 0x08 << Peripheral::Changer;
        QTest::newRow("0F changer EXPANSION") << 0x0F << Peripheral::Changer;
        QTest::newRow("10 reader RESET") << 0x10 << Peripheral::Reader;
        QTest::newRow("17 reader EXPANSION") << 0x17 << Peripheral::Reader;
        QTest::newRow("30 validator RESET") << 0x30 << Peripheral::Validator;
        QTest::newRow("37 validator EXPANSION") << 0x37 << Peripheral::Validator;
        QTest::newRow("00 VMC") << 0x00 << Peripheral::Unknown;
        QTest::newRow("18 second reader") << 0x18 << Peripheral::Unknown;
        QTest::newRow("60 second reader") << 0x60 << Peripheral::Unknown;
    }
    void addressesNameThePeripherals()
    {
        QFETCH(int, byte);
        QFETCH(Peripheral, peripheral);
        QCOMPARE(mdb::peripheralOf(quint8(byte)), peripheral);
        if (peripheral != Peripheral::Unknown)
            QCOMPARE(int(mdb::addressOf(peripheral)), byte & 0xF8);
    }

    void hexIsWrittenAsTheBoardWritesIt()
    {
        QCOMPARE(mdb::hex(bytes("0f02ff00")), QStringLiteral("0F 02 FF 00"));
        QCOMPARE(mdb::hex(quint8(0x0a)), QStringLiteral("0A"));
        QCOMPARE(mdb::hex(QByteArray()), QString());
        QCOMPARE(mdb::bitsSet(0x8005, 16), QStringList({"0", "2", "15"}));
        QCOMPARE(mdb::bitsSet(0x80000000u, 16), QStringList());
    }

    void repliesAreToldByTheFrameSentOrTheirLength_data()
    {
        QTest::addColumn<Peripheral>("peripheral");
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<int>("dataBytes");
        QTest::addColumn<QString>("reply");
        QTest::addColumn<bool>("asked");
        QTest::newRow("changer, TUBE STATUS sent") << Peripheral::Changer << bytes("0A") << 3 << "TUBE STATUS" << true;
        QTest::newRow("changer, 18 bytes, nothing sent") << Peripheral::Changer << QByteArray() << 18 << "TUBE STATUS" << false;
        QTest::newRow("changer, 23 bytes, nothing sent") << Peripheral::Changer << QByteArray() << 23 << "SETUP" << false;
        QTest::newRow("changer, identification sent") << Peripheral::Changer << bytes("0F00") << 33 << "IDENTIFICATION" << true;
        QTest::newRow("changer, payout status sent") << Peripheral::Changer << bytes("0F03") << 16 << "PAYOUT STATUS" << true;
        QTest::newRow("changer, payout value poll sent") << Peripheral::Changer << bytes("0F04") << 1 << "PAYOUT VALUE POLL" << true;
        QTest::newRow("changer, diagnostic status sent") << Peripheral::Changer << bytes("0F05") << 2 << "SEND DIAGNOSTIC STATUS" << true;
        QTest::newRow("changer, a payout sent: its ACK or activity") << Peripheral::Changer << bytes("0F0202") << 2 << "POLL" << true;
        QTest::newRow("changer, 16 bytes, nothing sent: POLL") << Peripheral::Changer << QByteArray() << 16 << "POLL" << false;
        QTest::newRow("changer, a frame to the validator") << Peripheral::Changer << bytes("31") << 23 << "POLL" << false;
        QTest::newRow("validator, STACKER sent") << Peripheral::Validator << bytes("36") << 2 << "STACKER" << true;
        QTest::newRow("validator, 27 bytes, nothing sent") << Peripheral::Validator << QByteArray() << 27 << "SETUP" << false;
        QTest::newRow("validator, 29 bytes, nothing sent") << Peripheral::Validator << QByteArray() << 29 << "IDENTIFICATION" << false;
        QTest::newRow("validator, 34 bytes, nothing sent") << Peripheral::Validator << QByteArray() << 34 << "BILL DISPENSE STATUS" << false;
        QTest::newRow("validator, recycler setup sent") << Peripheral::Validator << bytes("3703") << 2 << "RECYCLER SETUP" << true;
        QTest::newRow("validator, a bill") << Peripheral::Validator << QByteArray() << 1 << "POLL" << false;
        QTest::newRow("reader") << Peripheral::Reader << bytes("1700") << 30 << "REQUEST ID" << true;
    }
    void repliesAreToldByTheFrameSentOrTheirLength()
    {
        QFETCH(Peripheral, peripheral);
        QFETCH(QByteArray, sent);
        QFETCH(int, dataBytes);
        QFETCH(QString, reply);
        QFETCH(bool, asked);
        const mdb::ReplyKind r = mdb::replyTo(peripheral, sent, dataBytes);
        QCOMPARE(QString::fromLatin1(r.name).isEmpty() && peripheral == Peripheral::Reader ? QString::fromLatin1(r.command->name)
                                                                                            : QString::fromLatin1(r.name),
                 reply);
        QCOMPARE(r.command != nullptr, asked);
    }

    // The command set, row by row as the MDB standard (4.2) gives it: the command byte and
    // subcommand, each parameter's place (byte, bits) and width, the reply's data bytes and the
    // lowest feature level. Written out here, so that a change to the table must be made twice.
    void commandSetIsTheStandards_data()
    {
        QTest::addColumn<Peripheral>("peripheral");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("head");
        QTest::addColumn<QString>("params");
        QTest::addColumn<int>("replyBytes");
        QTest::addColumn<int>("level");
        const struct { Peripheral p; const char *name, *head, *params; int reply, level; } rows[] = {
            {Peripheral::Changer, "RESET", "08", "", 0, 1},
            {Peripheral::Changer, "SETUP", "09", "", 23, 1},
            {Peripheral::Changer, "TUBE STATUS", "0A", "", 18, 1},
            {Peripheral::Changer, "POLL", "0B", "", -1, 1},
            {Peripheral::Changer, "COIN TYPE", "0C", "enable@1x2 dispense@3x2", 0, 1},
            {Peripheral::Changer, "DISPENSE", "0D", "coin@1.0:4 count@1.4:4", 0, 1},
            {Peripheral::Changer, "IDENTIFICATION", "0F00", "", 33, 3},
            {Peripheral::Changer, "FEATURE ENABLE", "0F01", "features@2x4", 0, 3},
            {Peripheral::Changer, "PAYOUT", "0F02", "value@2x1", 0, 3},
            {Peripheral::Changer, "PAYOUT STATUS", "0F03", "", 16, 3},
            {Peripheral::Changer, "PAYOUT VALUE POLL", "0F04", "", 1, 3},
            {Peripheral::Changer, "SEND DIAGNOSTIC STATUS", "0F05", "", -1, 3},
            {Peripheral::Changer, "SEND CONTROLLED MANUAL FILL REPORT", "0F06", "", 16, 3},
            {Peripheral::Changer, "SEND CONTROLLED MANUAL PAYOUT REPORT", "0F07", "", 16, 3},
            {Peripheral::Validator, "RESET", "30", "", 0, 1},
            {Peripheral::Validator, "SETUP", "31", "", 27, 1},
            {Peripheral::Validator, "SECURITY", "32", "levels@1x2", 0, 1},
            {Peripheral::Validator, "POLL", "33", "", -1, 1},
            {Peripheral::Validator, "BILL TYPE", "34", "enable@1x2 escrow@3x2", 0, 1},
            {Peripheral::Validator, "ESCROW", "35", "action@1x1", 0, 1},
            {Peripheral::Validator, "STACKER", "36", "", 2, 1},
            {Peripheral::Validator, "IDENTIFICATION", "3700", "", 29, 1},
            {Peripheral::Validator, "FEATURE ENABLE", "3701", "features@2x4", 0, 2},
            {Peripheral::Validator, "IDENTIFICATION WITH OPTION BITS", "3702", "", 33, 2},
            {Peripheral::Validator, "RECYCLER SETUP", "3703", "", 2, 2},
            {Peripheral::Validator, "RECYCLER ENABLE", "3704", "dispense@2x2 recycle@4x16", 0, 2},
            {Peripheral::Validator, "BILL DISPENSE STATUS", "3705", "", 34, 2},
            {Peripheral::Validator, "DISPENSE BILL", "3706", "bill@2x1 count@3x2", 0, 2},
            {Peripheral::Validator, "DISPENSE VALUE", "3707", "value@2x2", 0, 2},
            {Peripheral::Validator, "PAYOUT STATUS", "3708", "", 32, 2},
            {Peripheral::Validator, "PAYOUT VALUE POLL", "3709", "", 2, 2},
            {Peripheral::Validator, "PAYOUT CANCEL", "370A", "", 0, 2},
            {Peripheral::Reader, "RESET", "10", "", 0, 1},
            {Peripheral::Reader, "SETUP CONFIG DATA", "1100", "level@2x1 columns@3x1 rows@4x1 display@5x1", 8, 1},
            {Peripheral::Reader, "SETUP MAX/MIN PRICES", "1101", "max@2x2 min@4x2", 0, 1},
            {Peripheral::Reader, "POLL", "12", "", -1, 1},
            {Peripheral::Reader, "VEND REQUEST", "1300", "price@2x2 item@4x2", 3, 1},
            {Peripheral::Reader, "VEND CANCEL", "1301", "", 1, 1},
            {Peripheral::Reader, "VEND SUCCESS", "1302", "item@2x2", 0, 1},
            {Peripheral::Reader, "VEND FAILURE", "1303", "", 0, 1},
            {Peripheral::Reader, "SESSION COMPLETE", "1304", "", 1, 1},
            {Peripheral::Reader, "CASH SALE", "1305", "price@2x2 item@4x2", 0, 1},
            {Peripheral::Reader, "READER DISABLE", "1400", "", 0, 1},
            {Peripheral::Reader, "READER ENABLE", "1401", "", 0, 1},
            {Peripheral::Reader, "READER CANCEL", "1402", "", 1, 1},
            {Peripheral::Reader, "REVALUE REQUEST", "1500", "amount@2x2", 1, 2},
            {Peripheral::Reader, "REVALUE LIMIT REQUEST", "1501", "", 3, 2},
            {Peripheral::Reader, "REQUEST ID", "1700", "manufacturer@2x3 serial@5x12 model@17x12 version@29x2", 30, 1},
        };
        for (const auto &row : rows)
            QTest::newRow(qPrintable(mdb::nameOf(row.p) + QLatin1Char(' ') + QLatin1String(row.name)))
                << row.p << QString::fromLatin1(row.name) << bytes(row.head) << QString::fromLatin1(row.params)
                << row.reply << row.level;
        int commands = 0;
        for (const mdb::CommandSpec &c : mdb::kCommandSet)
            commands += c.vmcCommand;
        QCOMPARE(commands, int(std::size(rows)));   // every command of the table is checked here
    }
    void commandSetIsTheStandards()
    {
        QFETCH(Peripheral, peripheral);
        QFETCH(QString, name);
        QFETCH(QByteArray, head);
        QFETCH(QString, params);
        QFETCH(int, replyBytes);
        QFETCH(int, level);
        const mdb::CommandSpec *c = mdb::commandNamed(peripheral, name);
        QVERIFY(c);
        QCOMPARE(mdb::headOf(*c), head);
        QCOMPARE(mdb::commandOf(head), c);
        QStringList layout;
        for (const mdb::Param &p : c->params)
            layout << (p.bits ? QStringLiteral("%1@%2.%3:%4").arg(QLatin1String(p.name)).arg(p.offset).arg(p.shift).arg(p.bits)
                              : QStringLiteral("%1@%2x%3").arg(QLatin1String(p.name)).arg(p.offset).arg(p.bytes));
        QCOMPARE(layout.join(QLatin1Char(' ')), params);
        QCOMPARE(c->replyBytes, replyBytes);
        QCOMPARE(c->level, level);
        QVERIFY(mdb::frameLength(*c) <= mdb::kLongestFrame);
    }

    void commandsAreFoundByName()
    {
        QCOMPARE(mdb::commandNamed(Peripheral::Changer, QStringLiteral("expansion payout")), &mdb::command(mdb::Cmd::Payout));
        QCOMPARE(mdb::commandNamed(Peripheral::Validator, QStringLiteral("PAYOUT STATUS")), &mdb::command(mdb::Cmd::RecyclerPayoutStatus));
        QVERIFY(!mdb::commandNamed(Peripheral::Reader, QStringLiteral("DISPENSE")));
        QVERIFY(!mdb::commandOf(bytes("0E")));
        QCOMPARE(mdb::commandOf(bytes("0F")), &mdb::command(mdb::Cmd::ChangerIdentification));   // the first of its subcommands
        QVERIFY(!mdb::commandOf(bytes("0F09")));
    }

    // Frames made from parameters as a person writes them, against the virtual board's SETUPs: the
    // changer and the reader at 5 cents a unit, the validator at a dollar, two decimals each.
    void framesAreComposed_data()
    {
        QTest::addColumn<Peripheral>("peripheral");
        QTest::addColumn<QString>("command");
        QTest::addColumn<QStringList>("given");
        QTest::addColumn<QString>("frame");
        QTest::addColumn<QString>("error");
        const struct { Peripheral p; const char *command, *given, *frame, *error; } rows[] = {
            {Peripheral::Changer, "DISPENSE", "coin=2 count=3", "0D 32", ""},
            {Peripheral::Changer, "DISPENSE", "coin=Quarter count=15", "0D F2", ""},
            {Peripheral::Changer, "DISPENSE", "coin=15", "0D 1F", ""},
            {Peripheral::Changer, "DISPENSE", "coin=16", "", "coin = 16 is out of range: 0 to 15"},
            {Peripheral::Changer, "DISPENSE", "coin=2 count=0", "", "count = 0 is out of range: 1 to 15"},
            {Peripheral::Changer, "DISPENSE", "count=3", "", "DISPENSE needs coin (the coin type paid out)"},
            {Peripheral::Changer, "DISPENSE", "coin=2 volume=3", "", "DISPENSE has no parameter volume (its parameters: coin, count)"},
            {Peripheral::Changer, "DISPENSE", "coin=2 coin=1", "", "coin is given twice"},
            {Peripheral::Changer, "DISPENSE", "coin=Penny", "", "coin = Penny is no coin type: give its number (0 to 15) or one of Nickel, Dime, Quarter, Canadian Dollar, Canadian Two Dollar"},
            {Peripheral::Changer, "PAYOUT", "value=0.40", "0F 02 08", ""},
            {Peripheral::Changer, "PAYOUT", "value=$12.75", "0F 02 FF", ""},
            {Peripheral::Changer, "PAYOUT", "value=12.80", "", "value = 12.80 is out of range: 0.05 to 12.75 (units of 0.05)"},
            {Peripheral::Changer, "PAYOUT", "value=0.07", "", "value = 0.07 is not a whole number of the coin changer's units of 0.05"},
            {Peripheral::Changer, "PAYOUT", "value=1.255", "", "value = 1.255 has more decimal places than the coin changer's 2"},
            {Peripheral::Changer, "PAYOUT", "value=1.250", "0F 02 19", ""},
            {Peripheral::Changer, "PAYOUT", "value=one", "", "value = one is not an amount such as 1.25"},
            {Peripheral::Changer, "COIN TYPE", "enable=0xFFFF", "0C FF FF FF FF", ""},
            {Peripheral::Changer, "COIN TYPE", "enable=7 dispense=0", "0C 00 07 00 00", ""},
            {Peripheral::Changer, "COIN TYPE", "enable=0x10000", "", "enable = 0x10000 is out of range: 0 to 65535"},
            {Peripheral::Changer, "COIN TYPE", "enable=0xZZ", "", "enable = 0xZZ is not a number (decimal, or hex as 0x1F)"},
            {Peripheral::Changer, "FEATURE ENABLE", "", "0F 01 00 00 00 07", ""},
            {Peripheral::Changer, "TUBE STATUS", "now=1", "", "TUBE STATUS takes no parameters, not now"},
            {Peripheral::Validator, "ESCROW", "action=stack", "35 01", ""},
            {Peripheral::Validator, "ESCROW", "action=RETURN", "35 00", ""},
            {Peripheral::Validator, "ESCROW", "action=keep", "", "action = keep is none of return, stack"},
            {Peripheral::Validator, "BILL TYPE", "enable=0x1F escrow=1", "34 00 1F 00 01", ""},
            {Peripheral::Validator, "DISPENSE BILL", "bill=$5 count=2", "37 06 02 00 02", ""},
            {Peripheral::Validator, "DISPENSE BILL", "bill=4 count=65535", "37 06 04 FF FF", ""},
            {Peripheral::Validator, "DISPENSE VALUE", "value=6.00", "37 07 00 06", ""},
            {Peripheral::Validator, "DISPENSE VALUE", "value=6.50", "", "value = 6.50 is not a whole number of the bill validator's units of 1.00"},
            {Peripheral::Validator, "RECYCLER ENABLE", "recycle=0x5",
             "37 04 00 00 03 00 03 00 00 00 00 00 00 00 00 00 00 00 00 00", ""},
            {Peripheral::Reader, "VEND REQUEST", "price=1.25 item=7", "13 00 00 19 00 07", ""},
            {Peripheral::Reader, "VEND REQUEST", "price=3276.75 item=65535", "13 00 FF FF FF FF", ""},
            {Peripheral::Reader, "VEND REQUEST", "price=3276.80 item=1", "", "price = 3276.80 is out of range: 0.00 to 3276.75 (units of 0.05)"},
            {Peripheral::Reader, "VEND REQUEST", "price=1.25", "", "VEND REQUEST needs item (the item's number)"},
            {Peripheral::Reader, "SETUP CONFIG DATA", "level=1 columns=15 rows=2 display=1", "11 00 01 0F 02 01", ""},
            {Peripheral::Reader, "SETUP CONFIG DATA", "level=4", "", "level = 4 is out of range: 1 to 3"},
            {Peripheral::Reader, "REVALUE REQUEST", "amount=2.00", "15 00 00 28", ""},
            {Peripheral::Reader, "REQUEST ID", "",
             "17 00 4B 53 54 30 30 30 30 30 30 30 30 30 30 30 31 4B 45 53 54 52 45 4C 20 20 20 20 20 03 01", ""},
            {Peripheral::Reader, "REQUEST ID", "manufacturer=ABCD", "", "manufacturer = ABCD is longer than its 3 characters"},
            {Peripheral::Reader, "REQUEST ID", "version=12345", "", "version = 12345 is not up to 4 decimal digits"},
        };
        for (const auto &row : rows)
            QTest::newRow(qPrintable(QStringLiteral("%1 %2").arg(QLatin1String(row.command), QLatin1String(row.given))))
                << row.p << QString::fromLatin1(row.command)
                << QString::fromLatin1(row.given).split(QLatin1Char(' '), Qt::SkipEmptyParts)
                << QString::fromLatin1(row.frame) << QString::fromLatin1(row.error);
    }
    void framesAreComposed()
    {
        QFETCH(Peripheral, peripheral);
        QFETCH(QString, command);
        QFETCH(QStringList, given);
        QFETCH(QString, frame);
        QFETCH(QString, error);
        const mdb::CommandSpec *spec = mdb::commandNamed(peripheral, command);
        QVERIFY(spec);
        QString splitError;
        const auto parameters = mdb::splitGiven(given, &splitError);
        QVERIFY2(parameters, qPrintable(splitError));
        const mdb::Composed composed = mdb::compose(*spec, *parameters, virtualBoard());
        QCOMPARE(composed.error, error);
        QCOMPARE(mdb::hex(composed.frame), frame);
        QVERIFY(!composed.needsSetup);
        if (error.isEmpty())   // what was composed reads back as it was written
            QVERIFY(!mdb::describeParams(*spec, composed.frame, virtualBoard()).isEmpty() || spec->params.size() == 0);
    }

    // Money waits for the peripheral's SETUP; a level the peripheral did not report is a warning.
    void moneyNeedsSetupAndLevelsWarn()
    {
        const mdb::CommandSpec &payout = mdb::command(mdb::Cmd::Payout);
        const mdb::Composed unknown = mdb::compose(payout, {{QStringLiteral("value"), QStringLiteral("0.40")}});
        QVERIFY(unknown.needsSetup);
        QVERIFY(unknown.frame.isEmpty());
        QCOMPARE(unknown.error, QStringLiteral("value is money, and the coin changer's scaling is not known: its SETUP "
                                               "reply has not been read in this session (send SETUP first)"));
        mdb::Known levelTwo = virtualBoard();
        levelTwo.changer->level = 2;
        const mdb::Composed warned = mdb::compose(payout, {{QStringLiteral("value"), QStringLiteral("0.40")}}, levelTwo);
        QCOMPARE(mdb::hex(warned.frame), QStringLiteral("0F 02 08"));
        QCOMPARE(warned.warning, QStringLiteral("The coin changer reported feature level 2; PAYOUT is a level 3 command."));
        QCOMPARE(mdb::describeParams(payout, warned.frame, levelTwo), QStringLiteral("value=0.40"));
        QCOMPARE(mdb::describeParams(payout, warned.frame), QStringLiteral("value=8 units"));
        QCOMPARE(mdb::describeParams(payout, bytes("0F02")), QString());   // the "Payout Level2" button
    }

    void rawFrames_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("frame");
        QTest::addColumn<QString>("error");
        QTest::newRow("spaced") << "0F 05" << "0F 05" << "";
        QTest::newRow("lower case, no blanks") << "0f05" << "0F 05" << "";
        QTest::newRow("one byte") << "0B" << "0B" << "";
        QTest::newRow("36 bytes") << QString(72, QLatin1Char('F')) << mdb::hex(QByteArray(36, '\xff')) << "";
        QTest::newRow("37 bytes") << QString(74, QLatin1Char('F')) << "" << "37 bytes: an MDB block holds at most 36";
        QTest::newRow("odd digit") << "0F 5" << "" << "An odd number of hex digits (3): each byte is two";
        QTest::newRow("not hex") << "0G" << "" << "0G is not hex bytes (two hex digits each)";
        QTest::newRow("nothing") << "  " << "" << "No bytes: type the frame as hex bytes, such as 0F 05";
    }
    void rawFrames()
    {
        QFETCH(QString, typed);
        QFETCH(QString, frame);
        QFETCH(QString, error);
        const mdb::Composed composed = mdb::composeRaw(typed);
        QCOMPARE(mdb::hex(composed.frame), frame);
        QCOMPARE(composed.error, error);
    }

    void diagnosticCodesAreNamed_data()
    {
        QTest::addColumn<int>("main");
        QTest::addColumn<int>("sub");
        QTest::addColumn<QString>("name");
        QTest::newRow("03 00") << 0x03 << 0x00 << "Changer OK";
        QTest::newRow("05 20") << 0x05 << 0x20 << "New inventory information available";
        QTest::newRow("10 03") << 0x10 << 0x03 << "General changer error: low line voltage";
        QTest::newRow("11 30") << 0x11 << 0x30 << "Discriminator module error: coin jam in sensor";
        QTest::newRow("12 50") << 0x12 << 0x50 << "Accept gate module error: post gate sensor covered before the gate opened";
        QTest::newRow("15 02") << 0x15 << 0x02 << "Coin cassette or tube module error: cassette removed";
        QTest::newRow("14 07, a sub-code not named") << 0x14 << 0x07 << "Dispenser module error: sub-code 07";
        QTest::newRow("99 00") << 0x99 << 0x00 << "unknown diagnostic code 99 00";
    }
    void diagnosticCodesAreNamed()
    {
        QFETCH(int, main);
        QFETCH(int, sub);
        QFETCH(QString, name);
        QCOMPARE(mdb::diagnosticName(quint8(main), quint8(sub)), name);
    }

    void featuresAndRecyclerStatusesAreNamed()
    {
        QCOMPARE(mdb::featureName(Peripheral::Changer, 0), QStringLiteral("alternative payout"));
        QCOMPARE(mdb::featureName(Peripheral::Validator, 1), QStringLiteral("bill recycling"));
        QCOMPARE(mdb::featureName(Peripheral::Reader, 5), QStringLiteral("always idle"));
        QCOMPARE(mdb::featureName(Peripheral::Changer, 9), QStringLiteral("bit 9 (not named in the standard)"));
        QCOMPARE(mdb::recyclerStatusName(0x27), QStringLiteral("dispenser jam"));
        QCOMPARE(mdb::recyclerStatusName(0x25), QString());   // not used
        QCOMPARE(mdb::recyclerStatusName(0x30), QString());
    }

    // Each button names the command of the bus its frame is, so that it and the composer agree.
    void everyCommandButtonIsTheCommandItNames()
    {
        for (const core::Table<commands::CommandRow> &table : {commands::kCoinChanger, commands::kBillValidator, commands::kCashless})
            for (const commands::CommandRow &row : table)
                QVERIFY2(mdb::commandOf(row.frame.toBytes()) == &mdb::command(row.command), row.control);
        QCOMPARE(mdb::commandOf(commands::kEscrowOn.frame.toBytes()), &mdb::command(commands::kEscrowOn.command));
        QCOMPARE(mdb::commandOf(commands::kEscrowOff.frame.toBytes()), &mdb::command(commands::kEscrowOff.command));
    }

    void readerResponsesAndStatusNames()
    {
        QCOMPARE(QString::fromLatin1(mdb::readerResponse(0x05)->name), QStringLiteral("VEND APPROVED"));
        QVERIFY(!mdb::readerResponse(0x0C));
        QCOMPARE(QString::fromLatin1(mdb::readerResponse(0x0F)->name), QStringLiteral("REVALUE LIMIT AMOUNT"));
        QCOMPARE(mdb::named(mdb::kChangerStatus, 0x0C), QStringLiteral("coin jam"));
        QCOMPARE(mdb::named(mdb::kValidatorStatus, 0x06), QStringLiteral("validator was reset"));
        QCOMPARE(mdb::named(mdb::kChangerStatus, 0x1F), QStringLiteral("unknown status"));
    }
};

QTEST_GUILESS_MAIN(MdbTest)
#include "tst_mdb.moc"
