#include "sim/boardline.h"

#include "link/linetiming.h"

#include <algorithm>
#include <thread>
#include <utility>

namespace kestrel::sim {

using link::linetiming::kCharacterTime;

BoardLine::BoardLine(QObject *parent)
    : QObject(parent)
{
    m_tick.setSingleShot(true);
    m_tick.setTimerType(Qt::PreciseTimer);
    connect(&m_tick, &QTimer::timeout, this, &BoardLine::onTick);
}

void BoardLine::send(const QByteArray &text, Clock::time_point earliest,
                     std::chrono::nanoseconds silence)
{
    if (text.isEmpty())
        return;
    const Clock::time_point start = std::max(earliest, m_lineFree + silence);
    m_lineFree = m_paced ? start + kCharacterTime * int(text.size() - 1) : start;
    m_replies.append({text, start, 0});
    scheduleTick();
}

void BoardLine::clear()
{
    m_replies.clear();
    m_whole.clear();
    m_arrived.clear();
    m_lineFree = {};
    m_tick.stop();
}

BoardLine::Clock::time_point BoardLine::arrivalOf(const Reply &reply, int index) const
{
    return m_paced ? reply.start + kCharacterTime * index : reply.start;
}

BoardLine::Clock::time_point BoardLine::nextArrival() const
{
    if (m_replies.isEmpty())
        return Clock::time_point::max();
    const Reply &next = m_replies.first();
    return arrivalOf(next, next.delivered);
}

int BoardLine::advance()
{
    const Clock::time_point now = Clock::now();
    int moved = 0;
    while (!m_replies.isEmpty()) {
        Reply &reply = m_replies.first();
        int until = reply.delivered;
        while (until < reply.text.size() && arrivalOf(reply, until) <= now)
            ++until;
        m_arrived.append(reply.text.mid(reply.delivered, until - reply.delivered));
        moved += until - reply.delivered;
        reply.delivered = until;
        if (reply.delivered < reply.text.size())
            break;
        m_whole.append(reply.text);
        m_replies.removeFirst();
    }
    return moved;
}

int BoardLine::waiting()
{
    advance();
    return int(m_arrived.size());
}

QByteArray BoardLine::take()
{
    advance();
    return std::exchange(m_arrived, QByteArray());
}

QByteArray BoardLine::peek()
{
    advance();
    return m_arrived;
}

bool BoardLine::waitFor(std::chrono::nanoseconds timeout)
{
    if (advance() > 0)
        return true;
    // A sleep may end early (Windows' timers have a coarser grain than a character time): the
    // wait goes on until a character has come or the time is up.
    const Clock::time_point until = Clock::now() + timeout;
    while (Clock::now() < until) {
        link::linetiming::sleepUntil(std::min(nextArrival(), until));
        if (advance() > 0)
            return true;
    }
    return advance() > 0;
}

void BoardLine::onTick()
{
    if (advance() > 0)
        emit arrived();
    const QList<QByteArray> whole = std::exchange(m_whole, {});
    for (const QByteArray &text : whole)
        emit replyArrived(text);
    scheduleTick();
}

void BoardLine::scheduleTick()
{
    if (!m_whole.isEmpty()) {
        m_tick.start(0);   // replies the console's own reads completed are still to announce
        return;
    }
    if (m_replies.isEmpty()) {
        m_tick.stop();
        return;
    }
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(nextArrival() - Clock::now());
    m_tick.start(int(std::max<qint64>(0, wait.count())));
}

} // namespace kestrel::sim
