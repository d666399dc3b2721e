#pragma once

#include <cstdint>

namespace kestrel {

// The serial handler's pause: an empty counted loop, run before each read of a reply and after each
// frame written, that gives the board time to finish. It never sleeps and never lets the window
// process messages, so the window freezes while it runs.
constexpr std::int32_t kPauseIterations = 500000;

// Runs the loop from 1 to `iterations`. The counter is volatile so that an optimising build keeps
// every iteration.
void busyPause(std::int32_t iterations = kPauseIterations);

} // namespace kestrel
