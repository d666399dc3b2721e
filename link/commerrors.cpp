#include "link/commerrors.h"

namespace kestrel::commerrors {

Failure invalidPort(int port)
{
    return Failure(8002, QStringLiteral("Invalid Port Number %1").arg(port));
}
Failure alreadyOpen() { return Failure(8005, QStringLiteral("Port already open")); }
Failure noSuchDevice(const QString &device)
{
    return Failure(8002, QStringLiteral("Invalid Port Number: no serial device %1").arg(device));
}
Failure accessDenied(const QString &device, const QString &why)
{
    return Failure(8010, QStringLiteral("The hardware is not available: %1: %2").arg(device, why));
}
Failure setupFailed(const QString &device, const QString &why)
{
    return Failure(8015, QStringLiteral("Could not set comm state: %1: %2").arg(device, why));
}
Failure notOpen() { return Failure(8018, QStringLiteral("Operation valid only when the port is open")); }
Failure lineControlFailed(const QString &device, const QString &why)
{
    return Failure(8019, QStringLiteral("Could not set the control lines: %1: %2").arg(device, why));
}
Failure readFailed(const QString &device, const QString &why)
{
    return Failure(8020, QStringLiteral("Error reading comm device: %1: %2").arg(device, why));
}
Failure writeFailed(const QString &device, const QString &why)
{
    return Failure(8021, QStringLiteral("Error writing comm device: %1: %2").arg(device, why));
}
Failure deviceLost(const QString &device, const QString &why)
{
    return Failure(8022, QStringLiteral("Comm device lost: %1: %2").arg(device, why));
}

Failure connectFailed(const QString &device, const QString &why)
{
    return Failure(8010, QStringLiteral("The hardware is not available: %1: %2").arg(device, why));
}

Failure queueFull(int capacity)
{
    return Failure(8023, QStringLiteral("Not sent: %1 commands already wait for the board").arg(capacity));
}

Failure noAnswer(int boundMs)
{
    return Failure(8024, QStringLiteral("Not sent: the board did not answer DTR within %1 ms").arg(boundMs));
}

Failure closedBeforeSent()
{
    return Failure(8025, QStringLiteral("Not sent: the port was closed before the board answered"));
}

} // namespace kestrel::commerrors
