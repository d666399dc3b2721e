#pragma once

#include "core/actionlog.h"
#include "link/commcontrol.h"

#include <functional>

namespace kestrel::session {

// How an Exit command handles a failing step.
enum class OnExitFailure {
    Stop,       // error line; the command stops and the window stays open
    Continue,   // error line, log's last line selected; the next step runs
    End,        // error line; the program ends at once
    Ignore,     // no error line of its own: the window still closes
};

// Shuts down the way every Exit does: close the port if it is open, then unload the main window.
void runExit(OnExitFailure onFailure, link::CommControl &comInterface, core::ActionLog &log,
             const std::function<void()> &unloadWindow, const std::function<void()> &endProgram);

} // namespace kestrel::session
