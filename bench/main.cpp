// Kestrel's benchmarks. Each prints a Markdown table; run `kestrel_bench` (all) or name some of
// them (`kestrel_bench --list` names them all). Figures are medians on whatever machine runs them,
// so compare runs made on the same machine.

#include "session/commandline.h"
#include "bench/benches.h"
#include "app/mainwindow.h"
#include "capture/pcapng.h"
#include "capture/recording.h"
#include "console/sessioncapture.h"
#include "console/linepause.h"
#include "console/portselection.h"
#include "plans/planrunner.h"
#include "link/linetiming.h"
#include "link/commevents.h"
#include "tests/support/fakeserialdevice.h"
#include "link/realserialdevice.h"
#include "sim/virtualboard.h"
#include "tests/support/eventwait.h"
#include "tests/support/netboard.h"
#include "tests/app/windowrig.h"
#include "tests/support/boardconsole.h"
#include "tests/support/consolerig.h"
#ifdef Q_OS_LINUX
#include "tests/support/ptyboard.h"
#endif

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <thread>
#include <ctime>
#include <cstdio>
#ifdef Q_OS_LINUX
#include <malloc.h>
#endif
#ifdef Q_OS_WIN
#include <windows.h>
#endif

using namespace kestrel;

namespace {

// CPU time of the whole program so far (every thread), in microseconds.
double processCpuMicroseconds()
{
#if defined(Q_OS_WIN)
    FILETIME created, ended, kernel, user;
    ::GetProcessTimes(::GetCurrentProcess(), &created, &ended, &kernel, &user);
    const auto us = [](const FILETIME &t) {
        return (double(t.dwHighDateTime) * 4294967296.0 + double(t.dwLowDateTime)) / 10.0;
    };
    return us(kernel) + us(user);
#else
    timespec now{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e6 + double(now.tv_nsec) / 1e3;
#endif
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// Bytes the program holds on its heap now (what malloc has handed out and not taken back); 0
// where the C library does not say.
double heapBytes()
{
#ifdef Q_OS_LINUX
    const struct mallinfo2 info = mallinfo2();
    return double(info.uordblks) + double(info.hblkhd);
#else
    return 0;
#endif
}

// Processor time this thread has used, in microseconds.
double cpuMicroseconds()
{
#if defined(Q_OS_WIN)
    FILETIME created, ended, kernel, user;
    ::GetThreadTimes(::GetCurrentThread(), &created, &ended, &kernel, &user);
    const auto us = [](const FILETIME &t) {
        return (double(t.dwHighDateTime) * 4294967296.0 + double(t.dwLowDateTime)) / 10.0;
    };
    return us(kernel) + us(user);
#else
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e6 + double(now.tv_nsec) / 1e3;
#endif
}

double wallMicroseconds()
{
    return std::chrono::duration<double, std::micro>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The console without the serial handler's busy pauses (the benchmarks measure what the console
// does beyond the loop), its log file in the scratch directory given.
console::Console::Settings withoutPauses(const QTemporaryDir *dir = nullptr)
{
    console::Console::Settings settings;
    if (dir)
        settings.logPath = dir->filePath(QStringLiteral("log.txt"));
    settings.pauseIterations = 0;
    return settings;
}

// The real window over fake devices, shown.
struct ShownWindow
{
    ShownWindow()
        : ports([](const QString &name) { return std::make_unique<FakeSerialDevice>(name); })
        , window(ports, withoutPauses(&dir))
    {
        test::closeSplashes();
        window.show();
        (void)QTest::qWaitForWindowExposed(&window);
        window.console().comInterface.setPortOpen(true);
        device = static_cast<FakeSerialDevice *>(ports.device(1));
    }
    QTemporaryDir dir;
    link::PortMap ports;
    app::frmKestrel window;
    FakeSerialDevice *device = nullptr;
};

void benchReceive()
{
    ShownWindow console;
    const QByteArray replies[] = {"08 50 06\r\n", "08 91 08\r\n", "30 80 09\r\n", "08 0C", "99 99"};
    constexpr int kReplies = 20000;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < kReplies; ++i) {
        console.device->arrive(replies[i % 5]);
        QCoreApplication::processEvents();   // the receive event, its pass, and the window's share
    }
    const double perReply = clock.nsecsElapsed() / 1000.0 / kReplies;

    std::vector<double> pauses;
    for (int i = 0; i < 200; ++i) {
        clock.restart();
        console::busyPause();
        pauses.push_back(clock.nsecsElapsed() / 1000.0);
    }
    std::printf("\n### Receive path\n\n| what | microseconds |\n|---|---|\n");
    std::printf("| one reply, receive event to end of pass, without the pause (window shown) | %.1f |\n", perReply);
    std::printf("| the pause alone (500,000 iterations), median | %.1f |\n", median(pauses));
    std::printf("| one reply with the pause | %.1f |\n", perReply + median(pauses));
}

// The pause before a read, at line speed: from the receive notification (the reply's first
// character) to the read of the whole reply, wall time and processor time, against the
// 500,000-iteration loop alone. The wait on the port after the loop must cost no processor time.
void benchLinePause()
{
    std::printf("\n### The pause before a read, replies at 9600 baud\n\n"
                "| line | replies | whole | wall ms per reply | CPU us per reply | loop alone: CPU us "
                "| CPU of the pause / CPU of the loop |\n|---|---|---|---|---|---|---|\n");
    constexpr int kReplies = 200;
    const QByteArray reply("08 50 06\r\n");
    const auto measure = [&](const char *line, std::unique_ptr<link::SerialDevice> device,
                             const std::function<void()> &sendOne) {
        link::PortMap ports(nullptr);
        link::CommControl com(ports);
        ports.setDevice(1, std::move(device));
        com.setPortOpen(true);
        std::vector<double> walls, cpus, loops;
        int whole = 0;
        for (int i = 0; i < kReplies; ++i) {
            sendOne();
            while (com.InBufferCount() == 0)
                com.waitForInput(std::chrono::milliseconds(100));   // the first character
            const double wall = wallMicroseconds();
            const double cpu = cpuMicroseconds();
            console::pauseBeforeRead(com);
            walls.push_back(wallMicroseconds() - wall);
            cpus.push_back(cpuMicroseconds() - cpu);
            whole += com.Input() == QString::fromLatin1(reply);
            const double loopCpu = cpuMicroseconds();
            console::busyPause();
            loops.push_back(cpuMicroseconds() - loopCpu);
            com.waitForInput(std::chrono::milliseconds(20));         // the silence between
            com.Input();
        }
        com.setPortOpen(false);
        std::printf("| %s | %d | %d | %.2f | %.1f | %.1f | %.3f |\n", line, kReplies, whole,
                    median(walls) / 1000, median(cpus), median(loops), median(cpus) / median(loops));
    };
    {
        auto board = std::make_unique<sim::VirtualBoard>();
        board->setReplySpacing(0);
        sim::VirtualBoard *line = board.get();
        measure("virtual board", std::move(board),
                [line, &reply] { line->sendReply(QString::fromLatin1(reply)); });
    }
#ifdef Q_OS_LINUX
    {
        test::PtyBoard pty;
        measure("real port on a pty", std::make_unique<link::RealSerialDevice>(pty.path()),
                [&] { pty.send(reply); });
    }
#endif
    // What one wake-up from a sleep costs this machine: the floor under any wait that sleeps.
    std::vector<double> sleeps;
    for (int i = 0; i < 200; ++i) {
        const double cpu = cpuMicroseconds();
        std::this_thread::sleep_for(link::linetiming::kSilentGap);
        sleeps.push_back(cpuMicroseconds() - cpu);
    }
    std::printf("\nOne sleep of the silent gap (%.2f ms) alone costs %.1f us of CPU on this machine.\n",
                std::chrono::duration<double, std::milli>(link::linetiming::kSilentGap).count(),
                median(sleeps));
}

void benchFrame()
{
    ShownWindow console;
    std::vector<double> frames;
    for (int i = 0; i < 60; ++i) {
        console.device->arrive("08 50 06\r\n");
        QCoreApplication::sendPostedEvents();   // the receive pass, no painting yet
        QElapsedTimer clock;
        clock.start();
        QEvent update(QEvent::UpdateRequest);
        QCoreApplication::sendEvent(&console.window, &update);   // paint what the reply changed
        frames.push_back(clock.nsecsElapsed() / 1000.0);
        QTest::qWait(app::frmKestrel::kStreamingFrameMs + 10);          // past the frame interval
    }
    std::printf("\n### One frame (paint what a reply changed)\n\n| median microseconds |\n|---|\n| %.1f |\n",
                median(frames));
}

// 100,000 replies through the whole receive chain on a fake device, then Clear All: what the heap
// holds afterwards beyond what it held before (the lists' lines are gone, nothing else may stay).
void benchFlood()
{
    auto rig = std::make_unique<test::ConsoleRig>();
    const QByteArray replies[] = {"08 50 06\r\n", "08 51 08\r\n", "08 52 06\r\n",
                                  "30 80 09", "30 84 09", "08 0C", "99 99 99"};
    const double before = heapBytes();
    constexpr int kReplies = 100000;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < kReplies; ++i) {
        rig->device().arrive(replies[i % 7]);
        core::Trap trap = rig->log.quietTrap(console::CommEventHandler::kErrorMessage);
        rig->console.receivePath.receive(trap);
    }
    const double perReply = clock.nsecsElapsed() / 1000.0 / kReplies;
    const double during = heapBytes() - before;
    rig->console.tallies.ClearAll();
    const double after = heapBytes() - before;
    std::printf("\n### A flood of replies (100,000 through the receive chain, then Clear All)\n\n"
                "| microseconds per reply | heap held with the lists full, MB | heap left after "
                "Clear All, KB |\n|---|---|---|\n| %.1f | %.1f | %.1f |\n",
                perReply, during / 1e6, after / 1e3);
}

void benchGrowth()
{
    std::printf("\n### List growth (append, select last line, event loop turn)\n\n"
                "| list | lines already in it | microseconds per line | bytes per line |\n"
                "|---|---|---|---|\n");
    const struct { const char *name; const char *text; } kLists[] = {
        {"lstActionLog", "Received a Nickel"},
        {"List1", "08 50 06\r\n"},
    };
    for (const auto &list : kLists) {
        ShownWindow console;   // the real window, its lists shown
        core::LineListModel &lines = *console.window.console().list(QString::fromLatin1(list.name));
        const double before = heapBytes();
        int filled = 0;
        for (int size : {1000, 100000, 1000000}) {
            // Each line is a string of its own, as replies and their log lines are. Fill quickly,
            // turning the event loop now and then as a stream of replies would.
            while (filled < size) {
                lines.append(QString::fromLatin1(list.text));
                if (++filled % 1000 == 0)
                    QCoreApplication::processEvents();
            }
            lines.selectLast();
            QCoreApplication::processEvents();
            // The median of five batches, each a thousand lines, each line with its own loop turn.
            constexpr int kOps = 1000;
            std::vector<double> batches;
            for (int batch = 0; batch < 5; ++batch) {
                QElapsedTimer clock;
                clock.start();
                for (int i = 0; i < kOps; ++i) {
                    lines.append(QString::fromLatin1(list.text));
                    lines.selectLast();
                    QCoreApplication::processEvents();
                }
                batches.push_back(clock.nsecsElapsed() / 1000.0 / kOps);
                filled += kOps;
            }
            const double bytes = (heapBytes() - before) / filled;
            std::printf("| %s | %d | %.2f | %.0f |\n", list.name, size, median(batches), bytes);
        }
    }
}

// The real window with "Comm1" on the device named, open, the serial handler's loop left out.
struct HandshakeConsole : test::DeviceWindowRig
{
    explicit HandshakeConsole(const QString &device)
        : DeviceWindowRig(device, withoutPauses())
    {
        window->console().comInterface.setPortOpen(true);
    }
};

void benchHandshake()
{
    std::printf("\n### Handshake latency (CTS change to frame written)\n\n| device | median microseconds |\n|---|---|\n");
    {
        HandshakeConsole on(QStringLiteral("virtual"));
        app::frmKestrel &window = *on.window;
        link::PortMap &ports = on.ports;
        auto *board = session::virtualBoards(ports).value(0);
        QElapsedTimer clock;
        std::vector<double> samples;
        QEventLoop loop;
        QObject::connect(board, &link::SerialDevice::lineEvent, [&](int code) {
            if (code == link::commevent::CtsChange)
                clock.start();
        });
        QObject::connect(board, &sim::VirtualBoard::frameReceived, [&](const QByteArray &) {
            samples.push_back(clock.nsecsElapsed() / 1000.0);
            loop.quit();
        });
        for (int i = 0; i < 200; ++i) {
            window.console().send.QueueCommandFrame("\x0a", "Tube Status", "e, ");
            QTimer::singleShot(1000, &loop, &QEventLoop::quit);
            loop.exec();
        }
        std::printf("| virtual board | %.1f |\n", median(samples));
    }
    {
        // Over RFC 2217 on loopback: from the server's CTS notice to the frame's first byte at
        // the server.
        test::NetBoard board;
        HandshakeConsole on(board.url());
        app::frmKestrel &window = *on.window;
        std::vector<double> samples;
        for (int i = 0; i < 200; ++i) {
            const int before = int(board.seen().received.size());
            window.console().send.QueueCommandFrame("\x0f\x02\x02", "Dispense Dime", "e, ");
            (void)test::runUntil([&] { return board.seen().received.size() >= before + 3; }, 2000);
            const test::NetBoard::Seen seen = board.seen();
            if (seen.ctsNotices.size() > i && seen.bytesAt.size() > before)
                samples.push_back(std::chrono::duration<double, std::micro>(
                                      seen.bytesAt[before] - seen.ctsNotices[i]).count());
            test::runFor(5);
        }
        std::printf("| RFC 2217 server on loopback | %.1f |\n", median(samples));
    }
#ifdef Q_OS_LINUX
    {
        test::PtyBoard board;
        HandshakeConsole on(board.path());
        app::frmKestrel &window = *on.window;
        link::PortMap &ports = on.ports;
        link::SerialDevice *device = ports.device(1);
        std::vector<double> samples;
        for (int i = 0; i < 200; ++i) {
            window.console().send.QueueCommandFrame("\x0f\x02\x02", "Dispense Dime", "e, ");
            // A pty has no CTS line: the change is raised as the driver would report it.
            QElapsedTimer clock;
            clock.start();
            emit device->lineEvent(link::commevent::CtsChange);
            qsizetype got = 0;
            while (got < 3 && clock.elapsed() < 1000) {
                QCoreApplication::processEvents();
                got += board.received().size();
            }
            samples.push_back(clock.nsecsElapsed() / 1000.0);
        }
        std::printf("| real port on a pty | %.1f |\n", median(samples));
    }
#endif
}

#ifdef Q_OS_LINUX
// The real port, counting how often the pause waits on it or looks at it for more characters:
// each is one wake-up of the pause.
class CountingPort : public link::RealSerialDevice
{
public:
    using link::RealSerialDevice::RealSerialDevice;
    int wakeUps = 0;

protected:
    bool waitOnDriver(std::chrono::nanoseconds timeout) override
    {
        ++wakeUps;
        return link::RealSerialDevice::waitOnDriver(timeout);
    }
};

// The longest reply (a 36-byte block, 109 characters, 113.5 ms on the line) and a short one, at
// 9600 baud through the real-port backend on a pty: from the reply's last character to the end
// of its read, beyond the 3.5-character silence that ends it, and the pause's wake-ups.
void benchLongReply()
{
    std::printf("\n### The longest reply at 9600 baud, read whole\n\n"
                "| reply | characters | on the line, ms | whole | last character to end of read, "
                "ms | beyond the 3.5-character silence, ms | wake-ups per reply | CPU us per reply |\n"
                "|---|---|---|---|---|---|---|---|\n");
    QByteArray longest(1, '\x08');
    while (longest.size() < link::linetiming::kLongestBlockBytes)
        longest.append(char(0x30 + longest.size()));
    const QByteArray replies[] = {longest.toHex(' ').toUpper() + "\r\n", QByteArray("08 50 06\r\n")};
    constexpr int kRounds = 40;
    test::PtyBoard pty;
    link::PortMap ports(nullptr);
    link::CommControl com(ports);
    auto counting = std::make_unique<CountingPort>(pty.path());
    CountingPort *device = counting.get();
    ports.setDevice(1, std::move(counting));
    com.setPortOpen(true);
    const double silenceMs = std::chrono::duration<double, std::milli>(link::linetiming::kSilentGap).count();
    std::vector<double> after[2], wakes[2], cpus[2];
    int whole[2] = {};
    // The two replies interleaved, so that both meet the same machine.
    for (int round = 0; round < kRounds; ++round) {
        for (int r = 0; r < 2; ++r) {
            pty.send(replies[r], std::chrono::milliseconds(30));
            while (com.InBufferCount() == 0)
                com.waitForInput(std::chrono::milliseconds(200));   // the first character
            device->wakeUps = 0;
            const double cpu = cpuMicroseconds();
            console::pauseBeforeRead(com);
            const QString read = com.Input();
            const auto end = std::chrono::steady_clock::now();
            cpus[r].push_back(cpuMicroseconds() - cpu);
            wakes[r].push_back(device->wakeUps);
            after[r].push_back(std::chrono::duration<double, std::milli>(end - pty.lastCharacterAt()).count());
            whole[r] += read == QString::fromLatin1(replies[r]);
        }
    }
    for (int r = 0; r < 2; ++r) {
        const double onLine = std::chrono::duration<double, std::milli>(
                                  link::linetiming::onTheWire(int(replies[r].size()))).count();
        std::printf("| %s | %d | %.1f | %d of %d | %.2f | %.2f | %.0f | %.0f |\n",
                    r == 0 ? "36-byte block" : "coin (3 bytes)", int(replies[r].size()), onLine,
                    whole[r], kRounds, median(after[r]), median(after[r]) - silenceMs,
                    median(wakes[r]), median(cpus[r]));
    }
}
#endif

// The console at work at 9600 baud: coins inserted on the virtual board, each reply paced a
// character every 1.04 ms, read with the console's own pause, shown in the window and written to
// log.txt. The CPU of the whole program (console and board) over the run, per reply; the same run
// on Linux and under Wine compares the two builds.
void benchLineSpeed()
{
    std::printf("\n### Replies at line speed (coins on the virtual board, 9600 baud)\n\n"
                "| replies | read whole | wall ms per reply | CPU us per reply: console's thread | the whole "
                "program (the board's line too) |\n|---|---|---|---|---|\n");
    constexpr int kReplies = 50;
    std::vector<double> walls, cpus, threadCpus;
    int whole = 0;
    for (int run = 0; run < 5; ++run) {
        test::DeviceWindowRig on(QStringLiteral("virtual"));
        on.console().comInterface.setPortOpen(true);
        auto *board = session::virtualBoards(on.ports).value(0);
        board->setReplySpacing(30);
        core::LineListModel &rows = on.console().state.List1;
        const int before = rows.rowCount();
        QElapsedTimer clock;
        clock.start();
        const double cpu = processCpuMicroseconds();
        const double threadCpu = cpuMicroseconds();
        for (int i = 0; i < kReplies; ++i)
            board->insertCoin(sim::CoinChanger::Coin(i % 3));
        QEventLoop loop;
        QObject::connect(&rows, &QAbstractItemModel::rowsInserted, &loop, [&] {
            if (rows.rowCount() - before >= kReplies)
                loop.quit();
        });
        QTimer::singleShot(kReplies * 200, &loop, &QEventLoop::quit);
        loop.exec();
        const int read = rows.rowCount() - before;
        cpus.push_back((processCpuMicroseconds() - cpu) / std::max(read, 1));
        threadCpus.push_back((cpuMicroseconds() - threadCpu) / std::max(read, 1));
        walls.push_back(clock.nsecsElapsed() / 1e6 / std::max(read, 1));
        whole += read;
    }
    std::printf("| %d | %d of %d | %.1f | %.0f | %.0f |\n", kReplies, whole, 5 * kReplies,
                median(walls), median(threadCpus), median(cpus));
}

// Saving a capture: what it adds to each reply's receive pass (two consoles over fake devices, one
// capturing, fed the same replies in interleaved batches), and the writer alone (one packet with
// its two comments, flushed to the file).
void benchCapture()
{
    struct FedConsole
    {
        explicit FedConsole(bool capturing)
        {
            console.comInterface.setPortOpen(true);
            if (capturing)
                capture.start(dir.filePath(QStringLiteral("session.pcapng")));
        }
        double feed(const QByteArray &reply, int count)
        {
            QElapsedTimer clock;
            clock.start();
            for (int i = 0; i < count; ++i) {
                fake.device().arrive(reply);
                QCoreApplication::processEvents();
            }
            return clock.nsecsElapsed() / 1000.0 / count;
        }
        QTemporaryDir dir;
        test::FakePorts fake;
        console::Console console{fake.ports, withoutPauses(&dir)};
        console::SessionCapture capture{console};
    };
    const QByteArray replies[] = {"08 50 06\r\n", "30 80 09\r\n", "99 99"};
    std::printf("\n### Saving a capture (pcapng, each packet flushed to a file in the temporary folder)\n\n"
                "| reply | receive pass, us | with the capture, us | the capture's share, us | the writer "
                "alone, us per packet |\n|---|---|---|---|---|\n");
    for (const QByteArray &reply : replies) {
        FedConsole plain(false), capturing(true);
        std::vector<double> without, with;
        for (int batch = 0; batch < 21; ++batch) {
            without.push_back(plain.feed(reply, 500));
            with.push_back(capturing.feed(reply, 500));
        }
        QTemporaryDir dir;
        capture::PcapngWriter writer;
        writer.open(dir.filePath(QStringLiteral("alone.pcapng")));
        const std::optional<QByteArray> bytes = capture::replyBytes(QString::fromLatin1(reply));
        const QByteArray packet = bytes ? capture::replyPacket(*bytes) : QByteArray();
        const QStringList comments{QStringLiteral("console: Received a Nickel"),
                                   capture::kReadAs + capture::escaped(QString::fromLatin1(reply))};
        std::vector<double> alone;
        for (int batch = 0; batch < 21; ++batch) {
            QElapsedTimer clock;
            clock.start();
            for (int i = 0; i < 1000; ++i)
                writer.write(console::SessionCapture::wallClock(), packet, comments);
            alone.push_back(clock.nsecsElapsed() / 1000.0 / 1000);
        }
        std::printf("| %s | %.1f | %.1f | %.1f | %.1f |\n", qPrintable(capture::escaped(QString::fromLatin1(reply))),
                    median(without), median(with), median(with) - median(without), median(alone));
    }
}

// A recording replayed through the replay port as fast as the line allows (9600 baud, each read
// after the silence that ends it): replies per second, and whether the console read every one
// whole. Coin, bill and identification replies (34 bytes, the longest reply the board sends) in
// turn. 2,000 replies unless KESTREL_BENCH_REPLIES says (100,000 take about an hour and a half at
// line speed).
void benchReplay()
{
    const int count = qEnvironmentVariableIsSet("KESTREL_BENCH_REPLIES")
                          ? qEnvironmentVariableIntValue("KESTREL_BENCH_REPLIES") : 2000;
    sim::CoinChanger changer;
    sim::BillValidator validator;
    const QStringList texts{changer.insert(sim::CoinChanger::Nickel), changer.insert(sim::CoinChanger::Dime),
                            changer.insert(sim::CoinChanger::Quarter), validator.insert(sim::BillValidator::One),
                            changer.handle(QByteArray::fromHex("0F00")).value(0)};
    // The same replies through a file, as a technician's capture reaches the console.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("field.pcapng"));
    {
        capture::PcapngWriter writer;
        writer.open(path);
        for (int i = 0; i < count; ++i) {
            const QString &text = texts[i % texts.size()];
            writer.write(1700000000000000LL + qint64(i) * 20000, capture::replyPacket(*capture::replyBytes(text)),
                         {capture::kReadAs + capture::escaped(text)});
        }
    }
    const capture::Loaded loaded = capture::readRecording(path);
    if (!loaded.recording) {
        std::printf("\n(replay: %s)\n", qPrintable(loaded.error));
        return;
    }
    test::BoardConsole on([&](sim::VirtualBoard &board) { board.setReplay(*loaded.recording, 0); });
    QElapsedTimer clock;
    clock.start();
    const double cpu = processCpuMicroseconds();
    core::LineListModel &rows = on.console.state.List1;
    QEventLoop loop;
    constexpr int kQuietMs = 2000;   // the line quiet this long after the last read: the replay has ended
    QTimer idle;
    idle.setSingleShot(true);
    QObject::connect(&idle, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(&rows, &QAbstractItemModel::rowsInserted, &idle, [&] { idle.start(kQuietMs); });
    idle.start(5000);
    loop.exec();
    const double seconds = clock.nsecsElapsed() / 1e9 - kQuietMs / 1000.0;
    // Each row should be one reply of the file, in turn; a row that is not is two or more run
    // together (a console that looked too late), and the file's place is found again after it.
    int whole = 0, together = 0;
    for (int i = 0, at = 0; i < rows.rowCount(); ++i) {
        const QString row = rows.row(i);
        if (row == texts[at % texts.size()]) {
            ++whole;
            ++at;
            continue;
        }
        ++together;
        if (qEnvironmentVariableIsSet("KESTREL_BENCH_SHOW"))
            std::fprintf(stderr, "run together: %s\n", qPrintable(capture::escaped(row)));
        for (int part = 0; part < row.size() && at < count;) {
            if (row.mid(part).startsWith(texts[at % texts.size()]))
                part += int(texts[at % texts.size()].size());
            else
                part = int(row.size());
            ++at;
        }
    }
    std::printf("\n### A recording replayed as fast as the line allows (9600 baud)\n\n"
                "| replies in the file | rows read | each one reply, whole and in turn | rows of replies run "
                "together | replies per second | CPU us per reply, whole program |\n|---|---|---|---|---|---|\n"
                "| %d | %d | %d | %d | %.1f | %.0f |\n",
                count, rows.rowCount(), whole, together, rows.rowCount() / seconds,
                (processCpuMicroseconds() - cpu) / std::max(rows.rowCount(), 1));
}

// Test plans on the virtual board at line speed: each built-in plan's wall time (the board answers
// its requests), and what the runner adds per step beyond the line: the gap from one step's end
// to the next one's start in those runs, and a plan of 1,000 checks, which touch no line at all.
void benchPlans()
{
    // Runs a plan, the board answering its requests; its wall time in milliseconds.
    const auto runPlan = [](test::BoardConsole &on, plans::PlanRunner &runner) {
        QObject::connect(&runner, &plans::PlanRunner::asked, on.board, &sim::VirtualBoard::answer);
        QEventLoop loop;
        QObject::connect(&runner, &plans::PlanRunner::finished, &loop, &QEventLoop::quit);
        runner.start();
        if (runner.isRunning())
            loop.exec();
        return runner.elapsedMs();
    };
    std::printf("\n### Test plans on the virtual board at line speed\n\n"
                "| plan | steps | passed, of 5 runs | wall ms, median | gap between steps, us, median (the serial handler's pause and drain included) |\n"
                "|---|---|---|---|---|\n");
    for (const plans::BuiltIn &builtIn : plans::builtIns()) {
        const plans::Plan plan = *plans::load(QString::fromLatin1(builtIn.name)).plan;
        std::vector<double> walls, gaps;
        int passed = 0;
        for (int run = 0; run < 5; ++run) {
            test::BoardConsole on;
            plans::PlanRunner runner(on.console, plan);
            walls.push_back(runPlan(on, runner));
            passed += runner.passed();
            const auto &results = runner.results();
            for (int i = 1; i < results.size(); ++i)
                gaps.push_back((results[i].startMs - results[i - 1].startMs - results[i - 1].ms) * 1000);
        }
        std::printf("| %s | %d | %d | %.0f | %.0f |\n", builtIn.name, int(plan.steps.size()), passed,
                    median(walls), median(gaps));
    }
    QString checks;
    for (int i = 0; i < 1000; ++i)
        checks += QStringLiteral("check total = 0.00\n");
    std::vector<double> perStep;
    for (int run = 0; run < 5; ++run) {
        test::BoardConsole on;
        plans::PlanRunner runner(on.console, *plans::parse(checks, QStringLiteral("checks")).plan);
        perStep.push_back(runPlan(on, runner) * 1000 / 1000.0);
    }
    std::printf("\n| a plan of 1,000 checks (no line) | us per step, median of 5 runs |\n|---|---|\n"
                "| runner alone | %.1f |\n", median(perStep));
}

// Frames through the send queue on the virtual board, unpaced: 16 presses at once, again and
// again, each frame on a handshake of its own (the board's CTS answer, the write, the transmit
// pause, DTR down and up again).
void benchQueue()
{
    HandshakeConsole on(QStringLiteral("virtual"));
    auto *board = session::virtualBoards(on.ports).value(0);
    board->setPaced(false);
    kestrel::console::Console &console = on.window->console();
    int frames = 0;
    QObject::connect(board, &sim::VirtualBoard::frameReceived, [&] { ++frames; });
    std::vector<double> rates;
    constexpr int kBatch = console::PendingFrames::kCapacity;
    for (int batch = 0; batch < 10; ++batch) {
        const int before = frames;
        QElapsedTimer clock;
        clock.start();
        for (int i = 0; i < kBatch; ++i)
            console.send.QueueCommandFrame("\x0a", "Tube Status", "e, ");
        (void)test::runUntil([&] { return frames >= before + kBatch; }, 5000);
        rates.push_back((frames - before) / (clock.nsecsElapsed() / 1e9));
        test::runFor(50);   // the last replies
    }
    std::printf("\n### Frames through the send queue (virtual board, unpaced, its CTS answer after %d ms)\n\n"
                "| frames per second, median of 10 batches of %d | milliseconds per frame |\n|---|---|\n"
                "| %.0f | %.2f |\n",
                sim::VirtualBoard::kCtsDelayMs, kBatch, median(rates), 1000.0 / median(rates));
}

void benchStartup(const QString &self)
{
    std::vector<double> samples;
    for (int i = 0; i < 7; ++i) {
        QProcess child;
        QElapsedTimer clock;
        clock.start();
        child.start(self, {QStringLiteral("startup-child")});
        if (!child.waitForReadyRead(10000))
            break;
        samples.push_back(clock.nsecsElapsed() / 1e6);
        child.waitForFinished(10000);
    }
    std::printf("\n### Start-up (process start to main window shown, splash timer not counted)\n\n"
                "| runs | median milliseconds |\n|---|---|\n| %d | %.1f |\n",
                int(samples.size()), median(samples));
}

int startupChild(QApplication &)
{
    link::PortMap ports(&session::makeDevice);
    app::frmKestrel window(ports);
    test::closeSplashes();
    window.show();
    (void)QTest::qWaitForWindowExposed(&window);
    std::printf("shown\n");
    std::fflush(stdout);
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.value(0) == QLatin1String("startup-child"))
        return startupChild(app);
    if (args.value(0) == QLatin1String("pause")) {   // the loop alone: CPU microseconds
        std::vector<double> pauses;
        for (int i = 0; i < 200; ++i) {
            const double cpu = cpuMicroseconds();
            console::busyPause();
            pauses.push_back(cpuMicroseconds() - cpu);
        }
        std::printf("%.1f\n", median(pauses));
        return 0;
    }
    const struct
    {
        const char *name;
        std::function<void()> run;
    } kBenchmarks[] = {
        {"receive", benchReceive},
        {"linepause", benchLinePause},
#ifdef Q_OS_LINUX
        {"longreply", benchLongReply},
#endif
        {"linespeed", benchLineSpeed},
        {"handshake", benchHandshake},
        {"plans", benchPlans},
        {"capture", benchCapture},
        {"replay", benchReplay},
        {"replaystart", bench::replayStart},
        {"compose", bench::composeAndDecode},
        {"records", bench::records},
        {"queue", benchQueue},
        {"startup", [&] { benchStartup(app.applicationFilePath()); }},
        {"growth", benchGrowth},
        {"flood", benchFlood},
        {"frame", benchFrame},
    };
    if (args.value(0) == QLatin1String("--list")) {
        for (const auto &bench : kBenchmarks)
            std::printf("%s\n", bench.name);
        return 0;
    }
    for (const QString &arg : args)
        if (std::none_of(std::begin(kBenchmarks), std::end(kBenchmarks),
                         [&](const auto &bench) { return arg == QLatin1String(bench.name); })) {
            std::fprintf(stderr, "kestrel_bench: no benchmark named %s (--list names them)\n", qPrintable(arg));
            return 2;
        }
    std::printf("## Kestrel benchmarks\n");
    for (const auto &bench : kBenchmarks)
        if (args.isEmpty() || args.contains(QLatin1String(bench.name)))
            bench.run();
    return 0;
}
