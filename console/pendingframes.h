#pragma once

#include "core/actionlog.h"
#include "link/commcontrol.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <deque>

namespace kestrel::console {

// The command frames pressed and not yet sent, oldest first. Each goes out on a DTR/CTS handshake
// of its own: DTR up, the board's CTS change, the frame, drain, DTR down, then DTR up again for the
// next. A frame is taken off when it is written, so it is never sent twice.
//
// A command that moves money must never go out late: a frame the board has not taken within
// kAnswerBound of its press is dropped, with its button's error line, and is never sent afterwards,
// so a board that comes back after an outage does not receive a burst of stale dispenses. The queue
// holds at most kCapacity frames; a press beyond that is refused with its button's error line.
// Closing the port drops every waiting frame, each with its error line.
class PendingFrames : public QObject
{
    Q_OBJECT
public:
    using Clock = std::chrono::steady_clock;

    static constexpr int kCapacity = 16;
    // A board answers a raised DTR within milliseconds; a frame still waiting after this is not
    // going to be answered in time.
    static constexpr std::chrono::milliseconds kAnswerBound{1000};

    PendingFrames(link::CommControl &comInterface, core::ActionLog &log, QObject *parent = nullptr);

    // Queues a frame pressed now; `errorMessage` is its button's, for the line written if the frame
    // is dropped. Throws a Failure when kCapacity frames already wait.
    void push(const QByteArray &frame, const QString &errorMessage, const QString &logLine = {});
    // Takes back the frame just pushed (its DTR could not be raised).
    void dropNewest();

    // The transmit step: the oldest frame that may still go out, taken off the queue, or an empty
    // frame when none waits. Frames past their bound are dropped first, with their error lines.
    QByteArray takeNext();
    // Called once a handshake has ended (DTR dropped): asks the board again for the next frame.
    void handshakeEnded();

    // Drops every waiting frame, each with its button's error line for `failure`.
    void dropAll(const core::Failure &failure);

    // The frame of the last handshake, kept until the next one: what the board's replies since
    // then answer. Empty until a frame has gone out.
    const QByteArray &lastSent() const { return m_lastSent; }

    int count() const { return int(m_frames.size()); }
    // The transmit step wrote the frame taken last: reported to whoever watches the line (a test
    // plan timing its round trips).
    void written(const QByteArray &frame) { emit frameWritten(frame, m_lastSentLine); }

signals:
    // `logLine` is the line its button wrote to the action log when pressed.
    void frameWritten(const QByteArray &frame, const QString &logLine);

public:
    bool isEmpty() const { return m_frames.empty(); }

private:
    struct Pending
    {
        QByteArray frame;
        QString errorMessage;
        Clock::time_point pressed;
        QString logLine;
    };
    void dropOverdue();
    void drop(const Pending &pending, const core::Failure &failure);
    void armTimer();
    void raiseDtr();

    link::CommControl &m_com;
    core::ActionLog &m_log;
    std::deque<Pending> m_frames;
    QByteArray m_lastSent;
    QString m_lastSentLine;
    QTimer m_overdue;
};

} // namespace kestrel::console
