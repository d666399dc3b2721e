#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QTimer>

#include <chrono>

namespace kestrel::sim {

// The virtual board's transmit line towards the console. What the board sends is put on the line
// as replies, each starting after a silence of its own; the characters then reach the console's
// side one at a time, paced as a 9600-baud line delivers them (about 1.04 ms each), just as from
// a real board. Unpaced, for tests and benchmarks, each reply arrives whole at its start time.
//
// Time is the steady clock: what has arrived is worked out from it whenever the console looks,
// so a console that waits without handling events (inside its pause) still sees the characters
// come. A timer announces arrivals to the event loop.
class BoardLine : public QObject
{
    Q_OBJECT
public:
    using Clock = std::chrono::steady_clock;

    explicit BoardLine(QObject *parent = nullptr);

    void setPaced(bool paced) { m_paced = paced; }
    bool paced() const { return m_paced; }

    // Puts a reply on the line: it starts no earlier than `earliest`, and after `silence` of quiet
    // line since the previous reply's last character.
    void send(const QByteArray &text, Clock::time_point earliest, std::chrono::nanoseconds silence);
    // Drops everything: what arrived and was not read, and what is still to go out.
    void clear();

    // The console's side: what has arrived and not been read.
    int waiting();
    QByteArray take();
    QByteArray peek();
    // Sleeps until the next character arrives or the timeout passes; tells whether any came.
    bool waitFor(std::chrono::nanoseconds timeout);

    // Replies not yet wholly arrived.
    int pending() const { return int(m_replies.size()); }

signals:
    // Characters reached the console's side (announced from the event loop).
    void arrived();
    // A whole reply reached the console's side.
    void replyArrived(const QByteArray &text);

private:
    struct Reply
    {
        QByteArray text;
        Clock::time_point start;   // the first character's arrival
        int delivered = 0;         // characters already on the console's side
    };
    Clock::time_point arrivalOf(const Reply &reply, int index) const;
    Clock::time_point nextArrival() const;
    // Moves what has arrived by now to the console's side; returns how many characters moved.
    int advance();
    void onTick();
    void scheduleTick();

    bool m_paced = true;
    QList<Reply> m_replies;
    QList<QByteArray> m_whole;       // replies wholly arrived since the last tick, to announce
    QByteArray m_arrived;
    Clock::time_point m_lineFree;    // when the last reply's last character has arrived
    QTimer m_tick;
};

} // namespace kestrel::sim
