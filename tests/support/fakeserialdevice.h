#pragma once

#include "core/failure.h"
#include "link/serialdevice.h"

#include <QList>

#include <functional>
#include <map>

namespace kestrel {

// A scriptable serial device for tests and benchmarks. It records every byte written and every DTR
// change, lets the test make characters arrive, change CTS and raise line errors, and makes any
// operation fail with a chosen number and description. It takes no time: a frame is out as soon as
// it is written, and a wait for characters returns at once with what arrived during it (afterOp).
class FakeSerialDevice : public link::SerialDevice
{
    Q_OBJECT
public:
    using Op = link::SerialDevice::Operation;

    explicit FakeSerialDevice(QString name = QStringLiteral("fake"), QObject *parent = nullptr);

    // What the line does.
    void arrive(const QByteArray &bytes);      // characters arrive; a receive event follows
    void changeCts();                          // CTS changes; a CTS-change event follows
    void raiseEvent(int code);                 // any event code, line errors included
    void vanish(const QString &why);           // the device goes away while open

    // Makes an operation fail `times` times (-1: until cleared).
    void failOn(Op op, core::Failure failure, int times = -1);
    void clearFailures() { m_failures.clear(); }
    // Called after every operation that succeeded, for tests that act in the middle of a handler
    // (characters arriving during a pause, for example).
    std::function<void(Op)> afterOp;

    // What the device saw.
    QByteArray written() const;                // every byte written, in order
    const QList<QByteArray> &writes() const { return m_writes; }
    const QList<bool> &dtrChanges() const { return m_dtrChanges; }
    int openCount() const { return m_openCount; }
    void forgetWrites() { m_writes.clear(); }

protected:
    void openLine() override { ++m_openCount; }
    void closeLine() override {}
    void driveDtr(bool) override {}
    void writeLine(const QByteArray &bytes) override { m_writes.append(bytes); }
    void drainLine() override {}
    QByteArray takeFromDriver() override { return {}; }
    bool waitOnDriver(std::chrono::nanoseconds timeout) override;
    void entering(Operation op) const override;
    void left(Operation op) const override;

private:
    struct Scripted
    {
        core::Failure failure;
        int times;
    };

    int m_openCount = 0;
    int m_arrivals = 0;
    QList<QByteArray> m_writes;
    mutable QList<bool> m_dtrChanges;
    mutable std::map<Op, Scripted> m_failures;
};

} // namespace kestrel
