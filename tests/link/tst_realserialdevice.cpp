#include "link/commevents.h"
#include "core/failure.h"
#include "link/realserialdevice.h"
#include "tests/support/linethief.h"

#include <QSignalSpy>
#include <QTest>

#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

using namespace kestrel;
using kestrel::test::LineThief;

// The real-port backend against a pseudo-terminal: the test holds the board's end.
class RealSerialDeviceTest : public QObject
{
    Q_OBJECT
private:
    int m_board = -1;
    QString m_path;

    QByteArray boardReads()
    {
        QByteArray got;
        char buffer[256];
        for (int tries = 0; tries < 200; ++tries) {
            const ssize_t n = ::read(m_board, buffer, sizeof buffer);
            if (n > 0)
                got.append(buffer, n);
            else if (!got.isEmpty())
                break;
            QTest::qWait(5);
        }
        return got;
    }

private slots:
    void init()
    {
        int console = -1;
        char name[128] = {};
        QVERIFY(::openpty(&m_board, &console, name, nullptr, nullptr) == 0);
        ::close(console);   // the device under test opens it again by path
        ::fcntl(m_board, F_SETFL, ::fcntl(m_board, F_GETFL) | O_NONBLOCK);
        m_path = QString::fromLatin1(name);
    }
    void cleanup()
    {
        if (m_board >= 0)
            ::close(m_board);
        m_board = -1;
    }

    void bytesBothWays()
    {
        link::RealSerialDevice device(m_path);
        device.setDtr(true);                 // a pty has no modem lines: remembered, no failure
        device.open();
        QVERIFY(device.isOpen());

        const QByteArray frame("\x02\x01\x00\xff\x41", 5);
        device.write(frame);
        QCOMPARE(boardReads(), frame);

        // Characters the driver holds are read at once, without the event loop copying them first.
        QCOMPARE(::write(m_board, "08 50 06\r\n", 10), ssize_t(10));
        QTRY_COMPARE_WITH_TIMEOUT(device.waiting(), 10, 2000);
        QCOMPARE(device.peek(), QByteArray("08 50 06\r\n"));
        QCOMPARE(device.read(), QByteArray("08 50 06\r\n"));
        QCOMPARE(device.waiting(), 0);

        device.close();
        device.close();                      // closing a closed port is no failure
        QVERIFY(!device.isOpen());
    }

    void receiveEventFollowsArrival()
    {
        link::RealSerialDevice device(m_path);
        device.open();
        QSignalSpy events(&device, &link::SerialDevice::lineEvent);
        QCOMPARE(::write(m_board, "30 80 09", 8), ssize_t(8));
        QTRY_VERIFY_WITH_TIMEOUT(events.contains(QVariantList{link::commevent::Receive}), 2000);
    }

    void readingGoesOnAfterAReadThatFoundNothing()
    {
        // Another reader of the line is told of the same characters in the same turn of the
        // event loop and takes them first, leaving EAGAIN behind in errno (a non-blocking socket
        // of the accessibility bus does that). The port's own read then finds nothing, and the
        // port takes the stale EAGAIN for a vanished device and stops watching the line. The
        // line is still there: the next reply must still be announced.
        LineThief first(m_path);   // told before the port is
        QVERIFY(first.ok());
        link::RealSerialDevice device(m_path);
        device.open();
        QSignalSpy events(&device, &link::SerialDevice::lineEvent);
        QSignalSpy lost(&device, &link::SerialDevice::lost);
        QCOMPARE(::write(m_board, "08", 2), ssize_t(2));
        QTRY_VERIFY_WITH_TIMEOUT(first.hasTaken(), 2000);
        QTest::qWait(20);
        QCOMPARE(lost.count(), 0);

        events.clear();
        QCOMPARE(::write(m_board, "08 50 06\r\n", 10), ssize_t(10));
        QTRY_VERIFY_WITH_TIMEOUT(events.contains(QVariantList{link::commevent::Receive}), 2000);
        QCOMPARE(device.read(), QByteArray("08 50 06\r\n"));
        QCOMPARE(lost.count(), 0);
    }

    void missingDeviceFailsWithNumberAndDescription()
    {
        link::RealSerialDevice device(QStringLiteral("/nonexistent/kestrel-port"));
        try {
            device.open();
            QFAIL("opened a device that does not exist");
        } catch (const core::Failure &f) {
            QCOMPARE(f.number(), 8002);
            QVERIFY(f.description().contains(QStringLiteral("/nonexistent/kestrel-port")));
        }
        QVERIFY(!device.isOpen());
        QVERIFY_THROWS_EXCEPTION(core::Failure, device.write("x"));
    }

    void boardSideClosingIsReportedAsLost()
    {
        link::RealSerialDevice device(m_path);
        device.open();
        QSignalSpy lost(&device, &link::SerialDevice::lost);
        ::close(m_board);
        m_board = -1;
        QTRY_COMPARE_WITH_TIMEOUT(lost.count(), 1, 3000);
        QCOMPARE(lost.at(0).at(0).toInt(), 8022);
        // Once lost, nothing more is read and a frame cannot go out.
        QCOMPARE(device.waiting(), 0);
        QVERIFY(!device.waitForCharacters(std::chrono::milliseconds(5)));
        QVERIFY_THROWS_EXCEPTION(core::Failure, device.write("\x08"));
    }
};

QTEST_GUILESS_MAIN(RealSerialDeviceTest)
#include "tst_realserialdevice.moc"
