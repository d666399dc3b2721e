#include "decode/replyreading.h"

#include "core/table.h"
#include "mdb/denominations.h"

namespace kestrel::decode::details {

namespace {

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
const core::Table<Currency> kIso = kIsoRows;
const core::Table<Currency> kTelephone = kTelephoneRows;

} // namespace

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

// The head that the three devices' SETUP replies share: feature level, currency, scaling factor
// (one or two bytes) and decimal places. The scaling factor's name is the device's own.
MoneySetup setupHead(Reading &r, int scalingBytes, const QString &scalingName)
{
    MoneySetup setup;
    setup.level = r.byte(r.at());
    r.field(1, QStringLiteral("feature level"), QString::number(setup.level), mdb::FieldId::FeatureLevel, -1, setup.level);
    setup.currency = r.word(r.at());
    r.field(2, QStringLiteral("country or currency"), currencyName(setup.currency));
    setup.scaling = scalingBytes == 2 ? r.word(r.at()) : r.byte(r.at());
    r.field(scalingBytes, scalingName, QString::number(setup.scaling));
    setup.decimals = r.byte(r.at());
    r.field(1, QStringLiteral("decimal places"), QString::number(setup.decimals));
    r.decoded().setup = setup;
    return setup;
}

void identification(Reading &r, int dataBytes, bool options)
{
    r.expect(dataBytes);
    const struct { int length; const char *name; mdb::FieldId id; } parts[] = {
        {3, "manufacturer code", mdb::FieldId::ManufacturerCode},
        {12, "serial number", mdb::FieldId::SerialNumber},
        {12, "model", mdb::FieldId::Model},
    };
    for (const auto &part : parts) {
        if (r.left() < part.length) {
            r.rest();
            return;
        }
        r.field(part.length, QString::fromLatin1(part.name), r.text(part.length), part.id);
    }
    if (r.left() >= 2)
        r.field(2, QStringLiteral("software version"), r.version(r.at()), mdb::FieldId::SoftwareVersion);
    if (options && r.left() >= 4) {
        const quint32 bits = quint32(r.word(r.at())) << 16 | r.word(r.at() + 2);
        QStringList named;
        for (const QString &bit : mdb::bitsSet(bits, 32))
            named << QStringLiteral("%1 (bit %2)").arg(mdb::featureName(r.decoded().device, bit.toInt()), bit);
        r.field(4, QStringLiteral("optional features"), named.isEmpty() ? QStringLiteral("none") : named.join(QStringLiteral(", ")),
                mdb::FieldId::OptionalFeatures, -1, bits);
    }
}

QString Reading::money(qint64 units)
{
    const std::optional<MoneySetup> &setup = m_context.known.of(m_d.device);
    return money(units, setup);
}

QString Reading::money(qint64 units, const std::optional<MoneySetup> &setup)
{
    if (!setup) {
        m_unitsOnly = true;
        return QStringLiteral("%1 units").arg(units);
    }
    const QString amount = mdb::moneyText(units, *setup);
    const Currency *c = currencyOf(setup->currency);
    return c ? QStringLiteral("%1 %2").arg(amount, QLatin1String(c->alpha))
             : QStringLiteral("%1 (currency %2)").arg(amount, digits4(setup->currency));
}

} // namespace kestrel::decode::details
