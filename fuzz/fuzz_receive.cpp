// libFuzzer target: arbitrary bytes from the board, through the whole receive path (raw reply list,
// reply recogniser, tallies, money total, status line, debugging values, log file).
//
// The input is cut into reads: at each line feed, and wherever a 0x1F byte stands (the byte itself
// is dropped), so one input can deliver several replies, replies split across reads, and the text
// that follows a "CC" notice. The next read arrives while the console reads the one before, as
// characters do that come during a pass.

#include "core/caption.h"
#include "core/linelistmodel.h"
#include "decode/logfile.h"
#include "decode/pairedlists.h"
#include "decode/recogniser.h"
#include "decode/tallies.h"
#include "link/commcontrol.h"
#include "link/commeventhandler.h"
#include "tests/support/fakeserialdevice.h"
#include "link/receivepath.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <memory>

using namespace kestrel;

namespace {

// The whole receive chain on a fake device behind Comm1, its log file in a scratch directory.
struct RigBase
{
    RigBase() : ports(nullptr), com(ports)
    {
        auto fake = std::make_unique<FakeSerialDevice>();
        device = fake.get();
        ports.setDevice(1, std::move(fake));
    }
    QTemporaryDir dir;
    PortMap ports;
    CommControl com;
    FakeSerialDevice *device = nullptr;
};

struct Rig : RigBase, ReceiveChain
{
    Rig() : ReceiveChain(com, dir.filePath(QStringLiteral("log.txt")), &LogFile::wallClock, 0)
    {
        com.setPortOpen(true);
        tallies.InitializeCount();
        device->afterOp = [this](FakeSerialDevice::Op op) {
            if (op == FakeSerialDevice::Op::Read && !pending.isEmpty())
                device->arrive(pending.takeFirst());
        };
    }

    QList<QByteArray> pending;
    int runs = 0;
};

Rig *rig = nullptr;

void check(bool condition)
{
    if (!condition)
        __builtin_trap();
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
    rig->pending.clear();
    QByteArray read;
    for (char c : input) {
        if (c == '\x1f') {
            rig->pending.append(read);
            read.clear();
            continue;
        }
        read.append(c);
        if (c == '\n') {
            rig->pending.append(read);
            read.clear();
        }
    }
    if (!read.isEmpty())
        rig->pending.append(read);
    if (rig->pending.isEmpty())
        return 0;

    const qint64 before = rig->TotalReceived.cents();
    rig->device->arrive(rig->pending.takeFirst());
    Trap trap = rig->log.quietTrap(CommEventHandler::kErrorMessage);
    rig->receivePath.receive(trap);

    // The total only grows; every count stays a number; the raw list holds one row per read.
    check(rig->TotalReceived.cents() >= before);
    for (int row = 0; row < rig->lstCoinCount.count(); ++row) {
        bool numeric = false;
        rig->lstCoinCount.row(row).toInt(&numeric);
        check(numeric);
    }

    // Start afresh now and then so that a long run stays within memory and disk.
    if (++rig->runs % 1000 == 0) {
        rig->tallies.ClearAll();
        QFile::remove(rig->logFile.path());
    }
    return 0;
}
