#pragma once

#include "core/actionlog.h"
#include "link/commcontrol.h"
#include "console/pendingframes.h"

#include <QByteArray>

namespace kestrel::console {

// The one routine every command button goes through. It queues the button's frame behind those
// still waiting, raises DTR to ask the board for permission to send, and logs the button's line.
// The frame leaves the port later, on a CTS change of its own from the board (one frame per
// handshake, in the order pressed). A failing step writes the button's error line and the next
// step still runs, except that a frame that could not be queued goes no further, and a frame
// whose DTR could not be raised is taken back off the queue.
class SendRoutine
{
public:
    SendRoutine(PendingFrames &pendingFrames, link::CommControl &comInterface, core::ActionLog &log);

    void QueueCommandFrame(const QByteArray &frame, const QString &logLine,
                           const QString &errorMessage);

    // The same steps under a trap the caller already runs (the escrow toggle adds one more);
    // `errorMessage` is the one the caller's trap writes, kept for a frame dropped later. Tells
    // whether the frame now waits to go out.
    bool queueSteps(core::Trap &trap, const QByteArray &frame, const QString &logLine,
                    const QString &errorMessage);

    // A command composed from the command set (or typed as raw bytes) goes the same way as a
    // button's frame: its line in the action log is the command's name.
    void sendCommand(const QByteArray &frame, const QString &name);
    static QString errorMessageFor(const QString &name) { return QStringLiteral("Error sending %1, ").arg(name); }

    core::ActionLog &log() { return m_log; }

private:
    PendingFrames &m_pending;
    link::CommControl &m_com;
    core::ActionLog &m_log;
};

} // namespace kestrel::console
