#include "console/sendroutine.h"

namespace kestrel::console {

SendRoutine::SendRoutine(PendingFrames &pendingFrames, link::CommControl &comInterface, core::ActionLog &log)
    : m_pending(pendingFrames), m_com(comInterface), m_log(log)
{
}

void SendRoutine::QueueCommandFrame(const QByteArray &frame, const QString &logLine,
                                    const QString &errorMessage)
{
    core::Trap trap = m_log.trap(errorMessage);
    queueSteps(trap, frame, logLine, errorMessage);
}

bool SendRoutine::queueSteps(core::Trap &trap, const QByteArray &frame, const QString &logLine,
                             const QString &errorMessage)
{
    // The frame is queued before DTR rises, so the board's answer always finds it. A press the
    // queue refuses logs its error line alone: the log never shows a command that will not go.
    if (!trap([&] { m_pending.push(frame, errorMessage, logLine); }))
        return false;
    const bool asked = trap([&] { m_com.setDTREnable(true); });
    if (!asked)
        m_pending.dropNewest();
    trap([&] { m_log.list().append(logLine); });
    trap([&] { m_log.list().selectLast(); });
    return asked;
}

void SendRoutine::sendCommand(const QByteArray &frame, const QString &name)
{
    QueueCommandFrame(frame, name, errorMessageFor(name));
}

} // namespace kestrel::console
