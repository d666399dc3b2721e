#include "session/commandline.h"
#include "app/mainwindow.h"
#include "sim/virtualboard.h"
#include "tests/app/windowrig.h"

#include <QProcess>
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
        const QString s0 = link::PortMap::defaultName(1), s1 = link::PortMap::defaultName(2),
                      s2 = link::PortMap::defaultName(3), s3 = link::PortMap::defaultName(4);
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
        session::addOptions(parser);
        QVERIFY(parser.parse(arguments));
        link::PortMap ports(&session::makeDevice);
        session::applyOptions(parser, ports);
        for (int port = 1; port <= 4; ++port)
            QCOMPARE(ports.name(port), names[port - 1]);
        const QList<sim::VirtualBoard *> boards = session::virtualBoards(ports);
        QCOMPARE(boards.size(), int(names.count("virtual")));
    }

    void helpVersionAndWrongOptions()
    {
        QCommandLineParser parser;
        session::addOptions(parser);
        QVERIFY(parser.parse({"kestrel", "--help"}));
        QVERIFY(parser.isSet("help"));
        QVERIFY(parser.helpText().contains("--com1 <DEVICE>"));
        QVERIFY(parser.parse({"kestrel", "--version"}));
        QVERIFY(parser.isSet("version"));
        QVERIFY(!parser.parse({"kestrel", "--com5", "x"}));
        QVERIFY(!parser.parse({"kestrel", "--com1"}));
    }

    void wrongCommandLines_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("error");
        const QString tooLong(300, QLatin1Char('x'));
        QTest::newRow("empty device") << QStringList{"--com1", ""}
                                      << "kestrel: --com1 \"\": no device named";
        QTest::newRow("blank device") << QStringList{"--com1", "   "}
                                      << "kestrel: --com1 \"   \": no device named";
        QTest::newRow("newline in a device") << QStringList{"--com2", "/dev/tty\nUSB0", "--com2", "x\ty"}
            << "kestrel: --com2 is given 2 times (/dev/tty\\nUSB0, x\\ty): give it once";
        QTest::newRow("control characters in a stray argument") << QStringList{"a\x01\rb"}
            << "kestrel: a\\x01\\rb: an argument no option takes (the ports are --com1 to --com4)";
        QTest::newRow("over-long device") << QStringList{"--com2", tooLong}
            << "kestrel: --com2 " + tooLong + ": a device name of 300 characters is too long (at most 255)";
        QTest::newRow("option twice") << QStringList{"--com1", "/tmp/a", "--com1", "virtual"}
            << "kestrel: --com1 is given 2 times (/tmp/a, virtual): give it once";
        QTest::newRow("stray argument") << QStringList{"--com1", "virtual", "COM3"}
            << "kestrel: COM3: an argument no option takes (the ports are --com1 to --com4)";
        QTest::newRow("unknown scheme") << QStringList{"--com3", "tcp://127.0.0.1:2000"}
            << "kestrel: --com3 tcp://127.0.0.1:2000: tcp:// is no kind of port the console knows "
               "(rfc2217:// and socket:// are)";
        QTest::newRow("no port") << QStringList{"--com1", "rfc2217://127.0.0.1"}
            << "kestrel: --com1 rfc2217://127.0.0.1: a network port is rfc2217://HOST:PORT";
        QTest::newRow("port out of range") << QStringList{"--com4", "socket://127.0.0.1:70000"}
            << "kestrel: --com4 socket://127.0.0.1:70000: port 70000 is out of range (1 to 65535)";
        QTest::newRow("port zero") << QStringList{"--com1", "rfc2217://127.0.0.1:0"}
            << "kestrel: --com1 rfc2217://127.0.0.1:0: port 0 is out of range (1 to 65535)";
        QTest::newRow("host not found") << QStringList{"--com1", "rfc2217://nowhere.invalid:2000"}
            << "kestrel: --com1 rfc2217://nowhere.invalid:2000: the host nowhere.invalid is not found";
    }
    void wrongCommandLines()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, error);
        // The real program says it in one line and ends with 1, before any window: it runs here
        // without a display at all.
        QProcess kestrel;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        kestrel.setProcessEnvironment(env);
        kestrel.start(QStringLiteral(KESTREL_EXECUTABLE), arguments);
        QVERIFY(kestrel.waitForFinished(10000));
        QCOMPARE(kestrel.exitStatus(), QProcess::NormalExit);
        QCOMPARE(kestrel.exitCode(), 1);
        QStringList said = QString::fromLocal8Bit(kestrel.readAllStandardError())
                               .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        said.removeIf([](const QString &line) { return line.startsWith(QLatin1String("QStandardPaths")); });
        QCOMPARE(said.size(), 1);
        QVERIFY2(said.first().startsWith(error), qPrintable(said.first()));
    }

    void networkPortsAreAccepted()
    {
        QCommandLineParser parser;
        session::addOptions(parser);
        QVERIFY(parser.parse({"kestrel", "--com1", "rfc2217://127.0.0.1:2000", "--com2",
                              "socket://[::1]:4001", "--com3", "virtual"}));
        QCOMPARE(session::check(parser, true), QString());
        const auto device = session::parseDevice(QStringLiteral("socket://[::1]:4001"));
        QVERIFY(device);
        QCOMPARE(device->kind, session::Device::Raw);
        QCOMPARE(device->host, QStringLiteral("::1"));
        QCOMPARE(device->port, quint16(4001));
        QVERIFY(parser.helpText().contains(QStringLiteral("rfc2217://HOST:PORT")));
        QVERIFY(parser.helpText().contains(QStringLiteral("socket://HOST:PORT")));
    }

    void unknownDeviceFailsCleanlyAtComm1()
    {
        DeviceWindowRig rig(QStringLiteral("/nonexistent/kestrel-port"));
        app::frmKestrel &window = *rig.window;
        QTest::mouseClick(window.control("Option1"), Qt::LeftButton, {},
                          window.control("Option1")->rect().center());
        QCOMPARE(window.console().state.lstActionLog.rows(),
                 QStringList{"Error opening comm 1, Invalid Port Number: no serial device "
                             "/nonexistent/kestrel-port - 8002"});
        QVERIFY(!window.control("Option1")->isEnabled());
        QVERIFY(!window.console().comInterface.PortOpen());
    }
};

QTEST_MAIN(CommandLineTest)
#include "tst_commandline.moc"
