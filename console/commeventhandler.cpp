#include "console/commeventhandler.h"

#include "link/commevents.h"

namespace kestrel::console {

namespace {

enum class Action { Nothing, LogLine, Transmit, Receive, DropDtr };

struct EventRow
{
    int code;
    Action action;
    const char *line;
};

// What each event code does, looked up in this order; a code not listed does nothing.
constexpr EventRow kEvents[] = {
    {link::commevent::Break, Action::Nothing, nullptr},
    {link::commevent::CtsTimeout, Action::LogLine, "CTS Timeout"},
    {link::commevent::DsrTimeout, Action::LogLine, "DSR Timeout"},
    {link::commevent::Framing, Action::LogLine, "Framing Error"},
    {link::commevent::Overrun, Action::LogLine, "Comm overrun, Data Lost"},
    {link::commevent::RxOverflow, Action::LogLine, "Receive Buffer overflow"},
    {link::commevent::Parity, Action::LogLine, "Parity Error"},
    {link::commevent::TxFull, Action::Nothing, nullptr},
    {link::commevent::CdChange, Action::Nothing, nullptr},
    {link::commevent::CtsChange, Action::Transmit, nullptr},
    {link::commevent::DsrChange, Action::Nothing, nullptr},
    {link::commevent::Ring, Action::Nothing, nullptr},
    {link::commevent::Receive, Action::Receive, nullptr},
    {link::commevent::Send, Action::DropDtr, nullptr},
};

} // namespace

const QString CommEventHandler::kErrorMessage = QStringLiteral("Communications Error, ");

CommEventHandler::CommEventHandler(link::CommControl &comInterface, PendingFrames &pendingFrames,
                                   core::ActionLog &log, ReceivePath &receivePath,
                                   std::int32_t pauseIterations)
    : m_com(comInterface)
    , m_pending(pendingFrames)
    , m_log(log)
    , m_receivePath(receivePath)
    , m_pause(pauseIterations)
{
}

void CommEventHandler::OnComm(int event)
{
    core::Trap trap = m_log.quietTrap(kErrorMessage);
    for (const EventRow &row : kEvents) {
        if (row.code != event)
            continue;
        switch (row.action) {
        case Action::Nothing:
            break;
        case Action::LogLine:
            trap([&] { m_log.appendQuietly(QString::fromLatin1(row.line)); });
            break;
        case Action::Transmit:
            transmit(trap);
            break;
        case Action::Receive:
            m_receivePath.receive(trap);
            break;
        case Action::DropDtr:
            trap([&] { m_com.setDTREnable(false); });
            break;
        }
        return;
    }
}

void CommEventHandler::transmit(core::Trap &trap)
{
    // One frame per handshake: a frame goes out only while DTR is raised, that is while a button
    // has queued a frame that the board has not taken yet, and it is taken off the queue as it
    // goes. A second CTS change for the same handshake, or a stray one, writes nothing, so a
    // dispense is never paid out twice; a frame past its bound is dropped, never sent late.
    trap([&] {
        if (!m_com.DTREnable())
            return;
        const QByteArray frame = m_pending.takeNext();
        if (!frame.isEmpty()) {
            m_com.setOutput(frame);
            m_pending.written(frame);
        }
    });
    pauseAfterWrite(m_com, m_pause);
    trap([&] { m_com.setDTREnable(false); });
    m_pending.handshakeEnded();
}

} // namespace kestrel::console
