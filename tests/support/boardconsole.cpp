#include "tests/support/boardconsole.h"

#include "console/portselection.h"

namespace kestrel::test {

BoardConsole::BoardConsole(const std::function<void(sim::VirtualBoard &)> &set)
{
    ports.setName(1, QStringLiteral("virtual"));
    board = qobject_cast<sim::VirtualBoard *>(ports.device(1));
    if (set)
        set(*board);
    core::Trap trap;
    console.startUp(trap);
    console::selectPort(console.comInterface, 1, console.state.log, [] {});
}

} // namespace kestrel::test
