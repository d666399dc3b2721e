#include "app/commandline.h"

#include "link/realserialdevice.h"
#include "sim/virtualboard.h"

namespace kestrel::commandline {

namespace {
QString optionName(int port) { return QStringLiteral("com%1").arg(port); }
} // namespace

void addOptions(QCommandLineParser &parser)
{
    parser.setApplicationDescription(QStringLiteral(
        "Test console for MDB vending peripherals behind a serial interface board."));
    parser.addHelpOption();
    parser.addVersionOption();
    for (int port = 1; port <= PortMap::kPorts; ++port)
        parser.addOption(QCommandLineOption(
            optionName(port),
            QStringLiteral("Use DEVICE for \"Comm%1\" instead of %2; \"%3\" is the virtual board.")
                .arg(port)
                .arg(PortMap::defaultName(port), QLatin1String(kVirtual)),
            QStringLiteral("DEVICE")));
}

void applyOptions(const QCommandLineParser &parser, PortMap &ports)
{
    for (int port = 1; port <= PortMap::kPorts; ++port)
        if (parser.isSet(optionName(port)))
            ports.setName(port, parser.value(optionName(port)));
}

std::unique_ptr<SerialDevice> makeDevice(const QString &deviceName)
{
    if (deviceName == QLatin1String(kVirtual))
        return std::make_unique<sim::VirtualBoard>();
    return std::make_unique<RealSerialDevice>(deviceName);
}

QList<sim::VirtualBoard *> virtualBoards(PortMap &ports)
{
    QList<sim::VirtualBoard *> boards;
    for (int port = 1; port <= PortMap::kPorts; ++port)
        if (ports.name(port) == QLatin1String(kVirtual))
            if (auto *board = qobject_cast<sim::VirtualBoard *>(ports.device(port)))
                boards.append(board);
    return boards;
}

} // namespace kestrel::commandline
