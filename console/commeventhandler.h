#pragma once

#include "core/actionlog.h"
#include "console/linepause.h"
#include "link/commcontrol.h"
#include "console/pendingframes.h"
#include "console/receivepath.h"

namespace kestrel::console {

// The serial control's OnComm handler: the only code that writes to the port. It completes the
// transmit handshake that a command button starts (the button queues a frame and raises DTR; the
// board answers with a CTS change; the handler writes the oldest frame waiting, pauses and drops
// DTR, and DTR rises again while more wait), reports line
// errors in the action log without moving its selection, and hands received characters to the
// receive path. Every failing statement adds a "Communications Error, " line and the next runs.
class CommEventHandler
{
public:
    CommEventHandler(link::CommControl &comInterface, PendingFrames &pendingFrames, core::ActionLog &log,
                     ReceivePath &receivePath, std::int32_t pauseIterations);

    // Handles one event of the line.
    void OnComm(int event);

    static const QString kErrorMessage;

private:
    void transmit(core::Trap &trap);

    link::CommControl &m_com;
    PendingFrames &m_pending;
    core::ActionLog &m_log;
    ReceivePath &m_receivePath;
    std::int32_t m_pause;
};

} // namespace kestrel::console
