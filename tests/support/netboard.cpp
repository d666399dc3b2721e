#include "tests/support/netboard.h"

#include "link/linetiming.h"
#include "link/telnet.h"

#include <QMutexLocker>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <deque>

namespace kestrel::test {

namespace {
using namespace link::telnet;
using comport::kNotifyLineState;
using comport::kNotifyModemState;
constexpr auto kCtsDelay = std::chrono::milliseconds(3);
} // namespace

// The server side, living in the board's thread.
class NetBoardServer : public QObject
{
public:
    explicit NetBoardServer(NetBoard &board) : m_board(board)
    {
        m_tick.setSingleShot(true);
        m_tick.setTimerType(Qt::PreciseTimer);
        connect(&m_tick, &QTimer::timeout, this, [this] { writeDue(); });
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            QTcpSocket *socket = m_server.nextPendingConnection();
            if (m_client) {   // one console at a time
                socket->abort();
                socket->deleteLater();
                return;
            }
            m_client = socket;
            m_client->setSocketOption(QAbstractSocket::LowDelayOption, 1);
            connect(m_client, &QTcpSocket::readyRead, this, [this] { received(m_client->readAll()); });
            connect(m_client, &QTcpSocket::disconnected, this, [this] {
                // The console may come back: the next connection is served afresh.
                m_client->deleteLater();
                m_client = nullptr;
                m_telnet.reset();
                QMutexLocker lock(&m_board.m_mutex);
                m_board.m_seen.connected = false;
            });
            QMutexLocker lock(&m_board.m_mutex);
            m_board.m_seen.connected = true;
        });
    }

    quint16 listen()
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        return m_server.serverPort();
    }

    // Puts wire bytes out at a moment of their own.
    void at(NetBoard::Clock::time_point when, const QByteArray &wire, bool lineByte, bool ctsNotice)
    {
        m_due.push_back({when, wire, lineByte, ctsNotice});
        std::stable_sort(m_due.begin(), m_due.end(),
                         [](const Due &a, const Due &b) { return a.when < b.when; });
        schedule();
    }

    void send(const QByteArray &text, std::chrono::nanoseconds silence)
    {
        auto start = std::max(NetBoard::Clock::now(), m_lineFree + silence);
        for (char c : text) {
            QByteArray wire(1, c);
            if (quint8(c) == kIac && m_board.m_protocol == NetBoard::Protocol::Rfc2217)
                wire.append(c);
            at(start, wire, true, false);
            m_lineFree = start;
            start += link::linetiming::kCharacterTime;
        }
    }

    void comPort(quint8 command, quint8 value, bool ctsNotice = false)
    {
        at(NetBoard::Clock::now() + (ctsNotice ? kCtsDelay : std::chrono::milliseconds(0)),
           link::telnet::comPort(command, bytes({value})), false, ctsNotice);
    }

    void drop()
    {
        if (m_client)
            m_client->disconnectFromHost();
    }

private:
    struct Due
    {
        NetBoard::Clock::time_point when;
        QByteArray wire;
        bool lineByte;
        bool ctsNotice;
    };

    void schedule()
    {
        if (m_due.empty())
            return;
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(m_due.front().when - NetBoard::Clock::now());
        m_tick.start(int(std::max<qint64>(0, wait.count())));
    }

    void writeDue()
    {
        const auto now = NetBoard::Clock::now();
        while (!m_due.empty() && m_due.front().when <= now) {
            const Due due = m_due.front();
            m_due.pop_front();
            if (due.lineByte) {
                QMutexLocker lock(&m_board.m_mutex);
                --m_board.m_queued;
            }
            if (!m_client)
                continue;
            m_client->write(due.wire);
            m_client->flush();
            if (due.ctsNotice) {
                QMutexLocker lock(&m_board.m_mutex);
                m_board.m_seen.ctsNotices.append(NetBoard::Clock::now());
            }
        }
        schedule();
    }

    void received(const QByteArray &data)
    {
        QMutexLocker lock(&m_board.m_mutex);
        if (m_board.m_silent)
            return;
        NetBoard::Seen &seen = m_board.m_seen;
        const auto now = NetBoard::Clock::now();
        const auto seeLine = [&](char c) {
            seen.received.append(c);
            seen.bytesAt.append(now);
        };
        if (m_board.m_protocol == NetBoard::Protocol::Raw) {
            for (char c : data)
                seeLine(c);
            return;
        }
        m_telnet.read(data, {seeLine,
                             // Agree to what the console asks for, as a device server does.
                             [&](quint8 verb, quint8 option) {
                                 if (verb == kWill)
                                     m_client->write(command(kDo, option));
                                 else if (verb == kDo)
                                     m_client->write(command(kWill, option));
                             },
                             // A setting is acted on as it comes, outside the lock it takes itself.
                             [&](const QByteArray &subnegotiation) {
                                 lock.unlock();
                                 comPortCommand(subnegotiation);
                                 lock.relock();
                             }});
    }

    void comPortCommand(const QByteArray &sb)
    {
        if (sb.size() < 3 || quint8(sb[0]) != kComPort)
            return;
        const quint8 command = quint8(sb[1]);
        const QByteArray value = sb.mid(2);
        int ctsChanges = 0;
        {
            QMutexLocker lock(&m_board.m_mutex);
            NetBoard::Seen &seen = m_board.m_seen;
            switch (command) {
            case 1:
                if (value.size() == 4)
                    seen.baud = int(quint8(value[0])) << 24 | int(quint8(value[1])) << 16
                                | int(quint8(value[2])) << 8 | int(quint8(value[3]));
                break;
            case 2: seen.dataSize = quint8(value[0]); break;
            case 3: seen.parity = quint8(value[0]); break;
            case 4: seen.stopSize = quint8(value[0]); break;
            case 5:
                if (quint8(value[0]) == 8 || quint8(value[0]) == 9) {
                    const bool high = quint8(value[0]) == 8;
                    const bool rising = high && (seen.dtr.isEmpty() || !seen.dtr.last());
                    seen.dtr.append(high);
                    if (rising)
                        ctsChanges = m_board.m_ctsPerRaise;
                }
                break;
            default:
                break;
            }
        }
        // The server acknowledges each setting with its own command, as RFC 2217 asks.
        m_client->write(link::telnet::comPort(quint8(command + comport::kServerOffset), value));
        // The board answers a raised DTR with CTS changes, a moment apart.
        for (int i = 0; i < ctsChanges; ++i) {
            m_cts = !m_cts;
            at(NetBoard::Clock::now() + kCtsDelay + std::chrono::milliseconds(2 * i),
               link::telnet::comPort(kNotifyModemState, bytes({quint8(comport::kDeltaCts | (m_cts ? comport::kCts : 0))})),
               false, true);
        }
    }

    NetBoard &m_board;
    QTcpServer m_server;
    QTcpSocket *m_client = nullptr;
    QTimer m_tick;
    std::deque<Due> m_due;
    NetBoard::Clock::time_point m_lineFree;
    Reader m_telnet;
    bool m_cts = false;
};

NetBoard::NetBoard(Protocol protocol)
    : m_protocol(protocol)
{
    // The server and its sockets and timers are made in the board's thread, where they live.
    m_anchor.moveToThread(&m_thread);
    m_thread.start();
    QMetaObject::invokeMethod(&m_anchor, [this] {
        m_server = new NetBoardServer(*this);
        m_port = m_server->listen();
    }, Qt::BlockingQueuedConnection);
}

NetBoard::~NetBoard()
{
    QMetaObject::invokeMethod(m_server, [this] { delete m_server; }, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
}

QString NetBoard::url() const
{
    return QStringLiteral("%1://127.0.0.1:%2")
        .arg(m_protocol == Protocol::Rfc2217 ? QStringLiteral("rfc2217") : QStringLiteral("socket"))
        .arg(m_port);
}

NetBoard::Seen NetBoard::seen() const
{
    QMutexLocker lock(&m_mutex);
    return m_seen;
}

void NetBoard::setCtsChangesPerRaise(int changes)
{
    QMutexLocker lock(&m_mutex);
    m_ctsPerRaise = changes;
}

void NetBoard::setSilent(bool silent)
{
    QMutexLocker lock(&m_mutex);
    m_silent = silent;
}

void NetBoard::send(const QByteArray &text, std::chrono::nanoseconds silence)
{
    {
        QMutexLocker lock(&m_mutex);
        m_queued += int(text.size());
    }
    QMetaObject::invokeMethod(m_server, [this, text, silence] { m_server->send(text, silence); });
}

bool NetBoard::idle() const
{
    QMutexLocker lock(&m_mutex);
    return m_queued == 0;
}

void NetBoard::notifyLineState(quint8 bits)
{
    QMetaObject::invokeMethod(m_server, [this, bits] { m_server->comPort(kNotifyLineState, bits); });
}

void NetBoard::dropConnection()
{
    QMetaObject::invokeMethod(m_server, [this] { m_server->drop(); });
}

} // namespace kestrel::test
