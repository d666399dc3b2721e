// libFuzzer target: the whole road of the board's events through the console, on the test fake:
// the serial handler's dispatch table (characters received, CTS changes with and without a frame
// parked, line errors, the send event, codes it ignores), the receive path (raw reply list,
// recogniser, tallies, money total, status line, debugging values, log file), the list model's
// display text, the log writer failing at its open or its write, counts at the 32,767 overflow,
// and the Clear buttons.
//
// The input is a series of steps, cut at each 0x1E byte. A step's first byte says what it is:
//   0-3  characters from the board: the rest of the step, cut into reads at 0x1F bytes; each read
//        after the first arrives while the console reads the one before
//   4    a line event: the next byte picks the event code
//   5    the log file: next byte 0 writable, 1 in a missing directory, 2 on a full disk
//   6    a tally count one short of the overflow: the next byte picks the row
//   7    a Clear button: the next byte picks which
// After every input: one raw row and, while the log file is writable, one well-formed log line
// per read, each the read's text; every count a number within 0 to 32,767; the total never less
// than before but for Clear All; every row's display text free of control characters.

#include "link/commevents.h"
#include "tests/support/consolerig.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <memory>

using namespace kestrel;

namespace {

constexpr char kStep = '\x1e';
constexpr char kRead = '\x1f';

const int kEventCodes[] = {
    link::commevent::Send, link::commevent::Receive, link::commevent::CtsChange, link::commevent::DsrChange,
    link::commevent::CdChange, link::commevent::Ring, link::commevent::EndOfFile, link::commevent::Break,
    link::commevent::CtsTimeout, link::commevent::DsrTimeout, link::commevent::Framing, link::commevent::Overrun,
    link::commevent::CdTimeout, link::commevent::RxOverflow, link::commevent::Parity, link::commevent::TxFull,
    link::commevent::ControlBlock, 0, 9999,
};

void check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

// The console over a fake device, without the serial handler's busy pauses.
console::Console::Settings settingsIn(const QTemporaryDir &dir)
{
    console::Console::Settings settings;
    settings.logPath = dir.filePath(QStringLiteral("log.txt"));
    settings.pauseIterations = 0;
    return settings;
}

struct Rig
{
    Rig() : console(fake.ports, settingsIn(dir))
    {
        QObject::connect(&console.state.List1, &QAbstractItemModel::rowsInserted,
                         [this](const QModelIndex &, int first, int last) {
                             for (int row = first; row <= last; ++row)
                                 added << console.state.List1.row(row);
                         });
        console.comInterface.setPortOpen(true);
        console.tallies.InitializeCount();
        device->afterOp = [this](FakeSerialDevice::Op op) {
            if (op == FakeSerialDevice::Op::Read && !pending.isEmpty())
                device->arrive(pending.takeFirst());
        };
    }
    QString goodLog() const { return dir.filePath(QStringLiteral("log.txt")); }

    QTemporaryDir dir;
    test::FakePorts fake;
    FakeSerialDevice *device = &fake.device(1);
    console::Console console;
    QList<QByteArray> pending;    // reads still to come during this pass
    QStringList added;            // raw rows added during this input
    int runs = 0;
};

Rig *rig = nullptr;

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void deliver()
{
    QCoreApplication::sendPostedEvents();
}

void boardSends(const QByteArray &step)
{
    QList<QByteArray> reads = step.split(kRead);
    reads.removeAll(QByteArray());
    if (reads.isEmpty())
        return;
    rig->pending = reads.mid(1);
    rig->device->arrive(reads.first());
    deliver();
    rig->pending.clear();
}

void lineEvent(quint8 choice)
{
    const int code = kEventCodes[choice % std::size(kEventCodes)];
    // Half the time a command button has parked a frame and raised DTR first.
    if (choice & 0x80) {
        core::Trap()([&] {
            rig->console.pendingFrames.push(QByteArray::fromHex("0F0202"), QStringLiteral("Error In Dispensing Dime, "));
            rig->console.comInterface.setDTREnable(true);
        });
    }
    rig->device->raiseEvent(code);
    deliver();
}

void logTo(quint8 choice)
{
    switch (choice % 3) {
    case 0: rig->console.logFile.setPath(rig->goodLog()); break;
    case 1: rig->console.logFile.setPath(rig->dir.filePath(QStringLiteral("gone/log.txt"))); break;
    default: rig->console.logFile.setPath(QStringLiteral("/dev/full")); break;
    }
}

void nearOverflow(quint8 choice)
{
    core::ListRows &counts = choice & 0x80 ? static_cast<core::ListRows &>(rig->console.state.lstBillCount)
                                     : static_cast<core::ListRows &>(rig->console.state.lstCoinCount);
    core::Trap()([&] { counts.setRow(choice % 5, QStringLiteral("32766")); });
}

void clearButton(quint8 choice, qint64 &floor)
{
    switch (choice % 4) {
    case 0: rig->console.tallies.ClearCoinTotals(); break;
    case 1: rig->console.tallies.ClearBillTotals(); break;
    case 2: rig->console.state.List1.clear(); break;
    default:
        rig->console.tallies.ClearAll();
        floor = 0;
        break;
    }
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
    rig->added.clear();
    rig->console.logFile.setPath(rig->goodLog());
    const qint64 logBefore = fileBytes(rig->goodLog()).size();
    bool logAlwaysGood = true;
    qint64 floor = rig->console.state.TotalReceived.cents();

    for (const QByteArray &step : input.split(kStep)) {
        if (step.isEmpty())
            continue;
        const quint8 kind = quint8(step[0]) % 8;
        const quint8 choice = step.size() > 1 ? quint8(step[1]) : 0;
        switch (kind) {
        case 4: lineEvent(choice); break;
        case 5:
            logTo(choice);
            logAlwaysGood = logAlwaysGood && choice % 3 == 0;
            break;
        case 6: nearOverflow(choice); break;
        case 7: clearButton(choice, floor); break;
        default: boardSends(step.mid(1)); break;
        }
        check(rig->console.state.TotalReceived.cents() >= floor);
        floor = rig->console.state.TotalReceived.cents();
    }
    deliver();

    // One well-formed log line per read, holding the read's text, while the file was writable.
    if (logAlwaysGood) {
        const QByteArray written = fileBytes(rig->goodLog()).mid(logBefore);
        QList<QByteArray> lines = written.split('\n');
        check(lines.takeLast().isEmpty());
        check(lines.size() == rig->added.size());
        for (int i = 0; i < lines.size(); ++i) {
            const QByteArray &line = lines[i];
            check(line.size() >= 19 && line.endsWith('\r'));
            const QByteArray stamp = line.left(18);
            for (int at : {2, 5})
                check(stamp[at] == '-');
            for (int at : {12, 15})
                check(stamp[at] == ':');
            QString text = rig->added[i];
            text.remove(QLatin1Char('\r')).remove(QLatin1Char('\n'));
            check(line.mid(18, line.size() - 19) == text.toLatin1());
        }
    }
    // Every count a number within a 16-bit count; every row shown without control characters.
    for (const core::LineListModel *counts : {&rig->console.state.lstCoinCount, &rig->console.state.lstBillCount}) {
        for (int row = 0; row < counts->count(); ++row) {
            bool numeric = false;
            const int count = counts->row(row).toInt(&numeric);
            check(numeric && count >= 0 && count <= 32767);
        }
    }
    for (const core::LineListModel *list : {&rig->console.state.List1, &rig->console.state.lstActionLog, &rig->console.state.lstDebuggingValue}) {
        for (int row = qMax(0, list->count() - 64); row < list->count(); ++row) {
            const QString shown = list->data(list->index(row), Qt::DisplayRole).toString();
            check(shown.size() <= core::LineListModel::kShownCharacters + 1);
            for (QChar c : shown)
                check(c.unicode() >= 0x20 && c.unicode() != 0x7F);
        }
    }

    // Start afresh now and then so that a long run stays within memory and disk.
    if (++rig->runs % 1000 == 0) {
        rig->console.tallies.ClearAll();
        QFile::remove(rig->goodLog());
    }
    return 0;
}
