#include "link/busypause.h"

namespace kestrel {

void busyPause(std::int32_t iterations)
{
    for (volatile std::int32_t i = 1; i <= iterations; i = i + 1) {
    }
}

} // namespace kestrel
