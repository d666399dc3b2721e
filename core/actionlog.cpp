#include "core/actionlog.h"

namespace kestrel::core {

void ActionLog::AppendLogLine(const QString &line)
{
    m_list.append(line);
    m_list.selectLast();
}

void ActionLog::LogHandlerError(const QString &message, const Failure &failure)
{
    AppendLogLine(errorLine(message, failure));
}

Trap ActionLog::trap(const QString &message)
{
    return Trap([this, message](const Failure &f) { LogHandlerError(message, f); });
}

Trap ActionLog::quietTrap(const QString &message)
{
    return Trap([this, message](const Failure &f) { appendQuietly(errorLine(message, f)); });
}

} // namespace kestrel::core
