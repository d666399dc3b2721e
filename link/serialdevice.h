#pragma once

#include "core/failure.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <chrono>
#include <optional>

namespace kestrel::link {

// One serial line as the serial control drives it: a real port, a port over the network, the
// virtual board or the test fake. The console cannot tell them apart. The contract below is kept
// here, once, by the public operations; a backend fills in the protected hooks for its own line.
//
// Opening and closing
// - open() sets 9600 baud, 8 data bits, no parity, 1 stop bit and applies the DTR level last set.
//   It throws a Failure when the line cannot be opened; the device is then closed.
// - close() ends the line; closing a closed device is no failure. Characters not yet read are
//   dropped.
//
// Modem lines
// - setDtr() raises or drops DTR at once while open; while closed the level is kept for the next
//   open. A backend without modem lines (a pty, a raw network port) remembers the level and does
//   not fail: there is simply no DTR to drive, and no CTS change will ever come.
//
// Receiving. The device takes in what its driver holds whenever it is asked:
// - waiting() is the number of characters received and not yet read, counting those the driver
//   holds at the moment of the call, not only those an event loop has copied.
// - read() returns all of those characters and removes them; peek() returns them and keeps them.
// - waitForCharacters() blocks, handling no event, until further characters have reached the
//   driver or the timeout passes; it takes them in and tells whether any came. It never throws:
//   a closed or lost device has nothing more to give.
// - Every character received is announced by lineEvent(Receive) at least once, unless a read,
//   peek, wait or count of the console's own took it in first; the console's receive path then
//   sees it there.
//
// Sending
// - write() puts every byte on the line, in order, unchanged (0x00 and 0xFF included), and throws
//   a Failure when it cannot.
// - drainOutput() blocks until the last byte written has left on the line (a 12-byte frame takes
//   12.5 ms at 9600 baud), so that DTR never falls while a frame is still going out. It never
//   throws.
//
// Events and loss
// - lineEvent() reports what happens on the line by event code (commevents.h): characters
//   received, each CTS change, line errors.
// - lost() is raised once when the device goes away while open: a USB adapter pulled, the far side
//   of a pty or a network connection closed. It is never raised for a device that is still there,
//   whatever its reads return. After it nothing more is taken in: waiting(), read() and peek()
//   give only what was taken in before, and write() throws, until the device is closed; it may
//   then be opened again.
// Every other failing operation throws a Failure with a number and a description (commerrors.h).
class SerialDevice : public QObject
{
    Q_OBJECT
public:
    // The public operations, as the hooks around them name them.
    enum class Operation { Open, Close, IsOpen, SetDtr, Write, Drain, Read, Peek, Waiting, Wait };

    explicit SerialDevice(QString name, QObject *parent = nullptr);

    QString name() const { return m_name; }

    void open();
    void close();
    bool isOpen() const;

    void setDtr(bool high);
    bool dtr() const { return m_dtr; }

    void write(const QByteArray &bytes);
    void drainOutput();

    QByteArray read();
    QByteArray peek();
    int waiting();
    bool waitForCharacters(std::chrono::nanoseconds timeout);

    bool isLost() const { return m_lost.has_value(); }

signals:
    void lineEvent(int code);
    void lost(int number, const QString &description);

protected:
    // The backend's own line. The base calls these only in the states named.
    virtual void openLine() = 0;                       // closed; throws when it cannot
    virtual void closeLine() = 0;                      // any state; never throws
    virtual void driveDtr(bool high) = 0;              // open and not lost
    virtual void writeLine(const QByteArray &bytes) = 0;   // open and not lost
    virtual void drainLine() = 0;                      // open and not lost; never throws
    // What the driver holds now, without waiting (open and not lost). A backend whose characters
    // come through arrived() returns nothing here, after letting its driver deliver.
    virtual QByteArray takeFromDriver() = 0;
    // Blocks until the driver may hold more, or the timeout passes (open and not lost); true when
    // something came, which may be no line character (a Telnet command, say).
    virtual bool waitOnDriver(std::chrono::nanoseconds timeout) = 0;

    // Around every public operation: a backend that can fail an operation as a whole throws in
    // entering() (the test fake); left() follows an operation that succeeded.
    virtual void entering(Operation) const {}
    virtual void left(Operation) const {}

    // For backends whose driver hands characters over on its own: they are kept for the next read,
    // and announced unless a read of the console's own is taking them in.
    void arrived(const QByteArray &bytes);
    // Characters wait in the driver, to be taken in by the next read: announced the same way.
    void announceArrival();
    // The device went away while open: raised once, with the failure that writes then throw.
    void lose(const core::Failure &failure);

private:
    void takeIn();

    QString m_name;
    bool m_open = false;
    bool m_dtr = false;
    bool m_takingIn = false;
    std::optional<core::Failure> m_lost;
    QByteArray m_received;   // taken in, not yet read
};

} // namespace kestrel::link
