#pragma once

#include "mdb/compose.h"
#include "mdb/mdb.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace kestrel::decode::details {

// Every byte of a peripheral's reply, decoded as the MDB standard lays out the coin changer's,
// the bill validator's and the cashless reader's replies. Nothing here changes what the console
// does with a reply (the reply tables do that); this only explains it, for the "Reply details"
// window and for any tool that wants the same.

using Device = mdb::Peripheral;

// What a device's SETUP reply says about its money and its level.
using MoneySetup = mdb::MoneySetup;

// What the decoder knows beyond the reply itself: the frame that asked for it (the last frame sent
// to its peripheral, not yet answered), the frame last sent to any peripheral (for a reply with no
// address byte), and the SETUP replies seen so far in this run.
struct Context
{
    QByteArray asked;
    QByteArray pendingFrame;
    mdb::Known known;
};

// One field of a reply: where it stands (byte offset and length in the reply, the address byte
// being byte 0), what it is, and what it says.
struct Field
{
    int offset;
    int length;
    QString name;
    QString value;
    mdb::FieldId id = mdb::FieldId::Other;
    int type = -1;          // the coin or bill type a per-type field is of
    qint64 number = 0;      // what a numeric field says
};

struct Decoded
{
    QString text;                 // the reply text as received
    QList<quint8> bytes;          // the bytes the text spells
    int stoppedAt = -1;           // the character where reading the text stopped, or -1
    QString stopReason;

    Device device = Device::Unknown;
    QString deviceName;           // "coin changer (08)"
    QString reply;                // "POLL", "TUBE STATUS", ...
    const mdb::CommandSpec *command = nullptr;   // the command that asked for it, when one did
    mdb::Layout layout = mdb::Layout::Unknown;   // how its data bytes were read
    QStringList why;              // how the device and the reply were told
    QList<Field> fields;
    QStringList notes;            // too short, money in units, ...
    // The reply ends before its layout does: a piece of a reply that the line cut off (a coin's
    // byte without the tube count after it, a data block short of its length). A reply of one
    // byte after the address is a status code, never a cut block.
    bool cutShort = false;

    std::optional<MoneySetup> setup;   // when the reply is a SETUP reply
};

// Decodes one reply text.
Decoded decode(const QString &text, const Context &context = {});
// The first field of that kind (and coin or bill type, when given), or nullptr.
const Field *fieldOf(const Decoded &decoded, mdb::FieldId id, int type = -1);

// The decoded reply as lines of text, for a window or a log.
QStringList describe(const Decoded &decoded);

// A currency code as a technician reads it: "1840 (ISO 4217 840, US dollar)" or "0001
// (telephone code 1, USA)".
QString currencyName(quint16 code);

} // namespace kestrel::decode::details
