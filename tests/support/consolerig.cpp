#include "tests/support/consolerig.h"

#include <QCoreApplication>
#include <QFile>

namespace kestrel::test {

void deliverEvents()
{
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

FakePorts::FakePorts()
    : ports(nullptr)
{
    for (int port = 1; port <= 4; ++port) {
        auto fake = std::make_unique<FakeSerialDevice>(QStringLiteral("fake%1").arg(port));
        fakes[port - 1] = fake.get();
        ports.setDevice(port, std::move(fake));
    }
}

namespace {
console::Console::Settings rigSettings(const QTemporaryDir &dir, const QDateTime &now)
{
    console::Console::Settings settings;
    settings.logPath = dir.filePath(QStringLiteral("log.txt"));
    settings.clock = [&now] { return now; };
    settings.pauseIterations = kShortPause;
    return settings;
}
} // namespace

ConsoleRig::ConsoleRig(bool openComm1)
    : console(fake.ports, rigSettings(dir, now))
{
    console.tallies.InitializeCount();
    if (openComm1)
        com.setPortOpen(true);
}

QStringList ConsoleRig::logFileLines() const
{
    QFile file(console.logFile.path());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList lines = QString::fromLatin1(file.readAll()).split(QStringLiteral("\r\n"));
    lines.removeLast();
    return lines;
}

void ConsoleRig::reply(const QByteArray &text)
{
    device().arrive(text);
    deliverEvents();
}

} // namespace kestrel::test
