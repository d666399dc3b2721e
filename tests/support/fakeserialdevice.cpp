#include "tests/support/fakeserialdevice.h"

#include "link/commerrors.h"
#include "link/commevents.h"

namespace kestrel {

FakeSerialDevice::FakeSerialDevice(QString name, QObject *parent)
    : SerialDevice(parent), m_name(std::move(name))
{
}

void FakeSerialDevice::check(Op op) const
{
    auto it = m_failures.find(op);
    if (it == m_failures.end())
        return;
    Failure failure = it->second.failure;
    if (it->second.times > 0 && --it->second.times == 0)
        m_failures.erase(it);
    throw failure;
}

void FakeSerialDevice::done(Op op) const
{
    if (afterOp)
        afterOp(op);
}

void FakeSerialDevice::open()
{
    check(Op::Open);
    if (m_open)
        throw commerrors::alreadyOpen();
    m_open = true;
    m_lost = false;
    ++m_openCount;
    done(Op::Open);
}

void FakeSerialDevice::close()
{
    check(Op::Close);
    m_open = false;
    m_lost = false;
    m_received.clear();
    done(Op::Close);
}

bool FakeSerialDevice::isOpen() const
{
    check(Op::IsOpen);
    done(Op::IsOpen);
    return m_open;
}

void FakeSerialDevice::setDtr(bool high)
{
    check(Op::SetDtr);
    m_dtr = high;
    m_dtrChanges.append(high);
    done(Op::SetDtr);
}

void FakeSerialDevice::write(const QByteArray &bytes)
{
    check(Op::Write);
    if (m_lost)
        throw commerrors::deviceLost(m_name, QStringLiteral("gone"));
    if (!m_open)
        throw commerrors::notOpen();
    m_writes.append(bytes);
    done(Op::Write);
}

void FakeSerialDevice::drainOutput()
{
    try {
        check(Op::Drain);
    } catch (const Failure &) {
        return;   // a drain never fails: there is nothing left to wait for
    }
    done(Op::Drain);
}

QByteArray FakeSerialDevice::read()
{
    check(Op::Read);
    QByteArray out;
    out.swap(m_received);
    done(Op::Read);
    return out;
}

QByteArray FakeSerialDevice::peek()
{
    check(Op::Peek);
    done(Op::Peek);
    return m_received;
}

int FakeSerialDevice::waiting()
{
    check(Op::Waiting);
    done(Op::Waiting);
    return int(m_received.size());
}

bool FakeSerialDevice::waitForCharacters(std::chrono::nanoseconds)
{
    if (!m_open || m_lost)
        return false;
    const qsizetype before = m_received.size();
    done(Op::Wait);   // characters a test makes arrive now arrived during the wait
    return m_received.size() > before;
}

void FakeSerialDevice::arrive(const QByteArray &bytes)
{
    m_received.append(bytes);
    emit lineEvent(commevent::Receive);
}

void FakeSerialDevice::changeCts()
{
    emit lineEvent(commevent::CtsChange);
}

void FakeSerialDevice::raiseEvent(int code)
{
    emit lineEvent(code);
}

void FakeSerialDevice::vanish(const QString &why)
{
    m_lost = true;
    const Failure lostFailure = commerrors::deviceLost(m_name, why);
    emit lost(lostFailure.number(), lostFailure.description());
}

void FakeSerialDevice::failOn(Op op, Failure failure, int times)
{
    m_failures.insert_or_assign(op, Scripted{std::move(failure), times});
}

QByteArray FakeSerialDevice::written() const
{
    QByteArray all;
    for (const QByteArray &w : m_writes)
        all += w;
    return all;
}

} // namespace kestrel
