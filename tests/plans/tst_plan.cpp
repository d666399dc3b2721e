#include "plans/plan.h"

#include <QTemporaryDir>
#include <QTest>

using namespace kestrel;
using namespace kestrel::plans;

namespace {

// A step as one line of text, so that a table can say what each written step must mean.
QString meaning(const Action &action)
{
    struct
    {
        QString operator()(const Press &p) const
        {
            return QStringLiteral("press %1 %2").arg(p.button.row ? QLatin1String(p.button.row->control)
                                                                : QLatin1String("escrow toggle"),
                                                     p.button.caption);
        }
        QString operator()(const Expect &e) const
        {
            QStringList patterns;
            for (const ReplyPattern &p : e.patterns)
                patterns << patternText(p);
            return QStringLiteral("expect [%1] %2ms").arg(patterns.join(QStringLiteral("|"))).arg(e.within.count());
        }
        QString operator()(const Ask &a) const { return QStringLiteral("ask ") + a.prompt; }
        QString operator()(const Wait &w) const { return QStringLiteral("wait %1ms").arg(w.time.count()); }
        QString operator()(const CheckTally &c) const { return QStringLiteral("tally %1 %2").arg(c.name).arg(c.count); }
        QString operator()(const CheckTotal &c) const { return QStringLiteral("total %1").arg(c.cents); }
        QString operator()(const CheckStatus &c) const { return QStringLiteral("status ") + c.text; }
        QString operator()(const CheckTube &c) const { return QStringLiteral("tube %1 %2").arg(c.coin).arg(c.change); }
        QString operator()(const CheckPayout &) const { return QStringLiteral("payout"); }
        QString operator()(const Send &s) const
        {
            if (!s.command)
                return QStringLiteral("send raw ") + mdb::hex(s.raw);
            QStringList given;
            for (const mdb::Given &g : s.given)
                given << g.name + QLatin1Char('=') + g.value;
            return QStringLiteral("send %1 %2 [%3]").arg(mdb::nameOf(s.command->peripheral), QLatin1String(s.command->name),
                                                          given.join(QLatin1Char(' ')));
        }
        QString operator()(const CheckReply &c) const { return QStringLiteral("reply %1 = %2").arg(c.field, c.value); }
    } visit;
    return std::visit(visit, action);
}

} // namespace

class PlanTest : public QObject
{
    Q_OBJECT
private slots:
    void steps_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("meant");
        const struct { const char *line, *meant; } rows[] = {
            {"press \"Dispense Dime\"", "press cmdDispenseDime Dispense Dime"},
            {"press changer \"Reset\"", "press cmdResetChanger Reset"},
            {"press validator \"Reset\"", "press cmdResetVal Reset"},
            {"press cashless \"Reset\"", "press cmdResetCashless Reset"},
            {"press validator \"Identify\"", "press BV_id Identify"},
            {"press \"Enable Escrow\"", "press escrow toggle Enable Escrow"},
            {"press validator \"Disable Escrow\"", "press escrow toggle Disable Escrow"},
            {"press \"Set-up 11 00 01 0F 02 01\"", "press Command2 Set-up 11 00 01 0F 02 01"},
            {"expect \"08 91 *\"", "expect [08 91 *] 2000ms"},
            {"expect \"08 91 *\" within 2s", "expect [08 91 *] 2000ms"},
            {"expect \"08 50 *\" or \"08 40 *\" within 60s", "expect [08 50 *|08 40 *] 60000ms"},
            {"expect \"30 a0 09\" within 250ms", "expect [30 A0 09] 250ms"},
            {"expect \"*\" within 1.5s", "expect [*] 1500ms"},
            {"ask \"Insert a quarter\"", "ask Insert a quarter"},
            {"wait 500ms", "wait 500ms"},
            {"check tally Quarter = 1", "tally Quarter 1"},
            {"check tally quarter = 12", "tally Quarter 12"},
            {"check tally $20 = 0", "tally $20 0"},
            {"check tally \"Canadian Dollar\" = 2", "tally Canadian Dollar 2"},
            {"check total = 0.25", "total 25"},
            {"check total = 12", "total 1200"},
            {"check status = \"Coin jam\"", "status Coin jam"},
            {"check tube Dime -1", "tube Dime -1"},
            {"check tube Quarter +2", "tube Quarter 2"},
            {"check payout", "payout"},
            {"  press \"Tube Status\"   # before the payout", "press cmdTubeStatus Tube Status"},
            // Commands of the bus by name and parameters, and raw frames; money is composed when
            // the step runs.
            {"send changer DISPENSE coin=2 count=3", "send coin changer DISPENSE [coin=2 count=3]"},
            {"send cashless \"VEND REQUEST\" price=1.25 item=7", "send cashless reader VEND REQUEST [price=1.25 item=7]"},
            {"send \"0F 05\"", "send raw 0F 05"},
            {"send changer \"expansion identification\"", "send coin changer IDENTIFICATION []"},
            {"send validator ESCROW action=stack", "send bill validator ESCROW [action=stack]"},
            {"check reply \"manufacturer code\" = \"ABC\"", "reply manufacturer code = ABC"},
        };
        for (const auto &row : rows)
            QTest::newRow(row.line) << QString::fromUtf8(row.line) << QString::fromUtf8(row.meant);
    }
    void steps()
    {
        QFETCH(QString, line);
        QFETCH(QString, meant);
        const Parsed parsed = parse(line, QStringLiteral("p.plan"));
        QVERIFY2(parsed.plan, qPrintable(parsed.error));
        QCOMPARE(parsed.plan->steps.size(), 1);
        QCOMPARE(meaning(parsed.plan->steps[0].action), meant);
    }

    // Every fault a hand-written plan can have: one error, FILE:LINE: message, and no plan (so
    // nothing is sent).
    void badPlans_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("error");
        const struct { const char *name, *text, *error; } rows[] = {
            {"shared caption without its device", "press \"Reset\"\npush \"Setup\"", "p.plan:1: \"Reset\" is on more than one tab: name the device (changer, validator, cashless)"},
            {"unknown verb alone", "# a plan\npush changer \"Setup\"", "p.plan:2: unknown verb push (press, send, expect, ask, wait, check)"},
            {"unknown caption", "press changer \"Dispense Penny\"", "p.plan:1: no button \"Dispense Penny\" on the changer tab (its buttons: \"Reset\", \"Setup\", \"Tube Status\", \"Enable All Coin Types\", \"Disable All Coin Types\", \"Identify\", \"Payout Level2\", \"Dispense Nickel\", \"Dispense Dime\", \"Dispense Quarter\")"},
            {"caption on no tab", "press \"Launch\"", "p.plan:1: no button \"Launch\" on any tab"},
            {"unknown device", "press hopper \"Reset\"", "p.plan:1: unknown device hopper (changer, validator or cashless)"},
            {"caption not quoted", "press changer Reset", "p.plan:1: a button's caption expected in double quotes, not Reset"},
            {"bad time unit", "expect \"08 00\" within 2x", "p.plan:1: bad time 2x (write it as 500ms or 2s)"},
            {"bad time zero", "wait 0ms", "p.plan:1: bad time 0ms (from 1ms to 600s)"},
            {"bad time too long", "wait 601s", "p.plan:1: bad time 601s (from 1ms to 600s)"},
            {"time missing", "expect \"08 00\" within", "p.plan:1: a time expected"},
            {"unclosed quote", "ask \"Insert a quarter", "p.plan:1: unclosed quote"},
            {"pattern not hex", "expect \"08 9G\"", "p.plan:1: reply pattern \"08 9G\" is not hex bytes (two hex digits each, or * for any bytes)"},
            {"pattern one digit", "expect \"08 9 *\"", "p.plan:1: reply pattern \"08 9 *\" is not hex bytes (two hex digits each, or * for any bytes)"},
            {"pattern run together", "expect \"0891\"", "p.plan:1: reply pattern \"0891\" is not hex bytes (two hex digits each, or * for any bytes)"},
            {"pattern empty", "expect \"\"", "p.plan:1: empty reply pattern"},
            {"pattern not quoted", "expect 08", "p.plan:1: a reply pattern expected in double quotes, not 08"},
            {"unknown tally", "check tally Penny = 1", "p.plan:1: no tally Penny (the tallies: Nickel, Dime, Quarter, Canadian Dollar, Canadian Two Dollar, $1, $2, $5, $10, $20)"},
            {"count not a number", "check tally Dime = one", "p.plan:1: one is not a count"},
            {"amount with one decimal", "check total = 0.5", "p.plan:1: 0.5 is not an amount such as 0.25 or 5.00"},
            {"no equals sign", "check total 0.25", "p.plan:1: \"=\" expected, not 0.25"},
            {"tube without one", "check tube Canadian -1", "p.plan:1: no tube for Canadian (the tubes: Nickel, Dime, Quarter)"},
            {"change not signed number", "check tube Dime less", "p.plan:1: less is not a change such as -1 or +2"},
            {"unknown check", "check coins", "p.plan:1: cannot check coins (tally, total, status, tube, payout or reply)"},
            {"word left over", "check payout now", "p.plan:1: unexpected now at the end of the step"},
            {"verb in quotes", "\"press\"", "p.plan:1: a step begins with a verb (press, send, expect, ask, wait, check), not \"press\""},
            {"no steps", "# nothing\n\n", "p.plan:3: the plan has no steps"},
            {"send to no device", "send hopper RESET", "p.plan:1: unknown device hopper (changer, validator or cashless)"},
            {"send a command the device lacks", "send cashless DISPENSE coin=1",
             "p.plan:1: the cashless reader has no command DISPENSE (its commands: RESET, SETUP CONFIG DATA, SETUP MAX/MIN PRICES, "
             "POLL, VEND REQUEST, VEND CANCEL, VEND SUCCESS, VEND FAILURE, SESSION COMPLETE, CASH SALE, READER DISABLE, "
             "READER ENABLE, READER CANCEL, REVALUE REQUEST, REVALUE LIMIT REQUEST, REQUEST ID)"},
            {"send a parameter out of range", "send changer DISPENSE coin=16", "p.plan:1: coin = 16 is out of range: 0 to 15"},
            {"send a word that is no parameter", "send changer DISPENSE 2", "p.plan:1: 2 is no parameter: write name=value"},
            {"send a money amount badly written", "send changer PAYOUT value=ten", "p.plan:1: value = ten is not an amount such as 1.25"},
            {"send a raw frame with an odd digit", "send \"0F 5\"", "p.plan:1: An odd number of hex digits (3): each byte is two"},
            {"send a raw frame to no peripheral", "send \"40 00\"", "p.plan:1: 40 00 addresses no peripheral of the console (08 to 0F, 10 to 17, 30 to 37)"},
            {"check reply with no value", "check reply \"model\"", "p.plan:1: \"=\" expected"},
            {"fault on a later line", "press changer \"Reset\"\nexpect \"08 0B\"\n\nwait 2 s", "p.plan:4: bad time 2 (write it as 500ms or 2s)"},
        };
        for (const auto &row : rows)
            QTest::newRow(row.name) << QString::fromUtf8(row.text) << QString::fromUtf8(row.error);
        // A bad word is echoed cut to sixty characters, control characters escaped: a line of a
        // megabyte, or of NULs, is named in one short line.
        const QString megabyte(1 << 20, QLatin1Char('x'));
        QTest::newRow("a megabyte verb") << megabyte
                                         << QStringLiteral("p.plan:1: unknown verb %1... (1048576 characters) (press, send, expect, ask, wait, check)")
                                                .arg(QString(60, QLatin1Char('x')));
        QTest::newRow("NULs in a time") << QStringLiteral("wait 1") + QString(65536, QChar(0))
                                        << QStringLiteral("p.plan:1: bad time 1%1... (65537 characters) (write it as 500ms or 2s)")
                                               .arg(QStringLiteral("\\x00").repeated(15));
    }
    void badPlans()
    {
        QFETCH(QString, text);
        QFETCH(QString, error);
        const Parsed parsed = parse(text, QStringLiteral("p.plan"));
        QVERIFY(!parsed.plan);
        QCOMPARE(parsed.error, error);
    }

    void files()
    {
        QTemporaryDir dir;
        const QString missing = dir.filePath(QStringLiteral("missing.plan"));
        QCOMPARE(load(missing).error, missing + QStringLiteral(":1: no such plan file, and no built-in plan of that name (changer, validator, cashless, changer-deep)"));
        QCOMPARE(load(dir.path()).error.section(QLatin1Char(':'), -1).trimmed(),
                 QStringLiteral("no such plan file, and no built-in plan of that name (changer, validator, cashless, changer-deep)"));
        const QString written = dir.filePath(QStringLiteral("dime.plan"));
        QFile file(written);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("plan \"Dime out\"\r\npress \"Dispense Dime\"\r\nexpect \"08 91 *\" within 5s\r\n");
        file.close();
        const Parsed parsed = load(written);
        QVERIFY2(parsed.plan, qPrintable(parsed.error));
        QCOMPARE(parsed.plan->title, QStringLiteral("Dime out"));
        QCOMPARE(parsed.plan->steps.size(), 2);
        QCOMPARE(parsed.plan->steps[1].line, 3);
        QCOMPARE(parsed.plan->steps[1].source, QStringLiteral("expect \"08 91 *\" within 5s"));
    }

    void builtInsParse()
    {
        QCOMPARE(builtIns().size(), 4);
        for (const BuiltIn &builtIn : builtIns()) {
            const Parsed parsed = load(QString::fromLatin1(builtIn.name));
            QVERIFY2(parsed.plan, qPrintable(parsed.error));
            QVERIFY(parsed.plan->steps.size() > 10);
        }
    }

    void patterns_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("reply");
        QTest::addColumn<bool>("matched");
        const struct { const char *pattern, *reply; bool matched; } rows[] = {
            {"08 91 *", "08 91 08\r\n", true},
            {"08 91 *", "08 91", true},               // * takes no bytes too
            {"08 91 *", "08 92 08\r\n", false},
            {"08 91 08", "08 91 08 00", false},       // every byte, no more
            {"08 91 08", "08 91", false},
            {"08 * 08", "08 91 6B 08", true},
            {"08 * 08", "08 91 6B", false},
            {"* 06", "08 50 06\r\n", true},
            {"*", "EXACT CHANGE", false},             // a notice's text is no hex bytes
            {"CC", "CC", true},                       // the notice's mark is
            {"08 0c", "08 0C", true},
            {"30 *", "30 80 09 extra", false},        // noise in the reply
            {"30 * 09 *", "30 80 09 09 09", true},
        };
        for (const auto &row : rows)
            QTest::newRow(QByteArray(row.pattern) + " / " + row.reply) << QString::fromLatin1(row.pattern)
                                                                   << QString::fromLatin1(row.reply) << row.matched;
    }
    void patterns()
    {
        QFETCH(QString, pattern);
        QFETCH(QString, reply);
        QFETCH(bool, matched);
        const Parsed parsed = parse(QStringLiteral("expect \"%1\"").arg(pattern), QStringLiteral("p"));
        QVERIFY2(parsed.plan, qPrintable(parsed.error));
        QCOMPARE(matches(std::get<Expect>(parsed.plan->steps[0].action).patterns[0], reply), matched);
    }
};

QTEST_GUILESS_MAIN(PlanTest)
#include "tst_plan.moc"
