#include "decode/replystate.h"

#include "decode/pairedlists.h"

namespace kestrel {

ReplyState::ReplyState()
{
    alignPair(lstCoin, lstCoinCount);
    alignPair(lstBill, lstBillCount);
    alignPair(lstDebugging, lstDebuggingValue);
}

} // namespace kestrel
