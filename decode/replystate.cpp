#include "decode/replystate.h"

#include "decode/pairedlists.h"

namespace kestrel::decode {

ReplyState::ReplyState()
{
    alignPair(lstCoin, lstCoinCount);
    alignPair(lstBill, lstBillCount);
    alignPair(lstDebugging, lstDebuggingValue);
}

} // namespace kestrel::decode
