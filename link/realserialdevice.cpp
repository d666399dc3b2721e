#include "link/realserialdevice.h"

#include "link/commerrors.h"
#include "link/commevents.h"
#include "link/linelog.h"
#include "link/linetiming.h"

#include <QDeadlineTimer>

#include <cerrno>
#include <cstring>

#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#ifdef Q_OS_LINUX
#include <linux/serial.h>
#endif

namespace kestrel::link {

RealSerialDevice::RealSerialDevice(QString portName, QObject *parent)
    : SerialDevice(std::move(portName), parent)
{
    m_port.setPortName(name());
    m_poll.setTimerType(Qt::PreciseTimer);
    connect(&m_poll, &QTimer::timeout, this, &RealSerialDevice::pollLines);
    // Characters that a read of our own takes in are seen by that read's caller; only those that
    // arrive between reads need a receive notification.
    connect(&m_port, &QSerialPort::readyRead, this, [this] { announceArrival(); });
    connect(&m_port, &QSerialPort::errorOccurred, this, &RealSerialDevice::onError);
}

RealSerialDevice::~RealSerialDevice()
{
    m_poll.stop();
    m_port.close();
}

void RealSerialDevice::openLine()
{
    const QString port = name();
    m_port.setPortName(port);
    if (!m_port.open(QIODevice::ReadWrite)) {
        const QString why = m_port.errorString();
        switch (m_port.error()) {
        case QSerialPort::DeviceNotFoundError:
            throw commerrors::noSuchDevice(port);
        case QSerialPort::PermissionError:
            throw commerrors::accessDenied(port, why);
        default:
            throw commerrors::setupFailed(port, why);
        }
    }
    const bool configured = m_port.setBaudRate(QSerialPort::Baud9600)
                            && m_port.setDataBits(QSerialPort::Data8)
                            && m_port.setParity(QSerialPort::NoParity)
                            && m_port.setStopBits(QSerialPort::OneStop)
                            && m_port.setFlowControl(QSerialPort::NoFlowControl);
    if (!configured) {
        const QString why = m_port.errorString();
        m_port.close();
        throw commerrors::setupFailed(port, why);
    }
    askForLowLatency();
    startWatching();
}

void RealSerialDevice::askForLowLatency()
{
#ifdef Q_OS_LINUX
    // USB adapters (FTDI's among them) otherwise hold received characters for up to 16 ms before
    // passing them on, which would split a reply even with the silence rule. A driver that has no
    // such setting (a pty, many on-board UARTs) refuses, which is no failure.
    serial_struct settings{};
    const int fd = int(m_port.handle());
    if (::ioctl(fd, TIOCGSERIAL, &settings) != 0) {
        qCDebug(lcLink) << name() << "has no low-latency setting";
        return;
    }
    if (!(settings.flags & ASYNC_LOW_LATENCY)) {
        settings.flags |= ASYNC_LOW_LATENCY;
        if (::ioctl(fd, TIOCSSERIAL, &settings) != 0)
            qCDebug(lcLink) << name() << "refused low latency";
    }
#endif
}

void RealSerialDevice::closeLine()
{
    m_poll.stop();
    m_watch = Watch::None;
    if (m_port.isOpen())
        m_port.close();
}

void RealSerialDevice::driveDtr(bool high)
{
    if (!m_port.setDataTerminalReady(high)) {
        // A pty or a network-backed port has no modem lines; there DTR has nothing to drive.
        if (m_port.error() != QSerialPort::UnsupportedOperationError)
            throw commerrors::lineControlFailed(name(), m_port.errorString());
        m_port.clearError();
    }
    if (m_watch != Watch::None)
        m_poll.setInterval(high ? kPendingPollMs : kIdlePollMs);
}

void RealSerialDevice::writeLine(const QByteArray &bytes)
{
    if (m_port.write(bytes) != bytes.size())
        throw commerrors::writeFailed(name(), m_port.errorString());
    // Hand the bytes to the driver now, before the handler pauses and drops DTR.
    m_port.flush();
}

void RealSerialDevice::drainLine()
{
    // Whatever the driver did not take at once, then until the last bit has left the UART. With
    // no flow control the line never holds the frame back, so this ends within the frame's time.
    const QDeadlineTimer cap(std::chrono::duration_cast<std::chrono::milliseconds>(
        linetiming::kPauseCap + linetiming::onTheWire(int(m_port.bytesToWrite()))));
    while (m_port.bytesToWrite() > 0 && !cap.hasExpired()
           && m_port.waitForBytesWritten(int(cap.remainingTime()))) {
    }
    ::tcdrain(int(m_port.handle()));
    if (m_port.error() == QSerialPort::TimeoutError)
        m_port.clearError();
}

bool RealSerialDevice::driverHolds() const
{
    // One question to the driver, where a look through the port would cost a select() and, when
    // nothing waits, a timeout error with its translated text: the receive path asks this five
    // times a reply.
    int held = 0;
    if (::ioctl(int(m_port.handle()), FIONREAD, &held) == 0)
        return held > 0;
    return true;   // the driver did not say: let the port look
}

QByteArray RealSerialDevice::takeFromDriver()
{
    // waitForReadyRead(0) copies what the driver holds into the port's buffer without waiting;
    // when nothing waits it reports a timeout, which is no failure here.
    while (m_port.isOpen() && !isLost() && driverHolds() && m_port.waitForReadyRead(0)) {
    }
    if (m_port.error() == QSerialPort::TimeoutError)
        m_port.clearError();
    return m_port.readAll();
}

bool RealSerialDevice::waitOnDriver(std::chrono::nanoseconds timeout)
{
    // Blocks in the driver until a character comes: the wait costs no processor time, and it has
    // the resolution a 3.6 ms silence needs.
    pollfd watch{int(m_port.handle()), POLLIN, 0};
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(timeout);
    const timespec limit{time_t(seconds.count()), long((timeout - seconds).count())};
    return ::ppoll(&watch, 1, &limit, nullptr) > 0;
}

QString RealSerialDevice::goneReason() const
{
    // A device that has gone is hung up: the far side of a pty closed, a USB adapter pulled. A
    // read that merely found nothing (another read of ours took the characters first) leaves the
    // descriptor as it was. The reason is what the descriptor says, not the text of whatever
    // system call failed last (an ioctl's "Inappropriate ioctl for device" on a pty).
    pollfd watch{int(m_port.handle()), POLLIN, 0};
    if (::poll(&watch, 1, 0) < 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    if (watch.revents & POLLNVAL)
        return QStringLiteral("the device is no longer open");
    if (watch.revents & POLLHUP)
        return QStringLiteral("the device hung up");
    if (watch.revents & POLLERR)
        return QStringLiteral("the device reported an error");
    return {};
}

void RealSerialDevice::onError(QSerialPort::SerialPortError error)
{
    if (!m_port.isOpen() || isLost())
        return;
    if (error != QSerialPort::ResourceError && error != QSerialPort::ReadError
        && error != QSerialPort::WriteError)
        return;
    const QString gone = goneReason();
    if (gone.isEmpty()) {
        // QSerialPort reports a read that returned nothing as a read error, with whatever the
        // last failed system call left behind as its text. Characters taken in by our own read
        // just before are the usual cause; the port is still there.
        qCDebug(lcLink) << name() << "reported" << error << m_port.errorString()
                        << "but is still there";
        m_port.clearError();
        // When that stale text was EAGAIN, the port has taken the line for gone and stopped
        // watching it: nothing more would ever be read. Setting the read buffer's size (to what
        // it is) makes it watch the line again.
        m_port.setReadBufferSize(m_port.readBufferSize());
        return;
    }
    // The serial control closes the port when it handles the loss; until then nothing more is
    // read and writes fail.
    qCInfo(lcLink) << name() << "went away:" << gone << m_port.errorString();
    m_poll.stop();
    lose(commerrors::deviceLost(name(), gone));
}

bool RealSerialDevice::readCounters(Counters &out) const
{
#ifdef Q_OS_LINUX
    serial_icounter_struct ic{};
    if (::ioctl(int(m_port.handle()), TIOCGICOUNT, &ic) != 0)
        return false;
    out = {ic.cts, ic.frame, ic.overrun, ic.parity, ic.brk, ic.buf_overrun};
    return true;
#else
    Q_UNUSED(out);
    return false;
#endif
}

bool RealSerialDevice::readCts(bool &cts) const
{
    int status = 0;
    if (::ioctl(int(m_port.handle()), TIOCMGET, &status) != 0)
        return false;
    cts = (status & TIOCM_CTS) != 0;
    return true;
}

void RealSerialDevice::startWatching()
{
    m_watch = Watch::None;
    if (readCounters(m_counters))
        m_watch = Watch::Counters;
    else if (readCts(m_cts))
        m_watch = Watch::CtsPin;
    if (m_watch != Watch::None) {
        m_poll.setInterval(dtr() ? kPendingPollMs : kIdlePollMs);
        m_poll.start();
    }
}

void RealSerialDevice::pollLines()
{
    if (!m_port.isOpen() || isLost())
        return;
    if (m_watch == Watch::CtsPin) {
        bool cts = m_cts;
        if (readCts(cts) && cts != m_cts) {
            m_cts = cts;
            emit lineEvent(commevent::CtsChange);
        }
        return;
    }
    Counters now;
    if (!readCounters(now))
        return;
    const Counters before = m_counters;
    m_counters = now;
    // One event per change counted by the driver, so quick double changes are all seen.
    const struct { int delta; int code; } changes[] = {
        {now.brk - before.brk, commevent::Break},
        {now.frame - before.frame, commevent::Framing},
        {now.overrun - before.overrun, commevent::Overrun},
        {now.bufOverrun - before.bufOverrun, commevent::RxOverflow},
        {now.parity - before.parity, commevent::Parity},
        {now.cts - before.cts, commevent::CtsChange},
    };
    for (const auto &change : changes)
        for (int i = 0; i < change.delta; ++i)
            emit lineEvent(change.code);
}

} // namespace kestrel::link
