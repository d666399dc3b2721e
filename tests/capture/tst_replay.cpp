// A session on the virtual board at line speed, saved as a capture, played back through the
// replay port into a second console: the same raw replies, tallies, total and action log.

#include "capture/recording.h"
#include "console/portselection.h"
#include "console/sessioncapture.h"
#include "sim/virtualboard.h"
#include "tests/support/boardconsole.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace kestrel;

namespace {

// A console over one virtual board, its tallies filled and Comm1 open.
struct BoardConsole : test::BoardConsole
{
    using test::BoardConsole::BoardConsole;

    // Presses a command button as a click does, and lets the board answer.
    void press(const core::Table<commands::CommandRow> &table, const char *control)
    {
        for (const commands::CommandRow &row : table)
            if (qstrcmp(row.control, control) == 0)
                kestrel::console::press(console.send, row);
        QTest::qWait(150);
    }
    // Waits until the line has been quiet for a while: everything sent has been read.
    void settle()
    {
        for (int quiet = 0; quiet < 3;) {
            const int rows = console.state.List1.count();
            QTest::qWait(100);
            quiet = console.state.List1.count() == rows && !board->pendingReplies() && !board->playing() ? quiet + 1 : 0;
        }
    }
    QStringList counts() const
    {
        return console.state.lstCoinCount.rows() + console.state.lstBillCount.rows();
    }
};

} // namespace

class ReplayTest : public QObject
{
    Q_OBJECT
private slots:
    // Coins, bills, a notice, payouts and a fault (a coin jam) in the session; its capture
    // replayed gives the same raw replies, tallies, total and, of the action log, every line the
    // replies wrote (the button presses' lines are the operator's, not the board's).
    void roundTrip()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("session.pcapng"));
        BoardConsole original;
        console::SessionCapture capture(original.console);
        QCOMPARE(capture.start(path), QString());
        original.press(commands::kCoinChanger, "enable_all_coin_types");
        original.press(commands::kBillValidator, "Command1");
        for (auto coin : {sim::CoinChanger::Nickel, sim::CoinChanger::Quarter, sim::CoinChanger::Dime})
            original.board->insertCoin(coin);
        original.board->insertBill(sim::BillValidator::Five);
        original.board->sendNotice(QStringLiteral("EXACT CHANGE"));
        original.settle();
        original.press(commands::kCoinChanger, "cmdDispenseDime");
        original.press(commands::kCoinChanger, "cmdTubeStatus");
        original.board->changer().setJammed(true);
        original.board->insertCoin(sim::CoinChanger::Quarter);
        original.settle();
        capture.stop();
        QVERIFY(capture.packets() >= 12);

        const QStringList pressLines{"Enable all Coins", "Enable bills", "Dispense Dime", "Tube Status"};
        QStringList boardLines = original.console.state.lstActionLog.rows();
        boardLines.removeIf([&](const QString &line) { return pressLines.contains(line); });
        QVERIFY(boardLines.contains(QStringLiteral("Received a Quarter")));
        QVERIFY(boardLines.contains(QStringLiteral("Dispensing Dime - Code (08 91 08)")));
        QVERIFY2(boardLines.filter(QStringLiteral("Coin jam")).size() == 1, qPrintable(boardLines.join('\n')));

        const capture::Loaded loaded = capture::readRecording(path);
        QVERIFY2(loaded.recording, qPrintable(loaded.error));
        QCOMPARE(loaded.recording->commands, 4);
        BoardConsole replayed([&](sim::VirtualBoard &board) { board.setReplay(*loaded.recording, 1); });
        QSignalSpy played(replayed.board, &sim::VirtualBoard::playFinished);
        QVERIFY(played.wait(10000));
        replayed.settle();

        QCOMPARE(replayed.console.state.List1.rows(), original.console.state.List1.rows());
        QCOMPARE(replayed.counts(), original.counts());
        QCOMPARE(replayed.console.state.TotalReceived.cents(), original.console.state.TotalReceived.cents());
        QCOMPARE(replayed.console.state.lstActionLog.rows(), boardLines);
        QCOMPARE(replayed.console.state.lblSpecialInstruction.text(), original.console.state.lblSpecialInstruction.text());
    }

    // Frames written to a replay are taken and dropped; a raised DTR still gets its CTS change,
    // so a button works as on a board; the end of the recording is silence, not a lost device.
    void replayTakesFrames()
    {
        capture::Recording recording;
        recording.reads = {{0, QStringLiteral("08 50 06\r\n")}, {50000, QStringLiteral("08 52 06\r\n")}};
        BoardConsole replayed([&](sim::VirtualBoard &board) { board.setReplay(recording, 1); });
        QSignalSpy frames(replayed.board, &sim::VirtualBoard::frameReceived);
        QSignalSpy lost(&replayed.console.comInterface, &link::CommControl::deviceLost);
        replayed.press(commands::kCoinChanger, "cmdDispenseNickel");
        QCOMPARE(frames.count(), 1);
        replayed.settle();
        QCOMPARE(replayed.console.state.List1.rows(), (QStringList{"08 50 06\r\n", "08 52 06\r\n"}));
        QTest::qWait(300);
        QCOMPARE(lost.count(), 0);
        QVERIFY(replayed.console.comInterface.PortOpen());
        QCOMPARE(replayed.console.state.TotalReceived.cents(), 30);
    }

    // Faster: the recorded spacing divided, or as fast as the line allows; each read still whole.
    void speeds_data()
    {
        QTest::addColumn<double>("speed");
        QTest::addColumn<int>("longestMs");
        QTest::newRow("as recorded") << 1.0 << 3000;
        QTest::newRow("ten times") << 10.0 << 1500;
        QTest::newRow("as fast as the line allows") << 0.0 << 1500;
    }
    void speeds()
    {
        QFETCH(double, speed);
        QFETCH(int, longestMs);
        capture::Recording recording;
        for (int i = 0; i < 20; ++i)
            recording.reads.append({qint64(i) * 100000, i % 2 ? QStringLiteral("08 51 08\r\n") : QStringLiteral("30 80 09")});
        QElapsedTimer clock;
        clock.start();
        BoardConsole replayed([&](sim::VirtualBoard &board) { board.setReplay(recording, speed); });
        QSignalSpy played(replayed.board, &sim::VirtualBoard::playFinished);
        QVERIFY(played.wait(10000));
        replayed.settle();
        QVERIFY2(replayed.console.state.List1.count() == 20, qPrintable(replayed.console.state.List1.rows().join('|')));
        QCOMPARE(replayed.console.state.TotalReceived.cents(), 10 * 10 + 10 * 100);
        QVERIFY2(clock.elapsed() < longestMs + 400, qPrintable(QString::number(clock.elapsed())));
        if (speed == 1.0)
            QVERIFY(clock.elapsed() >= 1900);   // the recording spans 1.9 s
    }
};

QTEST_GUILESS_MAIN(ReplayTest)
#include "tst_replay.moc"
