#include "mdb/mdb.h"

#include <algorithm>

namespace kestrel::mdb {

namespace {

const Address kAddressRows[] = {
    {Peripheral::Changer, 0x08, "coin changer"},
    {Peripheral::Validator, 0x30, "bill validator"},
    {Peripheral::Reader, 0x10, "cashless reader"},
};

// MDB command bytes by peripheral address: coin changer 08-0F, cashless reader 10-17, bill
// validator 30-37; and the cashless reader's own response codes that the console's test buttons
// send.
const Command kCommandRows[] = {
    {0x08, -1, "RESET (coin changer)"},
    {0x09, -1, "SETUP (coin changer)"},
    {0x0A, -1, "TUBE STATUS"},
    {0x0B, -1, "POLL (coin changer)"},
    {0x0C, -1, "COIN TYPE"},
    {0x0D, -1, "DISPENSE"},
    {0x0F, 0x00, "EXPANSION IDENTIFICATION (coin changer)"},
    {0x0F, 0x02, "EXPANSION PAYOUT"},
    {0x0F, 0x03, "EXPANSION PAYOUT VALUE POLL"},
    {0x0F, 0x04, "EXPANSION PAYOUT STATUS"},
    {0x10, -1, "RESET (cashless)"},
    {0x11, -1, "SETUP (cashless)"},
    {0x12, -1, "POLL (cashless)"},
    {0x13, 0x00, "VEND REQUEST"},
    {0x13, 0x02, "VEND SUCCESS"},
    {0x13, 0x04, "VEND SESSION COMPLETE"},
    {0x14, 0x00, "READER DISABLE"},
    {0x14, 0x01, "READER ENABLE"},
    {0x14, 0x02, "READER CANCEL"},
    {0x15, 0x00, "REVALUE REQUEST"},
    {0x17, 0x00, "EXPANSION REQUEST ID (cashless)"},
    {0x30, -1, "RESET (bill validator)"},
    {0x31, -1, "SETUP (bill validator)"},
    {0x33, -1, "POLL (bill validator)"},
    {0x34, -1, "BILL TYPE"},
    {0x35, 0x00, "ESCROW return bill"},
    {0x35, 0x01, "ESCROW stack bill"},
    {0x36, -1, "STACKER"},
    {0x37, 0x00, "EXPANSION IDENTIFICATION (bill validator)"},
    {0x37, 0x02, "EXPANSION IDENTIFICATION WITH OPTION BITS (bill validator)"},
    {0x02, -1, "DISPLAY REQUEST (reader response)"},
    {0x03, -1, "BEGIN SESSION (reader response)"},
    {0x05, -1, "VEND APPROVED (reader response)"},
    {0x07, -1, "END SESSION (reader response)"},
};

// The replies, each peripheral's unasked one (POLL) first.
const Reply kReplyRows[] = {
    {Peripheral::Changer, -1, -1, "POLL", Layout::ChangerPoll, 0, false},
    {Peripheral::Changer, 0x09, -1, "SETUP", Layout::ChangerSetup, 23, true},
    {Peripheral::Changer, 0x0A, -1, "TUBE STATUS", Layout::TubeStatus, 18, true},
    {Peripheral::Changer, 0x0F, 0x00, "EXPANSION IDENTIFICATION", Layout::ChangerIdentification, 33, true},
    {Peripheral::Changer, 0x0F, 0x04, "PAYOUT STATUS", Layout::PayoutStatus, 0, false},
    {Peripheral::Changer, 0x0F, 0x03, "PAYOUT VALUE POLL", Layout::PayoutValuePoll, 1, false},
    {Peripheral::Validator, -1, -1, "POLL", Layout::ValidatorPoll, 0, false},
    {Peripheral::Validator, 0x31, -1, "SETUP", Layout::ValidatorSetup, 27, true},
    {Peripheral::Validator, 0x36, -1, "STACKER", Layout::Stacker, 2, false},
    {Peripheral::Validator, 0x37, 0x00, "IDENTIFICATION", Layout::ValidatorIdentification, 29, true},
    {Peripheral::Validator, 0x37, 0x02, "IDENTIFICATION", Layout::ValidatorIdentificationOptions, 33, false},
    {Peripheral::Reader, -1, -1, "", Layout::ReaderResponse, 0, false},
    {Peripheral::Unknown, -1, -1, "unknown", Layout::Unknown, 0, false},
};

const ReaderResponse kReaderResponseRows[] = {
    {0x00, "JUST RESET", ReaderData::None, nullptr},
    {0x01, "READER CONFIGURATION", ReaderData::Configuration, nullptr},
    {0x02, "DISPLAY REQUEST", ReaderData::Display, nullptr},
    {0x03, "BEGIN SESSION", ReaderData::Amount, "funds available"},
    {0x04, "SESSION CANCEL REQUEST", ReaderData::None, nullptr},
    {0x05, "VEND APPROVED", ReaderData::Amount, "vend amount"},
    {0x06, "VEND DENIED", ReaderData::None, nullptr},
    {0x07, "END SESSION", ReaderData::None, nullptr},
    {0x08, "CANCELLED", ReaderData::None, nullptr},
    {0x09, "PERIPHERAL ID", ReaderData::Identification, nullptr},
    {0x0A, "MALFUNCTION", ReaderData::ErrorCode, nullptr},
    {0x0B, "OUT OF SEQUENCE", ReaderData::None, nullptr},
    {0x0D, "REVALUE APPROVED", ReaderData::None, nullptr},
    {0x0E, "REVALUE DENIED", ReaderData::None, nullptr},
};

const char *const kChangerStatusRows[] = {
    "ACK", "escrow request", "changer payout busy", "no credit", "defective tube sensor",
    "double arrival", "acceptor unplugged", "tube jam", "ROM checksum error", "coin routing error",
    "changer busy", "changer was reset", "coin jam", "possible credited coin removal",
};
const char *const kValidatorStatusRows[] = {
    "ACK", "defective motor", "sensor problem", "validator busy", "ROM checksum error",
    "validator jammed", "validator was reset", "bill removed", "cash box out of position",
    "validator disabled", "invalid escrow request", "bill rejected", "possible credited bill removal",
};
const char *const kCoinRoutingRows[] = {"cash box", "tubes", "not used", "returned (rejected)"};
const char *const kBillRoutingRows[] = {
    "stacked", "held in escrow", "returned", "to the recycler", "disabled bill rejected",
    "to the recycler (manual fill)", "dispensed by hand", "from the recycler to the cash box",
};

} // namespace

const Table<Address> kAddresses = kAddressRows;
const Table<Command> kCommands = kCommandRows;
const Table<Reply> kReplies = kReplyRows;
const Table<ReaderResponse> kReaderResponses = kReaderResponseRows;
const Table<const char *> kChangerStatus = kChangerStatusRows;
const Table<const char *> kValidatorStatus = kValidatorStatusRows;
const Table<const char *> kCoinRouting = kCoinRoutingRows;
const Table<const char *> kBillRouting = kBillRoutingRows;

Peripheral peripheralOf(quint8 byte)
{
    for (const Address &a : kAddresses)
        if (a.address == (byte & kAddressMask))
            return a.peripheral;
    return Peripheral::Unknown;
}

quint8 addressOf(Peripheral peripheral)
{
    for (const Address &a : kAddresses)
        if (a.peripheral == peripheral)
            return a.address;
    return 0;
}

QString nameOf(Peripheral peripheral)
{
    for (const Address &a : kAddresses)
        if (a.peripheral == peripheral)
            return QString::fromLatin1(a.name);
    return QStringLiteral("unknown device");
}

quint8 checksum(const QByteArray &bytes)
{
    quint8 sum = 0;
    for (char b : bytes)
        sum = quint8(sum + quint8(b));
    return sum;
}

QString hex(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

QString hex(quint8 byte)
{
    return hex(QByteArray(1, char(byte)));
}

std::optional<QByteArray> replyBytes(const QString &text)
{
    QString body = text;
    while (body.endsWith(QLatin1Char('\n')) || body.endsWith(QLatin1Char('\r')))
        body.chop(1);
    if (body.isEmpty() || body == QLatin1String("CC"))
        return std::nullopt;
    QByteArray bytes;
    const QStringList parts = body.split(QLatin1Char(' '));
    for (const QString &part : parts) {
        bool ok = false;
        const uint value = part.toUInt(&ok, 16);
        if (part.size() != 2 || !ok)
            return std::nullopt;
        bytes.append(char(value));
    }
    return bytes;
}

QStringList bitsSet(quint32 bits, int width)
{
    QStringList set;
    for (int b = 0; b < width; ++b)
        if (bits & (1u << b))
            set << QString::number(b);
    return set;
}

const Command *commandOf(const QByteArray &frame)
{
    if (frame.isEmpty())
        return nullptr;
    const quint8 command = quint8(frame[0]);
    const int sub = frame.size() > 1 ? quint8(frame[1]) : -2;
    const auto found = std::find_if(kCommands.begin(), kCommands.end(), [&](const Command &c) {
        return c.command == command && (c.sub == -1 || c.sub == sub);
    });
    return found == kCommands.end() ? nullptr : found;
}

const Reply &replyTo(Peripheral peripheral, const QByteArray &sent, int dataBytes)
{
    const Reply *unasked = nullptr;
    const Reply *byLength = nullptr;
    const int command = sent.isEmpty() ? -1 : quint8(sent[0]);
    const int sub = sent.size() > 1 ? quint8(sent[1]) : -2;
    for (const Reply &r : kReplies) {
        if (r.peripheral != peripheral)
            continue;
        if (r.command < 0) {
            if (!unasked)
                unasked = &r;
            continue;
        }
        if (command >= 0 && r.command == command && (r.sub == -1 || r.sub == sub))
            return r;
        if (command < 0 && r.toldByLength && r.dataBytes == dataBytes && !byLength)
            byLength = &r;
    }
    return byLength ? *byLength : *unasked;
}

const ReaderResponse *readerResponse(quint8 code)
{
    const auto found = std::find_if(kReaderResponses.begin(), kReaderResponses.end(),
                                    [code](const ReaderResponse &r) { return r.code == code; });
    return found == kReaderResponses.end() ? nullptr : found;
}

QString named(const Table<const char *> &names, int code)
{
    return code >= 0 && code < int(names.size()) ? QString::fromLatin1(names[std::size_t(code)])
                                                 : QStringLiteral("unknown status");
}

QString statusOf(const QByteArray &reply)
{
    if (reply.size() != 2)
        return {};
    const quint8 status = quint8(reply[1]);
    switch (peripheralOf(quint8(reply[0]))) {
    case Peripheral::Changer:
        return status < kChangerStatus.size() ? named(kChangerStatus, status) : QString();
    case Peripheral::Validator:
        return status < kValidatorStatus.size() ? named(kValidatorStatus, status) : QString();
    default:
        return {};
    }
}

} // namespace kestrel::mdb
