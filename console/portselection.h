#pragma once

#include "core/actionlog.h"
#include "link/commcontrol.h"

#include <functional>

namespace kestrel::console {

// The operator picks port N ("Comm1" to "Comm4"): close the port now open, select N, open it.
// A failing step writes "Error opening comm N, " with the failure, greys the option that was picked
// (that port cannot be picked again until the program restarts) and selects the log's last line;
// the next step still runs. The old port is closed first, so after a failed open no port is open.
void selectPort(link::CommControl &comInterface, int port, core::ActionLog &log,
                const std::function<void()> &disableOption);

} // namespace kestrel::console
