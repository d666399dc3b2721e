#include "core/caption.h"
#include "core/linelistmodel.h"
#include "decode/money.h"
#include "decode/pairedlists.h"
#include "decode/tallies.h"

#include <QTest>

using namespace kestrel;

namespace {
struct Board
{
    LineListModel coin, coinCount, bill, billCount, debugging, debuggingValue, actionLog, raw;
    MoneyTotal total;
    TextCaption totalLabel{"Total Money Received:"};
    TextCaption status{"Special Instructions:"};
    Tallies tallies{{coin, coinCount, bill, billCount, debugging, debuggingValue, actionLog, raw},
                    total, totalLabel, status};
    Board()
    {
        alignPair(coin, coinCount);
        alignPair(bill, billCount);
        alignPair(debugging, debuggingValue);
    }
};
} // namespace

class TalliesTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }

    void initializeFillsEveryList()
    {
        Board b;
        b.actionLog.append("old");
        b.raw.append("08 50 06");
        b.tallies.InitializeCount();
        QCOMPARE(b.coin.rows(), QStringList({"Nickel", "Dime", "Quarter", "Canadian Dollar",
                                             "Canadian Two Dollar"}));
        QCOMPARE(b.bill.rows(), QStringList({"$1", "$2", "$5", "$10", "$20"}));
        QCOMPARE(b.coinCount.rows(), QStringList(5, "0"));
        QCOMPARE(b.billCount.rows(), QStringList(5, "0"));
        QCOMPARE(b.debugging.rows(),
                 QStringList({"In Buffer Count", "Input Buffer Lenght", "Buffer Content"}));
        QCOMPARE(b.debuggingValue.rows(), QStringList(3, " "));
        for (LineListModel *l : {&b.coin, &b.coinCount, &b.bill, &b.billCount, &b.debugging,
                                 &b.debuggingValue})
            QCOMPARE(l->selectedRow(), 0);
        QCOMPARE(b.actionLog.count(), 0);
        QCOMPARE(b.raw.count(), 0);
    }

    void clearAllPutsEverythingBack()
    {
        Board b;
        b.tallies.InitializeCount();
        Tallies::countUp(b.coinCount, 0);
        b.coin.setRow(0, "Nickel received");
        b.total.add(5);
        b.status.setText("Coin jam");
        b.actionLog.append("Received a Nickel");
        b.coin.select(3);
        b.tallies.ClearAll();
        QCOMPARE(b.coin.row(0), QStringLiteral("Nickel"));
        QCOMPARE(b.coinCount.row(0), QStringLiteral("0"));
        QCOMPARE(b.coinCount.selectedRow(), 0);
        QCOMPARE(b.actionLog.count(), 0);
        QCOMPARE(b.total.cents(), 0);
        QCOMPARE(b.totalLabel.text(), QStringLiteral("Money Received so far: $0.00"));
        QCOMPARE(b.status.text(), QStringLiteral("Special Instructions:"));

        // The next coin shows that coin's value alone.
        b.total.add(25);
        b.tallies.showTotalAfterReply();
        QCOMPARE(b.totalLabel.text(), QStringLiteral("Total Money Received so far: 0.25"));
    }

    void perDeviceClearEmptiesOnlyThatDevice()
    {
        Board b;
        b.tallies.InitializeCount();
        b.total.add(100);
        b.tallies.ClearCoinTotals();
        QCOMPARE(b.coin.count(), 0);
        QCOMPARE(b.coinCount.count(), 0);
        QCOMPARE(b.bill.count(), 5);
        QCOMPARE(b.total.cents(), 100);
        QCOMPARE(b.totalLabel.text(), QStringLiteral("Total Money Received:"));
        b.tallies.ClearBillTotals();
        QCOMPARE(b.billCount.count(), 0);
        QCOMPARE(b.debugging.count(), 3);
    }

    void selectionAlignsBothWaysAndShorterPartnerKeepsItsRow()
    {
        Board b;
        b.tallies.InitializeCount();
        b.billCount.select(3);
        QCOMPARE(b.bill.selectedRow(), 3);
        b.coin.select(4);
        QCOMPARE(b.coinCount.selectedRow(), 4);
        b.debuggingValue.select(2);
        QCOMPARE(b.debugging.selectedRow(), 2);

        // A partner without the row keeps its own selection and nothing is written anywhere.
        b.coinCount.clear();
        b.coinCount.append("7");
        b.coinCount.append("8");
        b.coinCount.select(1);
        QCOMPARE(b.coin.selectedRow(), 1);
        b.coin.select(4);
        QCOMPARE(b.coinCount.selectedRow(), 1);
        QCOMPARE(b.actionLog.count(), 0);
    }

    void countUp_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");
        QTest::addColumn<int>("failure");   // 0: none
        QTest::newRow("zero") << "0" << "1" << 0;
        QTest::newRow("spaces") << " 41 " << "42" << 0;
        QTest::newRow("last count") << "32766" << "32767" << 0;
        QTest::newRow("would pass 32767") << "32767" << "32767" << 6;
        QTest::newRow("not a number") << "lots" << "lots" << 13;
        QTest::newRow("empty") << "" << "" << 13;
        QTest::newRow("too large already") << "40000" << "40000" << 6;
    }
    void countUp()
    {
        QFETCH(QString, before);
        QFETCH(QString, after);
        QFETCH(int, failure);
        LineListModel counts;
        counts.append(before);
        int raised = 0;
        try {
            Tallies::countUp(counts, 0);
        } catch (const Failure &f) {
            raised = f.number();
        }
        QCOMPARE(raised, failure);
        QCOMPARE(counts.row(0), after);
    }

    void countUpOnAMissingRowFails()
    {
        LineListModel counts;
        QVERIFY_THROWS_EXCEPTION(Failure, Tallies::countUp(counts, 0));
    }

    void moneyIsExact()
    {
        MoneyTotal total;
        for (int i = 0; i < 20; ++i)
            total.add(5);
        QCOMPARE(money::plain(total.cents(), QLocale::c()), QStringLiteral("1.00"));
        for (int i = 20; i < 5000; ++i)
            total.add(5);
        QCOMPARE(money::plain(total.cents(), QLocale::c()), QStringLiteral("250.00"));
        for (int i = 0; i < 1000; ++i) {
            total.add(10);
            total.add(25);
            total.add(2000);
        }
        QCOMPARE(total.cents(), 25000 + 2035000);
        QCOMPARE(money::plain(total.cents(), QLocale::c()), QStringLiteral("20600.00"));
        QVERIFY_THROWS_EXCEPTION(Failure, total.add(std::numeric_limits<qint64>::max()));
    }

    void moneyFormats_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<qint64>("cents");
        QTest::addColumn<QString>("plain");
        QTest::addColumn<QString>("currency");
        QTest::newRow("C zero") << QLocale::c() << qint64(0) << "0.00" << "$0.00";
        QTest::newRow("C grouped") << QLocale::c() << qint64(123456) << "1234.56" << "$1,234.56";
        QTest::newRow("US") << QLocale(QLocale::English, QLocale::UnitedStates) << qint64(5)
                            << "0.05" << "$0.05";
        QTest::newRow("Germany") << QLocale(QLocale::German, QLocale::Germany) << qint64(123450)
                                 << "1234,50" << QString::fromUtf8("1.234,50\u00a0\u20ac");
    }
    void moneyFormats()
    {
        QFETCH(QLocale, locale);
        QFETCH(qint64, cents);
        QFETCH(QString, plain);
        QFETCH(QString, currency);
        QCOMPARE(money::plain(cents, locale), plain);
        QCOMPARE(money::currency(cents, locale), currency);
    }

    void loadLabelUsesTheCurrencyFormat()
    {
        Board b;
        b.tallies.UpdateTotalRecived();
        QCOMPARE(b.totalLabel.text(), QStringLiteral("Money Received so far: $0.00"));
    }
};

QTEST_GUILESS_MAIN(TalliesTest)
#include "tst_tallies.moc"
