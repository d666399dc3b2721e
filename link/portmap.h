#pragma once

#include "link/serialdevice.h"

#include <QString>

#include <array>
#include <functional>
#include <memory>

namespace kestrel::link {

// Which serial device stands behind each of the four port numbers the operator can pick. By
// default port N is the platform's Nth serial port ("COM1" to "COM4" on Windows, /dev/ttyS0 to
// /dev/ttyS3 elsewhere); the command line can name another device, or the virtual board.
class PortMap
{
public:
    static constexpr int kPorts = 4;
    using Factory = std::function<std::unique_ptr<SerialDevice>(const QString &deviceName)>;

    explicit PortMap(Factory factory);
    ~PortMap();

    static QString defaultName(int port);

    void setName(int port, const QString &deviceName);
    QString name(int port) const;

    // Puts a ready-made device behind a port (tests, the virtual board).
    void setDevice(int port, std::unique_ptr<SerialDevice> device);
    // The device behind the port, made on first use; nullptr for a port number outside 1 to 4.
    SerialDevice *device(int port);

private:
    Factory m_factory;
    std::array<QString, kPorts> m_names;
    std::array<std::unique_ptr<SerialDevice>, kPorts> m_devices;
};

} // namespace kestrel::link
