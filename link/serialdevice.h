#pragma once

#include "core/failure.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <chrono>

namespace kestrel {

// One serial line as the serial control drives it: a real port, the test fake or the virtual board.
// The console cannot tell them apart; every backend keeps this contract.
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
    using QObject::QObject;

    virtual QString name() const = 0;

    virtual void open() = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    virtual void setDtr(bool high) = 0;

    virtual void write(const QByteArray &bytes) = 0;
    virtual void drainOutput() = 0;

    virtual QByteArray read() = 0;
    virtual QByteArray peek() = 0;
    virtual int waiting() = 0;
    virtual bool waitForCharacters(std::chrono::nanoseconds timeout) = 0;

signals:
    void lineEvent(int code);
    void lost(int number, const QString &description);
};

} // namespace kestrel
