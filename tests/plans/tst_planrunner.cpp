#include "console/portselection.h"
#include "plans/planrunner.h"
#include "plans/report.h"
#include "sim/virtualboard.h"
#include "tests/support/boardconsole.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

using namespace kestrel;
using namespace kestrel::plans;

namespace {

using State = PlanRunner::State;

// A console on the virtual board at line speed, as the window and the headless run have it.
struct PlanRig : test::BoardConsole
{
    // Runs the plan to its end; the board answers its requests unless told not to.
    void run(PlanRunner &runner, bool answers = true)
    {
        if (answers)
            QObject::connect(&runner, &PlanRunner::asked, board, &sim::VirtualBoard::answer);
        QSignalSpy finished(&runner, &PlanRunner::finished);
        runner.start();
        if (runner.isRunning())
            QVERIFY(finished.wait(60000));
        QVERIFY(!runner.isRunning());
    }

    QStringList failures(const PlanRunner &runner) const
    {
        QStringList lines;
        for (int i = 0; i < runner.results().size(); ++i)
            if (runner.results()[i].state == State::Failed)
                lines << runner.plan().steps[i].source + QStringLiteral(": ") + runner.results()[i].detail;
        return lines;
    }
};

Plan planOf(const char *text)
{
    const Parsed parsed = parse(QString::fromUtf8(text), QStringLiteral("test.plan"));
    return *parsed.plan;
}

// The JUnit report's shape: one suite named after the plan, a testcase per step, failures and
// skips counted as the steps went.
void checkJUnit(const QString &xml, const PlanRunner &runner)
{
    QXmlStreamReader reader(xml);
    int suites = 0, cases = 0, failures = 0, skipped = 0;
    QString suiteName, suiteTests, suiteFailures;
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (reader.name() == QLatin1String("testsuite")) {
            ++suites;
            suiteName = reader.attributes().value(QLatin1String("name")).toString();
            suiteTests = reader.attributes().value(QLatin1String("tests")).toString();
            suiteFailures = reader.attributes().value(QLatin1String("failures")).toString();
        }
        cases += reader.name() == QLatin1String("testcase");
        failures += reader.name() == QLatin1String("failure");
        skipped += reader.name() == QLatin1String("skipped");
    }
    QVERIFY2(!reader.hasError(), qPrintable(reader.errorString()));
    QCOMPARE(suites, 1);
    QCOMPARE(suiteName, runner.plan().title);
    QCOMPARE(cases, runner.plan().steps.size());
    QCOMPARE(suiteTests, QString::number(cases));
    const auto count = [&](std::initializer_list<State> states) {
        return int(std::count_if(runner.results().begin(), runner.results().end(), [&](const auto &r) {
            return std::find(states.begin(), states.end(), r.state) != states.end();
        }));
    };
    QCOMPARE(failures, count({State::Failed, State::Stopped}));
    QCOMPARE(suiteFailures, QString::number(failures));
    QCOMPARE(skipped, count({State::NotRun}));
}

} // namespace

class PlanRunnerTest : public QObject
{
    Q_OBJECT
private slots:
    // Each built-in plan passes unattended against the virtual board at line speed, and its
    // reports say so.
    void builtInPlans_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("serial");
        QTest::newRow("changer") << "changer" << "coin changer (08)" << "000000000001";
        QTest::newRow("validator") << "validator" << "bill validator (30)" << "000000000002";
        QTest::newRow("cashless") << "cashless" << "cashless reader (10)" << "000000000003";
    }
    void builtInPlans()
    {
        QFETCH(QString, name);
        QFETCH(QString, device);
        QFETCH(QString, serial);
        PlanRig rig;
        PlanRunner runner(rig.console, *load(name).plan);
        rig.run(runner);
        QVERIFY2(runner.passed(), qPrintable(rig.failures(runner).join(QLatin1Char('\n'))));

        // Identity, as the identification reply gave it.
        const auto identity = std::find_if(runner.identities().begin(), runner.identities().end(),
                                           [&](const auto &i) { return i.device == device; });
        QVERIFY2(identity != runner.identities().end(), qPrintable(device));
        QVERIFY(identity->fields.contains({QStringLiteral("serial number"), serial}));
        QVERIFY(identity->fields.contains({QStringLiteral("manufacturer code"), QStringLiteral("VLM")}));

        // A round trip for each command whose reply a step expected: a frame's time on the line
        // and the board's answer at least, and no more than the longest wait.
        QVERIFY(!runner.roundTrips().isEmpty());
        for (const auto &trip : runner.roundTrips())
            QVERIFY2(trip.ms > 3 && trip.ms < 5000, qPrintable(QStringLiteral("%1: %2 ms").arg(trip.command).arg(trip.ms)));

        const ReportHeader header{QStringLiteral("virtual"), QDateTime::currentDateTime(), {}};
        checkJUnit(junitReport(runner, header), runner);
        const QString html = htmlReport(runner, header);
        QVERIFY(html.contains(QStringLiteral(": PASSED</h1>")));
        QVERIFY(html.contains(serial));
        QVERIFY(html.contains(QStringLiteral("Round trips: from the command's frame leaving the console")));
    }

    // The changer's payout reconciled: each coin asked for, reported and gone from its tube.
    void payoutReconciled()
    {
        PlanRig rig;
        PlanRunner runner(rig.console, *load(QStringLiteral("changer")).plan);
        rig.run(runner);
        QVERIFY2(runner.passed(), qPrintable(rig.failures(runner).join(QLatin1Char('\n'))));
        for (const PlanRunner::Payout &p : runner.payouts()) {
            QCOMPARE(p.requested, 1);
            QCOMPARE(p.reported, 1);
            QCOMPARE(p.tubeChange, std::optional<int>(-1));
        }
        QVERIFY(htmlReport(runner, {}).contains(QStringLiteral("<h2>Payout reconciliation</h2>")));
        // What the action log shows is what a click would have written.
        const QStringList log = rig.console.state.lstActionLog.rows();
        QCOMPARE(log.count(QStringLiteral("Dispense Dime")), 1);
        QCOMPARE(log.count(QStringLiteral("Received a Quarter")), 1);
        QCOMPARE(rig.console.state.TotalReceived.cents(), 40);
    }

    // Faults provoked on the board fail the step that meets them, with the reason.
    void faults_data()
    {
        QTest::addColumn<QString>("plan");
        QTest::addColumn<int>("fault");
        QTest::addColumn<QStringList>("failures");
        QTest::newRow("coin jam") << "changer" << 0
                                  << QStringList{
                                         "expect \"08 50 *\" or \"08 40 *\" within 60s: no reply matching any of the patterns within 60 s; arrived instead: 08 0C (coin jam)",
                                         "check tally Nickel = 1: Nickel counted 0, expected 1",
                                         "expect \"08 51 *\" or \"08 41 *\" within 60s: no reply matching any of the patterns within 60 s; arrived instead: 08 0C (coin jam)",
                                         "check tally Dime = 1: Dime counted 0, expected 1",
                                         "expect \"08 52 *\" or \"08 42 *\" within 60s: no reply matching any of the patterns within 60 s; arrived instead: 08 0C (coin jam)",
                                         "check tally Quarter = 1: Quarter counted 0, expected 1",
                                         "check total = 0.40: total 0.00, expected 0.40"};
        QTest::newRow("short payout") << "changer" << 1
                                      << QStringList{
                                             "check tube Nickel -1: the Nickel tube went from 21 to 21 (0), expected -1",
                                             "check tube Dime -1: the Dime tube went from 21 to 21 (0), expected -1",
                                             "check tube Quarter -1: the Quarter tube went from 21 to 21 (0), expected -1",
                                             "check payout: payout does not reconcile: "
                                             "Nickel: requested 1, reported 1, tube change 0 (short payout: 1 reported paid, still in the tube); "
                                             "Dime: requested 1, reported 1, tube change 0 (short payout: 1 reported paid, still in the tube); "
                                             "Quarter: requested 1, reported 1, tube change 0 (short payout: 1 reported paid, still in the tube)"};
        QTest::newRow("validator disabled") << "validator" << 2
                                            << QStringList{
                                                   "expect \"30 90 *\" within 60s: no reply matching \"30 90 *\" within 60 s; arrived instead: 30 09 (validator disabled)"};
    }
    void faults()
    {
        QFETCH(QString, plan);
        QFETCH(int, fault);
        QFETCH(QStringList, failures);
        PlanRig rig;
        if (fault == 0)
            rig.board->changer().setJammed(true);
        else if (fault == 1)
            rig.board->changer().setShortPayout(true);
        else
            rig.board->validator().setDisabled(true);
        Plan written = *load(plan).plan;
        // The waits for the technician are cut to a second, so that a fault costs no minute.
        for (Step &step : written.steps)
            if (auto *e = std::get_if<Expect>(&step.action); e && e->within.count() == 60000)
                e->within = std::chrono::seconds(1);
        PlanRunner runner(rig.console, written);
        rig.run(runner);
        QVERIFY(!runner.passed());
        QStringList failed = rig.failures(runner);
        for (QString &line : failed)
            line.replace(QStringLiteral("within 1 s"), QStringLiteral("within 60 s"));
        if (fault == 2) {
            // Nothing held in escrow: the validator refuses the stack and the return.
            QCOMPARE(failed.first(), failures.first());
            QVERIFY2(failed.size() >= 2, qPrintable(failed.join(QLatin1Char('\n'))));
            QVERIFY(failed.filter(QStringLiteral("arrived instead: 30 0A")).size() >= 2);
        } else {
            QCOMPARE(failed, failures);
        }
        checkJUnit(junitReport(runner, {}), runner);
    }

    // A board that stops answering DTR: every press ends at the queue's bound with its error
    // line, every step ends, nothing is sent late.
    void silentBoard()
    {
        PlanRig rig;
        rig.board->setAnswersDtr(false);
        QSignalSpy frames(rig.board, &sim::VirtualBoard::frameReceived);
        PlanRunner runner(rig.console, planOf("press cashless \"Reset\"\nexpect \"10 00\" within 200ms\n"
                                              "press cashless \"Enable\"\n"));
        QElapsedTimer clock;
        clock.start();
        rig.run(runner);
        QVERIFY(clock.elapsed() < 4000);
        QCOMPARE(rig.failures(runner),
                 (QStringList{"press cashless \"Reset\": not sent: Error reseting cashless device, Not sent: "
                              "the board did not answer DTR within 1000 ms - 8024",
                              "expect \"10 00\" within 200ms: no reply matching \"10 00\" within 200 ms; nothing arrived",
                              "press cashless \"Enable\": not sent: Error enabling cashless device, Not sent: "
                              "the board did not answer DTR within 1000 ms - 8024"}));
        rig.board->setAnswersDtr(true);
        QTest::qWait(100);
        QCOMPARE(frames.count(), 0);
    }

    // Stopped during a wait: that step is stopped, the rest are not run, and the report has them.
    void stopDuringWait()
    {
        PlanRig rig;
        PlanRunner runner(rig.console, planOf("ask \"Insert a nickel\"\nexpect \"08 50 *\" within 60s\ncheck total = 0.05\n"));
        QSignalSpy finished(&runner, &PlanRunner::finished);
        runner.start();
        QTest::qWait(100);
        QVERIFY(runner.isRunning());
        runner.stop();
        QCOMPARE(finished.count(), 1);
        QVERIFY(runner.wasStopped());
        QVERIFY(!runner.passed());
        QCOMPARE(runner.results()[0].state, State::Asked);
        QCOMPARE(runner.results()[1].state, State::Stopped);
        QCOMPARE(runner.results()[2].state, State::NotRun);
        checkJUnit(junitReport(runner, {}), runner);
    }

    // The escrow toggle is pressed only when its caption is the one the plan names.
    void escrowCaption()
    {
        PlanRig rig;
        QSignalSpy frames(rig.board, &sim::VirtualBoard::frameReceived);
        PlanRunner runner(rig.console, planOf("press validator \"Disable Escrow\"\n"
                                              "press validator \"Enable Escrow\"\nexpect \"30 00\" within 1s\n"
                                              "press validator \"Disable Escrow\"\nexpect \"30 00\" within 1s\n"));
        rig.run(runner);
        QCOMPARE(rig.failures(runner),
                 QStringList{"press validator \"Disable Escrow\": the escrow button reads \"Enable Escrow\", "
                             "not \"Disable Escrow\"; nothing sent"});
        QCOMPARE(frames.count(), 2);
        QCOMPARE(frames[0][0].toByteArray(), QByteArray::fromHex("34001F0001"));
        QCOMPARE(frames[1][0].toByteArray(), QByteArray::fromHex("34001F0000"));
    }

    // Each reply is decoded against the command last sent to its own peripheral: a changer's TUBE
    // STATUS read after a frame to the validator went out is still the TUBE STATUS, and a coin that
    // comes after the changer answered is its activity again.
    void repliesAreMatchedToTheirPeripheralsCommand()
    {
        PlanRig rig;
        PlanRunner runner(rig.console, planOf("send changer \"TUBE STATUS\"\nsend validator STACKER\n"
                                              "expect \"08 00 00 *\"\nexpect \"30 00 00\"\n"
                                              "ask \"Insert a nickel\"\nexpect \"08 70 *\" within 5s\n"));
        rig.run(runner);
        QVERIFY2(runner.passed(), qPrintable(rig.failures(runner).join('\n')));
        const core::LineListModel &rows = rig.console.state.List1;
        QCOMPARE(rows.count(), 3);
        QCOMPARE(rig.console.history.decode(0).reply, QStringLiteral("TUBE STATUS"));
        QCOMPARE(rig.console.history.decode(1).reply, QStringLiteral("STACKER"));
        QCOMPARE(rig.console.history.decode(2).reply, QStringLiteral("POLL"));   // the nickel, unasked
        QCOMPARE(rig.console.history.contextOf(0).asked, QByteArray::fromHex("0A"));
        QVERIFY(rig.console.history.contextOf(2).asked.isEmpty());
    }

    // A reply that comes before its expectation is waited for is not lost, and replies are
    // matched in the order they came.
    void repliesInOrder()
    {
        PlanRig rig;
        PlanRunner runner(rig.console, planOf("press changer \"Reset\"\nwait 300ms\npress changer \"Enable All Coin Types\"\n"
                                              "wait 300ms\nexpect \"08 00\" within 1s\nexpect \"08 0B\" within 200ms\n"));
        rig.run(runner);
        // "08 0B" came first and was passed over to meet "08 00"; it is not taken again.
        QCOMPARE(runner.results()[4].detail, QStringLiteral("08 00 (after 08 0B)"));
        QCOMPARE(runner.results()[5].state, State::Failed);
    }
};

QTEST_GUILESS_MAIN(PlanRunnerTest)
#include "tst_planrunner.moc"
