#include "app/commandline.h"
#include "app/mainwindow.h"
#include "sim/virtualboard.h"
#include "tests/app/windowrig.h"

#include <QTemporaryDir>
#include <QTest>

using namespace kestrel;
using namespace kestrel::test;

class CommandLineTest : public QObject
{
    Q_OBJECT
private slots:
    void portOptions_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QStringList>("names");   // the device behind Comm1 to Comm4
        const QString s0 = PortMap::defaultName(1), s1 = PortMap::defaultName(2),
                      s2 = PortMap::defaultName(3), s3 = PortMap::defaultName(4);
        QTest::newRow("none") << QStringList{"kestrel"} << QStringList{s0, s1, s2, s3};
        QTest::newRow("com1 virtual") << QStringList{"kestrel", "--com1", "virtual"}
                                      << QStringList{"virtual", s1, s2, s3};
        QTest::newRow("com2 path") << QStringList{"kestrel", "--com2", "/dev/kestrel-usb0"}
                                   << QStringList{s0, "/dev/kestrel-usb0", s2, s3};
        QTest::newRow("com3 windows name") << QStringList{"kestrel", "--com3=COM7"}
                                           << QStringList{s0, s1, "COM7", s3};
        QTest::newRow("com4 and com1") << QStringList{"kestrel", "--com4", "virtual", "--com1", "/tmp/p"}
                                       << QStringList{"/tmp/p", s1, s2, "virtual"};
    }
    void portOptions()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, names);
        QCommandLineParser parser;
        commandline::addOptions(parser);
        QVERIFY(parser.parse(arguments));
        PortMap ports(&commandline::makeDevice);
        commandline::applyOptions(parser, ports);
        for (int port = 1; port <= 4; ++port)
            QCOMPARE(ports.name(port), names[port - 1]);
        const QList<sim::VirtualBoard *> boards = commandline::virtualBoards(ports);
        QCOMPARE(boards.size(), int(names.count("virtual")));
    }

    void helpVersionAndWrongOptions()
    {
        QCommandLineParser parser;
        commandline::addOptions(parser);
        QVERIFY(parser.parse({"kestrel", "--help"}));
        QVERIFY(parser.isSet("help"));
        QVERIFY(parser.helpText().contains("--com1 <DEVICE>"));
        QVERIFY(parser.parse({"kestrel", "--version"}));
        QVERIFY(parser.isSet("version"));
        QVERIFY(!parser.parse({"kestrel", "--com5", "x"}));
        QVERIFY(!parser.parse({"kestrel", "--com1"}));
    }

    void unknownDeviceFailsCleanlyAtComm1()
    {
        QCommandLineParser parser;
        commandline::addOptions(parser);
        QVERIFY(parser.parse({"kestrel", "--com1", "/nonexistent/kestrel-port"}));
        PortMap ports(&commandline::makeDevice);
        commandline::applyOptions(parser, ports);
        QTemporaryDir dir;
        frmKestrel window(ports, dir.filePath("log.txt"));
        WindowRig::closeSplashes();
        window.show();
        QTest::mouseClick(window.control("Option1"), Qt::LeftButton, {},
                          window.control("Option1")->rect().center());
        QCOMPARE(window.console().lstActionLog.rows(),
                 QStringList{"Error opening comm 1, Invalid Port Number: no serial device "
                             "/nonexistent/kestrel-port - 8002"});
        QVERIFY(!window.control("Option1")->isEnabled());
        QVERIFY(!window.console().comInterface.PortOpen());
    }
};

QTEST_MAIN(CommandLineTest)
#include "tst_commandline.moc"
