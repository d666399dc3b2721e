#include "link/portmap.h"

namespace kestrel::link {

PortMap::PortMap(Factory factory)
    : m_factory(std::move(factory))
{
    for (int port = 1; port <= kPorts; ++port)
        m_names[port - 1] = defaultName(port);
}

PortMap::~PortMap() = default;

QString PortMap::defaultName(int port)
{
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(port);
#else
    return QStringLiteral("/dev/ttyS%1").arg(port - 1);
#endif
}

void PortMap::setName(int port, const QString &deviceName)
{
    if (port < 1 || port > kPorts)
        return;
    m_names[port - 1] = deviceName;
    m_devices[port - 1].reset();
}

QString PortMap::name(int port) const
{
    return port >= 1 && port <= kPorts ? m_names[port - 1] : QString();
}

void PortMap::setDevice(int port, std::unique_ptr<SerialDevice> device)
{
    if (port >= 1 && port <= kPorts)
        m_devices[port - 1] = std::move(device);
}

SerialDevice *PortMap::device(int port)
{
    if (port < 1 || port > kPorts)
        return nullptr;
    auto &slot = m_devices[port - 1];
    if (!slot && m_factory)
        slot = m_factory(m_names[port - 1]);
    return slot.get();
}

} // namespace kestrel::link
