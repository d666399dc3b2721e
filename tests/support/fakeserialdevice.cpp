#include "tests/support/fakeserialdevice.h"

#include "link/commerrors.h"
#include "link/commevents.h"

namespace kestrel {

FakeSerialDevice::FakeSerialDevice(QString name, QObject *parent)
    : link::SerialDevice(std::move(name), parent)
{
}

void FakeSerialDevice::entering(Operation op) const
{
    auto it = m_failures.find(op);
    if (it == m_failures.end())
        return;
    core::Failure failure = it->second.failure;
    if (it->second.times > 0 && --it->second.times == 0)
        m_failures.erase(it);
    throw failure;
}

void FakeSerialDevice::left(Operation op) const
{
    if (op == Op::SetDtr)
        m_dtrChanges.append(dtr());
    if (afterOp)
        afterOp(op);
}

bool FakeSerialDevice::waitOnDriver(std::chrono::nanoseconds)
{
    const int before = m_arrivals;
    if (afterOp)
        afterOp(Op::Wait);   // characters a test makes arrive now arrived during the wait
    return m_arrivals > before;
}

void FakeSerialDevice::arrive(const QByteArray &bytes)
{
    ++m_arrivals;
    arrived(bytes);
}

void FakeSerialDevice::changeCts()
{
    emit lineEvent(link::commevent::CtsChange);
}

void FakeSerialDevice::raiseEvent(int code)
{
    emit lineEvent(code);
}

void FakeSerialDevice::vanish(const QString &why)
{
    lose(link::commerrors::deviceLost(name(), why));
}

void FakeSerialDevice::failOn(Op op, core::Failure failure, int times)
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
