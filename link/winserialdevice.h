#pragma once

#include "link/serialdevice.h"

#include <QTimer>

#include <qt_windows.h>

class QWinEventNotifier;

namespace kestrel::link {

// A real serial port on Windows (COM1, COM12, a USB adapter's port) at 9600 8-N-1 without flow
// control, on the Win32 serial API. Reads take what the driver holds at that moment (its input
// queue, as ClearCommError counts it), without waiting; the driver's events (a character
// received, a CTS change, a line error) come through WaitCommEvent, watched from the event loop.
// A port whose driver has no modem lines (a port redirected to a pipe or a pseudo-terminal)
// refuses DTR: that is no failure, and no CTS change will come.
class WinSerialDevice : public SerialDevice
{
    Q_OBJECT
public:
    explicit WinSerialDevice(QString portName, QObject *parent = nullptr);
    ~WinSerialDevice() override;

    // "COM7" and "\\.\COM12" alike, as CreateFile takes them.
    static QString devicePath(const QString &portName);

protected:
    void openLine() override;
    void closeLine() override;
    void driveDtr(bool high) override;
    void writeLine(const QByteArray &bytes) override;
    void drainLine() override;
    QByteArray takeFromDriver() override;
    bool waitOnDriver(std::chrono::nanoseconds timeout) override;

private:
    // Asks the driver for its next event; handled in onCommEvent when it comes.
    void watch();
    void onCommEvent();
    // The driver's input queue, and its line errors since the last look; false when the port is gone.
    bool look(DWORD &queued, DWORD &errors);
    void reportErrors(DWORD errors);
    void lost(DWORD error);
    enum class Direction { In, Out };
    // Reads or writes `size` bytes; the error, or ERROR_SUCCESS, and how many moved.
    DWORD transfer(Direction direction, char *data, DWORD size, DWORD &moved);
    // Where the driver cannot report its events (Wine's serial layer on a pseudo-terminal), its
    // input queue and CTS are looked at every few milliseconds instead.
    void pollDriver();

    HANDLE m_handle = INVALID_HANDLE_VALUE;
    OVERLAPPED m_eventWait{};
    DWORD m_eventMask = 0;
    QWinEventNotifier *m_notifier = nullptr;
    bool m_hasModemLines = true;
    QTimer m_poll;
    bool m_cts = false;
};

} // namespace kestrel::link
