#pragma once

#include "link/portmap.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <chrono>

namespace kestrel::link {

// The console's serial control, `comInterface`: the one path to the interface board. It selects a
// port by number, opens and closes it, drives DTR, writes frames, reads what the board sends, and
// raises OnComm on the user-interface thread once per event the line reports. OnComm is always
// delivered through the event queue, so its handler is never re-entered: an event that happens
// while the handler runs is delivered after it returns. Every failing access throws a Failure.
class CommControl : public QObject
{
    Q_OBJECT
public:
    explicit CommControl(PortMap &ports, QObject *parent = nullptr);
    ~CommControl() override;   // releases the port

    int CommPort() const { return m_commPort; }
    void setCommPort(int port);          // 1 to 4; only while the port is closed
    // The device behind the selected port ("COM3", "/dev/ttyUSB0", "virtual").
    QString portName() const { return m_ports.name(m_commPort); }

    bool PortOpen() const;
    // While a port is being opened (a network port waits for its server meanwhile).
    bool opening() const { return m_opening; }
    void setPortOpen(bool open);         // True opens CommPort; False closes (no failure when closed)

    bool DTREnable() const { return m_dtr; }
    void setDTREnable(bool high);        // kept while closed and applied when the port opens

    void setOutput(const QByteArray &frame);
    QString Input();                     // every character waiting, removed
    QString peekInput();                 // every character waiting, left for the next Input
    int InBufferCount();
    // The most characters one Input returns: 0, for no limit (every Input takes all that waits).
    int inputLimit() const { return 0; }

    // Blocks, handling no event, until more characters reach the port or the timeout passes;
    // tells whether any came. False when no port is open. Never throws.
    bool waitForInput(std::chrono::nanoseconds timeout);
    // Blocks until the last byte written has left on the line. Nothing when no port is open.
    void drainOutput();
    // The receive path could not look at or read what waits (a failing count or read): a receive
    // notification follows later if characters still wait, after a back-off that doubles while the
    // port keeps failing, so that a failing port is retried without spinning.
    void retryReceiveLater();

    static constexpr int kRetryFirstMs = 10;
    static constexpr int kRetryLongestMs = 1000;

signals:
    // One event the line reported (commevents.h), delivered through the event queue.
    void OnComm(int event);
    // The open device went away; the port is closed.
    void deviceLost(int number, const QString &description);
    // The port was opened.
    void portOpened();
    // The port was closed: by the program, or because its device went away.
    void portClosed();

private:
    void attach(SerialDevice *device);
    void detach();
    SerialDevice *requireOpen() const;
    void onLineEvent(int code);
    void deliver(int code, quint64 generation);
    void postReceive();
    void retryReceive();

    PortMap &m_ports;
    int m_commPort = 1;
    bool m_dtr = false;
    QPointer<SerialDevice> m_device;     // the open device, or null
    quint64 m_generation = 0;            // events posted before a close are dropped
    bool m_receivePosted = false;
    bool m_opening = false;
    QTimer m_retry;
    int m_retryMs = kRetryFirstMs;
};

} // namespace kestrel::link
