#include "console/pendingframes.h"

#include "link/commerrors.h"
#include "console/commeventhandler.h"

namespace kestrel::console {

PendingFrames::PendingFrames(link::CommControl &comInterface, core::ActionLog &log, QObject *parent)
    : QObject(parent), m_com(comInterface), m_log(log)
{
    m_overdue.setSingleShot(true);
    m_overdue.setTimerType(Qt::PreciseTimer);
    connect(&m_overdue, &QTimer::timeout, this, [this] {
        // A timer woken before the oldest frame's bound drops nothing, and rearms for the rest.
        const std::size_t had = m_frames.size();
        dropOverdue();
        if (m_frames.size() == had)
            return;
        // The board did not answer the raised DTR. Drop it, so that a board that comes back does
        // not find an old request standing; frames pressed since ask again with a fresh raise.
        core::Trap trap = m_log.quietTrap(CommEventHandler::kErrorMessage);
        trap([&] { m_com.setDTREnable(false); });
        if (!m_frames.empty())
            trap([&] { m_com.setDTREnable(true); });
    });
}

void PendingFrames::push(const QByteArray &frame, const QString &errorMessage, const QString &logLine)
{
    dropOverdue();
    if (int(m_frames.size()) >= kCapacity)
        throw link::commerrors::queueFull(kCapacity);
    m_frames.push_back({frame, errorMessage, Clock::now(), logLine});
    armTimer();
}

void PendingFrames::dropNewest()
{
    if (!m_frames.empty())
        m_frames.pop_back();
    armTimer();
}

QByteArray PendingFrames::takeNext()
{
    dropOverdue();
    if (m_frames.empty())
        return {};
    m_lastSent = std::move(m_frames.front().frame);
    m_lastSentLine = std::move(m_frames.front().logLine);
    m_frames.pop_front();
    armTimer();
    return m_lastSent;
}

void PendingFrames::handshakeEnded()
{
    if (m_frames.empty())
        return;
    // On the next turn of the event loop, so that the board sees DTR low between two handshakes.
    QMetaObject::invokeMethod(this, [this] { raiseDtr(); }, Qt::QueuedConnection);
}

void PendingFrames::raiseDtr()
{
    if (m_frames.empty() || m_com.DTREnable())
        return;
    m_log.quietTrap(CommEventHandler::kErrorMessage)([&] { m_com.setDTREnable(true); });
}

void PendingFrames::dropAll(const core::Failure &failure)
{
    std::deque<Pending> dropped;
    dropped.swap(m_frames);
    m_overdue.stop();
    for (const Pending &pending : dropped)
        drop(pending, failure);
}

void PendingFrames::dropOverdue()
{
    const Clock::time_point now = Clock::now();
    while (!m_frames.empty() && now - m_frames.front().pressed >= kAnswerBound) {
        const Pending pending = std::move(m_frames.front());
        m_frames.pop_front();
        drop(pending, link::commerrors::noAnswer(int(kAnswerBound.count())));
    }
    armTimer();
}

void PendingFrames::drop(const Pending &pending, const core::Failure &failure)
{
    // The frame's own button reports it, as if its press had failed now: its error line, selected.
    // Appending the line is outside any trap of the button's, so a failure there is dropped.
    core::Trap()([&] { m_log.LogHandlerError(pending.errorMessage, failure); });
}

void PendingFrames::armTimer()
{
    if (m_frames.empty()) {
        m_overdue.stop();
        return;
    }
    const auto due = std::chrono::ceil<std::chrono::milliseconds>(
        m_frames.front().pressed + kAnswerBound - Clock::now());
    m_overdue.start(std::max<int>(0, int(due.count())));
}

} // namespace kestrel::console
