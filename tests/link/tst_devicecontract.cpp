#include "link/commevents.h"
#include "tests/support/fakeserialdevice.h"
#include "link/netserialdevice.h"
#include "link/realserialdevice.h"
#include "sim/virtualboard.h"
#include "tests/support/netboard.h"
#ifdef Q_OS_LINUX
#include "tests/support/ptyboard.h"
#endif

#include <QSignalSpy>
#include <QTest>

#include <functional>
#include <memory>

using namespace kestrel;
using namespace kestrel::test;
using namespace std::chrono_literals;

namespace {

// One backend with the far end of its line: what the board sends, what it received, and (where the
// backend can lose its device) the cable pulled.
struct Backend
{
    virtual ~Backend() = default;
    virtual link::SerialDevice &device() = 0;
    virtual void boardSends(const QByteArray &text) = 0;
    virtual QByteArray boardReceived() = 0;
    virtual bool canBeLost() const { return true; }
    virtual void pullTheCable() {}
};

struct Fake : Backend
{
    FakeSerialDevice fake;
    link::SerialDevice &device() override { return fake; }
    void boardSends(const QByteArray &text) override { fake.arrive(text); }
    QByteArray boardReceived() override
    {
        const QByteArray all = fake.written();
        fake.forgetWrites();
        return all;
    }
    void pullTheCable() override { fake.vanish(QStringLiteral("adapter pulled")); }
};

struct Virtual : Backend
{
    Virtual()
    {
        QObject::connect(&board, &sim::VirtualBoard::frameReceived,
                         [this](const QByteArray &frame) { frames += frame; });
    }
    sim::VirtualBoard board;
    QByteArray frames;
    link::SerialDevice &device() override { return board; }
    void boardSends(const QByteArray &text) override { board.sendReply(QString::fromLatin1(text)); }
    QByteArray boardReceived() override { return std::exchange(frames, {}); }
    bool canBeLost() const override { return false; }   // nothing to pull
};

#ifdef Q_OS_LINUX
struct RealOnPty : Backend
{
    PtyBoard board;
    link::RealSerialDevice real{board.path()};
    link::SerialDevice &device() override { return real; }
    void boardSends(const QByteArray &text) override { board.send(text); }
    QByteArray boardReceived() override { return board.received(); }
    void pullTheCable() override { board.hangUp(); }
};
#endif

// A port on a serial device server on 127.0.0.1, over RFC 2217 or as raw TCP; the server going
// away is the cable pulled.
struct OverNetwork : Backend
{
    explicit OverNetwork(NetBoard::Protocol protocol)
        : board(protocol)
        , port(protocol == NetBoard::Protocol::Rfc2217 ? link::NetSerialDevice::Protocol::Rfc2217
                                                       : link::NetSerialDevice::Protocol::Raw,
               QStringLiteral("127.0.0.1"), board.port())
    {
    }
    NetBoard board;
    link::NetSerialDevice port;
    qsizetype seen = 0;
    link::SerialDevice &device() override { return port; }
    void boardSends(const QByteArray &text) override { board.send(text); }
    QByteArray boardReceived() override
    {
        const QByteArray all = board.seen().received;
        const QByteArray fresh = all.mid(seen);
        seen = all.size();
        return fresh;
    }
    void pullTheCable() override { board.dropConnection(); }
};

#ifdef Q_OS_WIN
// The Win32 port on a COM port whose far end is a second COM port, linked by a null-modem pair
// (under Wine: two pseudo-terminals joined by socat behind COM5 and COM6; KESTREL_TEST_COM_PAIR
// names them). The board writes and reads through the second port.
struct ComPair : Backend
{
    explicit ComPair(const QStringList &names) : port(names.value(0)), board(names.value(1))
    {
        board.open();
    }
    link::RealSerialDevice port, board;
    link::SerialDevice &device() override { return port; }
    void boardSends(const QByteArray &text) override { board.write(text); }
    QByteArray boardReceived() override
    {
        board.waitForCharacters(50ms);
        return board.read();
    }
    bool canBeLost() const override { return false; }
};
#endif

using Make = std::function<std::unique_ptr<Backend>()>;

// Waits on the device alone, handling no event, until `count` characters wait.
bool awaitWaiting(link::SerialDevice &device, int count)
{
    for (int i = 0; i < 200 && device.waiting() < count; ++i)
        device.waitForCharacters(10ms);
    return device.waiting() == count;
}

} // namespace

Q_DECLARE_METATYPE(Make)

// What every backend of the serial control promises (link/serialdevice.h), checked against each.
class DeviceContractTest : public QObject
{
    Q_OBJECT
private slots:
    void contract_data()
    {
        QTest::addColumn<Make>("make");
        QTest::newRow("test fake") << Make([] { return std::make_unique<Fake>(); });
        QTest::newRow("virtual board") << Make([] { return std::make_unique<Virtual>(); });
#ifdef Q_OS_LINUX
        QTest::newRow("real port on a pty") << Make([] { return std::make_unique<RealOnPty>(); });
#endif
#ifdef Q_OS_WIN
        const QStringList pair = qEnvironmentVariable("KESTREL_TEST_COM_PAIR").split(QLatin1Char(','));
        if (pair.size() == 2)
            QTest::newRow("Win32 port on a COM port pair") << Make([pair] { return std::make_unique<ComPair>(pair); });
        else
            qWarning("No COM port pair named in KESTREL_TEST_COM_PAIR: the Win32 port is not run on a line");
#endif
        QTest::newRow("RFC 2217 port") << Make([] {
            return std::make_unique<OverNetwork>(NetBoard::Protocol::Rfc2217);
        });
        QTest::newRow("raw TCP port") << Make([] {
            return std::make_unique<OverNetwork>(NetBoard::Protocol::Raw);
        });
    }
    void contract()
    {
        QFETCH(Make, make);
        const std::unique_ptr<Backend> backend = make();
        link::SerialDevice &device = backend->device();

        // Closed: closing again, DTR, waiting and draining are no failure; writing is.
        QVERIFY(!device.isOpen());
        device.close();
        device.setDtr(true);
        QVERIFY(!device.waitForCharacters(1ms));
        device.drainOutput();
        QVERIFY_THROWS_EXCEPTION(core::Failure, device.write("\x08"));

        device.open();
        QVERIFY(device.isOpen());
        QVERIFY_THROWS_EXCEPTION(core::Failure, device.open());
        device.setDtr(false);                         // no modem lines is no failure either
        device.setDtr(true);

        // Receiving: counted, peeked and read without the event loop copying anything first.
        QSignalSpy events(&device, &link::SerialDevice::lineEvent);
        backend->boardSends("08 50 06\r\n");
        QVERIFY(awaitWaiting(device, 10));
        QCOMPARE(device.peek(), QByteArray("08 50 06\r\n"));
        QCOMPARE(device.waiting(), 10);
        QCOMPARE(device.read(), QByteArray("08 50 06\r\n"));
        QCOMPARE(device.waiting(), 0);
        QVERIFY(device.read().isEmpty());
        QVERIFY(!device.waitForCharacters(5ms));     // a silent line

        // Characters no read of ours took in are announced through the event loop.
        events.clear();
        backend->boardSends(QByteArray("30\0\xff", 4));
        QTRY_VERIFY_WITH_TIMEOUT(events.contains(QVariantList{int(link::commevent::Receive)}), 2000);
        QVERIFY(awaitWaiting(device, 4));
        QCOMPARE(device.read(), QByteArray("30\0\xff", 4));

        // Sending: every byte, NUL and 0xFF included, out before drainOutput returns.
        const QByteArray frame("\x55\x00\xff\x41", 4);
        device.write(frame);
        device.drainOutput();
        QByteArray received;
        QTRY_COMPARE_WITH_TIMEOUT((received += backend->boardReceived()), frame, 2000);

        // Loss: raised once, then nothing more is taken in and frames cannot go out.
        if (backend->canBeLost()) {
            QSignalSpy lost(&device, &link::SerialDevice::lost);
            backend->pullTheCable();
            QTRY_COMPARE_WITH_TIMEOUT(lost.count(), 1, 3000);
            QCOMPARE(lost.first().at(0).toInt(), 8022);
            QCOMPARE(device.waiting(), 0);
            QVERIFY(device.read().isEmpty());
            QVERIFY(!device.waitForCharacters(5ms));
            device.drainOutput();
            QVERIFY_THROWS_EXCEPTION(core::Failure, device.write("\x08"));
            QTest::qWait(50);
            QCOMPARE(lost.count(), 1);
        }
        device.close();
        QVERIFY(!device.isOpen());
        device.close();
    }
};

QTEST_GUILESS_MAIN(DeviceContractTest)
#include "tst_devicecontract.moc"
