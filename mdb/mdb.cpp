#include "mdb/mdb.h"

#include <algorithm>

namespace kestrel::mdb {

namespace {

const Address kAddressRows[] = {
    {Peripheral::Changer, 0x08, "coin changer"},
    {Peripheral::Validator, 0x30, "bill validator"},
    {Peripheral::Reader, 0x10, "cashless reader"},
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
    {0x0F, "REVALUE LIMIT AMOUNT", ReaderData::Amount, "revalue limit"},
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

const core::Table<Address> kAddresses = kAddressRows;
const core::Table<ReaderResponse> kReaderResponses = kReaderResponseRows;
const core::Table<const char *> kChangerStatus = kChangerStatusRows;
const core::Table<const char *> kValidatorStatus = kValidatorStatusRows;
const core::Table<const char *> kCoinRouting = kCoinRoutingRows;
const core::Table<const char *> kBillRouting = kBillRoutingRows;

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

const ReaderResponse *readerResponse(quint8 code)
{
    const auto found = std::find_if(kReaderResponses.begin(), kReaderResponses.end(),
                                    [code](const ReaderResponse &r) { return r.code == code; });
    return found == kReaderResponses.end() ? nullptr : found;
}

QString named(const core::Table<const char *> &names, int code)
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
