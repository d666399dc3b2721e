#pragma once

#include "core/actionlog.h"
#include "link/commcontrol.h"

#include <QByteArray>

namespace kestrel {

// The one routine every command button goes through. It parks the button's frame in the pending
// frame slot (one slot, no queue: a second press before the board answers replaces the frame),
// raises DTR to ask the board for permission to send, and logs the button's line. The frame leaves
// the port later, when the board answers with a CTS change. A failing step writes the button's
// error line and the next step still runs.
class SendRoutine
{
public:
    SendRoutine(QByteArray &pendingFrame, CommControl &comInterface, ActionLog &log);

    void QueueCommandFrame(const QByteArray &frame, const QString &logLine,
                           const QString &errorMessage);

    // The same four steps under a trap the caller already runs (the escrow toggle adds a fifth).
    void queueSteps(Trap &trap, const QByteArray &frame, const QString &logLine);

    ActionLog &log() { return m_log; }

private:
    QByteArray &m_pendingFrame;
    CommControl &m_com;
    ActionLog &m_log;
};

} // namespace kestrel
