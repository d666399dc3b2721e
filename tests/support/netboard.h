#pragma once

#include <QByteArray>
#include <QList>
#include <QMutex>
#include <QString>
#include <QThread>

#include <chrono>
#include <memory>

namespace kestrel::test {

class NetBoardServer;

// An interface board served over the network on 127.0.0.1, as a serial device server or ser2net
// serves a real one: RFC 2217 (Telnet with the COM Port Control option) or raw TCP. It runs in a
// thread of its own. Over RFC 2217 it answers a raised DTR with a CTS change through
// NOTIFY-MODEMSTATE, as the interface board does, and reports line errors through
// NOTIFY-LINESTATE. What it sends goes out a character at a time at 9600 baud.
class NetBoard
{
public:
    enum class Protocol { Rfc2217, Raw };
    using Clock = std::chrono::steady_clock;

    // What the board saw of the console.
    struct Seen
    {
        bool connected = false;
        int baud = 0, dataSize = 0, parity = 0, stopSize = 0;
        QList<bool> dtr;                       // every DTR level set, in order
        QByteArray received;                   // the line's bytes, unescaped
        QList<Clock::time_point> ctsNotices;   // when each CTS change was sent
        QList<Clock::time_point> bytesAt;      // when each byte of `received` came
    };

    explicit NetBoard(Protocol protocol = Protocol::Rfc2217);
    ~NetBoard();

    QString url() const;
    quint16 port() const { return m_port; }
    Seen seen() const;

    // How many CTS changes answer one raise of DTR (the real board gives one; 0: a board that
    // stops answering).
    void setCtsChangesPerRaise(int changes);
    // A server that accepts the connection and then says nothing at all, whatever it is sent.
    void setSilent(bool silent);
    // Sends `text` a character at a time after `silence` of quiet line.
    void send(const QByteArray &text, std::chrono::nanoseconds silence = {});
    bool idle() const;
    // NOTIFY-LINESTATE with these bits (overrun 0x02, parity 0x04, framing 0x08, break 0x10).
    void notifyLineState(quint8 bits);
    // The server ends the connection, as a device server that is switched off.
    void dropConnection();

private:
    friend class NetBoardServer;
    Protocol m_protocol;
    quint16 m_port = 0;
    QThread m_thread;
    QObject m_anchor;                       // lives in m_thread
    NetBoardServer *m_server = nullptr;
    mutable QMutex m_mutex;
    Seen m_seen;
    int m_ctsPerRaise = 1;
    bool m_silent = false;
    int m_queued = 0;
};

} // namespace kestrel::test
