#include "sim/virtualboard.h"

#include "link/commerrors.h"
#include "link/commevents.h"
#include "link/linetiming.h"
#include "sim/simlog.h"

#include <thread>

namespace kestrel::sim {

VirtualBoard::VirtualBoard(QObject *parent)
    : SerialDevice(parent)
{
    m_ctsTimer.setSingleShot(true);
    m_ctsTimer.setInterval(kCtsDelayMs);
    connect(&m_ctsTimer, &QTimer::timeout, this, [this] {
        if (!m_open)
            return;
        m_cts = !m_cts;
        emit lineEvent(commevent::CtsChange);
    });
    connect(&m_line, &BoardLine::arrived, this, [this] {
        if (m_open)
            emit lineEvent(commevent::Receive);
    });
    connect(&m_line, &BoardLine::replyArrived, this,
            [this](const QByteArray &text) { emit replySent(QString::fromLatin1(text)); });
}

void VirtualBoard::open()
{
    if (m_open)
        throw commerrors::alreadyOpen();
    m_open = true;
    emit stateChanged();
}

void VirtualBoard::close()
{
    m_open = false;
    m_line.clear();
    m_ctsTimer.stop();
    emit stateChanged();
}

void VirtualBoard::setDtr(bool high)
{
    const bool rising = high && !m_dtr;
    m_dtr = high;
    // The board grants a raised DTR with a CTS change a moment later.
    if (rising && m_open && m_answersDtr)
        m_ctsTimer.start();
}

void VirtualBoard::write(const QByteArray &frame)
{
    if (!m_open)
        throw commerrors::notOpen();
    const Clock::time_point now = Clock::now();
    m_frameArrives = paced() ? std::max(now, m_frameArrives) + linetiming::onTheWire(int(frame.size()))
                             : now;
    const auto untilArrival = std::chrono::ceil<std::chrono::milliseconds>(m_frameArrives - now);
    emit frameReceived(frame, QTime::currentTime().addMSecs(int(untilArrival.count())));
    QStringList replies;
    if (m_changer.handles(frame))
        replies = m_changer.handle(frame);
    else if (m_validator.handles(frame))
        replies = m_validator.handle(frame);
    else if (m_reader.handles(frame))
        replies = m_reader.handle(frame);
    qCDebug(lcSim) << "frame" << frame.toHex(' ') << "answered with" << replies;
    queue(replies, m_frameArrives, std::chrono::milliseconds(kReplyDelayMs));
    emit stateChanged();
}

void VirtualBoard::drainOutput()
{
    // The frame is on its way until its last byte has reached the board.
    if (m_open)
        std::this_thread::sleep_until(m_frameArrives);
}

QByteArray VirtualBoard::read()
{
    if (!m_open)
        throw commerrors::notOpen();
    return m_line.take();
}

QByteArray VirtualBoard::peek()
{
    if (!m_open)
        throw commerrors::notOpen();
    return m_line.peek();
}

int VirtualBoard::waiting()
{
    if (!m_open)
        throw commerrors::notOpen();
    return m_line.waiting();
}

bool VirtualBoard::waitForCharacters(std::chrono::nanoseconds timeout)
{
    return m_open && m_line.waitFor(timeout);
}

void VirtualBoard::insertCoin(CoinChanger::Coin coin)
{
    queue({m_changer.insert(coin)});
    emit stateChanged();
}

void VirtualBoard::insertBill(BillValidator::Bill bill)
{
    queue({m_validator.insert(bill)});
    emit stateChanged();
}

void VirtualBoard::sendReply(const QString &text)
{
    queue({text});
}

void VirtualBoard::sendNotice(const QString &text)
{
    if (!m_open)
        return;
    queue({QStringLiteral("CC")});
    m_line.send(text.toLatin1(), Clock::now(), std::chrono::milliseconds(kNoticeSilenceMs));
}

void VirtualBoard::raiseLineEvent(int code)
{
    if (m_open)
        emit lineEvent(code);
}

void VirtualBoard::queue(const QStringList &replies, Clock::time_point from,
                         std::chrono::nanoseconds delay)
{
    if (!m_open)
        return;   // nobody listens on a closed port
    for (const QString &reply : replies)
        m_line.send(reply.toLatin1(), from + delay, m_spacing);
}

} // namespace kestrel::sim
