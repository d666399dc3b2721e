#pragma once

#include "commands/escrowtoggle.h"
#include "commands/sendroutine.h"
#include "core/caption.h"
#include "core/linelistmodel.h"
#include "link/commcontrol.h"
#include "link/commeventhandler.h"
#include "link/receivechain.h"

#include <QByteArray>
#include <QObject>

namespace kestrel {

// The serial control, made before the receive chain that reads through it.
struct SerialControlHolder
{
    explicit SerialControlHolder(PortMap &ports) : comInterface(ports) {}
    CommControl comInterface;
};

// Everything the main window owns that lasts, without its widgets: the serial control, the pending
// command frame, the lists and labels the window shows, and the handlers that work on them. The
// window shows this state and forwards the operator's clicks; tests drive it directly.
class Console : public QObject, public SerialControlHolder, public ReceiveChain
{
    Q_OBJECT
public:
    explicit Console(PortMap &ports, const QString &logPath = LogFile::defaultPath(),
                     QObject *parent = nullptr);

    // The lists the replies do not touch.
    LineListModel lstUSBResults, List2;
    // The lists of the window, by control name; nullptr for a name that is none of them.
    LineListModel *list(const QString &name);

    // The escrow toggle's caption, which is its state.
    TextCaption cmdDTRtoggle{QStringLiteral("Enable Escrow")};

    // The command frames waiting for their handshakes, and the last one sent.
    PendingFrames MDB_output_string{comInterface, log};
    SendRoutine send{MDB_output_string, comInterface, log};
    EscrowToggle escrow{send, cmdDTRtoggle};
    CommEventHandler events{comInterface, MDB_output_string, log, &receivePath};
};

} // namespace kestrel
