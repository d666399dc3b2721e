#pragma once

#include "commands/escrowtoggle.h"
#include "commands/sendroutine.h"
#include "core/actionlog.h"
#include "core/caption.h"
#include "core/linelistmodel.h"
#include "decode/logfile.h"
#include "decode/money.h"
#include "decode/recogniser.h"
#include "decode/tallies.h"
#include "link/commcontrol.h"
#include "link/commeventhandler.h"
#include "link/receivepath.h"

#include <QByteArray>
#include <QObject>

namespace kestrel {

// Everything the main window owns that lasts, without its widgets: the serial control, the pending
// command frame, the lists and labels the window shows, and the handlers that work on them. The
// window shows this state and forwards the operator's clicks; tests drive it directly.
class Console : public QObject
{
    Q_OBJECT
public:
    explicit Console(PortMap &ports, QObject *parent = nullptr);

    // The lists of the window, by control name.
    LineListModel List1, lstActionLog, lstDebugging, lstDebuggingValue;
    LineListModel lstCoin, lstCoinCount, lstBill, lstBillCount;
    LineListModel lstUSBResults, List2;
    LineListModel *list(const QString &name);

    // The captions that change at run time.
    TextCaption lblTotalReceived{QStringLiteral("Total Money Received:")};
    TextCaption lblSpecialInstruction{QStringLiteral("Special Instructions:")};
    TextCaption cmdDTRtoggle{QStringLiteral("Enable Escrow")};

    CommControl comInterface;
    QByteArray MDB_output_string;   // the pending command frame; never cleared
    MoneyTotal TotalReceived;
    ActionLog log{lstActionLog};
    Tallies tallies{{lstCoin, lstCoinCount, lstBill, lstBillCount, lstDebugging, lstDebuggingValue,
                     lstActionLog, List1},
                    TotalReceived, lblTotalReceived, lblSpecialInstruction};
    SendRoutine send{MDB_output_string, comInterface, log};
    EscrowToggle escrow{send, cmdDTRtoggle};
    LogFile logFile;
    ReplyRecogniser recogniser{{lstCoin, lstCoinCount, lstBill, lstBillCount, TotalReceived,
                                lblSpecialInstruction, log}};
    ReceivePath receivePath{{comInterface, List1, log, lstDebuggingValue, tallies, recogniser,
                             logFile}};
    CommEventHandler events{comInterface, MDB_output_string, log, &receivePath};
};

} // namespace kestrel
