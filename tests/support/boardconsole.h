#pragma once

#include "console/console.h"
#include "sim/virtualboard.h"

#include <QTemporaryDir>

#include <functional>

namespace kestrel::test {

// A console with no window over the virtual board behind Comm1, at line speed (a character every
// 1.04 ms, replies 40 ms apart), its tallies filled and Comm1 open, as the window and a headless
// plan run have it. `set` readies the board before the port opens (a replay, a fault).
struct BoardConsole
{
    explicit BoardConsole(const std::function<void(sim::VirtualBoard &)> &set = {});

    QTemporaryDir dir;
    link::PortMap ports{[](const QString &) { return std::make_unique<sim::VirtualBoard>(); }};
    console::Console console{ports, console::ConsoleSettings{dir.filePath(QStringLiteral("log.txt"))}};
    sim::VirtualBoard *board = nullptr;
};

} // namespace kestrel::test
