#include "console/linepause.h"

#include "core/failure.h"
#include "link/commcontrol.h"
#include "link/linetiming.h"

#include <algorithm>
#include <thread>

namespace kestrel::console {

using namespace link::linetiming;
using Clock = std::chrono::steady_clock;
using std::chrono::nanoseconds;

namespace {

// Whether what waits reads as a whole reply once the line is quiet: it ends with a line feed, as
// a board ends its replies, or it is a notice's "CC" alone, whose text follows after a silence of
// its own. Anything else may be a reply held up on its way.
bool looksWhole(link::CommControl &com)
{
    try {
        const QString text = com.peekInput();
        return text.endsWith(QLatin1Char('\n')) || text == QLatin1String("CC");
    } catch (const core::Failure &) {
        return true;   // nothing more can be read: there is nothing to wait for
    }
}

// Waits until the line has been silent long enough for what waits to be whole, or until the
// deadline. While the line keeps talking it sleeps a whole 3.5-character gap at a time and then
// looks at the port, rather than waking at every character: one wake-up per 3.6 ms of reply
// instead of one per 1.04 ms, since each wake-up costs processor time. After a quiet gap, text
// ending with a line feed is whole (the line has been silent for between one and two gaps); other
// text waits on, woken by its next character, until the line has been silent for the longer gap.
void awaitSilence(link::CommControl &com, Clock::time_point deadline)
{
    const auto left = [deadline] { return std::max(nanoseconds::zero(), deadline - Clock::now()); };
    bool came = com.waitForInput(std::min<nanoseconds>(link::linetiming::kSilentGap, left()));
    while (left() > nanoseconds::zero()) {
        if (!came) {
            if (looksWhole(com)
                || !com.waitForInput(std::min<nanoseconds>(link::linetiming::kHeldUpGap - link::linetiming::kSilentGap, left())))
                return;
        }
        link::linetiming::sleepFor(std::min<nanoseconds>(link::linetiming::kSilentGap, left()));
        came = com.waitForInput(nanoseconds::zero());
    }
}

} // namespace

void busyPause(std::int32_t iterations)
{
    for (volatile std::int32_t i = 1; i <= iterations; i = i + 1) {
    }
}

void pauseBeforeRead(link::CommControl &comInterface, std::int32_t iterations)
{
    const Clock::time_point deadline = Clock::now() + link::linetiming::kPauseCap;
    busyPause(iterations);
    awaitSilence(comInterface, deadline);
}

void awaitNoticeText(link::CommControl &comInterface)
{
    const Clock::time_point deadline = Clock::now() + link::linetiming::kPauseCap;
    if (comInterface.waitForInput(link::linetiming::kPauseCap))
        awaitSilence(comInterface, deadline);
}

void pauseAfterWrite(link::CommControl &comInterface, std::int32_t iterations)
{
    comInterface.drainOutput();
    busyPause(iterations);
}

} // namespace kestrel::console
