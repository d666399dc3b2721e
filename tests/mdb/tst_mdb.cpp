#include "commands/commandtables.h"
#include "mdb/mdb.h"

#include <QTest>

using namespace kestrel;
using mdb::Peripheral;

Q_DECLARE_METATYPE(mdb::Peripheral)

namespace {
QByteArray bytes(const char *hexText) { return QByteArray::fromHex(hexText); }
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
        QTest::newRow("changer, 18 bytes, nothing sent") << Peripheral::Changer << QByteArray() << 18 << "TUBE STATUS" << true;
        QTest::newRow("changer, 23 bytes, nothing sent") << Peripheral::Changer << QByteArray() << 23 << "SETUP" << true;
        QTest::newRow("changer, identification sent") << Peripheral::Changer << bytes("0F00") << 33 << "EXPANSION IDENTIFICATION" << true;
        QTest::newRow("changer, payout status sent") << Peripheral::Changer << bytes("0F04") << 16 << "PAYOUT STATUS" << true;
        QTest::newRow("changer, a payout sent") << Peripheral::Changer << bytes("0F0202") << 2 << "POLL" << false;
        QTest::newRow("changer, 18 bytes after a validator frame") << Peripheral::Changer << bytes("31") << 18 << "POLL" << false;
        QTest::newRow("validator, STACKER sent") << Peripheral::Validator << bytes("36") << 2 << "STACKER" << true;
        QTest::newRow("validator, 27 bytes, nothing sent") << Peripheral::Validator << QByteArray() << 27 << "SETUP" << true;
        QTest::newRow("validator, 29 bytes, nothing sent") << Peripheral::Validator << QByteArray() << 29 << "IDENTIFICATION" << true;
        QTest::newRow("validator, a bill") << Peripheral::Validator << QByteArray() << 1 << "POLL" << false;
        QTest::newRow("reader") << Peripheral::Reader << bytes("1700") << 30 << "" << false;
    }
    void repliesAreToldByTheFrameSentOrTheirLength()
    {
        QFETCH(Peripheral, peripheral);
        QFETCH(QByteArray, sent);
        QFETCH(int, dataBytes);
        QFETCH(QString, reply);
        QFETCH(bool, asked);
        const mdb::Reply &r = mdb::replyTo(peripheral, sent, dataBytes);
        QCOMPARE(QString::fromLatin1(r.name), reply);
        QCOMPARE(r.peripheral, peripheral);
        QCOMPARE(r.command >= 0, asked);
    }

    void everyCommandButtonsFrameIsACommandOfTheBus()
    {
        for (const Table<CommandRow> &table : {commands::kCoinChanger, commands::kBillValidator, commands::kCashless})
            for (const CommandRow &row : table)
                QVERIFY2(mdb::commandOf(row.frame.toBytes()), row.control);
        QVERIFY(mdb::commandOf(commands::kEscrowOn.frame.toBytes()));
        QVERIFY(!mdb::commandOf(bytes("0E")));
        QCOMPARE(QString::fromLatin1(mdb::commandOf(bytes("0F0205"))->name), QStringLiteral("EXPANSION PAYOUT"));
    }

    void readerResponsesAndStatusNames()
    {
        QCOMPARE(QString::fromLatin1(mdb::readerResponse(0x05)->name), QStringLiteral("VEND APPROVED"));
        QVERIFY(!mdb::readerResponse(0x0C));
        QCOMPARE(mdb::named(mdb::kChangerStatus, 0x0C), QStringLiteral("coin jam"));
        QCOMPARE(mdb::named(mdb::kValidatorStatus, 0x06), QStringLiteral("validator was reset"));
        QCOMPARE(mdb::named(mdb::kChangerStatus, 0x1F), QStringLiteral("unknown status"));
    }
};

QTEST_GUILESS_MAIN(MdbTest)
#include "tst_mdb.moc"
