#include "core/actionlog.h"
#include "core/linelistmodel.h"
#include "core/trap.h"

#include <QTest>

using namespace kestrel;

class TrapTest : public QObject
{
    Q_OBJECT
private slots:
    void errorLineTrimsBlanksOnly()
    {
        QCOMPARE(errorLine(QStringLiteral("Error In Dispensing Dime, "),
                           core::Failure(8018, QStringLiteral("  Port is closed \t "))),
                 QStringLiteral("Error In Dispensing Dime, Port is closed \t - 8018"));
        QCOMPARE(errorLine(QStringLiteral("X, "), core::Failure(-5, QString())), QStringLiteral("X,  - -5"));
        QCOMPARE(core::trimSpaces(QStringLiteral("  08 01\r ")), QStringLiteral("08 01\r"));
    }

    void failingStepIsReportedAndTheNextStepRuns()
    {
        QStringList reports;
        QStringList ran;
        core::Trap trap([&](const core::Failure &f) { reports << QString::number(f.number()); });
        trap([&] { ran << "1"; });
        trap([&] { throw core::Failure(6, "Overflow"); });
        trap([&] { ran << "3"; });
        trap([&] { throw std::bad_alloc(); });
        QCOMPARE(ran, QStringList({"1", "3"}));
        QCOMPARE(reports, QStringList({"6", "7"}));
        QCOMPARE(trap.failureCount(), 2);
    }

    void stoppingTrapSkipsLaterSteps()
    {
        int reports = 0;
        bool ranAfter = false;
        core::Trap trap([&](const core::Failure &) { ++reports; }, core::Trap::After::Stop);
        QVERIFY(!trap([&] { throw core::Failure(1, "x"); }));
        QVERIFY(!trap([&] { ranAfter = true; }));
        QVERIFY(trap.stopped());
        QCOMPARE(reports, 1);
        QVERIFY(!ranAfter);
    }

    void failureWhileReportingIsSwallowed()
    {
        bool ranAfter = false;
        core::Trap trap([](const core::Failure &) { throw core::Failure(381, "no row"); });
        trap([] { throw core::Failure(1, "x"); });
        trap([&] { ranAfter = true; });
        QVERIFY(ranAfter);
    }

    void actionLogSelectsOnlyWhenAsked()
    {
        core::LineListModel list;
        core::ActionLog log(list);
        log.AppendLogLine("a");
        QCOMPARE(list.selectedRow(), 0);
        log.appendQuietly("b");
        QCOMPARE(list.selectedRow(), 0);
        core::Trap quiet = log.quietTrap("Communications Error, ");
        quiet([] { throw core::Failure(8020, "read"); });
        QCOMPARE(list.selectedRow(), 0);
        core::Trap loud = log.trap("Error reseting changer, ");
        loud([] { throw core::Failure(8018, "closed"); });
        QCOMPARE(list.rows(), QStringList({"a", "b", "Communications Error, read - 8020",
                                           "Error reseting changer, closed - 8018"}));
        QCOMPARE(list.selectedRow(), 3);
    }

    void rowsShowControlCharactersAndLongRowsCutShort()
    {
        QCOMPARE(core::LineListModel::shown(QStringLiteral("08 01\r\n")),
                 QStringLiteral("08 01\u240d\u240a"));
        QCOMPARE(core::LineListModel::shown(QString::fromLatin1("\0\x7f", 2)), QStringLiteral("\u2400\u2421"));
        const QString megabyte(1 << 20, QLatin1Char('A'));
        QCOMPARE(core::LineListModel::shown(megabyte).size(), core::LineListModel::kShownCharacters + 1);
        core::LineListModel list;
        list.append(megabyte);
        QCOMPARE(list.row(0), megabyte);   // the row keeps every character
    }

    void listRowsFailOutOfRange()
    {
        core::LineListModel list;
        list.append("only");
        QVERIFY_THROWS_EXCEPTION(core::Failure, list.row(1));
        QVERIFY_THROWS_EXCEPTION(core::Failure, list.setRow(-1, "x"));
        QVERIFY_THROWS_EXCEPTION(core::Failure, list.select(1));
        list.select(-1);
        QCOMPARE(list.selectedRow(), -1);
    }
};

QTEST_GUILESS_MAIN(TrapTest)
#include "tst_trap.moc"
