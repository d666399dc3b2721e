#include "sim/mdbnames.h"

#include "mdb/mdb.h"

namespace kestrel::sim {

namespace {

QString word(const QByteArray &frame, int at)
{
    return mdb::hex(frame.mid(at, 2)).remove(QLatin1Char(' '));
}

} // namespace

QString describeFrame(const QByteArray &frame)
{
    if (frame.isEmpty())
        return QStringLiteral("(empty)");
    const mdb::Command *command = mdb::commandOf(frame);
    QString name = command ? QString::fromLatin1(command->name) : QStringLiteral("unknown command");
    // The parameters of the commands whose bytes a technician wants spelt out.
    const quint8 first = quint8(frame[0]);
    const int sub = frame.size() > 1 ? quint8(frame[1]) : -1;
    if (first == 0x0F && sub == 0x02)
        name += frame.size() > 2 ? QStringLiteral(" %1 units").arg(quint8(frame[2])) : QStringLiteral(" test");
    else if (first == 0x0C && frame.size() == 5)
        name += QStringLiteral(" accept %1 dispense %2").arg(word(frame, 1), word(frame, 3));
    else if (first == 0x34 && frame.size() == 5)
        name += QStringLiteral(" enable %1 escrow %2").arg(word(frame, 1), word(frame, 3));
    return mdb::hex(frame) + QStringLiteral("  ") + name;
}

} // namespace kestrel::sim
