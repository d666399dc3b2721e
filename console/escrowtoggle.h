#pragma once

#include "commands/commandtables.h"
#include "console/sendroutine.h"
#include "core/caption.h"

namespace kestrel::console {

// The bill validator's escrow toggle. Its own caption is its state: "Enable Escrow" means escrow is
// off and the press turns it on; any other caption turns it off. The press queues the frame, then
// flips the caption as its last step; a failing caption change leaves the caption, so the next
// press sends the same frame again.
class EscrowToggle
{
public:
    EscrowToggle(SendRoutine &send, core::Caption &caption) : m_send(send), m_caption(caption) {}

    void press();

private:
    SendRoutine &m_send;
    core::Caption &m_caption;
};

// Presses a command button of the tables.
void press(SendRoutine &send, const commands::CommandRow &row);

} // namespace kestrel::console
