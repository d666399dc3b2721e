#include "decode/replydetails.h"

#include "core/table.h"
#include "decode/denominations.h"

#include <algorithm>
#include <iterator>

namespace kestrel::details {

namespace {

QString hex(quint8 byte) { return QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0')).toUpper(); }

// ---- currencies -------------------------------------------------------------------------------

struct Currency
{
    int code;               // ISO 4217 numeric code, or telephone country code
    const char *alpha;      // ISO 4217 letters
    const char *name;
};

const Currency kIsoRows[] = {
    {840, "USD", "US dollar"},       {978, "EUR", "euro"},           {124, "CAD", "Canadian dollar"},
    {826, "GBP", "pound sterling"},  {756, "CHF", "Swiss franc"},    {36, "AUD", "Australian dollar"},
    {392, "JPY", "yen"},             {484, "MXN", "Mexican peso"},   {752, "SEK", "Swedish krona"},
    {578, "NOK", "Norwegian krone"}, {208, "DKK", "Danish krone"},
};
const Currency kTelephoneRows[] = {
    {1, "USD", "USA"},      {33, "EUR", "France"},      {44, "GBP", "United Kingdom"},
    {49, "EUR", "Germany"}, {39, "EUR", "Italy"},       {34, "EUR", "Spain"},
    {41, "CHF", "Switzerland"}, {61, "AUD", "Australia"}, {81, "JPY", "Japan"},
    {52, "MXN", "Mexico"},  {31, "EUR", "Netherlands"}, {32, "EUR", "Belgium"},
};
const Table<Currency> kIso = kIsoRows;
const Table<Currency> kTelephone = kTelephoneRows;

// The four digits of a packed BCD code, or nothing when a nibble is no digit.
std::optional<int> bcd(quint16 code)
{
    int value = 0;
    for (int shift = 12; shift >= 0; shift -= 4) {
        const int digit = (code >> shift) & 0xF;
        if (digit > 9)
            return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

const Currency *currencyOf(quint16 code)
{
    const std::optional<int> digits = bcd(code);
    if (!digits)
        return nullptr;
    const bool iso = *digits >= 1000;
    const int number = *digits % 1000;
    for (const Currency &c : iso ? kIso : kTelephone)
        if (c.code == number)
            return &c;
    return nullptr;
}

QString digits4(quint16 code)
{
    return QStringLiteral("%1").arg(code, 4, 16, QLatin1Char('0')).toUpper();
}

// ---- the reply's parts ------------------------------------------------------------------------

QString coinName(int type)
{
    for (const denominations::Coin &coin : denominations::kCoins)
        if (coin.coinType == type)
            return QStringLiteral("coin type %1 (%2)").arg(type).arg(QLatin1String(coin.name));
    return QStringLiteral("coin type %1").arg(type);
}

QString billName(int type)
{
    for (const denominations::Bill &bill : denominations::kBills)
        if (bill.billType == type)
            return QStringLiteral("bill type %1 (%2)").arg(type).arg(QLatin1String(bill.name));
    return QStringLiteral("bill type %1").arg(type);
}

// Builds the fields of one reply, byte by byte.
class Reading
{
public:
    Reading(Decoded &d, const Context &context) : m_d(d), m_context(context) {}

    int size() const { return int(m_d.bytes.size()); }
    int left() const { return size() - m_at; }
    int at() const { return m_at; }
    quint8 byte(int i) const { return m_d.bytes.at(i); }
    quint16 word(int i) const { return quint16(byte(i) << 8 | byte(i + 1)); }

    void field(int length, const QString &name, const QString &value)
    {
        m_d.fields.append({m_at, length, name, value});
        m_at += length;
    }
    // The reply's expected data length; a reply that is short says so.
    bool expect(int dataBytes)
    {
        const int came = size() - 1;
        if (came < dataBytes)
            m_d.notes << QStringLiteral("Too short: a %1 reply has %2 data bytes after the address, "
                                        "%3 came.")
                             .arg(m_d.reply).arg(dataBytes).arg(came);
        return came >= dataBytes;
    }
    // Whatever is left is shown as such, never dropped.
    void rest()
    {
        while (left() > 0)
            field(1, QStringLiteral("not understood"), hex(byte(m_at)));
    }

    QString text(int length) const
    {
        QString s;
        for (int i = m_at; i < m_at + length; ++i)
            s += QChar(byte(i) >= 0x20 && byte(i) < 0x7F ? QChar(byte(i)) : QChar(u'.'));
        return QStringLiteral("\"%1\"").arg(s);
    }
    QString version(int i) const
    {
        const std::optional<int> v = bcd(word(i));
        return v ? QStringLiteral("%1.%2").arg(*v / 100).arg(*v % 100, 2, 10, QLatin1Char('0'))
                 : QStringLiteral("%1 (not BCD)").arg(digits4(word(i)));
    }
    // An amount in the device's money, where its SETUP reply was seen.
    QString money(qint64 units, const std::optional<MoneySetup> &setup)
    {
        if (!setup) {
            m_unitsOnly = true;
            return QStringLiteral("%1 units").arg(units);
        }
        qint64 scaled = units * setup->scaling;
        QString amount;
        if (setup->decimals > 0) {
            qint64 divisor = 1;
            for (int i = 0; i < setup->decimals; ++i)
                divisor *= 10;
            amount = QStringLiteral("%1.%2").arg(scaled / divisor).arg(scaled % divisor,
                                                                        setup->decimals, 10,
                                                                        QLatin1Char('0'));
        } else {
            amount = QString::number(scaled);
        }
        const Currency *c = currencyOf(setup->currency);
        return c ? QStringLiteral("%1 %2").arg(amount, QLatin1String(c->alpha))
                 : QStringLiteral("%1 (currency %2)").arg(amount, digits4(setup->currency));
    }
    bool unitsOnly() const { return m_unitsOnly; }

    const Context &context() const { return m_context; }
    Decoded &decoded() { return m_d; }

private:
    Decoded &m_d;
    const Context &m_context;
    int m_at = 0;
    bool m_unitsOnly = false;
};

// Status codes, by device.
const char *const kChangerStatus[] = {
    "ACK", "escrow request", "changer payout busy", "no credit", "defective tube sensor",
    "double arrival", "acceptor unplugged", "tube jam", "ROM checksum error", "coin routing error",
    "changer busy", "changer was reset", "coin jam", "possible credited coin removal",
};
const char *const kValidatorStatus[] = {
    "ACK", "defective motor", "sensor problem", "validator busy", "ROM checksum error",
    "validator jammed", "validator was reset", "bill removed", "cash box out of position",
    "validator disabled", "invalid escrow request", "bill rejected", "possible credited bill removal",
};
const char *const kRouting[] = {"cash box", "tubes", "not used", "returned (rejected)"};
const char *const kBillRouting[] = {
    "stacked", "held in escrow", "returned", "to the recycler", "disabled bill rejected",
    "to the recycler (manual fill)", "dispensed by hand", "from the recycler to the cash box",
};

template <std::size_t N>
QString named(const char *const (&names)[N], int code)
{
    return code < int(N) ? QString::fromLatin1(names[code]) : QStringLiteral("unknown status");
}

// The head that the three devices' SETUP replies share: feature level, currency, scaling factor
// (one or two bytes) and decimal places. The scaling factor's name is the device's own.
MoneySetup setupHead(Reading &r, int scalingBytes, const QString &scalingName)
{
    r.field(1, QStringLiteral("feature level"), QString::number(r.byte(r.at())));
    MoneySetup setup;
    setup.currency = r.word(r.at());
    r.field(2, QStringLiteral("country or currency"), currencyName(setup.currency));
    setup.scaling = scalingBytes == 2 ? r.word(r.at()) : r.byte(r.at());
    r.field(scalingBytes, scalingName, QString::number(setup.scaling));
    setup.decimals = r.byte(r.at());
    r.field(1, QStringLiteral("decimal places"), QString::number(setup.decimals));
    r.decoded().setup = setup;
    return setup;
}

// ---- coin changer -----------------------------------------------------------------------------

void changerPoll(Reading &r)
{
    while (r.left() > 0) {
        const quint8 b = r.byte(r.at());
        if (b & 0x80) {
            const int count = (b >> 4) & 0x07;
            const QString what = QStringLiteral("%1 coin(s) of %2").arg(count).arg(coinName(b & 0x0F));
            if (r.left() < 2) {
                r.field(1, QStringLiteral("coins dispensed by hand"), what + QStringLiteral(", tube count missing"));
                continue;
            }
            r.field(2, QStringLiteral("coins dispensed by hand"),
                    what + QStringLiteral("; coins now in the tube: %1").arg(r.byte(r.at() + 1)));
        } else if (b & 0x40) {
            const QString what = QStringLiteral("%1 to the %2").arg(coinName(b & 0x0F),
                                                                   QLatin1String(kRouting[(b >> 4) & 0x03]));
            if (r.left() < 2) {
                r.field(1, QStringLiteral("coin deposited"), what + QStringLiteral(", tube count missing"));
                continue;
            }
            r.field(2, QStringLiteral("coin deposited"),
                    what + QStringLiteral("; coins now in the tube: %1").arg(r.byte(r.at() + 1)));
        } else if (b & 0x20) {
            r.field(1, QStringLiteral("slug"), QStringLiteral("%1 slug(s)").arg(b & 0x1F));
        } else {
            r.field(1, QStringLiteral("status"), QStringLiteral("%1: %2").arg(hex(b), named(kChangerStatus, b)));
        }
    }
}

void changerTubeStatus(Reading &r)
{
    r.expect(18);
    if (r.left() < 2)
        return;
    const quint16 full = r.word(r.at());
    QStringList fullTubes;
    for (int t = 0; t < 16; ++t)
        if (full & (1u << t))
            fullTubes << QString::number(t);
    r.field(2, QStringLiteral("tubes full"), fullTubes.isEmpty() ? QStringLiteral("none")
                                                                  : QStringLiteral("coin types ") + fullTubes.join(QStringLiteral(", ")));
    for (int t = 0; t < 16 && r.left() > 0; ++t) {
        const int count = r.byte(r.at());
        QString value = QStringLiteral("%1 coins").arg(count);
        if ((full & (1u << t)) && count == 0)
            value += QStringLiteral(": flagged full with none in it, a faulty tube sensor");
        r.field(1, QStringLiteral("tube of %1").arg(coinName(t)), value);
    }
}

void changerSetup(Reading &r)
{
    r.expect(23);
    if (r.left() < 5) {
        r.rest();
        return;
    }
    const MoneySetup setup = setupHead(r, 1, QStringLiteral("coin scaling factor"));
    if (r.left() >= 2) {
        const quint16 routing = r.word(r.at());
        QStringList types;
        for (int t = 0; t < 16; ++t)
            if (routing & (1u << t))
                types << QString::number(t);
        r.field(2, QStringLiteral("coins routed to tubes"),
                types.isEmpty() ? QStringLiteral("none") : QStringLiteral("coin types ") + types.join(QStringLiteral(", ")));
    }
    for (int t = 0; t < 16 && r.left() > 0; ++t) {
        const int credit = r.byte(r.at());
        r.field(1, QStringLiteral("credit of %1").arg(coinName(t)),
                credit == 0xFF ? QStringLiteral("a token") : QStringLiteral("%1: %2").arg(credit).arg(r.money(credit, setup)));
    }
}

void identification(Reading &r, int dataBytes, bool options)
{
    r.expect(dataBytes);
    const struct { int length; const char *name; } parts[] = {
        {3, "manufacturer code"}, {12, "serial number"}, {12, "model"},
    };
    for (const auto &part : parts) {
        if (r.left() < part.length) {
            r.rest();
            return;
        }
        r.field(part.length, QString::fromLatin1(part.name), r.text(part.length));
    }
    if (r.left() >= 2)
        r.field(2, QStringLiteral("software version"), r.version(r.at()));
    if (options && r.left() >= 4) {
        const quint32 bits = quint32(r.word(r.at())) << 16 | r.word(r.at() + 2);
        QStringList set;
        for (int b = 0; b < 32; ++b)
            if (bits & (1u << b))
                set << QString::number(b);
        r.field(4, QStringLiteral("optional features"),
                set.isEmpty() ? QStringLiteral("none") : QStringLiteral("bits ") + set.join(QStringLiteral(", ")));
    }
}

void changerPayoutStatus(Reading &r)
{
    for (int t = 0; t < 16 && r.left() > 0; ++t)
        r.field(1, QStringLiteral("paid out of %1").arg(coinName(t)), QStringLiteral("%1 coins").arg(r.byte(r.at())));
}

// ---- bill validator ---------------------------------------------------------------------------

void validatorPoll(Reading &r)
{
    while (r.left() > 0) {
        const quint8 b = r.byte(r.at());
        if (b & 0x80)
            r.field(1, QStringLiteral("bill"), QStringLiteral("%1 %2").arg(billName(b & 0x0F), QLatin1String(kBillRouting[(b >> 4) & 0x07])));
        else if ((b & 0xE0) == 0x40)
            r.field(1, QStringLiteral("attempts while disabled"), QString::number(b & 0x1F));
        else
            r.field(1, QStringLiteral("status"), QStringLiteral("%1: %2").arg(hex(b), named(kValidatorStatus, b)));
    }
}

void validatorSetup(Reading &r)
{
    r.expect(27);
    if (r.left() < 6) {
        r.rest();
        return;
    }
    const MoneySetup setup = setupHead(r, 2, QStringLiteral("bill scaling factor"));
    if (r.left() >= 2)
        r.field(2, QStringLiteral("stacker capacity"), QStringLiteral("%1 bills").arg(r.word(r.at())));
    if (r.left() >= 2) {
        const quint16 security = r.word(r.at());
        r.field(2, QStringLiteral("security levels"),
                QStringLiteral("high security for bill types with bits %1")
                    .arg(QStringLiteral("%1").arg(security, 4, 16, QLatin1Char('0')).toUpper()));
    }
    if (r.left() >= 1) {
        const quint8 escrow = r.byte(r.at());
        r.field(1, QStringLiteral("escrow"), escrow == 0xFF ? QStringLiteral("can hold a bill in escrow")
                                             : escrow == 0 ? QStringLiteral("no escrow")
                                                           : QStringLiteral("%1 (not understood)").arg(hex(escrow)));
    }
    for (int t = 0; t < 16 && r.left() > 0; ++t) {
        const int credit = r.byte(r.at());
        r.field(1, QStringLiteral("credit of %1").arg(billName(t)), QStringLiteral("%1: %2").arg(credit).arg(r.money(credit, setup)));
    }
}

void validatorStacker(Reading &r)
{
    r.expect(2);
    if (r.left() < 2) {
        r.rest();
        return;
    }
    const quint16 word = r.word(r.at());
    r.field(2, QStringLiteral("stacker"), QStringLiteral("%1, %2 bills").arg(word & 0x8000 ? QStringLiteral("full") : QStringLiteral("not full")).arg(word & 0x7FFF));
}

// ---- cashless reader --------------------------------------------------------------------------

// The reader's responses, by their first byte. A response with an amount has it in the two bytes
// after its code; the others with data are read by readerDetails.
enum class ReaderData { None, Amount, Configuration, Display, Identification, ErrorCode };
struct ReaderResponse
{
    quint8 code;
    const char *name;
    ReaderData data;
    const char *amount;
};
const ReaderResponse kReaderResponses[] = {
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

void readerReply(Reading &r)
{
    Decoded &d = r.decoded();
    const quint8 code = r.byte(r.at());
    const auto found = std::find_if(std::begin(kReaderResponses), std::end(kReaderResponses),
                                    [code](const ReaderResponse &response) { return response.code == code; });
    if (found == std::end(kReaderResponses)) {
        d.reply = QStringLiteral("unknown response");
        return;
    }
    d.reply = QString::fromLatin1(found->name);
    r.field(1, QStringLiteral("response"), d.reply);
    switch (found->data) {
    case ReaderData::None:
        break;
    case ReaderData::Amount:
        r.expect(3);
        if (r.left() >= 2)
            r.field(2, QString::fromLatin1(found->amount), r.money(r.word(r.at()), r.context().reader));
        break;
    case ReaderData::Configuration:
        r.expect(8);
        if (r.left() < 5)
            break;
        setupHead(r, 1, QStringLiteral("scale factor"));
        if (r.left() >= 1)
            r.field(1, QStringLiteral("maximum response time"), QStringLiteral("%1 s").arg(r.byte(r.at())));
        if (r.left() >= 1)
            r.field(1, QStringLiteral("options"), QStringLiteral("bits %1").arg(hex(r.byte(r.at()))));
        break;
    case ReaderData::Display:
        if (r.left() >= 1)
            r.field(1, QStringLiteral("display time"), QStringLiteral("%1 s").arg(r.byte(r.at()) / 10.0));
        if (r.left() > 0)
            r.field(r.left(), QStringLiteral("text"), r.text(r.left()));
        break;
    case ReaderData::Identification:
        identification(r, 30, r.left() >= 33);
        break;
    case ReaderData::ErrorCode:
        if (r.left() >= 1)
            r.field(1, QStringLiteral("error code"), hex(r.byte(r.at())));
        break;
    }
}

// ---- telling the device and the reply ---------------------------------------------------------

quint8 pendingCommand(const Context &c) { return c.pendingFrame.isEmpty() ? 0 : quint8(c.pendingFrame[0]); }
int pendingSub(const Context &c) { return c.pendingFrame.size() > 1 ? quint8(c.pendingFrame[1]) : -1; }

void parse(Decoded &d)
{
    // Pairs of upper-case hex digits with single blanks between: read as far as the text keeps
    // to that form.
    const QString &t = d.text;
    const auto isHex = [](QChar c) { return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F'); };
    int i = 0;
    while (i < t.size()) {
        if (i + 1 < t.size() && isHex(t[i]) && isHex(t[i + 1])) {
            d.bytes.append(quint8(t.mid(i, 2).toUInt(nullptr, 16)));
            i += 2;
            if (i == t.size())
                return;
            if (t[i] == u' ' && i + 1 < t.size() && t[i + 1] != u' ') {
                ++i;
                continue;
            }
        }
        break;
    }
    d.stoppedAt = i;
    const QChar c = i < t.size() ? t[i] : QChar();
    if (c == u'\r' || c == u'\n')
        d.stopReason = QStringLiteral("a line end");
    else if (i + 1 < t.size() && isHex(t[i].toUpper()) && isHex(t[i + 1].toUpper()))
        d.stopReason = QStringLiteral("lower-case hex digits (the board sends upper case)");
    else if (c == u' ')
        d.stopReason = QStringLiteral("a blank where the next byte should be");
    else
        d.stopReason = QStringLiteral("a character that is no hex digit pair (code %1)").arg(c.unicode());
}

} // namespace

QString currencyName(quint16 code)
{
    const std::optional<int> digits = bcd(code);
    if (!digits)
        return QStringLiteral("%1 (not BCD; %2 in decimal)").arg(digits4(code)).arg(code);
    const Currency *c = currencyOf(code);
    if (*digits >= 1000)
        return QStringLiteral("%1 (ISO 4217 %2%3)")
            .arg(digits4(code)).arg(*digits % 1000, 3, 10, QLatin1Char('0'))
            .arg(c ? QStringLiteral(", ") + QLatin1String(c->name) : QString());
    return QStringLiteral("%1 (telephone code %2%3)")
        .arg(digits4(code)).arg(*digits)
        .arg(c ? QStringLiteral(", ") + QLatin1String(c->name) : QString());
}

Decoded decode(const QString &text, const Context &context)
{
    Decoded d;
    d.text = text;
    parse(d);
    if (d.bytes.isEmpty()) {
        d.notes << QStringLiteral("No bytes to decode.");
        return d;
    }

    Reading r(d, context);
    const quint8 first = d.bytes.first();
    const quint8 command = pendingCommand(context);
    const int sub = pendingSub(context);
    const auto addressOf = [](quint8 b) {
        if (b == 0x08)
            return Device::Changer;
        if (b == 0x30)
            return Device::Validator;
        if (b == 0x10)
            return Device::Reader;
        return Device::Unknown;
    };
    d.device = addressOf(first);
    bool addressed = d.device != Device::Unknown;
    if (addressed) {
        d.why << QStringLiteral("The address byte %1.").arg(hex(first));
    } else if (command) {
        // A reply without its address: the frame just sent says whose it is.
        d.device = addressOf(quint8(command & 0xF8));
        if (d.device != Device::Unknown)
            d.why << QStringLiteral("No address byte; the pending frame %1 went to that device.")
                         .arg(QString::fromLatin1(context.pendingFrame.toHex(' ').toUpper()));
    }
    static const char *const kDeviceNames[] = {"unknown device", "coin changer (08)",
                                               "bill validator (30)", "cashless reader (10)"};
    d.deviceName = QString::fromLatin1(kDeviceNames[int(d.device)]);
    if (addressed)
        r.field(1, QStringLiteral("address"), d.deviceName);
    const int data = r.left();
    const QString pending = QString::fromLatin1(context.pendingFrame.toHex(' ').toUpper());
    const auto byPending = [&](const QString &what) {
        d.why << QStringLiteral("The pending frame %1 asked for %2.").arg(pending, what);
    };
    const auto byLength = [&](int length) {
        d.why << QStringLiteral("%1 data bytes: the length of a %2 reply.").arg(length).arg(d.reply);
    };

    switch (d.device) {
    case Device::Changer:
        if (command == 0x09 || (command == 0 && data == 23)) {
            d.reply = QStringLiteral("SETUP");
            command ? byPending(d.reply) : byLength(23);
            changerSetup(r);
        } else if (command == 0x0A || (command == 0 && data == 18)) {
            d.reply = QStringLiteral("TUBE STATUS");
            command ? byPending(d.reply) : byLength(18);
            changerTubeStatus(r);
        } else if ((command == 0x0F && sub == 0x00) || (command == 0 && data == 33)) {
            d.reply = QStringLiteral("EXPANSION IDENTIFICATION");
            command ? byPending(d.reply) : byLength(33);
            identification(r, 33, true);
        } else if (command == 0x0F && sub == 0x04) {
            d.reply = QStringLiteral("PAYOUT STATUS");
            byPending(d.reply);
            changerPayoutStatus(r);
        } else if (command == 0x0F && sub == 0x03) {
            d.reply = QStringLiteral("PAYOUT VALUE POLL");
            byPending(d.reply);
            if (r.left() > 0)
                r.field(1, QStringLiteral("paid out so far"), r.money(r.byte(r.at()), context.changer));
        } else {
            d.reply = QStringLiteral("POLL");
            d.why << QStringLiteral("Changer activity: coins in and out, and status codes.");
            changerPoll(r);
        }
        break;
    case Device::Validator:
        if (command == 0x31 || (command == 0 && data == 27)) {
            d.reply = QStringLiteral("SETUP");
            command ? byPending(d.reply) : byLength(27);
            validatorSetup(r);
        } else if (command == 0x36) {
            d.reply = QStringLiteral("STACKER");
            byPending(d.reply);
            validatorStacker(r);
        } else if ((command == 0x37 && (sub == 0x00 || sub == 0x02)) || (command == 0 && data == 29)) {
            d.reply = QStringLiteral("IDENTIFICATION");
            command ? byPending(d.reply) : byLength(29);
            identification(r, sub == 0x02 ? 33 : 29, sub == 0x02);
        } else {
            d.reply = QStringLiteral("POLL");
            d.why << QStringLiteral("Validator activity: bills and status codes.");
            validatorPoll(r);
        }
        break;
    case Device::Reader:
        if (r.left() > 0)
            readerReply(r);
        d.why << QStringLiteral("The reader's response code %1.")
                     .arg(d.bytes.size() > 1 ? hex(d.bytes.at(1)) : QStringLiteral("(none)"));
        break;
    case Device::Unknown:
        d.reply = QStringLiteral("unknown");
        d.why << QStringLiteral("The first byte %1 is no peripheral's address, and no frame was "
                                "sent that would tell.").arg(hex(first));
        break;
    }
    r.rest();

    if (r.unitsOnly()) {
        static const char *const kSetupOf[] = {"", "coin changer", "bill validator", "cashless reader"};
        d.notes << QStringLiteral("Money in units: no SETUP reply of the %1 was seen in this run.")
                       .arg(QLatin1String(kSetupOf[int(d.device)]));
    }
    if (d.stoppedAt >= 0)
        d.notes << QStringLiteral("Reading stopped at character %1: %2.").arg(d.stoppedAt + 1).arg(d.stopReason);
    return d;
}

QStringList describe(const Decoded &d)
{
    QStringList lines;
    QString raw = d.text;
    for (QChar &c : raw)
        if (c.unicode() < 0x20)
            c = QChar(0x2400 + c.unicode());
    lines << QStringLiteral("Text: %1").arg(raw);
    QStringList bytes;
    for (int i = 0; i < d.bytes.size(); ++i)
        bytes << QStringLiteral("%1:%2").arg(i).arg(hex(d.bytes.at(i)));
    lines << QStringLiteral("Bytes: %1").arg(bytes.isEmpty() ? QStringLiteral("none") : bytes.join(QLatin1Char(' ')));
    lines << QStringLiteral("Device: %1").arg(d.deviceName);
    lines << QStringLiteral("Reply: %1").arg(d.reply);
    for (const QString &why : d.why)
        lines << QStringLiteral("  because: %1").arg(why);
    for (const Field &f : d.fields) {
        const QString where = f.length > 1 ? QStringLiteral("%1-%2").arg(f.offset).arg(f.offset + f.length - 1)
                                           : QString::number(f.offset);
        lines << QStringLiteral("[%1] %2: %3").arg(where, f.name, f.value);
    }
    for (const QString &note : d.notes)
        lines << QStringLiteral("Note: %1").arg(note);
    return lines;
}

} // namespace kestrel::details
