#pragma once

#include "core/actionlog.h"
#include "core/caption.h"
#include "core/linelistmodel.h"
#include "decode/money.h"

namespace kestrel::decode {

// What the board's replies change, each part under its control's name: the raw replies, the
// action log, the debugging panel, the coin and bill tallies, the money total with its label, and
// the status line. The tallies, the recogniser and the receive path work on it by these names, so
// no two same-typed lists can be handed over in the wrong order. The paired lists keep their
// selected rows aligned.
class ReplyState
{
public:
    ReplyState();
    ReplyState(const ReplyState &) = delete;
    ReplyState &operator=(const ReplyState &) = delete;

    core::LineListModel List1;                  // every reply as read
    core::LineListModel lstActionLog;
    core::LineListModel lstDebugging, lstDebuggingValue;
    core::LineListModel lstCoin, lstCoinCount;
    core::LineListModel lstBill, lstBillCount;

    core::TextCaption lblTotalReceived{QStringLiteral("Total Money Received:")};
    core::TextCaption lblSpecialInstruction{QStringLiteral("Special Instructions:")};
    MoneyTotal TotalReceived;

    core::ActionLog log{lstActionLog};
};

} // namespace kestrel::decode
