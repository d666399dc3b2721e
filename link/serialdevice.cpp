#include "link/serialdevice.h"

#include "link/commerrors.h"
#include "link/commevents.h"

#include <utility>

namespace kestrel::link {

using Clock = std::chrono::steady_clock;

SerialDevice::SerialDevice(QString name, QObject *parent)
    : QObject(parent), m_name(std::move(name))
{
}

void SerialDevice::open()
{
    entering(Operation::Open);
    if (m_open)
        throw commerrors::alreadyOpen();
    m_lost.reset();
    m_received.clear();
    openLine();
    m_open = true;
    try {
        driveDtr(m_dtr);
    } catch (const core::Failure &) {
        close();
        throw;
    }
    left(Operation::Open);
}

void SerialDevice::close()
{
    entering(Operation::Close);
    m_open = false;
    m_lost.reset();
    closeLine();
    m_received.clear();
    left(Operation::Close);
}

bool SerialDevice::isOpen() const
{
    entering(Operation::IsOpen);
    left(Operation::IsOpen);
    return m_open;
}

void SerialDevice::setDtr(bool high)
{
    entering(Operation::SetDtr);
    if (m_open && !m_lost)
        driveDtr(high);
    m_dtr = high;
    left(Operation::SetDtr);
}

void SerialDevice::write(const QByteArray &bytes)
{
    entering(Operation::Write);
    if (m_lost)
        throw *m_lost;
    if (!m_open)
        throw commerrors::notOpen();
    writeLine(bytes);
    left(Operation::Write);
}

void SerialDevice::drainOutput()
{
    if (!m_open || m_lost)
        return;
    try {
        entering(Operation::Drain);
    } catch (const core::Failure &) {
        return;   // a drain never fails: there is nothing left to wait for
    }
    drainLine();
    left(Operation::Drain);
}

QByteArray SerialDevice::read()
{
    entering(Operation::Read);
    if (!m_open)
        throw commerrors::notOpen();
    takeIn();
    QByteArray out = std::exchange(m_received, QByteArray());
    left(Operation::Read);
    return out;
}

QByteArray SerialDevice::peek()
{
    entering(Operation::Peek);
    if (!m_open)
        throw commerrors::notOpen();
    takeIn();
    left(Operation::Peek);
    return m_received;
}

int SerialDevice::waiting()
{
    entering(Operation::Waiting);
    if (!m_open)
        throw commerrors::notOpen();
    takeIn();
    left(Operation::Waiting);
    return int(m_received.size());
}

bool SerialDevice::waitForCharacters(std::chrono::nanoseconds timeout)
{
    if (!m_open || m_lost)
        return false;
    const qsizetype before = m_received.size();
    const Clock::time_point deadline = Clock::now() + timeout;
    takeIn();
    // Something that comes may carry no line character (a Telnet command): wait on until line
    // characters come or the time is up.
    while (m_received.size() == before && m_open && !m_lost) {
        const auto remaining = std::max(std::chrono::nanoseconds::zero(), deadline - Clock::now());
        m_takingIn = true;
        const bool came = waitOnDriver(remaining);
        m_takingIn = false;
        if (came)
            takeIn();
        if (!came || remaining == std::chrono::nanoseconds::zero())
            break;
    }
    return m_received.size() > before;
}

void SerialDevice::takeIn()
{
    if (!m_open || m_lost)
        return;
    m_takingIn = true;
    const QByteArray bytes = takeFromDriver();
    m_takingIn = false;
    m_received += bytes;
}

void SerialDevice::arrived(const QByteArray &bytes)
{
    if (m_lost || bytes.isEmpty())
        return;
    m_received += bytes;
    announceArrival();
}

void SerialDevice::announceArrival()
{
    if (m_open && !m_lost && !m_takingIn)
        emit lineEvent(commevent::Receive);
}

void SerialDevice::lose(const core::Failure &failure)
{
    if (!m_open || m_lost)
        return;
    m_lost = failure;
    emit lost(failure.number(), failure.description());
}

} // namespace kestrel::link
