#pragma once

#include "link/receivechain.h"
#include "tests/support/linkrig.h"

#include <QTemporaryDir>

namespace kestrel::test {

// The fake ports and a scratch directory for the log file, made before the chain that uses them.
struct ReceiveRigBase : FakePorts
{
    QTemporaryDir dir;
    QString logPath() const { return dir.filePath(QStringLiteral("log.txt")); }
};

// The serial link with the whole receive chain behind it, as the window has it, on Comm1. The
// clock reads 09:05:03 on the seventh of March 2026 unless the test sets it.
struct ReceiveRig : ReceiveRigBase, ReceiveChain
{
    ReceiveRig()
        : ReceiveChain(com, logPath(), [this] { return now; }, 10)
        , handler(com, pendingFrames, log, &receivePath, 10)
    {
        QObject::connect(&com, &CommControl::OnComm, [this] { handler.OnComm(); });
        com.setPortOpen(true);
        tallies.InitializeCount();
    }

    QStringList logLines() const { return lstActionLog.rows(); }
    QStringList logFileLines() const
    {
        QFile file(logFile.path());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QStringList lines = QString::fromLatin1(file.readAll()).split(QStringLiteral("\r\n"));
        lines.removeLast();
        return lines;
    }
    // The board sends text; the console handles the receive event.
    void reply(const QByteArray &text)
    {
        device().arrive(text);
        deliverEvents();
    }

    QDateTime now{QDate(2026, 3, 7), QTime(9, 5, 3)};
    PendingFrames pendingFrames{com, log};
    CommEventHandler handler;
};

} // namespace kestrel::test
