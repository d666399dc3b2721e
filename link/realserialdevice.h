#pragma once

#include "link/serialdevice.h"

#include <QSerialPort>
#include <QTimer>

namespace kestrel {

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

    QString name() const override { return m_name; }
    void open() override;
    void close() override;
    bool isOpen() const override { return m_port.isOpen(); }
    void setDtr(bool high) override;
    void write(const QByteArray &bytes) override;
    void drainOutput() override;
    QByteArray read() override;
    QByteArray peek() override;
    int waiting() override;
    bool waitForCharacters(std::chrono::nanoseconds timeout) override;

    // How often the modem lines are looked at while a frame waits for CTS, and otherwise.
    static constexpr int kPendingPollMs = 1;
    static constexpr int kIdlePollMs = 20;

private:
    struct Counters
    {
        int cts = 0, frame = 0, overrun = 0, parity = 0, brk = 0, bufOverrun = 0;
    };
    enum class Watch { None, Counters, CtsPin };

    // Copies what the driver holds into the port's buffer; nothing once the device is lost.
    void takeIn();
    bool driverHolds() const;
    void askForLowLatency();
    bool isGone() const;
    void startWatching();
    void pollLines();
    bool readCounters(Counters &out) const;
    bool readCts(bool &cts) const;
    void onError(QSerialPort::SerialPortError error);

    QString m_name;
    QSerialPort m_port;
    QTimer m_poll;
    Watch m_watch = Watch::None;
    Counters m_counters;
    bool m_cts = false;
    bool m_dtr = false;
    bool m_lost = false;   // the device went away while open
    bool m_takingIn = false;
    QString m_lostWhy;
};

} // namespace kestrel
