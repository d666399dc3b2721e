// The test plan's watchers alone, fed decoded replies as the runner feeds them: the payout, the
// devices' identity, the round trips. They read a reply's fields by their kinds, so that a field
// reworded for a person breaks none of them.

#include "plans/identitywatcher.h"
#include "plans/payoutwatcher.h"
#include "plans/roundtripwatcher.h"

#include <QTest>

using namespace kestrel;
using namespace kestrel::plans;

namespace {

// A reply as the console's reply history decodes it: to the command that asked for it.
decode::details::Decoded reply(const char *text, const char *askedHex = "")
{
    decode::details::Context context;
    context.asked = QByteArray::fromHex(askedHex);
    return decode::details::decode(QString::fromLatin1(text), context);
}

QString tubes(int nickels, int dimes, int quarters)
{
    return QStringLiteral("08 00 00 %1 %2 %3 00 00 00 00 00 00 00 00 00 00 00 00 00")
        .arg(nickels, 2, 16, QLatin1Char('0')).arg(dimes, 2, 16, QLatin1Char('0')).arg(quarters, 2, 16, QLatin1Char('0'))
        .toUpper();
}

} // namespace

Q_DECLARE_METATYPE(QList<QByteArray>)

class WatchersTest : public QObject
{
    Q_OBJECT
private slots:
    // A payout framed by two TUBE STATUS replies, as requested, reported and taken from the tubes.
    void payouts_data()
    {
        QTest::addColumn<QString>("requests");        // "coin:TUBE:COUNT", "type:TYPE:COUNT", "value:CENTS"
        QTest::addColumn<QList<QByteArray>>("paid");  // the changer's activity replies
        QTest::addColumn<QString>("after");           // the tubes after: "N D Q"
        QTest::addColumn<QString>("dime");            // check tube Dime's expected change, and its result
        QTest::addColumn<QString>("payout");          // check payout's result
        QTest::newRow("two dimes, reported and gone") << "coin:1:2" << QList<QByteArray>{"08 91 13", "08 91 12"} << "20 18 20"
                                                      << "-2:" << "";
        QTest::newRow("three quarters in one report") << "type:2:3" << QList<QByteArray>{"08 B2 11"} << "20 20 17"
                                                      << "0:" << "";
        QTest::newRow("a short payout: reported, still in the tube")
            << "coin:1:2" << QList<QByteArray>{"08 91 14", "08 91 14"} << "20 20 20" << "-2:the Dime tube went from 20 to 20 (0), expected -2"
            << "payout does not reconcile: Dime: requested 2, reported 2, tube change 0 (short payout: 2 reported paid, still in the tube)";
        QTest::newRow("one asked, none reported") << "coin:1:1" << QList<QByteArray>{} << "20 20 20" << "0:"
            << "payout does not reconcile: Dime: requested 1, reported 0, tube change 0";
        QTest::newRow("by value, paid as a dime and a nickel") << "value:15" << QList<QByteArray>{"08 91 13", "08 90 13"} << "19 19 20"
                                                               << "-1:" << "";
        QTest::newRow("by value, paid short of it") << "value:40" << QList<QByteArray>{"08 92 13"} << "20 20 19" << "0:"
            << "payout does not reconcile: by value: requested 0.40, reported 0.25";
    }
    void payouts()
    {
        QFETCH(QString, requests);
        QFETCH(QList<QByteArray>, paid);
        QFETCH(QString, after);
        QFETCH(QString, dime);
        QFETCH(QString, payout);
        PayoutWatcher watcher;
        watcher.replyRead(reply(qPrintable(tubes(20, 20, 20)), "0A"));
        const QStringList r = requests.split(QLatin1Char(':'));
        if (r[0] == QLatin1String("coin"))
            watcher.coinsRequested(r[1].toInt(), r[2].toInt());
        else if (r[0] == QLatin1String("type"))
            watcher.coinTypeRequested(r[1].toInt(), r[2].toInt());
        else
            watcher.valueRequested(r[1].toInt());
        for (const QByteArray &activity : paid)
            watcher.replyRead(reply(activity.constData(), "0F02"));
        const QStringList counts = after.split(QLatin1Char(' '));
        watcher.replyRead(reply(qPrintable(tubes(counts[0].toInt(), counts[1].toInt(), counts[2].toInt())), "0A"));
        QCOMPARE(watcher.checkTube(QStringLiteral("Dime"), dime.section(QLatin1Char(':'), 0, 0).toInt()),
                 dime.section(QLatin1Char(':'), 1));
        QCOMPARE(watcher.checkPayout(), payout);
    }

    void aPayoutNeedsTwoTubeStatusReplies()
    {
        PayoutWatcher watcher;
        QCOMPARE(watcher.checkTube(QStringLiteral("Nickel"), -1), QStringLiteral("no TUBE STATUS read both before and after a payout"));
        watcher.replyRead(reply(qPrintable(tubes(5, 5, 5)), "0A"));
        watcher.coinsRequested(0, 1);
        // A TUBE STATUS cut short holds no count of the quarters: it closes nothing.
        watcher.replyRead(reply("08 00 00 04 05", "0A"));
        QVERIFY(!watcher.payouts().first().tubeChange);
        // A reply of another peripheral with the same bytes is no changer's.
        watcher.replyRead(reply("30 00 00 04 05 05", "36"));
        QVERIFY(!watcher.payouts().first().tubeChange);
    }

    void identities()
    {
        IdentityWatcher watcher;
        watcher.replyRead(reply("08 03 00 01 05 02 00 07 01 02 05 00 14 28 00 00 00 00 00 00 00 00 00 00", "09"));
        watcher.replyRead(reply("08 56 4C 4D 30 30 30 30 30 30 30 30 30 30 30 31 43 48 4E 47 2D 33 30 30 30 20 20 20 01 02 00 00 00 07",
                                "0F00"));
        watcher.replyRead(reply("08 50 06"));   // a coin: nothing of the identity
        QCOMPARE(watcher.identities().size(), 1);
        const IdentityWatcher::Identity &changer = watcher.identities().first();
        QCOMPARE(changer.device, QStringLiteral("coin changer (08)"));
        QCOMPARE(changer.fields, (QList<QPair<QString, QString>>{{"feature level", "3"},
                                                                 {"manufacturer code", "VLM"},
                                                                 {"serial number", "000000000001"},
                                                                 {"model", "CHNG-3000"},
                                                                 {"software version", "1.02"}}));
    }

    void roundTrips()
    {
        RoundTripWatcher watcher;
        watcher.expectationMet(5);                        // nothing sent yet
        watcher.commandQueued(QStringLiteral("changer \"Tube Status\""));
        watcher.frameWritten(10);
        watcher.expectationMet(25.5);
        watcher.expectationMet(40);                       // a second expectation of the same command
        QCOMPARE(watcher.roundTrips().size(), 1);
        QCOMPARE(watcher.roundTrips().first().command, QStringLiteral("changer \"Tube Status\""));
        QCOMPARE(watcher.roundTrips().first().ms, 15.5);
    }
};

QTEST_GUILESS_MAIN(WatchersTest)
#include "tst_watchers.moc"
