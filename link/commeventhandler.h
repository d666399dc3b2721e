#pragma once

#include "core/actionlog.h"
#include "link/linepause.h"
#include "link/commcontrol.h"
#include "link/receiveentry.h"

namespace kestrel {

// The serial control's OnComm handler: the only code that writes to the port. It completes the
// transmit handshake that a command button starts (the button parks a frame and raises DTR; the
// board answers with a CTS change; the handler writes the frame, pauses and drops DTR), reports line
// errors in the action log without moving its selection, and hands received characters to the
// receive path. Every failing statement adds a "Communications Error, " line and the next runs.
class CommEventHandler
{
public:
    CommEventHandler(CommControl &comInterface, const QByteArray &pendingFrame, ActionLog &log,
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
    const QByteArray &m_pendingFrame;
    ActionLog &m_log;
    ReceiveEntry *m_receivePath;
    std::int32_t m_pause;
};

} // namespace kestrel
