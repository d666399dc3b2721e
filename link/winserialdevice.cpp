#include "link/winserialdevice.h"

#include "link/commerrors.h"
#include "link/commevents.h"
#include "link/linelog.h"

#include <QWinEventNotifier>

#include <chrono>
#include <thread>

namespace kestrel::link {

namespace {

QString lastError(DWORD error = ::GetLastError())
{
    wchar_t *text = nullptr;
    ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, error, 0, reinterpret_cast<wchar_t *>(&text), 0, nullptr);
    QString why = text ? QString::fromWCharArray(text).trimmed() : QStringLiteral("error %1").arg(error);
    ::LocalFree(text);
    return why;
}

// The errors a port that has gone away answers with (a USB adapter pulled, a redirected port
// whose far side closed). Wine answers ERROR_NOT_READY for every look at a port whose Unix device
// has hung up (an adapter pulled, a pseudo-terminal whose far side closed), and goes on doing so.
bool meansGone(DWORD error)
{
    return error == ERROR_ACCESS_DENIED || error == ERROR_BAD_COMMAND || error == ERROR_DEVICE_NOT_CONNECTED
           || error == ERROR_OPERATION_ABORTED || error == ERROR_INVALID_HANDLE || error == ERROR_GEN_FAILURE
           || error == ERROR_BROKEN_PIPE || error == ERROR_NOT_READY;
}

// Line errors as ClearCommError reports them, and the events the console names them by.
constexpr struct
{
    DWORD bit;
    int event;
} kLineErrors[] = {
    {CE_BREAK, commevent::Break},
    {CE_FRAME, commevent::Framing},
    {CE_OVERRUN, commevent::Overrun},
    {CE_RXOVER, commevent::RxOverflow},
    {CE_RXPARITY, commevent::Parity},
};

} // namespace

WinSerialDevice::WinSerialDevice(QString portName, QObject *parent)
    : SerialDevice(std::move(portName), parent)
{
    m_eventWait.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    m_poll.setTimerType(Qt::PreciseTimer);
    m_poll.setInterval(2);
    connect(&m_poll, &QTimer::timeout, this, &WinSerialDevice::pollDriver);
}

WinSerialDevice::~WinSerialDevice()
{
    closeLine();
    ::CloseHandle(m_eventWait.hEvent);
}

QString WinSerialDevice::devicePath(const QString &portName)
{
    return portName.startsWith(QLatin1String("\\\\.\\")) ? portName : QStringLiteral("\\\\.\\") + portName;
}

void WinSerialDevice::openLine()
{
    const QString path = devicePath(name());
    m_handle = ::CreateFileW(reinterpret_cast<const wchar_t *>(path.utf16()), GENERIC_READ | GENERIC_WRITE, 0,
                             nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (m_handle == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            throw commerrors::noSuchDevice(name());
        if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION)
            throw commerrors::accessDenied(name(), lastError(error));
        throw commerrors::setupFailed(name(), lastError(error));
    }
    const auto fail = [this](const QString &why) {
        closeLine();
        throw commerrors::setupFailed(name(), why);
    };
    ::SetupComm(m_handle, 4096, 4096);
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!::GetCommState(m_handle, &dcb))
        fail(lastError());
    dcb.BaudRate = CBR_9600;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fParity = FALSE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = DTR_CONTROL_DISABLE;   // DTR is the console's to drive
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fAbortOnError = FALSE;
    if (!::SetCommState(m_handle, &dcb))
        fail(lastError());
    // A read returns at once with what the driver holds; a write is not timed out.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    if (!::SetCommTimeouts(m_handle, &timeouts))
        fail(lastError());
    ::PurgeComm(m_handle, PURGE_RXCLEAR | PURGE_TXCLEAR);
    m_hasModemLines = true;
    if (!::SetCommMask(m_handle, EV_RXCHAR | EV_CTS | EV_ERR | EV_BREAK))
        fail(lastError());
    m_notifier = new QWinEventNotifier(m_eventWait.hEvent, this);
    connect(m_notifier, &QWinEventNotifier::activated, this, &WinSerialDevice::onCommEvent);
    watch();
}

void WinSerialDevice::closeLine()
{
    m_poll.stop();
    if (m_handle == INVALID_HANDLE_VALUE)
        return;
    delete m_notifier;
    m_notifier = nullptr;
    ::SetCommMask(m_handle, 0);   // ends the event wait
    ::CancelIo(m_handle);
    ::CloseHandle(m_handle);
    m_handle = INVALID_HANDLE_VALUE;
    ::ResetEvent(m_eventWait.hEvent);
}

void WinSerialDevice::watch()
{
    ::ResetEvent(m_eventWait.hEvent);
    m_eventMask = 0;
    if (::WaitCommEvent(m_handle, &m_eventMask, &m_eventWait)) {
        ::SetEvent(m_eventWait.hEvent);   // already there: handled from the event loop all the same
        return;
    }
    const DWORD error = ::GetLastError();
    if (error == ERROR_IO_PENDING)
        return;
    if (meansGone(error)) {
        lost(error);
        return;
    }
    qCDebug(lcLink) << name() << "reports no events (" << lastError(error) << "): its driver is polled";
    DWORD status = 0;
    m_cts = ::GetCommModemStatus(m_handle, &status) && (status & MS_CTS_ON);
    m_poll.start();
}

void WinSerialDevice::pollDriver()
{
    if (m_handle == INVALID_HANDLE_VALUE || isLost())
        return;
    DWORD queued = 0, errors = 0;
    if (!look(queued, errors))
        return;
    reportErrors(errors);
    DWORD status = 0;
    if (::GetCommModemStatus(m_handle, &status)) {
        const bool cts = status & MS_CTS_ON;
        if (cts != m_cts) {
            m_cts = cts;
            emit lineEvent(commevent::CtsChange);
        }
    }
    if (queued > 0)
        announceArrival();
}

void WinSerialDevice::onCommEvent()
{
    if (m_handle == INVALID_HANDLE_VALUE || isLost())
        return;
    DWORD ignored = 0;
    if (!::GetOverlappedResult(m_handle, &m_eventWait, &ignored, FALSE)) {
        const DWORD error = ::GetLastError();
        if (meansGone(error)) {
            lost(error);
            return;
        }
    }
    const DWORD mask = m_eventMask;
    if (mask & EV_CTS)
        emit lineEvent(commevent::CtsChange);
    if (mask & (EV_ERR | EV_BREAK)) {
        DWORD queued = 0, errors = 0;
        if (!look(queued, errors))
            return;
        reportErrors(errors);
    }
    if (mask & EV_RXCHAR)
        announceArrival();
    watch();
}

bool WinSerialDevice::look(DWORD &queued, DWORD &errors)
{
    COMSTAT status{};
    if (!::ClearCommError(m_handle, &errors, &status)) {
        const DWORD error = ::GetLastError();
        if (meansGone(error))
            lost(error);
        else
            qCDebug(lcLink) << name() << "cannot be looked at (" << error << lastError(error) << ")";
        return false;
    }
    queued = status.cbInQue;
    return true;
}

void WinSerialDevice::reportErrors(DWORD errors)
{
    for (const auto &lineError : kLineErrors)
        if (errors & lineError.bit)
            emit lineEvent(lineError.event);
}

void WinSerialDevice::lost(DWORD error)
{
    const QString why = lastError(error);
    qCInfo(lcLink) << name() << "went away:" << why;
    lose(commerrors::deviceLost(name(), why));
}

void WinSerialDevice::driveDtr(bool high)
{
    if (!m_hasModemLines)
        return;
    if (::EscapeCommFunction(m_handle, high ? SETDTR : CLRDTR))
        return;
    const DWORD error = ::GetLastError();
    // A redirected port without modem lines refuses: there DTR has nothing to drive. (Wine's
    // serial layer on a pseudo-terminal refuses without naming an error.)
    if (error == ERROR_SUCCESS || error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_FUNCTION
        || error == ERROR_INVALID_PARAMETER) {
        m_hasModemLines = false;
        return;
    }
    throw commerrors::lineControlFailed(name(), lastError(error));
}

void WinSerialDevice::writeLine(const QByteArray &bytes)
{
    DWORD written = 0;
    const DWORD error = transfer(Direction::Out, const_cast<char *>(bytes.constData()), DWORD(bytes.size()), written);
    const bool done = error == ERROR_SUCCESS;
    if (!done || written != DWORD(bytes.size()))
        throw commerrors::writeFailed(name(), done ? QStringLiteral("%1 of %2 bytes written").arg(written).arg(bytes.size())
                                                   : lastError(error));
}

DWORD WinSerialDevice::transfer(Direction direction, char *data, DWORD size, DWORD &moved)
{
    // Overlapped, since the port is opened for overlapped I/O, and waited for at once: the driver
    // takes a frame, or hands over what it holds, without delay.
    OVERLAPPED transfer{};
    transfer.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    moved = 0;
    bool done = direction == Direction::Out ? ::WriteFile(m_handle, data, size, &moved, &transfer)
                                            : ::ReadFile(m_handle, data, size, &moved, &transfer);
    if (!done && ::GetLastError() == ERROR_IO_PENDING)
        done = ::GetOverlappedResult(m_handle, &transfer, &moved, TRUE);
    const DWORD error = done ? ERROR_SUCCESS : ::GetLastError();
    ::CloseHandle(transfer.hEvent);
    return error;
}

void WinSerialDevice::drainLine()
{
    // Until the driver has sent every byte written.
    ::FlushFileBuffers(m_handle);
}

QByteArray WinSerialDevice::takeFromDriver()
{
    DWORD queued = 0, errors = 0;
    if (!look(queued, errors))
        return {};
    reportErrors(errors);
    if (queued == 0)
        return {};
    QByteArray bytes(qsizetype(queued), Qt::Uninitialized);
    DWORD got = 0;
    const DWORD error = transfer(Direction::In, bytes.data(), queued, got);
    if (error != ERROR_SUCCESS) {
        if (meansGone(error))
            lost(error);
        return {};
    }
    bytes.truncate(qsizetype(got));
    return bytes;
}

bool WinSerialDevice::waitOnDriver(std::chrono::nanoseconds timeout)
{
    // The driver's input queue is looked at every millisecond: the event wait belongs to the
    // event loop, and a wait here handles no event.
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        DWORD queued = 0, errors = 0;
        if (!look(queued, errors))
            return false;
        if (queued > 0)
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

} // namespace kestrel::link
