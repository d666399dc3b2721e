#include "core/caption.h"
#include "core/linelistmodel.h"
#include "decode/money.h"
#include "decode/pairedlists.h"
#include "decode/tallies.h"

#include <QTest>

using namespace kestrel;

namespace {
struct Board : decode::ReplyState
{
    decode::Tallies tallies{*this};
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
        b.lstActionLog.append("old");
        b.List1.append("08 50 06");
        b.tallies.InitializeCount();
        QCOMPARE(b.lstCoin.rows(), QStringList({"Nickel", "Dime", "Quarter", "Canadian Dollar",
                                             "Canadian Two Dollar"}));
        QCOMPARE(b.lstBill.rows(), QStringList({"$1", "$2", "$5", "$10", "$20"}));
        QCOMPARE(b.lstCoinCount.rows(), QStringList(5, "0"));
        QCOMPARE(b.lstBillCount.rows(), QStringList(5, "0"));
        QCOMPARE(b.lstDebugging.rows(),
                 QStringList({"In Buffer Count", "Input Buffer Lenght", "Buffer Content"}));
        QCOMPARE(b.lstDebuggingValue.rows(), QStringList(3, " "));
        for (core::LineListModel *l : {&b.lstCoin, &b.lstCoinCount, &b.lstBill, &b.lstBillCount, &b.lstDebugging,
                                 &b.lstDebuggingValue})
            QCOMPARE(l->selectedRow(), 0);
        QCOMPARE(b.lstActionLog.count(), 0);
        QCOMPARE(b.List1.count(), 0);
    }

    void clearAllPutsEverythingBack()
    {
        Board b;
        b.tallies.InitializeCount();
        decode::Tallies::countUp(b.lstCoinCount, 0);
        b.lstCoin.setRow(0, "Nickel received");
        b.TotalReceived.add(5);
        b.lblSpecialInstruction.setText("Coin jam");
        b.lstActionLog.append("Received a Nickel");
        b.lstCoin.select(3);
        b.tallies.ClearAll();
        QCOMPARE(b.lstCoin.row(0), QStringLiteral("Nickel"));
        QCOMPARE(b.lstCoinCount.row(0), QStringLiteral("0"));
        QCOMPARE(b.lstCoinCount.selectedRow(), 0);
        QCOMPARE(b.lstActionLog.count(), 0);
        QCOMPARE(b.TotalReceived.cents(), 0);
        QCOMPARE(b.lblTotalReceived.text(), QStringLiteral("Money Received so far: $0.00"));
        QCOMPARE(b.lblSpecialInstruction.text(), QStringLiteral("Special Instructions:"));

        // The next coin shows that coin's value alone.
        b.TotalReceived.add(25);
        b.tallies.showTotalAfterReply();
        QCOMPARE(b.lblTotalReceived.text(), QStringLiteral("Total Money Received so far: 0.25"));
    }

    void perDeviceClearEmptiesOnlyThatDevice()
    {
        Board b;
        b.tallies.InitializeCount();
        b.TotalReceived.add(100);
        b.tallies.ClearCoinTotals();
        QCOMPARE(b.lstCoin.count(), 0);
        QCOMPARE(b.lstCoinCount.count(), 0);
        QCOMPARE(b.lstBill.count(), 5);
        QCOMPARE(b.TotalReceived.cents(), 100);
        QCOMPARE(b.lblTotalReceived.text(), QStringLiteral("Total Money Received:"));
        b.tallies.ClearBillTotals();
        QCOMPARE(b.lstBillCount.count(), 0);
        QCOMPARE(b.lstDebugging.count(), 3);
    }

    void selectionAlignsBothWaysAndShorterPartnerKeepsItsRow()
    {
        Board b;
        b.tallies.InitializeCount();
        b.lstBillCount.select(3);
        QCOMPARE(b.lstBill.selectedRow(), 3);
        b.lstCoin.select(4);
        QCOMPARE(b.lstCoinCount.selectedRow(), 4);
        b.lstDebuggingValue.select(2);
        QCOMPARE(b.lstDebugging.selectedRow(), 2);

        // A partner without the row keeps its own selection and nothing is written anywhere.
        b.lstCoinCount.clear();
        b.lstCoinCount.append("7");
        b.lstCoinCount.append("8");
        b.lstCoinCount.select(1);
        QCOMPARE(b.lstCoin.selectedRow(), 1);
        b.lstCoin.select(4);
        QCOMPARE(b.lstCoinCount.selectedRow(), 1);
        QCOMPARE(b.lstActionLog.count(), 0);
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
        core::LineListModel counts;
        counts.append(before);
        int raised = 0;
        try {
            decode::Tallies::countUp(counts, 0);
        } catch (const core::Failure &f) {
            raised = f.number();
        }
        QCOMPARE(raised, failure);
        QCOMPARE(counts.row(0), after);
    }

    void countUpOnAMissingRowFails()
    {
        core::LineListModel counts;
        QVERIFY_THROWS_EXCEPTION(core::Failure, decode::Tallies::countUp(counts, 0));
    }

    void moneyIsExact()
    {
        decode::MoneyTotal total;
        for (int i = 0; i < 20; ++i)
            total.add(5);
        QCOMPARE(decode::money::plain(total.cents(), QLocale::c()), QStringLiteral("1.00"));
        for (int i = 20; i < 5000; ++i)
            total.add(5);
        QCOMPARE(decode::money::plain(total.cents(), QLocale::c()), QStringLiteral("250.00"));
        for (int i = 0; i < 1000; ++i) {
            total.add(10);
            total.add(25);
            total.add(2000);
        }
        QCOMPARE(total.cents(), 25000 + 2035000);
        QCOMPARE(decode::money::plain(total.cents(), QLocale::c()), QStringLiteral("20600.00"));
        QVERIFY_THROWS_EXCEPTION(core::Failure, total.add(std::numeric_limits<qint64>::max()));
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
        QCOMPARE(decode::money::plain(cents, locale), plain);
        QCOMPARE(decode::money::currency(cents, locale), currency);
    }

    void loadLabelUsesTheCurrencyFormat()
    {
        Board b;
        b.tallies.UpdateTotalRecived();
        QCOMPARE(b.lblTotalReceived.text(), QStringLiteral("Money Received so far: $0.00"));
    }
};

QTEST_GUILESS_MAIN(TalliesTest)
#include "tst_tallies.moc"
