#pragma once

#include "console/commeventhandler.h"
#include "console/escrowtoggle.h"
#include "console/linepause.h"
#include "console/pendingframes.h"
#include "console/receivepath.h"
#include "console/replyhistory.h"
#include "console/sendroutine.h"
#include "core/caption.h"
#include "core/linelistmodel.h"
#include "decode/logfile.h"
#include "decode/recogniser.h"
#include "decode/replystate.h"
#include "decode/tallies.h"
#include "link/commcontrol.h"

#include <QObject>

namespace kestrel::console {

// What a console is built with: where its log file is, the clock its log lines read, and the
// serial handler's busy pauses (benchmarks and fuzzers measure the console without them, tests
// with a short one).
struct ConsoleSettings
{
    QString logPath = decode::LogFile::defaultPath();
    decode::LogFile::Clock clock = &decode::LogFile::wallClock;
    std::int32_t pauseIterations = kPauseIterations;
};

// Everything the main window owns that lasts, without a widget: the serial control, the lists and
// labels (by control name, in `state`), the tallies and money, the log file, the command frames
// waiting to go out, and the handlers that work on them. The window shows this state and forwards
// the operator's clicks; tests, benchmarks and fuzzers drive it directly.
class Console : public QObject
{
    Q_OBJECT
public:
    using Settings = ConsoleSettings;

    explicit Console(link::PortMap &ports, Settings settings = {}, QObject *parent = nullptr);

    link::CommControl comInterface;
    decode::ReplyState state;                  // what the replies change: lists, labels, total, action log
    decode::Tallies tallies{state};
    decode::ReplyRecogniser recogniser{state};
    decode::LogFile logFile;
    ReceivePath receivePath;

    // The lists the replies do not touch.
    core::LineListModel lstUSBResults, List2;
    // The console as it starts: the money label, the coin and bill tallies with their rows at 0, the
    // total at 0, DTR low. Each step under the caller's trap.
    void startUp(core::Trap &trap);

    // The lists of the window, by control name; nullptr for a name that is none of them.
    core::LineListModel *list(const QString &name);

    // The escrow toggle's caption, which is its state.
    core::TextCaption cmdDTRtoggle{QStringLiteral("Enable Escrow")};

    // The command frames waiting for their handshakes, and the last one sent.
    PendingFrames pendingFrames{comInterface, state.log};
    SendRoutine send{pendingFrames, comInterface, state.log};
    // What the reply decoder knows of each raw row: the frame that asked for it, the SETUPs seen.
    ReplyHistory history{state.List1, pendingFrames};
    EscrowToggle escrow{send, cmdDTRtoggle};
    CommEventHandler events;

signals:
    // The serial handler has handled one event (a receive pass, a handshake): what it wrote to
    // the lists belongs to that event.
    void eventHandled();
    // A reply's raw row has been written; `ended` tells whether it is known to have ended
    // (receivepath.h).
    void replyRead(const QString &text, bool ended);
};

} // namespace kestrel::console
