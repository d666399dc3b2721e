#pragma once

#include "link/portmap.h"

#include <QCommandLineParser>
#include <QList>

#include <optional>

namespace kestrel {

namespace sim {
class VirtualBoard;
}

// The console's command line: --com1 DEVICE to --com4 DEVICE put another device behind a port
// option: a path such as /dev/ttyUSB0 or a Windows port name, "virtual" for the virtual board,
// rfc2217://HOST:PORT or socket://HOST:PORT for a port on a serial device server. Without options
// every port is the platform's own.
namespace session {

inline constexpr char kVirtual[] = "virtual";
inline constexpr char kReplay[] = "replay:";

// A device name taken apart.
struct Device
{
    enum Kind { Path, Virtual, Rfc2217, Raw, Replay } kind = Path;
    QString host;
    quint16 port = 0;
    QString file;          // a replay's recording
    double speed = 1;      // a replay's speed: 1 as recorded, 0 as fast as the line allows
    QStringList faults;    // the virtual board's faults, switched on from the start
};
// The device a name stands for; nothing (and the reason) for a name that is none.
std::optional<Device> parseDevice(const QString &name, QString *why = nullptr);

void addOptions(QCommandLineParser &parser);
// What is wrong with a command line that parsed: one line naming the option and the value (a name
// given twice, an empty or over-long one, a URL that is none, a stray argument), or nothing. With
// `resolve`, the hosts of network ports are looked up too (the application must exist by then).
QString check(const QCommandLineParser &parser, bool resolve);
void applyOptions(const QCommandLineParser &parser, link::PortMap &ports);

// The device for a name that check() accepted.
std::unique_ptr<link::SerialDevice> makeDevice(const QString &deviceName);

// The virtual boards behind the ports, made now so that their windows can open with the console.
QList<sim::VirtualBoard *> virtualBoards(link::PortMap &ports);

} // namespace session
} // namespace kestrel
