#pragma once

#include <chrono>

namespace kestrel::linetiming {

using namespace std::chrono_literals;

// The board's line runs at 9600 baud, 8-N-1: a start bit, eight data bits and a stop bit make ten
// bit times a character, so a character takes about 1.04 ms and "08 50 06" CR LF about 10.4 ms.
inline constexpr int kBaud = 9600;
inline constexpr int kBitsPerCharacter = 10;
inline constexpr std::chrono::nanoseconds kCharacterTime =
    std::chrono::nanoseconds(std::chrono::seconds(1)) * kBitsPerCharacter / kBaud;

// A reply is whole once the line has been silent for 3.5 character times (about 3.6 ms), the
// interval that Modbus RTU uses to end a frame on a serial line. The board sends a reply's
// characters back to back, so a shorter silence is a reply still arriving, and a longer one the
// gap before the next reply.
inline constexpr std::chrono::nanoseconds kSilentGap = kCharacterTime * 7 / 2;

// However long the line keeps talking (line noise, a board that streams), the pause before a read
// never lasts more than this: the window is frozen while it runs.
inline constexpr std::chrono::nanoseconds kPauseCap = 50ms;

// How long a frame of `bytes` characters takes to go out on the line.
constexpr std::chrono::nanoseconds onTheWire(int bytes) { return kCharacterTime * bytes; }

} // namespace kestrel::linetiming
