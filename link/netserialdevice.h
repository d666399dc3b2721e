#pragma once

#include "link/serialdevice.h"
#include "link/telnet.h"

#include <QTcpSocket>

#include <chrono>
#include <functional>

namespace kestrel::link {

// A serial port reached over the network, as serial device servers and ser2net offer one:
// - rfc2217://HOST:PORT, Telnet with the COM Port Control option (RFC 2217). The line is set to
//   9600 8-N-1, DTR is driven with SET-CONTROL, and the server's notices of the modem lines and
//   of line errors become the console's CTS-change and line-error events.
// - socket://HOST:PORT, the bytes of the line and nothing else. It has no modem lines: DTR is
//   remembered as on a pty, and no CTS change ever comes.
// The console cannot tell it from a local port; it keeps the device contract (serialdevice.h).
class NetSerialDevice : public SerialDevice
{
    Q_OBJECT
public:
    enum class Protocol { Rfc2217, Raw };

    NetSerialDevice(Protocol protocol, QString host, quint16 port, QObject *parent = nullptr);
    ~NetSerialDevice() override;

    // How long an open waits for the server to accept the connection and, over RFC 2217, to
    // agree to the COM Port Control option.
    static constexpr int kConnectTimeoutMs = 3000;

protected:
    void openLine() override;
    void closeLine() override;
    void driveDtr(bool high) override;
    void writeLine(const QByteArray &bytes) override;
    void drainLine() override;
    QByteArray takeFromDriver() override;
    bool waitOnDriver(std::chrono::nanoseconds timeout) override;

private:
    void received(const QByteArray &bytes);
    void command(quint8 verb, quint8 option);
    void subnegotiation(const QByteArray &sb);
    void sendComPort(quint8 command, const QByteArray &value);
    void onDisconnected();
    // Runs the event loop, handling no user input, until `done` holds, the connection ends or the
    // deadline passes.
    void waitDuringOpen(const std::function<bool()> &done, std::chrono::steady_clock::time_point deadline);

    Protocol m_protocol;
    QString m_host;
    quint16 m_port;
    QTcpSocket m_socket;
    bool m_connected = false;            // the connection is made and taken up
    bool m_cts = false;
    // What the server said of the COM Port Control option.
    enum class ComPort { Unanswered, Agreed, Refused } m_comPort = ComPort::Unanswered;
    // The Telnet layer, read as it comes.
    telnet::Reader m_telnet;
    std::chrono::steady_clock::time_point m_frameOut;   // when the last frame has left the line
};

} // namespace kestrel::link
