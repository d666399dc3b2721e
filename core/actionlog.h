#pragma once

#include "core/listrows.h"
#include "core/trap.h"

namespace kestrel::core {

// The action log: lines are only ever appended. Most writers then select the last line so that it is
// in view; the serial event handler appends its own lines without moving the selection.
class ActionLog
{
public:
    explicit ActionLog(ListRows &list) : m_list(list) {}

    ListRows &list() { return m_list; }

    // Appends the line, then selects the log's last line.
    void AppendLogLine(const QString &line);
    // Appends the handler's error line for the failure, then selects the log's last line.
    void LogHandlerError(const QString &message, const Failure &failure);
    // Appends the line and leaves the selection where it is.
    void appendQuietly(const QString &line) { m_list.append(line); }

    // The trap of a handler whose failures write its error line and select it; the next step runs.
    Trap trap(const QString &message);
    // As trap(), without moving the selection.
    Trap quietTrap(const QString &message);

private:
    ListRows &m_list;
};

} // namespace kestrel::core
