#include "link/netserialdevice.h"

#include "link/commerrors.h"
#include "link/commevents.h"
#include "link/linelog.h"
#include "link/linetiming.h"

#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <thread>
#include <utility>

namespace kestrel {

namespace {

// Telnet (RFC 854) and its COM Port Control option (RFC 2217).
namespace telnet {
constexpr quint8 kSe = 240, kSb = 250, kWill = 251, kWont = 252, kDo = 253, kDont = 254, kIac = 255;
constexpr quint8 kBinary = 0, kSuppressGoAhead = 3, kComPort = 44;
} // namespace telnet

namespace comport {
constexpr quint8 kSetBaudRate = 1, kSetDataSize = 2, kSetParity = 3, kSetStopSize = 4,
                 kSetControl = 5, kSetLineStateMask = 10, kSetModemStateMask = 11;
constexpr quint8 kNotifyLineState = 106, kNotifyModemState = 107;   // the server's, command + 100
constexpr quint8 kParityNone = 1, kStopOne = 1, kNoFlowControl = 1, kDtrOn = 8, kDtrOff = 9;
constexpr quint8 kDeltaCts = 0x01, kCts = 0x10;
// The line errors the console reports, as NOTIFY-LINESTATE sets them.
constexpr struct { quint8 bit; int event; } kLineErrors[] = {
    {0x02, commevent::Overrun},
    {0x04, commevent::Parity},
    {0x08, commevent::Framing},
    {0x10, commevent::Break},
};
constexpr quint8 kLineErrorMask = 0x1E;
} // namespace comport

QByteArray iac(std::initializer_list<quint8> bytes)
{
    QByteArray out;
    for (quint8 b : bytes)
        out.append(char(b));
    return out;
}

} // namespace

NetSerialDevice::NetSerialDevice(Protocol protocol, QString host, quint16 port, QObject *parent)
    : SerialDevice(QStringLiteral("%1://%2:%3")
                       .arg(protocol == Protocol::Rfc2217 ? QStringLiteral("rfc2217") : QStringLiteral("socket"),
                            host)
                       .arg(port),
                   parent)
    , m_protocol(protocol)
    , m_host(std::move(host))
    , m_port(port)
{
    connect(&m_socket, &QTcpSocket::readyRead, this, [this] { received(m_socket.readAll()); });
    connect(&m_socket, &QTcpSocket::disconnected, this, &NetSerialDevice::onDisconnected);
}

NetSerialDevice::~NetSerialDevice()
{
    m_socket.abort();
}

void NetSerialDevice::openLine()
{
    m_telnet = Telnet::Data;
    m_connected = false;

    // The connection is made now, within a few seconds. The window is drawn meanwhile, but no
    // click or key is handled, so the operator's next step waits for this one.
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kConnectTimeoutMs);
    const auto fail = [this](const QString &why) {
        m_socket.abort();
        throw commerrors::connectFailed(name(), why);
    };
    m_socket.connectToHost(m_host, m_port);
    waitDuringOpen([this] { return m_socket.state() == QAbstractSocket::ConnectedState; }, deadline);
    if (m_socket.state() != QAbstractSocket::ConnectedState) {
        fail(m_socket.error() != QAbstractSocket::UnknownSocketError
                 ? m_socket.errorString()
                 : QStringLiteral("no answer within %1 s").arg(kConnectTimeoutMs / 1000));
    }
    m_socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    if (m_protocol == Protocol::Rfc2217) {
        using namespace telnet;
        m_comPort = ComPort::Unanswered;
        m_socket.write(iac({kIac, kWill, kBinary, kIac, kDo, kBinary, kIac, kWill, kSuppressGoAhead,
                            kIac, kDo, kSuppressGoAhead, kIac, kWill, kComPort}));
        sendComPort(comport::kSetBaudRate, iac({0, 0, 0x25, 0x80}));   // 9600
        sendComPort(comport::kSetDataSize, iac({8}));
        sendComPort(comport::kSetParity, iac({comport::kParityNone}));
        sendComPort(comport::kSetStopSize, iac({comport::kStopOne}));
        sendComPort(comport::kSetControl, iac({comport::kNoFlowControl}));
        sendComPort(comport::kSetModemStateMask, iac({comport::kDeltaCts | comport::kCts}));
        sendComPort(comport::kSetLineStateMask, iac({comport::kLineErrorMask}));
        m_socket.flush();
        // A server that accepts the connection but never takes up the COM Port Control option
        // (a plain Telnet or TCP service, a hung server) has no serial line to offer: the line
        // settings and DTR would go nowhere. Its answer is waited for within the same bound.
        waitDuringOpen([this] { return m_comPort != ComPort::Unanswered; }, deadline);
        if (m_comPort == ComPort::Refused)
            fail(QStringLiteral("the server refuses the COM Port Control option (RFC 2217)"));
        if (m_comPort == ComPort::Unanswered)
            fail(m_socket.state() == QAbstractSocket::ConnectedState
                     ? QStringLiteral("no answer to the COM Port Control option (RFC 2217) within %1 s")
                           .arg(kConnectTimeoutMs / 1000)
                     : QStringLiteral("the server closed the connection"));
    }
    // DTR follows from the serial control once the line is open.
    m_connected = true;
}

void NetSerialDevice::waitDuringOpen(const std::function<bool()> &done,
                                     std::chrono::steady_clock::time_point deadline)
{
    if (done())
        return;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0)
        return;
    QEventLoop loop;
    QTimer limit;
    limit.setSingleShot(true);
    limit.setTimerType(Qt::PreciseTimer);   // the connection's bound is kept, not ended early
    connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    const auto check = [&] {
        if (done() || m_socket.state() == QAbstractSocket::UnconnectedState)
            loop.quit();
    };
    const QMetaObject::Connection watches[] = {
        connect(&m_socket, &QTcpSocket::connected, &loop, check),
        connect(&m_socket, &QTcpSocket::readyRead, &loop, check),
        connect(&m_socket, &QTcpSocket::errorOccurred, &loop, &QEventLoop::quit),
        connect(&m_socket, &QTcpSocket::disconnected, &loop, &QEventLoop::quit),
    };
    limit.start(int(left.count()));
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    for (const auto &watch : watches)
        disconnect(watch);
}

void NetSerialDevice::closeLine()
{
    m_connected = false;
    m_socket.abort();
}

void NetSerialDevice::driveDtr(bool high)
{
    // A raw port has no modem lines: the level is only remembered.
    if (m_protocol != Protocol::Rfc2217)
        return;
    sendComPort(comport::kSetControl, iac({high ? comport::kDtrOn : comport::kDtrOff}));
    m_socket.flush();
}

void NetSerialDevice::sendComPort(quint8 command, const QByteArray &value)
{
    using namespace telnet;
    QByteArray sb = iac({kIac, kSb, kComPort, command});
    for (char b : value) {
        sb.append(b);
        if (quint8(b) == kIac)
            sb.append(b);
    }
    sb.append(iac({kIac, kSe}));
    m_socket.write(sb);
}

void NetSerialDevice::writeLine(const QByteArray &bytes)
{
    QByteArray out = bytes;
    if (m_protocol == Protocol::Rfc2217)
        out.replace(QByteArray(1, char(telnet::kIac)), QByteArray(2, char(telnet::kIac)));
    if (m_socket.write(out) != out.size())
        throw commerrors::writeFailed(name(), m_socket.errorString());
    m_socket.flush();
    const auto now = std::chrono::steady_clock::now();
    m_frameOut = std::max(now, m_frameOut) + linetiming::onTheWire(int(bytes.size()));
}

void NetSerialDevice::drainLine()
{
    // The frame has left once the server's line has had the time to send it.
    linetiming::sleepUntil(m_frameOut);
}

QByteArray NetSerialDevice::takeFromDriver()
{
    // What the socket holds goes through the Telnet layer, and its line bytes arrive on their own.
    while (m_socket.waitForReadyRead(0)) {
    }
    return {};
}

bool NetSerialDevice::waitOnDriver(std::chrono::nanoseconds timeout)
{
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(timeout);
    return ms.count() > 0 && m_socket.waitForReadyRead(int(ms.count()));
}

void NetSerialDevice::received(const QByteArray &bytes)
{
    if (m_protocol == Protocol::Raw) {
        arrived(bytes);
        return;
    }
    using namespace telnet;
    QByteArray line;   // the line's own bytes in what came
    for (char c : bytes) {
        const quint8 b = quint8(c);
        switch (m_telnet) {
        case Telnet::Data:
            if (b == kIac)
                m_telnet = Telnet::Iac;
            else
                line.append(c);
            break;
        case Telnet::Iac:
            if (b == kIac) {
                line.append(c);   // an escaped 0xFF of the line
                m_telnet = Telnet::Data;
            } else if (b >= kWill && b <= kDont) {
                m_verb = b;
                m_telnet = Telnet::Verb;
            } else if (b == kSb) {
                m_sb.clear();
                m_telnet = Telnet::Sb;
            } else {
                m_telnet = Telnet::Data;   // NOP, go-ahead and the like
            }
            break;
        case Telnet::Verb:
            command(m_verb, b);
            m_telnet = Telnet::Data;
            break;
        case Telnet::Sb:
            if (b == kIac)
                m_telnet = Telnet::SbIac;
            else
                m_sb.append(c);
            break;
        case Telnet::SbIac:
            if (b == kSe) {
                subnegotiation(m_sb);
                m_telnet = Telnet::Data;
            } else if (b == kIac) {
                m_sb.append(c);
                m_telnet = Telnet::Sb;
            } else {
                m_telnet = Telnet::Data;   // a broken subnegotiation is dropped
            }
            break;
        }
    }
    arrived(line);
}

void NetSerialDevice::command(quint8 verb, quint8 option)
{
    using namespace telnet;
    // The options asked for on open are on; any other the server proposes is refused.
    const bool mine = option == kBinary || option == kSuppressGoAhead || option == kComPort;
    if (option == kComPort && (verb == kDo || verb == kDont))
        m_comPort = verb == kDo ? ComPort::Agreed : ComPort::Refused;
    if (verb == kDo && !mine)
        m_socket.write(iac({kIac, kWont, option}));
    else if (verb == kWill && !(option == kBinary || option == kSuppressGoAhead))
        m_socket.write(iac({kIac, kDont, option}));
}

void NetSerialDevice::subnegotiation(const QByteArray &sb)
{
    if (sb.size() < 3 || quint8(sb[0]) != telnet::kComPort)
        return;
    const quint8 command = quint8(sb[1]);
    const quint8 value = quint8(sb[2]);
    if (m_comPort == ComPort::Unanswered)
        m_comPort = ComPort::Agreed;   // the server answers a setting: it speaks the option
    if (command == comport::kNotifyModemState) {
        const bool cts = value & comport::kCts;
        // Every change the server counts is one event, so two quick changes give two.
        if ((value & comport::kDeltaCts) || cts != m_cts)
            emit lineEvent(commevent::CtsChange);
        m_cts = cts;
    } else if (command == comport::kNotifyLineState) {
        for (const auto &error : comport::kLineErrors)
            if (value & error.bit)
                emit lineEvent(error.event);
    } else {
        qCDebug(lcLink) << name() << "server said" << command << sb.mid(2).toHex(' ');
    }
}

void NetSerialDevice::onDisconnected()
{
    if (!m_connected)
        return;   // an open still under way tells its own failure
    const Failure failure = commerrors::deviceLost(name(), QStringLiteral("the server closed the connection"));
    qCInfo(lcLink) << failure.description();
    lose(failure);
}

} // namespace kestrel
