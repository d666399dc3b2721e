#include "sim/mdbnames.h"

#include "mdb/compose.h"

namespace kestrel::sim {

QString describeFrame(const QByteArray &frame)
{
    if (frame.isEmpty())
        return QStringLiteral("(empty)");
    const mdb::CommandSpec *command = mdb::commandOf(frame);
    QString name = QStringLiteral("unknown command");
    if (command) {
        // A name two peripherals share ("RESET") says whose it is.
        name = QLatin1String(command->name);
        for (const mdb::CommandSpec &other : mdb::kCommandSet)
            if (&other != command && other.peripheral != command->peripheral && qstrcmp(other.name, command->name) == 0) {
                name += QStringLiteral(" (%1)").arg(mdb::nameOf(command->peripheral));
                break;
            }
        // The parameters a technician wants spelt out; a frame that stops before them (the
        // console's "Payout Level2" button) is the command alone.
        const QString params = mdb::describeParams(*command, frame);
        if (!params.isEmpty())
            name += QLatin1Char(' ') + params;
    }
    return mdb::hex(frame) + QStringLiteral("  ") + name;
}

} // namespace kestrel::sim
