#include "link/commcontrol.h"

#include "link/commerrors.h"
#include "link/commevents.h"
#include "link/linelog.h"

#include <algorithm>

namespace kestrel::link {

CommControl::CommControl(PortMap &ports, QObject *parent)
    : QObject(parent), m_ports(ports)
{
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, &CommControl::retryReceive);
}

CommControl::~CommControl()
{
    if (m_device) {
        try {
            m_device->close();
        } catch (const core::Failure &) {
        }
        detach();
    }
}

void CommControl::setCommPort(int port)
{
    if (m_device)
        throw commerrors::alreadyOpen();
    if (port < 1 || port > 16)
        throw commerrors::invalidPort(port);
    m_commPort = port;
}

bool CommControl::PortOpen() const
{
    return m_device && m_device->isOpen();
}

void CommControl::setPortOpen(bool open)
{
    if (!open) {
        if (!m_device)
            return;
        m_device->close();
        detach();
        emit portClosed();
        return;
    }
    if (m_device)
        throw commerrors::alreadyOpen();
    SerialDevice *device = m_ports.device(m_commPort);
    if (!device)
        throw commerrors::invalidPort(m_commPort);
    device->setDtr(m_dtr);
    m_opening = true;
    try {
        device->open();
    } catch (...) {
        m_opening = false;
        throw;
    }
    m_opening = false;
    attach(device);
    emit portOpened();
}

void CommControl::setDTREnable(bool high)
{
    if (SerialDevice *device = m_device ? m_device.data() : m_ports.device(m_commPort))
        device->setDtr(high);
    m_dtr = high;
}

SerialDevice *CommControl::requireOpen() const
{
    if (!m_device)
        throw commerrors::notOpen();
    return m_device;
}

void CommControl::setOutput(const QByteArray &frame)
{
    requireOpen()->write(frame);
}

QString CommControl::Input()
{
    return QString::fromLatin1(requireOpen()->read());
}

QString CommControl::peekInput()
{
    return QString::fromLatin1(requireOpen()->peek());
}

int CommControl::InBufferCount()
{
    return requireOpen()->waiting();
}

bool CommControl::waitForInput(std::chrono::nanoseconds timeout)
{
    return m_device && m_device->waitForCharacters(timeout);
}

void CommControl::drainOutput()
{
    if (m_device)
        m_device->drainOutput();
}

void CommControl::retryReceiveLater()
{
    if (!m_device || m_retry.isActive())
        return;
    m_retry.start(m_retryMs);
    m_retryMs = std::min(m_retryMs * 2, kRetryLongestMs);
}

void CommControl::retryReceive()
{
    if (!m_device)
        return;
    try {
        if (m_device->waiting() > 0)
            postReceive();
    } catch (const core::Failure &failure) {
        qCDebug(lcLink) << "receive retry: the port still fails:" << failure.description();
        retryReceiveLater();   // still failing: look again later, without a line in the log
    }
}

void CommControl::attach(SerialDevice *device)
{
    m_device = device;
    ++m_generation;
    m_receivePosted = false;
    m_retryMs = kRetryFirstMs;
    connect(device, &SerialDevice::lineEvent, this, &CommControl::onLineEvent);
    connect(device, &SerialDevice::lost, this, [this](int number, const QString &description) {
        const quint64 generation = m_generation;
        QMetaObject::invokeMethod(this, [=] {
            if (generation != m_generation || !m_device)
                return;
            try {
                m_device->close();
            } catch (const core::Failure &) {
            }
            detach();
            emit deviceLost(number, description);
            emit portClosed();
        }, Qt::QueuedConnection);
    });
}

void CommControl::detach()
{
    if (m_device)
        disconnect(m_device, nullptr, this, nullptr);
    m_device = nullptr;
    ++m_generation;
    m_receivePosted = false;
    m_retry.stop();
}

void CommControl::onLineEvent(int code)
{
    if (code == commevent::Receive) {
        m_retryMs = kRetryFirstMs;   // new characters: a port that reads again is retried soon
        postReceive();
        return;
    }
    const quint64 generation = m_generation;
    QMetaObject::invokeMethod(this, [=] { deliver(code, generation); }, Qt::QueuedConnection);
}

void CommControl::postReceive()
{
    // One receive notification waits in the queue at a time: the receive path reads all that
    // waits, so further arrivals before it runs need no notification of their own.
    if (m_receivePosted)
        return;
    m_receivePosted = true;
    const quint64 generation = m_generation;
    QMetaObject::invokeMethod(this, [=] { deliver(commevent::Receive, generation); },
                              Qt::QueuedConnection);
}

void CommControl::deliver(int code, quint64 generation)
{
    if (generation != m_generation || !m_device)
        return;   // the port was closed since the event happened
    if (code == commevent::Receive)
        m_receivePosted = false;
    emit OnComm(code);
}

} // namespace kestrel::link
