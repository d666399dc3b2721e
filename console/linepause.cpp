#include "console/linepause.h"

#include "core/failure.h"
#include "link/commcontrol.h"
#include "link/linetiming.h"

#include <algorithm>
#include <thread>

namespace kestrel {

using namespace linetiming;
using Clock = std::chrono::steady_clock;
using std::chrono::nanoseconds;

namespace {

// Whether what waits reads as a whole reply once the line is quiet: it ends with a line feed, as
// a board ends its replies, or it is a notice's "CC" alone, whose text follows after a silence of
// its own. Anything else may be a reply held up on its way.
bool looksWhole(CommControl &com)
{
    try {
        const QString text = com.peekInput();
        return text.endsWith(QLatin1Char('\n')) || text == QLatin1String("CC");
    } catch (const Failure &) {
        return true;   // nothing more can be read: there is nothing to wait for
    }
}

// Waits until the line has been silent long enough for what waits to be whole, or until the
// deadline. While the line keeps talking it sleeps a whole 3.5-character gap at a time and then
// looks at the port, rather than waking at every character: one wake-up per 3.6 ms of reply
// instead of one per 1.04 ms, since each wake-up costs processor time. After a quiet gap, text
// ending with a line feed is whole (the line has been silent for between one and two gaps); other
// text waits on, woken by its next character, until the line has been silent for the longer gap.
void awaitSilence(CommControl &com, Clock::time_point deadline)
{
    const auto left = [deadline] { return std::max(nanoseconds::zero(), deadline - Clock::now()); };
    bool came = com.waitForInput(std::min<nanoseconds>(kSilentGap, left()));
    while (left() > nanoseconds::zero()) {
        if (!came) {
            if (looksWhole(com)
                || !com.waitForInput(std::min<nanoseconds>(kHeldUpGap - kSilentGap, left())))
                return;
        }
        sleepFor(std::min<nanoseconds>(kSilentGap, left()));
        came = com.waitForInput(nanoseconds::zero());
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
