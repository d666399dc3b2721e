#include "link/commerrors.h"

namespace kestrel::link::commerrors {

core::Failure invalidPort(int port)
{
    return core::Failure(8002, QStringLiteral("Invalid Port Number %1").arg(port));
}
core::Failure alreadyOpen() { return core::Failure(8005, QStringLiteral("Port already open")); }
core::Failure noSuchDevice(const QString &device)
{
    return core::Failure(8002, QStringLiteral("Invalid Port Number: no serial device %1").arg(device));
}
core::Failure accessDenied(const QString &device, const QString &why)
{
    return core::Failure(8010, QStringLiteral("The hardware is not available: %1: %2").arg(device, why));
}
core::Failure setupFailed(const QString &device, const QString &why)
{
    return core::Failure(8015, QStringLiteral("Could not set comm state: %1: %2").arg(device, why));
}
core::Failure notOpen() { return core::Failure(8018, QStringLiteral("Operation valid only when the port is open")); }
core::Failure lineControlFailed(const QString &device, const QString &why)
{
    return core::Failure(8019, QStringLiteral("Could not set the control lines: %1: %2").arg(device, why));
}
core::Failure readFailed(const QString &device, const QString &why)
{
    return core::Failure(8020, QStringLiteral("Error reading comm device: %1: %2").arg(device, why));
}
core::Failure writeFailed(const QString &device, const QString &why)
{
    return core::Failure(8021, QStringLiteral("Error writing comm device: %1: %2").arg(device, why));
}
core::Failure deviceLost(const QString &device, const QString &why)
{
    return core::Failure(8022, QStringLiteral("Comm device lost: %1: %2").arg(device, why));
}

core::Failure connectFailed(const QString &device, const QString &why)
{
    return core::Failure(8010, QStringLiteral("The hardware is not available: %1: %2").arg(device, why));
}

core::Failure queueFull(int capacity)
{
    return core::Failure(8023, QStringLiteral("Not sent: %1 commands already wait for the board").arg(capacity));
}

core::Failure noAnswer(int boundMs)
{
    return core::Failure(8024, QStringLiteral("Not sent: the board did not answer DTR within %1 ms").arg(boundMs));
}

core::Failure closedBeforeSent()
{
    return core::Failure(8025, QStringLiteral("Not sent: the port was closed before the board answered"));
}

} // namespace kestrel::link::commerrors
