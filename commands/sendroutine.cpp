#include "commands/sendroutine.h"

namespace kestrel {

SendRoutine::SendRoutine(QByteArray &pendingFrame, CommControl &comInterface, ActionLog &log)
    : m_pendingFrame(pendingFrame), m_com(comInterface), m_log(log)
{
}

void SendRoutine::QueueCommandFrame(const QByteArray &frame, const QString &logLine,
                                    const QString &errorMessage)
{
    Trap trap = m_log.trap(errorMessage);
    queueSteps(trap, frame, logLine);
}

void SendRoutine::queueSteps(Trap &trap, const QByteArray &frame, const QString &logLine)
{
    // The frame is stored before DTR rises, so the board's answer always finds it.
    trap([&] { m_pendingFrame = frame; });
    trap([&] { m_com.setDTREnable(true); });
    trap([&] { m_log.list().append(logLine); });
    trap([&] { m_log.list().selectLast(); });
}

} // namespace kestrel
