#include "tests/support/linkrig.h"

#include <QCoreApplication>

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
    , com(ports)
{
    for (int port = 1; port <= 4; ++port) {
        auto fake = std::make_unique<FakeSerialDevice>(QStringLiteral("fake%1").arg(port));
        fakes[port - 1] = fake.get();
        ports.setDevice(port, std::move(fake));
    }
}

LinkRig::LinkRig(bool openComm1)
    : log(actionLog)
    , handler(com, pendingFrames, log, nullptr, 10)
{
    QObject::connect(&com, &CommControl::OnComm, [this] { handler.OnComm(); });
    if (openComm1)
        com.setPortOpen(true);
}

} // namespace kestrel::test
