#include "session/textoutput.h"

#include <cstdio>

#ifdef _WIN32
#include <windows.h>
#endif

namespace kestrel::session {

void attachToStartingConsole()
{
#ifdef _WIN32
    // Handles given by the starting program (a pipe, a file, a console) are used as they are.
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (out != nullptr && out != INVALID_HANDLE_VALUE)
        return;
    if (AttachConsole(ATTACH_PARENT_PROCESS)) {
        std::freopen("CONOUT$", "w", stdout);
        std::freopen("CONOUT$", "w", stderr);
    }
#endif
}

namespace {

void print(std::FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

} // namespace

void printOut(const QString &text)
{
    print(stdout, text);
}

void printError(const QString &text)
{
    print(stderr, text);
}

} // namespace kestrel::session
