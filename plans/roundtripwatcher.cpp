#include "plans/roundtripwatcher.h"

namespace kestrel::plans {

void RoundTripWatcher::expectationMet(double replyAtMs)
{
    if (!m_writtenAt || m_command.isEmpty())
        return;
    m_trips.append({m_command, replyAtMs - *m_writtenAt, *m_writtenAt});
    m_command.clear();
}

} // namespace kestrel::plans
