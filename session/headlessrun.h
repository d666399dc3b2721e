#pragma once

#include <QCommandLineParser>

namespace kestrel::session {

// A test plan run with no window (--plan): the console core against the device of "Comm1", a line
// printed per step and a summary, the reports written, log.txt written as the window writes it.
// Ctrl+C stops the run with the port closed and the reports written as far as it got. Needs a
// QCoreApplication; creates no widget. Returns the exit code: 0 all steps passed, 1 one failed
// (or the run was stopped), 2 the plan is wrong or the port cannot be opened.
int runPlanHeadless(const QCommandLineParser &parser);

} // namespace kestrel::session
