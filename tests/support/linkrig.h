#pragma once

#include "core/actionlog.h"
#include "core/linelistmodel.h"
#include "link/commcontrol.h"
#include "link/commeventhandler.h"
#include "tests/support/fakeserialdevice.h"

#include <QStringList>

namespace kestrel::test {

// Delivers every queued serial event, as the event loop would between handlers.
void deliverEvents();

// A fake device behind each of the four ports, and the serial control over them.
struct FakePorts
{
    FakePorts();
    FakeSerialDevice &device(int port = 1) { return *fakes[port - 1]; }

    FakeSerialDevice *fakes[4];
    PortMap ports;
    CommControl com;
};

// The serial control with an action log and the OnComm handler wired as the window wires them.
// Comm1 is open unless the test says otherwise.
struct LinkRig : FakePorts
{
    explicit LinkRig(bool openComm1 = true);

    QStringList logLines() const { return actionLog.rows(); }

    LineListModel actionLog;
    ActionLog log;
    PendingFrames pendingFrames{com, log};
    CommEventHandler handler;
};

} // namespace kestrel::test
