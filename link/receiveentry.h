#pragma once

#include "core/trap.h"

namespace kestrel {

// Where the serial handler hands over when characters have arrived: the receive path runs inside
// the handler, under the handler's own error trap.
class ReceiveEntry
{
public:
    virtual ~ReceiveEntry() = default;
    virtual void receive(Trap &trap) = 0;
};

} // namespace kestrel
