#pragma once

#include <chrono>
#include <thread>

namespace kestrel::link::linetiming {

using namespace std::chrono_literals;

// The board's line runs at 9600 baud, 8-N-1: a start bit, eight data bits and a stop bit make ten
// bit times a character, so a character takes about 1.04 ms and "08 50 06" CR LF about 10.4 ms.
inline constexpr int kBaud = 9600;
inline constexpr int kBitsPerCharacter = 10;
inline constexpr std::chrono::nanoseconds kCharacterTime =
    std::chrono::nanoseconds(std::chrono::seconds(1)) * kBitsPerCharacter / kBaud;

// How long `characters` characters take on the line.
constexpr std::chrono::nanoseconds onTheWire(int characters) { return kCharacterTime * characters; }

// The longest reply a peripheral gives: an MDB block of 36 bytes. The board writes it as hex text,
// two digits a byte with a blank between bytes, then CR LF: 109 characters, 113.5 ms on the line.
inline constexpr int kLongestBlockBytes = 36;
inline constexpr int kLongestReplyCharacters = kLongestBlockBytes * 3 - 1 + 2;

// A reply that ends with a line feed is whole once the line has been silent for 3.5 character
// times (about 3.6 ms), the interval that Modbus RTU uses to end a frame on a serial line. The
// board sends a reply's characters back to back, so a shorter silence is a reply still arriving.
inline constexpr std::chrono::nanoseconds kSilentGap = kCharacterTime * 7 / 2;

// Text that does not yet end with a line feed may be a reply held up on its way: USB serial
// adapters hand characters over in packets, and an FTDI adapter holds a packet back for up to
// 16 ms when the driver does not accept low latency (CH340 and PL2303 adapters have no such
// setting). Such text is whole only after this longer silence. A board that ends no reply with a
// line feed costs this much more latency, and loses nothing.
inline constexpr std::chrono::nanoseconds kHeldUpGap = 20ms;

// However long the line keeps talking (line noise, a board that streams), the pause before a read
// never lasts more than this: the window is frozen while it runs. It is the longest reply's time
// on the line and then the longest silence that can end it, so that the longest reply, held up
// once, is still read whole: 133.5 ms.
inline constexpr std::chrono::nanoseconds kPauseCap = onTheWire(kLongestReplyCharacters) + kHeldUpGap;

static_assert(kHeldUpGap > kSilentGap);

// Sleeps until `when` on the steady clock. The C++ library's own sleep may wake early (MinGW's
// does, most times, on Windows' coarser timers), and a silence measured short would cut a reply:
// this one sleeps again until the moment has really come.
inline void sleepUntil(std::chrono::steady_clock::time_point when)
{
    while (std::chrono::steady_clock::now() < when)
        std::this_thread::sleep_until(when);
}
inline void sleepFor(std::chrono::nanoseconds time)
{
    sleepUntil(std::chrono::steady_clock::now() + time);
}

} // namespace kestrel::link::linetiming
