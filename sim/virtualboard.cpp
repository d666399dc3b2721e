#include "sim/virtualboard.h"

#include "link/commerrors.h"
#include "link/commevents.h"

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
    m_replies.setInterval(kReplySpacingMs);
    connect(&m_replies, &QTimer::timeout, this, &VirtualBoard::deliverNext);
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
    m_received.clear();
    m_queue.clear();
    m_followUpArmed = false;
    m_ctsTimer.stop();
    m_replies.stop();
    emit stateChanged();
}

void VirtualBoard::setDtr(bool high)
{
    const bool rising = high && !m_dtr;
    m_dtr = high;
    // The board grants a raised DTR with a CTS change a moment later.
    if (rising && m_open)
        m_ctsTimer.start();
}

void VirtualBoard::write(const QByteArray &frame)
{
    if (!m_open)
        throw commerrors::notOpen();
    emit frameReceived(frame);
    QStringList replies;
    if (m_changer.handles(frame))
        replies = m_changer.handle(frame);
    else if (m_validator.handles(frame))
        replies = m_validator.handle(frame);
    else if (m_reader.handles(frame))
        replies = m_reader.handle(frame);
    for (const QString &reply : replies)
        queue(reply);
    emit stateChanged();
}

QByteArray VirtualBoard::read()
{
    if (!m_open)
        throw commerrors::notOpen();
    QByteArray out;
    out.swap(m_received);
    if (m_followUpArmed) {
        // The text of a notice follows its "CC" at once, for the console's next read.
        m_followUpArmed = false;
        m_received = m_followUp.toLatin1();
    }
    return out;
}

QByteArray VirtualBoard::peek()
{
    if (!m_open)
        throw commerrors::notOpen();
    return m_received;
}

int VirtualBoard::waiting()
{
    if (!m_open)
        throw commerrors::notOpen();
    return int(m_received.size());
}

void VirtualBoard::insertCoin(CoinChanger::Coin coin)
{
    queue(m_changer.insert(coin));
    emit stateChanged();
}

void VirtualBoard::insertBill(BillValidator::Bill bill)
{
    queue(m_validator.insert(bill));
    emit stateChanged();
}

void VirtualBoard::sendReply(const QString &text)
{
    queue(text);
}

void VirtualBoard::sendNotice(const QString &text)
{
    queue(QStringLiteral("CC"), text);
}

void VirtualBoard::raiseLineEvent(int code)
{
    if (m_open)
        emit lineEvent(code);
}

void VirtualBoard::queue(const QString &text, const QString &followUp)
{
    if (!m_open)
        return;   // nobody listens on a closed port
    m_queue.append({text, followUp});
    if (!m_replies.isActive())
        m_replies.start();
}

void VirtualBoard::deliverNext()
{
    if (m_queue.isEmpty() || !m_open) {
        m_replies.stop();
        return;
    }
    const Reply reply = m_queue.takeFirst();
    m_received.append(reply.text.toLatin1());
    m_followUp = reply.followUp;
    m_followUpArmed = !reply.followUp.isNull();
    emit replySent(reply.text);
    emit lineEvent(commevent::Receive);
    if (m_queue.isEmpty())
        m_replies.stop();
}

} // namespace kestrel::sim
