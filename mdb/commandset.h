#pragma once

#include "core/table.h"
#include "mdb/mdb.h"

#include <QByteArray>
#include <QString>

namespace kestrel::mdb {

// Every command the console can send to the coin changer (08), the bill validator (30) and the
// cashless reader (10), as the MDB standard (version 4.2) lays them out: the command byte and its
// subcommand, each parameter's place, width, range and unit, and the layout of the reply. The
// command buttons, the composer, test plans, the reply decoder and the virtual board all read it
// here, so that none of them can disagree about a command.

// How a reply's data bytes are laid out.
enum class Layout {
    Ack,                                   // an ACK, or the peripheral's POLL activity instead
    ChangerPoll, ChangerSetup, TubeStatus, ChangerIdentification, PayoutStatus, PayoutValuePoll,
    ChangerDiagnostics, ManualFillReport, ManualPayoutReport,
    ValidatorPoll, ValidatorSetup, Stacker, ValidatorIdentification, ValidatorIdentificationOptions,
    RecyclerSetup, DispenseStatus, RecyclerPayoutStatus, RecyclerPayoutValuePoll,
    ReaderResponse,
    Unknown,
};

// What a field of a decoded reply is, for the code that acts on it (a test plan's watchers); a
// person reads the field's name, which may be reworded without breaking them.
enum class FieldId {
    Other,
    FeatureLevel,
    ManufacturerCode, SerialNumber, Model, SoftwareVersion, OptionalFeatures,
    TubeCount,               // a tube's coins (the field's type: its coin type; its number: the count)
    CoinsDispensedByHand,    // coins paid out, reported as activity (type, number of coins)
    CoinsPaidOut,            // coins of a type paid out, in a PAYOUT STATUS
    DiagnosticCode,          // a changer's diagnostic code (number: main code << 8 | sub-code)
};

// What a parameter's value is, and so how it is written and read.
enum class Unit {
    Number,      // a count or a number: decimal, or 0x hex
    Money,       // an amount in the peripheral's own scaling, written in dollars and cents
    CoinType,    // a coin type, 0 to 15, or its coin's name
    BillType,    // a bill type, 0 to 15, or its bill's name
    Mask,        // bits: one per coin or bill type, or per feature
    TypeBytes,   // a mask written as one byte per type, 03 for a bit set and 00 for one clear
    Choice,      // one of named values
    Text,        // ASCII, blank-padded to its width
    Bcd,         // packed BCD digits (a software version: 0301)
};

struct Param
{
    const char *name;          // as a plan writes it: coin=2
    int offset;                // its first byte in the frame (the command byte is 0)
    int bytes;                 // its width in bytes, high byte first
    int shift;                 // a value sharing a byte: its lowest bit
    int bits;                  // ... and its width in bits; 0: the whole field
    qint64 low, high;          // its range, in what goes on the bus (units for money)
    Unit unit;
    const char *meaning;
    const char *fallback;      // the value when none is given, as written; nullptr: it must be
    const char *choices;       // a choice's names, by value, comma separated
};

// The command's identity, for those that act on commands (the virtual board's peripherals).
enum class Cmd {
    ChangerReset, ChangerSetup, TubeStatus, ChangerPoll, CoinType, Dispense,
    ChangerIdentification, ChangerFeatureEnable, Payout, PayoutStatus, PayoutValuePoll,
    SendDiagnosticStatus, ManualFillReport, ManualPayoutReport,
    ValidatorReset, ValidatorSetup, Security, ValidatorPoll, BillType, Escrow, Stacker,
    ValidatorIdentification, ValidatorFeatureEnable, ValidatorIdentificationOptions,
    RecyclerSetup, RecyclerEnable, BillDispenseStatus, DispenseBill, DispenseValue,
    RecyclerPayoutStatus, RecyclerPayoutValuePoll, RecyclerPayoutCancel,
    ReaderReset, SetupConfigData, SetupPrices, ReaderPoll, VendRequest, VendCancel, VendSuccess,
    VendFailure, SessionComplete, CashSale, ReaderDisable, ReaderEnable, ReaderCancel,
    RevalueRequest, RevalueLimitRequest, RequestId,
    // The reader's own responses, which the console's cashless test buttons send.
    TestDisplayRequest, TestBeginSession, TestVendApproved, TestEndSession,
};

struct CommandSpec
{
    Cmd id;
    Peripheral peripheral;
    const char *name;          // "DISPENSE", "VEND REQUEST"
    quint8 command;            // the command byte: the peripheral's address and its command
    int sub;                   // the subcommand byte, or -1
    core::Table<Param> params;
    Layout reply;
    int replyBytes;            // the reply's data bytes after the address; -1: any number
    int level;                 // the lowest feature level that has the command
    int feature;               // the optional feature bit it needs (identification), or -1
    bool movesMoney;           // a payout, a vend, a stack: never sent twice, never late
    bool vmcCommand;           // false: a reader's response, sent only as a test
};
extern const core::Table<CommandSpec> kCommandSet;

// The command a frame is (its command byte and, for those that have one, its subcommand), or
// nullptr. A frame shorter than its command is still that command.
const CommandSpec *commandOf(const QByteArray &frame);
// A peripheral's command by name, in any case, "EXPANSION " before it allowed; or nullptr.
const CommandSpec *commandNamed(Peripheral peripheral, const QString &name);
const CommandSpec &command(Cmd id);
// The frame's bytes that the command fixes: the command byte and its subcommand.
QByteArray headOf(const CommandSpec &spec);
// The frame's length with every parameter in place.
int frameLength(const CommandSpec &spec);

// The reply a peripheral gives to the frame sent to it last: the command's name and layout; with
// no frame sent, the command whose reply only has that many data bytes; else its POLL activity.
struct ReplyKind
{
    const char *name;
    Layout layout;
    int dataBytes;             // -1: any number
    const CommandSpec *command;   // what asked for it; nullptr when told by its length or unasked
};
ReplyKind replyTo(Peripheral peripheral, const QByteArray &sent, int dataBytes);

// The names of a peripheral's optional feature bits (its identification's option bits), by bit.
QString featureName(Peripheral peripheral, int bit);
// What a changer's SEND DIAGNOSTIC STATUS code says ("Changer OK", "Discriminator module error:
// coin jam in sensor").
QString diagnosticName(quint8 main, quint8 sub);
// What a bill recycler's status byte (0x21 to 0x2F) in the validator's POLL says, or nothing.
QString recyclerStatusName(quint8 status);

} // namespace kestrel::mdb
