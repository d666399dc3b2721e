#pragma once

#include <QString>

namespace kestrel::session {

// Text the program prints for the person who started it from a shell: help, the version, and a
// headless run's progress. On Windows the program is a desktop program with no console of its
// own; when started from a command prompt it writes into that prompt's console, and when its
// output is redirected it writes into the file or pipe it was given.
void attachToStartingConsole();

// Writes the text and flushes it at once, so that a run that is ended still leaves what it printed.
void printOut(const QString &text);
void printError(const QString &text);

} // namespace kestrel::session
