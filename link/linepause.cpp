#include "link/linepause.h"

#include "link/commcontrol.h"
#include "link/linetiming.h"

#include <algorithm>
#include <thread>

namespace kestrel {

using namespace linetiming;
using Clock = std::chrono::steady_clock;

namespace {

// Waits until no character has come for the silent gap, or until the deadline. While the line
// keeps talking it sleeps a whole gap at a time and then looks at the port, rather than waking at
// every character: one wake-up per 3.6 ms of reply instead of one per 1.04 ms, since each wake-up
// costs processor time. The line has then been silent for between one and two gaps.
void awaitSilence(CommControl &com, Clock::time_point deadline)
{
    const auto left = [deadline] { return deadline - Clock::now(); };
    if (left() <= std::chrono::nanoseconds::zero()
        || !com.waitForInput(std::min<std::chrono::nanoseconds>(kSilentGap, left())))
        return;   // silent from the start: a reply that had already arrived whole
    while (left() > std::chrono::nanoseconds::zero()) {
        std::this_thread::sleep_for(std::min<std::chrono::nanoseconds>(kSilentGap, left()));
        if (!com.waitForInput(std::chrono::nanoseconds::zero()))
            return;
    }
}

} // namespace

void busyPause(std::int32_t iterations)
{
    for (volatile std::int32_t i = 1; i <= iterations; i = i + 1) {
    }
}

void pauseBeforeRead(CommControl &comInterface, std::int32_t iterations)
{
    const Clock::time_point deadline = Clock::now() + kPauseCap;
    busyPause(iterations);
    awaitSilence(comInterface, deadline);
}

void awaitNoticeText(CommControl &comInterface)
{
    const Clock::time_point deadline = Clock::now() + kPauseCap;
    if (comInterface.waitForInput(kPauseCap))
        awaitSilence(comInterface, deadline);
}

void pauseAfterWrite(CommControl &comInterface, std::int32_t iterations)
{
    comInterface.drainOutput();
    busyPause(iterations);
}

} // namespace kestrel
