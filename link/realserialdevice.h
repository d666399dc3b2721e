#pragma once

#include <QtGlobal>

#ifdef Q_OS_WIN
// On Windows the real port is the Win32 serial API's.
#include "link/winserialdevice.h"
namespace kestrel::link {
using RealSerialDevice = WinSerialDevice;
}
#else

#include "link/serialdevice.h"

#include <QSerialPort>
#include <QTimer>

namespace kestrel::link {

// A real serial port (a COM port, /dev/ttyS*, a USB adapter, or a pty) at 9600 8-N-1 without flow
// control. Reads take in what the operating system holds at that moment, not only what the event
// loop has copied, because the receive path reads inside a pause that handles no event; waits for
// characters block on the port itself. CTS changes and line errors are watched by polling the
// driver's modem-line and error counters, so two quick CTS changes give two events; where the
// driver has no counters the CTS pin itself is polled.
class RealSerialDevice : public SerialDevice
{
    Q_OBJECT
public:
    explicit RealSerialDevice(QString portName, QObject *parent = nullptr);
    ~RealSerialDevice() override;

    // How often the modem lines are looked at while a frame waits for CTS, and otherwise.
    static constexpr int kPendingPollMs = 1;
    static constexpr int kIdlePollMs = 20;

protected:
    void openLine() override;
    void closeLine() override;
    void driveDtr(bool high) override;
    void writeLine(const QByteArray &bytes) override;
    void drainLine() override;
    QByteArray takeFromDriver() override;
    bool waitOnDriver(std::chrono::nanoseconds timeout) override;

private:
    struct Counters
    {
        int cts = 0, frame = 0, overrun = 0, parity = 0, brk = 0, bufOverrun = 0;
    };
    enum class Watch { None, Counters, CtsPin };

    bool driverHolds() const;
    void askForLowLatency();
    // Why the device is gone (it hung up), or empty while it is there.
    QString goneReason() const;
    void startWatching();
    void pollLines();
    bool readCounters(Counters &out) const;
    bool readCts(bool &cts) const;
    void onError(QSerialPort::SerialPortError error);

    QSerialPort m_port;
    QTimer m_poll;
    Watch m_watch = Watch::None;
    Counters m_counters;
    bool m_cts = false;
};

} // namespace kestrel::link

#endif
