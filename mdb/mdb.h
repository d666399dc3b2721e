#pragma once

#include "core/table.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace kestrel::mdb {

// What the Multi-Drop Bus says, in one place: the peripherals' addresses, the status codes and
// the cashless reader's responses, the checksum, and hex as the board writes it; the commands and
// the layouts of their replies are in commandset.h, the coins and bills in denominations.h, the
// replies the console counts in replytables.h. Nothing here depends on the console; the reply
// decoder, the virtual board and the command tables read it.

enum class Peripheral { Unknown, Changer, Validator, Reader };

// The address byte's upper five bits name the peripheral; the lower three are its command.
inline constexpr quint8 kAddressMask = 0xF8;

struct Address
{
    Peripheral peripheral;
    quint8 address;
    const char *name;
};
extern const core::Table<Address> kAddresses;

// The peripheral a command or reply byte is addressed to.
Peripheral peripheralOf(quint8 byte);
quint8 addressOf(Peripheral peripheral);
// "coin changer", "bill validator", "cashless reader"; "unknown device".
QString nameOf(Peripheral peripheral);

// The MDB checksum of a block: the low byte of the sum of its bytes.
quint8 checksum(const QByteArray &bytes);

// Bytes as the board writes them: upper-case hex pairs separated by single blanks ("0F 02 02").
QString hex(const QByteArray &bytes);
QString hex(quint8 byte);
// The bytes of a reply text when it is hex bytes as the board writes them (pairs of hex digits
// between single blanks, a line end allowed); nothing for a notice's "CC" (the board's mark before
// a notice, not a byte 0xCC), noise or a fragment.
std::optional<QByteArray> replyBytes(const QString &text);
// The numbers of the bits set in `bits`, lowest first, among the lowest `width` bits.
QStringList bitsSet(quint32 bits, int width);

// The cashless reader's responses, by their first byte.
enum class ReaderData { None, Amount, Configuration, Display, Identification, ErrorCode };
struct ReaderResponse
{
    quint8 code;
    const char *name;
    ReaderData data;
    const char *amount;      // what an amount is, for those that carry one
};
extern const core::Table<ReaderResponse> kReaderResponses;
const ReaderResponse *readerResponse(quint8 code);

// Status codes of the changer's and the validator's POLL replies, by value.
extern const core::Table<const char *> kChangerStatus;
extern const core::Table<const char *> kValidatorStatus;
// Where a deposited coin went, and what became of a bill, by the routing bits.
extern const core::Table<const char *> kCoinRouting;
extern const core::Table<const char *> kBillRouting;
// The name at `code` in a table of names, or "unknown status".
QString named(const core::Table<const char *> &names, int code);
// What a changer's or validator's reply of one status byte says ("08 0C": "coin jam"), or nothing
// for any other reply.
QString statusOf(const QByteArray &reply);

} // namespace kestrel::mdb
