#pragma once

#include "core/actionlog.h"
#include "link/linepause.h"
#include "link/commcontrol.h"
#include "link/pendingframes.h"
#include "link/receiveentry.h"

namespace kestrel {

// The serial control's OnComm handler: the only code that writes to the port. It completes the
// transmit handshake that a command button starts (the button queues a frame and raises DTR; the
// board answers with a CTS change; the handler writes the oldest frame waiting, pauses and drops
// DTR, and DTR rises again while more wait), reports line
// errors in the action log without moving its selection, and hands received characters to the
// receive path. Every failing statement adds a "Communications Error, " line and the next runs.
class CommEventHandler
{
public:
    CommEventHandler(CommControl &comInterface, PendingFrames &pendingFrames, ActionLog &log,
                     ReceiveEntry *receivePath = nullptr, std::int32_t pauseIterations = kPauseIterations);

    void setReceivePath(ReceiveEntry *receivePath) { m_receivePath = receivePath; }
    // The loop of the pause after a frame is written; benchmarks measure the handshake without it.
    void setPauseIterations(std::int32_t iterations) { m_pause = iterations; }

    // Handles the event now reported in CommEvent.
    void OnComm();

    static const QString kErrorMessage;

private:
    void transmit(Trap &trap);

    CommControl &m_com;
    PendingFrames &m_pending;
    ActionLog &m_log;
    ReceiveEntry *m_receivePath;
    std::int32_t m_pause;
};

} // namespace kestrel
