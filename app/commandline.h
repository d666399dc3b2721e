#pragma once

#include "link/portmap.h"

#include <QCommandLineParser>
#include <QList>

namespace kestrel {

namespace sim {
class VirtualBoard;
}

// The console's command line: --com1 DEVICE to --com4 DEVICE put another device behind a port
// option (a path such as /dev/ttyUSB0, or a Windows port name), and the device name "virtual"
// puts the virtual board there. Without options every port is the platform's own.
namespace commandline {

inline constexpr char kVirtual[] = "virtual";

void addOptions(QCommandLineParser &parser);
void applyOptions(const QCommandLineParser &parser, PortMap &ports);

// A real port for a device name, or the virtual board for "virtual".
std::unique_ptr<SerialDevice> makeDevice(const QString &deviceName);

// The virtual boards behind the ports, made now so that their windows can open with the console.
QList<sim::VirtualBoard *> virtualBoards(PortMap &ports);

} // namespace commandline
} // namespace kestrel
