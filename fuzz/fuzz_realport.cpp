// libFuzzer target: arbitrary bytes from a board on a pseudo-terminal, through the real-port
// backend and the whole receive chain. The input is cut into writes at 0x1F bytes (the byte
// itself is dropped), each written in one piece as fast as the pty takes it, so reads meet the
// driver's own timing: pieces joined, a reply split across reads, a megabyte at once.
// After every input: every byte written was read, each read one raw row and one log line, and the
// port is still open (no device is lost while the far side stays).

#include "link/commevents.h"
#include "link/realserialdevice.h"
#include "console/console.h"
#include "tests/support/eventwait.h"
#include "tests/support/ptyboard.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <memory>

using namespace kestrel;

namespace {

void check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

// The console over the real-port backend on a pty, without the serial handler's busy pauses.
struct Rig
{
    Rig() : console(ports, settings())
    {
        console.comInterface.setPortOpen(true);
        console.tallies.InitializeCount();
    }
    console::Console::Settings settings()
    {
        ports.setDevice(1, std::make_unique<link::RealSerialDevice>(board.path()));
        console::Console::Settings settings;
        settings.logPath = dir.filePath(QStringLiteral("log.txt"));
        settings.pauseIterations = 0;
        return settings;
    }
    test::PtyBoard board;
    QTemporaryDir dir;
    link::PortMap ports{nullptr};
    console::Console console;
    int runs = 0;
};

Rig *rig = nullptr;

qsizetype rawBytes()
{
    qsizetype n = 0;
    for (const QString &row : rig->console.state.List1.rows())
        n += row.size();
    return n;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication app(*argc, *argv);
    rig = new Rig;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    const qsizetype before = rawBytes();
    qsizetype sent = 0;
    for (const QByteArray &piece : input.split('\x1f')) {
        if (piece.isEmpty())
            continue;
        rig->board.sendWhole(piece);
        sent += piece.size();
    }
    // Until everything written has been read.
    test::runUntil([&] { return rig->board.idle() && rawBytes() - before >= sent; }, 10000);
    check(rawBytes() - before == sent);
    check(rig->console.comInterface.PortOpen());
    const QStringList log = rig->console.state.lstActionLog.rows();
    for (const QString &line : log)
        check(!line.contains(QStringLiteral("Comm device lost")));

    QFile file(rig->console.logFile.path());
    const QByteArray logged = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    check(int(logged.count('\n')) == rig->console.state.List1.count());

    if (++rig->runs % 200 == 0) {
        rig->console.tallies.ClearAll();
        QFile::remove(rig->console.logFile.path());
    }
    return 0;
}
