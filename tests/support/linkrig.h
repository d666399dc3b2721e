#pragma once

#include "core/actionlog.h"
#include "core/linelistmodel.h"
#include "link/commcontrol.h"
#include "link/commeventhandler.h"
#include "link/fakeserialdevice.h"

#include <QStringList>

namespace kestrel::test {

// Delivers every queued serial event, as the event loop would between handlers.
void deliverEvents();

// A serial control with a fake device behind each of the four ports, an action log and the OnComm
// handler wired as the window wires them. Comm1 is open unless the test says otherwise.
struct LinkRig
{
    explicit LinkRig(bool openComm1 = true);
    ~LinkRig();

    FakeSerialDevice &device(int port = 1) { return *fakes[port - 1]; }
    QStringList logLines() const { return actionLog.rows(); }

    FakeSerialDevice *fakes[4];
    PortMap ports;
    CommControl com;
    LineListModel actionLog;
    ActionLog log;
    QByteArray pendingFrame;
    CommEventHandler handler;
};

} // namespace kestrel::test
