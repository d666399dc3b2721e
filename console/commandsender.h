#pragma once

#include "console/console.h"
#include "mdb/compose.h"

#include <QObject>
#include <QStringList>

namespace kestrel::console {

// What the command composer does without its window: composes a command of the command set from
// the parameters typed (or takes raw bytes), refuses bad input with a message and sends nothing,
// holds back a command the peripheral's feature level lacks until the technician confirms it, and
// puts the frame on the console's send queue as a button does (same handshake, same one-second
// bound, the command's name as its action-log line). The first reply its peripheral gives after
// the frame has gone out is decoded field by field for the window.
class CommandSender : public QObject
{
    Q_OBJECT
public:
    explicit CommandSender(Console &console, QObject *parent = nullptr);

    struct Outcome
    {
        bool sent = false;
        QString message;          // what the window shows: the error, the warning, or what went
        bool needsConfirming = false;   // a warning: sending the same frame again confirms it
    };
    // The frame the parameters give now, or why there is none ("" and the error).
    mdb::Composed preview(const mdb::CommandSpec &command, const QList<mdb::Given> &given) const;
    Outcome send(const mdb::CommandSpec &command, const QList<mdb::Given> &given);
    Outcome sendRaw(const QString &hexText);

    // How a parameter is written, for its field: its unit, range and the names it takes.
    static QString hint(const mdb::Param &param, mdb::Peripheral peripheral, const mdb::Known &known);

signals:
    // The reply to the frame last sent, decoded, as lines of "Reply details".
    void replyDecoded(const QStringList &lines);

private:
    Outcome queue(const QByteArray &frame, const QString &name);

    Console &m_console;
    QByteArray m_confirmed;           // the frame whose warning was shown, sent on the next press
    QByteArray m_waitingFor;          // the frame queued, until it has gone out
    mdb::Peripheral m_answering = mdb::Peripheral::Unknown;   // whose next reply is the answer
};

} // namespace kestrel::console
