#pragma once

#include "console/console.h"
#include "tests/support/fakeserialdevice.h"

#include <QDateTime>
#include <QStringList>
#include <QTemporaryDir>

namespace kestrel::test {

// Delivers every queued serial event, as the event loop would between handlers.
void deliverEvents();

// The serial handler's busy pauses in tests: a few iterations, since no test measures the loop.
inline constexpr std::int32_t kShortPause = 10;

// A fake device behind each of the four ports.
struct FakePorts
{
    FakePorts();
    FakeSerialDevice &device(int port = 1) { return *fakes[port - 1]; }

    FakeSerialDevice *fakes[4];
    link::PortMap ports;
};

// One console over fake ports, as the window has it, with its tallies filled and its log file in a
// scratch directory. The clock reads 09:05:03 on the seventh of March 2026 unless the test sets
// it. Comm1 is open unless the test says otherwise.
struct ConsoleRig
{
    explicit ConsoleRig(bool openComm1 = true);

    FakeSerialDevice &device(int port = 1) { return fake.device(port); }
    QStringList logLines() const { return console.state.lstActionLog.rows(); }
    QStringList logFileLines() const;
    // The board sends text; the console handles the receive event.
    void reply(const QByteArray &text);

    FakePorts fake;
    QTemporaryDir dir;
    QDateTime now{QDate(2026, 3, 7), QTime(9, 5, 3)};
    console::Console console;

    // Short names for what the tests look at most.
    link::CommControl &com = console.comInterface;
    decode::ReplyState &state = console.state;
    core::ActionLog &log = console.state.log;
    core::LineListModel &actionLog = console.state.lstActionLog;
    console::PendingFrames &pendingFrames = console.pendingFrames;
};

} // namespace kestrel::test
