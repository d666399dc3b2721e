#include "link/netserialdevice.h"

#include "link/commerrors.h"
#include "link/commevents.h"
#include "link/linelog.h"
#include "link/linetiming.h"
#include "link/telnet.h"

#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <thread>
#include <utility>

namespace kestrel::link {

namespace {

using telnet::bytes;
namespace comport = telnet::comport;

// The line errors the console reports, as NOTIFY-LINESTATE sets them.
constexpr struct { quint8 bit; int event; } kLineErrors[] = {
    {0x02, commevent::Overrun},
    {0x04, commevent::Parity},
    {0x08, commevent::Framing},
    {0x10, commevent::Break},
};
constexpr quint8 kLineErrorMask = 0x1E;

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
    m_telnet.reset();
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
        // telnet::command, not this device's own handler of the server's commands.
        m_socket.write(telnet::command(kWill, kBinary) + telnet::command(kDo, kBinary)
                       + telnet::command(kWill, kSuppressGoAhead) + telnet::command(kDo, kSuppressGoAhead)
                       + telnet::command(kWill, kComPort));
        sendComPort(comport::kSetBaudRate, bytes({0, 0, 0x25, 0x80}));   // 9600
        sendComPort(comport::kSetDataSize, bytes({8}));
        sendComPort(comport::kSetParity, bytes({comport::kParityNone}));
        sendComPort(comport::kSetStopSize, bytes({comport::kStopOne}));
        sendComPort(comport::kSetControl, bytes({comport::kNoFlowControl}));
        sendComPort(comport::kSetModemStateMask, bytes({comport::kDeltaCts | comport::kCts}));
        sendComPort(comport::kSetLineStateMask, bytes({kLineErrorMask}));
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
    sendComPort(comport::kSetControl, bytes({high ? comport::kDtrOn : comport::kDtrOff}));
    m_socket.flush();
}

void NetSerialDevice::sendComPort(quint8 command, const QByteArray &value)
{
    m_socket.write(telnet::comPort(command, value));
}

void NetSerialDevice::writeLine(const QByteArray &bytes)
{
    const QByteArray out = m_protocol == Protocol::Rfc2217 ? telnet::escaped(bytes) : bytes;
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
    QByteArray line;   // the line's own bytes in what came
    m_telnet.read(bytes, {[&](char c) { line.append(c); },
                          [this](quint8 verb, quint8 option) { command(verb, option); },
                          [this](const QByteArray &sb) { subnegotiation(sb); }});
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
        m_socket.write(telnet::command(kWont, option));
    else if (verb == kWill && !(option == kBinary || option == kSuppressGoAhead))
        m_socket.write(telnet::command(kDont, option));
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
        for (const auto &error : kLineErrors)
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
    const core::Failure failure = commerrors::deviceLost(name(), QStringLiteral("the server closed the connection"));
    qCInfo(lcLink) << failure.description();
    lose(failure);
}

} // namespace kestrel::link
