#include "session/commandline.h"
#include "tests/app/windowrig.h"
#include "tests/support/consolerig.h"

#include <QPushButton>
#include <QTemporaryDir>
#include <QRadioButton>

#ifdef Q_OS_LINUX
#include "tests/support/ptyboard.h"
#endif

using namespace kestrel;
using namespace kestrel::test;

namespace {
// One reply through the receive path, as the serial handler runs it.
void pass(ConsoleRig &rig, const QByteArray &reply)
{
    rig.device().arrive(reply);
    core::Trap trap = rig.log.quietTrap(console::CommEventHandler::kErrorMessage);
    rig.console.receivePath.receive(trap);
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
} // namespace

class FaultsTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }

#ifdef Q_OS_LINUX
    void ptyClosingIsReportedAndTheConsoleGoesOn()
    {
        PtyBoard board;
        DeviceWindowRig rig(board.path());
        app::frmKestrel &window = *rig.window;
        QTest::mouseClick(window.control("Option1"), Qt::LeftButton, {},
                          window.control("Option1")->rect().center());
        QVERIFY(window.console().comInterface.PortOpen());

        board.hangUp();   // the cable is pulled
        const QString lost = QStringLiteral("Communications Error, Comm device lost: %1: ")
                                 .arg(board.path());
        QTRY_VERIFY_WITH_TIMEOUT(!window.console().state.lstActionLog.rows().isEmpty(), 3000);
        QVERIFY(window.console().state.lstActionLog.row(0).startsWith(lost));
        QVERIFY(window.console().state.lstActionLog.row(0).endsWith(QStringLiteral(" - 8022")));
        QVERIFY(!window.console().comInterface.PortOpen());

        window.TabStrip1()->selectTab(4);
        window.control<QPushButton>("cmdDispenseDime")->click();
        QCOMPARE(window.console().state.lstActionLog.rows().last(), QStringLiteral("Dispense Dime"));
        WindowRig::closeSplashes();
    }
#endif

    void adapterPulledWhileReplying()
    {
        WindowRig rig;
        rig.click("Option2");
        rig.device(2).arrive("08 50 06\r\n");
        rig.device(2).vanish(QStringLiteral("USB adapter removed"));
        deliverEvents();
        // The reply that came before the loss is still decoded; then the loss is reported.
        QCOMPARE(rig.log().size(), 2);
        QCOMPARE(rig.log().first(), QStringLiteral("Received a Nickel"));
        QVERIFY(rig.log().last().startsWith(QStringLiteral("Communications Error, Comm device lost: ")));
        QVERIFY(rig.log().last().endsWith(QStringLiteral(": USB adapter removed - 8022")));
        QVERIFY(!rig.console().comInterface.PortOpen());
        QVERIFY(!rig.control<QRadioButton>("Option2")->isChecked());
        rig.click("Option2");                      // the adapter is back: pick the port again
        QVERIFY(rig.console().comInterface.PortOpen());
        QCOMPARE(rig.device(2).openCount(), 2);
        rig.click("Option1");                      // another port works as before
        QVERIFY(rig.console().comInterface.PortOpen());
    }

    void logDirectoryBecomingUnwritableMidRun()
    {
        ConsoleRig rig;
        const QString good = rig.console.logFile.path();
        pass(rig, "08 50 06\r\n");
        rig.console.logFile.setPath(rig.dir.filePath("gone/log.txt"));
        pass(rig, "08 51 08\r\n");
        rig.console.logFile.setPath(good);
        pass(rig, "08 52 06\r\n");
        QCOMPARE(rig.state.TotalReceived.cents(), 40);
        QCOMPARE(rig.logLines().count(), 5);          // three coins, two error lines
        QCOMPARE(rig.logFileLines(), QStringList({"03-07-202609:05:0308 50 06",
                                                  "03-07-202609:05:0308 52 06"}));
    }

    void floodOfRepliesStaysExact()
    {
        ConsoleRig rig;
        const QByteArray replies[] = {"08 50 06\r\n", "08 51 08\r\n", "08 52 06\r\n",
                                      "30 80 09", "30 84 09", "08 0C", "99 99 99"};
        constexpr int kReplies = 100000;
        for (int i = 0; i < kReplies; ++i)
            pass(rig, replies[i % 7]);
        const QString each = QString::number(kReplies / 7 + 1);   // the first five come 14286 times
        QCOMPARE(rig.state.lstCoinCount.rows().mid(0, 3), QStringList({each, each, each}));
        QCOMPARE(rig.state.lstBillCount.row(0), each);
        QCOMPARE(rig.state.lstBillCount.row(4), each);
        const qint64 cents = qint64(kReplies / 7 + 1) * (5 + 10 + 25 + 100 + 2000);
        QCOMPARE(rig.state.TotalReceived.cents(), cents);
        QCOMPARE(rig.state.List1.count(), kReplies);
        QCOMPARE(rig.logFileLines().size(), kReplies);
    }

    void badInput_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("cents");
        QTest::newRow("NUL bytes after a reply") << QByteArray("08 50 06\0\0\r\n", 12) << 5;
        QTest::newRow("NUL inside the code") << QByteArray("08 5\0 06", 8) << 0;
        QTest::newRow("non-ASCII bytes") << QByteArray("\xff\xfe\x80 08 50 06\xe9") << 0;
        QTest::newRow("a megabyte in one read") << (QByteArray("30 84 09") + QByteArray(1 << 20, 'Z')) << 2000;
        QTest::newRow("only line ends") << QByteArray("\r\n\r\n") << 0;
    }
    void badInput()
    {
        QFETCH(QByteArray, reply);
        QFETCH(int, cents);
        ConsoleRig rig;
        pass(rig, reply);
        QCOMPARE(rig.state.List1.rows(), QStringList{QString::fromLatin1(reply)});   // shown as it came
        QCOMPARE(rig.state.TotalReceived.cents(), qint64(cents));
        QByteArray logged = reply;
        logged.replace('\r', QByteArray()).replace('\n', QByteArray());
        QCOMPARE(fileBytes(rig.console.logFile.path()), "03-07-202609:05:03" + logged + "\r\n");
        pass(rig, "08 51 08\r\n");                                            // and nothing is left askew
        QCOMPARE(rig.state.TotalReceived.cents(), qint64(cents + 10));
        QCOMPARE(rig.logLines().last(), QStringLiteral("Received a Dime"));
    }

    void noticeWithBinaryText()
    {
        ConsoleRig rig;
        const QByteArray text("\x01\x00\xff\r\nSERVICE\x7f", 13);
        rig.device().afterOp = [&](FakeSerialDevice::Op op) {
            if (op == FakeSerialDevice::Op::Read && rig.state.List1.count() == 0 && rig.device().peek().isEmpty())
                rig.device().arrive(text);
        };
        pass(rig, "CC");
        QCOMPARE(rig.state.lblSpecialInstruction.text(), QString::fromLatin1(text));
        QCOMPARE(rig.logLines(), QStringList{QString::fromLatin1(text)});
        QCOMPARE(rig.state.TotalReceived.cents(), 0);
        // The text read goes to the raw replies and the log file as a read of its own; the log
        // line drops its line ends.
        QCOMPARE(rig.state.List1.rows(), QStringList({"CC", QString::fromLatin1(text)}));
        QCOMPARE(rig.logFileLines(), QStringList({"03-07-202609:05:03CC",
                                                  QString::fromLatin1("03-07-202609:05:03\x01\x00\xffSERVICE\x7f", 29)}));
    }
};

QTEST_MAIN(FaultsTest)
#include "tst_faults.moc"
