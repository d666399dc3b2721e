#pragma once

#include <cstdint>

namespace kestrel::link {
class CommControl;
}

namespace kestrel::console {

// The serial handler's pauses. Each runs an empty counted loop of 500,000 iterations that never
// sleeps and never lets the window process messages, so the window freezes while it runs; the
// counter is volatile so that an optimising build keeps every iteration. On today's processors the
// loop alone lasts well under a millisecond, far less than the line needs, so each pause then goes
// on waiting on the port itself (still handling no event) for as long as the line needs.
constexpr std::int32_t kPauseIterations = 500000;

// The empty counted loop alone, from 1 to `iterations`.
void busyPause(std::int32_t iterations = kPauseIterations);

// The pause before the receive path reads a reply: the loop, then a wait until the line has been
// silent for 3.5 character times after a line feed (20 ms after any other character, which may be
// held up on its way), so that a reply still arriving a character at a time is read whole. The
// whole pause lasts at most the longest reply's time on the line and that longer silence
// (linetiming.h); characters that come after it belong to the next read.
void pauseBeforeRead(link::CommControl &comInterface, std::int32_t iterations = kPauseIterations);

// The wait before a free-text notice's text is read: the board sends the text after its "CC",
// following a silence of its own. Waits for the text's first character, then for the line to fall
// silent, all within the same bound as the pause before a read.
void awaitNoticeText(link::CommControl &comInterface);

// The pause after a frame is written: until the driver has put the frame's last byte on the wire,
// and at least the loop, so that DTR never falls while the frame is still going out.
void pauseAfterWrite(link::CommControl &comInterface, std::int32_t iterations = kPauseIterations);

} // namespace kestrel::console
