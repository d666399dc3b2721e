#pragma once

#include "core/failure.h"

#include <QByteArray>
#include <QObject>
#include <QString>

namespace kestrel {

// One serial line as the serial control drives it: a real port, the test fake or the virtual board.
// Every operation that fails throws a Failure (see commerrors.h). The device reports what happens on
// the line by event code (commevents.h): characters received, each CTS change, line errors.
class SerialDevice : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    virtual QString name() const = 0;

    virtual void open() = 0;               // 9600 baud, 8 data bits, no parity, 1 stop bit
    virtual void close() = 0;              // closing a closed device is no failure
    virtual bool isOpen() const = 0;

    // Raises or drops DTR at once; while closed the level is kept for the next open.
    virtual void setDtr(bool high) = 0;

    virtual void write(const QByteArray &bytes) = 0;   // every byte, in order, unchanged
    virtual QByteArray read() = 0;                     // all that waits, removed
    virtual QByteArray peek() = 0;                     // all that waits, kept
    virtual int waiting() = 0;                         // number of characters waiting

signals:
    void lineEvent(int code);
    // The device went away while open (a USB adapter pulled, the other side of a pty closed).
    void lost(int number, const QString &description);
};

} // namespace kestrel
