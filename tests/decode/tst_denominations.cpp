#include "mdb/denominations.h"
#include "mdb/replytables.h"
#include "sim/peripherals.h"

#include <QTest>

using namespace kestrel;
using namespace kestrel::denominations;

// The coins and bills the console counts, and that every reply the board sends for one of them is
// a reply the console counts as that coin or bill.
class DenominationsTest : public QObject
{
    Q_OBJECT
private slots:
    void coins_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("cents");
        QTest::addColumn<int>("coinType");
        QTest::newRow("row 0") << "Nickel" << 5 << 0;
        QTest::newRow("row 1") << "Dime" << 10 << 1;
        QTest::newRow("row 2") << "Quarter" << 25 << 2;
        QTest::newRow("row 3") << "Canadian Dollar" << 100 << 4;
        QTest::newRow("row 4") << "Canadian Two Dollar" << 200 << 5;
    }
    void coins()
    {
        QFETCH(QString, name);
        QFETCH(int, cents);
        QFETCH(int, coinType);
        const int row = QString::fromLatin1(QTest::currentDataTag()).mid(4).toInt();
        QCOMPARE(int(kCoins.size()), 5);
        QCOMPARE(QString::fromLatin1(kCoins[row].name), name);
        QCOMPARE(kCoins[row].cents, qint64(cents));
        QCOMPARE(kCoins[row].coinType, coinType);
    }

    void bills_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("cents");
        QTest::newRow("row 0") << "$1" << 100;
        QTest::newRow("row 1") << "$2" << 200;
        QTest::newRow("row 2") << "$5" << 500;
        QTest::newRow("row 3") << "$10" << 1000;
        QTest::newRow("row 4") << "$20" << 2000;
    }
    void bills()
    {
        QFETCH(QString, name);
        QFETCH(int, cents);
        const int row = QString::fromLatin1(QTest::currentDataTag()).mid(4).toInt();
        QCOMPARE(int(kBills.size()), 5);
        QCOMPARE(QString::fromLatin1(kBills[row].name), name);
        QCOMPARE(kBills[row].cents, qint64(cents));
        QCOMPARE(kBills[row].billType, row);
    }

    void everyReplyForACoinOrBillCountsThatOne()
    {
        for (std::size_t row = 0; row < kCoins.size(); ++row) {
            const Coin &coin = kCoins[row];
            for (int state = 0; state < TubeStates; ++state) {
                const ReplyRow *in = replies::find(QString::fromLatin1(coin.takenIn[state]));
                QVERIFY2(in && in->tally == ReplyRow::Tally::Coin && in->row == int(row), coin.takenIn[state]);
                QCOMPARE(in->cents(), coin.cents);
                const ReplyRow *back = replies::find(QString::fromLatin1(coin.rejected[state]));
                QVERIFY2(back && back->tally == ReplyRow::Tally::None, coin.rejected[state]);
                if (coin.hasTube) {
                    const ReplyRow *paid = replies::find(QString::fromLatin1(coin.paidOut[state]));
                    QVERIFY2(paid && paid->tally == ReplyRow::Tally::None, coin.paidOut[state]);
                } else {
                    QVERIFY(!coin.paidOut[state]);
                }
            }
        }
        for (std::size_t row = 0; row < kBills.size(); ++row) {
            const ReplyRow *in = replies::find(QString::fromLatin1(kBills[row].stacked));
            QVERIFY2(in && in->tally == ReplyRow::Tally::Bill && in->row == int(row), kBills[row].stacked);
            // Held or returned, a bill is only shown: no row of the console's takes it.
            QVERIFY(!replies::find(QString::fromLatin1(kBills[row].inEscrow)));
            QVERIFY(!replies::find(QString::fromLatin1(kBills[row].returned)));
        }
    }

    void theVirtualBoardHasEveryCoinAndBill()
    {
        QCOMPARE(int(sim::CoinChanger::CoinCount), int(kCoins.size()));
        QCOMPARE(int(sim::BillValidator::BillCount), int(kBills.size()));
        for (int tube = 0; tube < int(kCoins.size()); ++tube)
            QCOMPARE(kCoins[std::size_t(tube)].hasTube, tube < sim::CoinChanger::kTubes);
    }
};

QTEST_GUILESS_MAIN(DenominationsTest)
#include "tst_denominations.moc"
