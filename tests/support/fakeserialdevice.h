#pragma once

#include "core/failure.h"
#include "link/serialdevice.h"

#include <QList>

#include <functional>
#include <map>
#include <optional>

namespace kestrel {

// A scriptable serial device for tests and benchmarks. It records every byte written and every DTR
// change, lets the test make characters arrive, change CTS and raise line errors, and makes any
// operation fail with a chosen number and description. It takes no time: a frame is out as soon as
// it is written, and a wait for characters returns at once with what arrived during it (afterOp).
class FakeSerialDevice : public SerialDevice
{
    Q_OBJECT
public:
    enum class Op { Open, Close, IsOpen, SetDtr, Write, Drain, Read, Peek, Waiting, Wait };

    explicit FakeSerialDevice(QString name = QStringLiteral("fake"), QObject *parent = nullptr);

    // SerialDevice
    QString name() const override { return m_name; }
    void open() override;
    void close() override;
    bool isOpen() const override;
    void setDtr(bool high) override;
    void write(const QByteArray &bytes) override;
    void drainOutput() override;
    QByteArray read() override;
    QByteArray peek() override;
    int waiting() override;
    bool waitForCharacters(std::chrono::nanoseconds timeout) override;

    // What the line does.
    void arrive(const QByteArray &bytes);      // characters arrive; a receive event follows
    void changeCts();                          // CTS changes; a CTS-change event follows
    void raiseEvent(int code);                 // any event code, line errors included
    void vanish(const QString &why);           // the device goes away while open

    // Makes an operation fail `times` times (-1: until cleared).
    void failOn(Op op, Failure failure, int times = -1);
    void clearFailures() { m_failures.clear(); }
    // Called after every operation that succeeded, for tests that act in the middle of a handler
    // (characters arriving during a pause, for example).
    std::function<void(Op)> afterOp;

    // What the device saw.
    QByteArray written() const;                // every byte written, in order
    const QList<QByteArray> &writes() const { return m_writes; }
    const QList<bool> &dtrChanges() const { return m_dtrChanges; }
    bool dtr() const { return m_dtr; }
    int openCount() const { return m_openCount; }
    void forgetWrites() { m_writes.clear(); }

private:
    struct Scripted
    {
        Failure failure;
        int times;
    };
    void check(Op op) const;
    void done(Op op) const;

    QString m_name;
    bool m_open = false;
    bool m_lost = false;
    bool m_dtr = false;
    int m_openCount = 0;
    QByteArray m_received;
    QList<QByteArray> m_writes;
    QList<bool> m_dtrChanges;
    mutable std::map<Op, Scripted> m_failures;
};

} // namespace kestrel
