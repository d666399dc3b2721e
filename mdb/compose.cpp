#include "mdb/compose.h"

#include "mdb/denominations.h"

#include <QRegularExpression>

#include <algorithm>

namespace kestrel::mdb {

namespace {

// The most decimal places an amount is written with; a SETUP reply that says more is noise.
constexpr int kMostDecimals = 9;

struct Refused
{
    QString message;
    bool needsSetup = false;
};

qint64 power10(int n)
{
    qint64 p = 1;
    for (int i = 0; i < n; ++i)
        p *= 10;
    return p;
}

QString deviceOf(Peripheral peripheral)
{
    return nameOf(peripheral);
}

// Where the value of a parameter sits: its bit mask within the field.
quint64 fieldMask(const Param &p)
{
    if (p.bits > 0)
        return ((quint64(1) << p.bits) - 1) << p.shift;
    return p.bytes >= 8 ? ~quint64(0) : (quint64(1) << (8 * p.bytes)) - 1;
}

quint64 readField(const QByteArray &frame, const Param &p)
{
    quint64 field = 0;
    for (int i = 0; i < p.bytes && p.bytes <= 8; ++i)
        field = field << 8 | (p.offset + i < frame.size() ? quint8(frame[p.offset + i]) : 0);
    return (field & fieldMask(p)) >> p.shift;
}

void writeField(QByteArray &frame, const Param &p, quint64 value)
{
    quint64 field = 0;
    for (int i = 0; i < p.bytes; ++i)
        field = field << 8 | quint8(frame[p.offset + i]);
    field = (field & ~fieldMask(p)) | ((value << p.shift) & fieldMask(p));
    for (int i = p.bytes - 1; i >= 0; --i, field >>= 8)
        frame[p.offset + i] = char(field & 0xFF);
}

std::optional<qint64> number(const QString &text)
{
    bool ok = false;
    const qint64 value = text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive) ? text.mid(2).toLongLong(&ok, 16)
                                                                                   : text.toLongLong(&ok, 10);
    if (!ok)
        return std::nullopt;
    return value;
}

// An amount written in dollars and cents ("1.25", "$0.40", "5") as units of the peripheral's
// scaling, exactly, or why not.
qint64 moneyUnits(const Param &p, const QString &written, const std::optional<MoneySetup> &setup, Peripheral peripheral)
{
    static const QRegularExpression amount(QStringLiteral("^\\$?([0-9]{1,9})(?:\\.([0-9]{1,9}))?$"));
    const QRegularExpressionMatch m = amount.match(written);
    if (!m.hasMatch())
        throw Refused{QStringLiteral("%1 = %2 is not an amount such as 1.25").arg(QLatin1String(p.name), written)};
    if (!setup)
        throw Refused{QStringLiteral("%1 is money, and the %2's scaling is not known: its SETUP reply has not been "
                                     "read in this session (send SETUP first)")
                          .arg(QLatin1String(p.name), deviceOf(peripheral)), true};
    if (setup->decimals < 0 || setup->decimals > kMostDecimals)
        throw Refused{QStringLiteral("%1 is money, and the %2's SETUP reply gave %3 decimal places, which no money has")
                          .arg(QLatin1String(p.name), deviceOf(peripheral)).arg(setup->decimals)};
    QString fraction = m.captured(2);
    while (fraction.size() > setup->decimals && fraction.endsWith(QLatin1Char('0')))
        fraction.chop(1);
    if (fraction.size() > setup->decimals)
        throw Refused{QStringLiteral("%1 = %2 has more decimal places than the %3's %4")
                          .arg(QLatin1String(p.name), written, deviceOf(peripheral)).arg(setup->decimals)};
    const qint64 minor = m.captured(1).toLongLong() * power10(setup->decimals)
                         + fraction.leftJustified(setup->decimals, QLatin1Char('0')).toLongLong();
    const int scaling = std::max(1, setup->scaling);
    if (minor % scaling != 0)
        throw Refused{QStringLiteral("%1 = %2 is not a whole number of the %3's units of %4")
                          .arg(QLatin1String(p.name), written, deviceOf(peripheral), moneyText(1, *setup))};
    return minor / scaling;
}

// A coin or bill type written as its number, or as its coin's or bill's name: the type whose credit
// in the SETUP reply is that coin's value, else the type the console's own tables give it.
qint64 typeNumber(const Param &p, const QString &written, const std::optional<MoneySetup> &setup)
{
    if (const std::optional<qint64> n = number(written))
        return *n;
    const bool coins = p.unit == Unit::CoinType;
    const auto byName = [&](const char *name, qint64 cents, int type) -> std::optional<qint64> {
        if (written.compare(QLatin1String(name), Qt::CaseInsensitive) != 0)
            return std::nullopt;
        if (setup)
            for (int t = 0; t < 16; ++t)
                if (setup->credits[std::size_t(t)] > 0
                    && qint64(setup->credits[std::size_t(t)]) * setup->scaling * 100 == cents * power10(setup->decimals))
                    return t;
        return type;
    };
    if (coins) {
        for (const denominations::Coin &c : denominations::kCoins)
            if (const auto t = byName(c.name, c.cents, c.coinType))
                return *t;
    } else {
        for (const denominations::Bill &b : denominations::kBills)
            if (const auto t = byName(b.name, b.cents, b.billType))
                return *t;
    }
    QStringList names;
    if (coins)
        for (const denominations::Coin &c : denominations::kCoins)
            names << QLatin1String(c.name);
    else
        for (const denominations::Bill &b : denominations::kBills)
            names << QLatin1String(b.name);
    throw Refused{QStringLiteral("%1 = %2 is no %3 type: give its number (0 to 15) or one of %4")
                      .arg(QLatin1String(p.name), written, coins ? QStringLiteral("coin") : QStringLiteral("bill"),
                           names.join(QStringLiteral(", ")))};
}

void put(QByteArray &frame, const Param &p, const QString &written, const Known &known, Peripheral peripheral,
         QStringList &values)
{
    const QString name = QLatin1String(p.name);
    const std::optional<MoneySetup> &setup = known.of(peripheral);
    if (p.unit == Unit::Text) {
        if (written.size() > p.bytes)
            throw Refused{QStringLiteral("%1 = %2 is longer than its %3 characters").arg(name, written).arg(p.bytes)};
        for (const QChar c : written)
            if (c.unicode() < 0x20 || c.unicode() > 0x7E)
                throw Refused{QStringLiteral("%1 is ASCII text: no character %2").arg(name).arg(c.unicode())};
        const QByteArray text = written.toLatin1().leftJustified(p.bytes, ' ');
        frame.replace(p.offset, p.bytes, text);
        values << QStringLiteral("%1 = \"%2\"").arg(name, QString::fromLatin1(text));
        return;
    }
    qint64 value = 0;
    QString shown;
    switch (p.unit) {
    case Unit::Money:
        value = moneyUnits(p, written, setup, peripheral);
        shown = QStringLiteral("%1 (%2 units)").arg(moneyText(value, *setup)).arg(value);
        break;
    case Unit::CoinType:
    case Unit::BillType:
        value = typeNumber(p, written, setup);
        shown = QString::number(value);
        break;
    case Unit::Choice: {
        const QStringList choices = QString::fromLatin1(p.choices).split(QLatin1Char(','));
        const qsizetype at = choices.indexOf(written.toLower());
        const std::optional<qint64> n = number(written);
        if (at < 0 && !n)
            throw Refused{QStringLiteral("%1 = %2 is none of %3").arg(name, written, choices.join(QStringLiteral(", ")))};
        value = at >= 0 ? at : *n;
        shown = QStringLiteral("%1 (%2)").arg(choices.value(int(value), QStringLiteral("?"))).arg(value);
        break;
    }
    case Unit::Bcd: {
        static const QRegularExpression digits(QStringLiteral("^[0-9]+$"));
        if (!digits.match(written).hasMatch() || written.size() > 2 * p.bytes)
            throw Refused{QStringLiteral("%1 = %2 is not up to %3 decimal digits").arg(name, written).arg(2 * p.bytes)};
        value = written.toLongLong(nullptr, 16);   // each digit a nibble
        shown = written;
        break;
    }
    default: {
        const std::optional<qint64> n = number(written);
        if (!n)
            throw Refused{QStringLiteral("%1 = %2 is not a number (decimal, or hex as 0x1F)").arg(name, written)};
        value = *n;
        shown = p.unit == Unit::Number ? QString::number(value) : QStringLiteral("0x") + QString::number(value, 16).toUpper();
        break;
    }
    }
    if (p.unit != Unit::Bcd && (value < p.low || value > p.high))
        throw Refused{QStringLiteral("%1 = %2 is out of range: %3 to %4%5")
                          .arg(name, written)
                          .arg(p.unit == Unit::Money && setup ? moneyText(p.low, *setup) : QString::number(p.low))
                          .arg(p.unit == Unit::Money && setup ? moneyText(p.high, *setup) : QString::number(p.high))
                          .arg(p.unit == Unit::Money ? QStringLiteral(" (units of %1)").arg(moneyText(1, *setup)) : QString())};
    if (p.unit == Unit::TypeBytes) {
        for (int t = 0; t < p.bytes; ++t)
            frame[p.offset + t] = char((value >> t) & 1 ? 0x03 : 0x00);
    } else {
        writeField(frame, p, quint64(value));
    }
    values << QStringLiteral("%1 = %2").arg(name, shown);
}

} // namespace

const std::optional<MoneySetup> &Known::of(Peripheral peripheral) const
{
    static const std::optional<MoneySetup> none;
    switch (peripheral) {
    case Peripheral::Changer: return changer;
    case Peripheral::Validator: return validator;
    case Peripheral::Reader: return reader;
    default: return none;
    }
}

QString moneyText(qint64 units, const MoneySetup &setup)
{
    const qint64 minor = units * std::max(1, setup.scaling);
    if (setup.decimals <= 0)
        return QString::number(minor);
    // A SETUP reply of noise can say 200 decimal places: no money has them, and 10^200 is no number.
    if (setup.decimals > kMostDecimals)
        return QStringLiteral("%1 x 10^-%2").arg(minor).arg(setup.decimals);
    const qint64 divisor = power10(setup.decimals);
    return QStringLiteral("%1.%2").arg(minor / divisor).arg(minor % divisor, setup.decimals, 10, QLatin1Char('0'));
}

qint64 cents(qint64 units, const MoneySetup &setup)
{
    const qint64 minor = units * std::max(1, setup.scaling);
    if (setup.decimals > kMostDecimals)
        return 0;
    return setup.decimals <= 2 ? minor * power10(2 - setup.decimals) : minor / power10(setup.decimals - 2);
}

Composed compose(const CommandSpec &spec, const QList<Given> &given, const Known &known)
{
    Composed out;
    try {
        for (int i = 0; i < given.size(); ++i) {
            const auto p = std::find_if(spec.params.begin(), spec.params.end(),
                                        [&](const Param &param) { return given[i].name == QLatin1String(param.name); });
            if (p == spec.params.end()) {
                QStringList names;
                for (const Param &param : spec.params)
                    names << QLatin1String(param.name);
                throw Refused{names.isEmpty() ? QStringLiteral("%1 takes no parameters, not %2").arg(QLatin1String(spec.name), given[i].name)
                                              : QStringLiteral("%1 has no parameter %2 (its parameters: %3)")
                                                    .arg(QLatin1String(spec.name), given[i].name, names.join(QStringLiteral(", ")))};
            }
            for (int j = 0; j < i; ++j)
                if (given[j].name == given[i].name)
                    throw Refused{QStringLiteral("%1 is given twice").arg(given[i].name)};
        }
        QByteArray frame = headOf(spec);
        frame.resize(frameLength(spec), '\0');
        for (const Param &p : spec.params) {
            const auto g = std::find_if(given.begin(), given.end(), [&](const Given &x) { return x.name == QLatin1String(p.name); });
            if (g == given.end() && !p.fallback)
                throw Refused{QStringLiteral("%1 needs %2 (%3)").arg(QLatin1String(spec.name), QLatin1String(p.name), QLatin1String(p.meaning))};
            const QString written = g != given.end() ? g->value.trimmed() : QString::fromLatin1(p.fallback);
            if (written.isEmpty() && p.unit != Unit::Text)
                throw Refused{QStringLiteral("%1 needs a value").arg(QLatin1String(p.name))};
            put(frame, p, written, known, spec.peripheral, out.values);
        }
        out.frame = frame;
    } catch (const Refused &refused) {
        out.error = refused.message;
        out.needsSetup = refused.needsSetup;
        out.values.clear();
        return out;
    }
    const std::optional<MoneySetup> &setup = known.of(spec.peripheral);
    if (setup && setup->level > 0 && setup->level < spec.level)
        out.warning = QStringLiteral("The %1 reported feature level %2; %3 is a level %4 command.")
                          .arg(deviceOf(spec.peripheral)).arg(setup->level).arg(QLatin1String(spec.name)).arg(spec.level);
    return out;
}

Composed composeRaw(const QString &hexText)
{
    Composed out;
    QString digits = hexText;
    digits.remove(QLatin1Char(' '));
    static const QRegularExpression hexDigits(QStringLiteral("^[0-9A-Fa-f]*$"));
    if (digits.isEmpty())
        out.error = QStringLiteral("No bytes: type the frame as hex bytes, such as 0F 05");
    else if (!hexDigits.match(digits).hasMatch())
        out.error = QStringLiteral("%1 is not hex bytes (two hex digits each)").arg(hexText.trimmed());
    else if (digits.size() % 2)
        out.error = QStringLiteral("An odd number of hex digits (%1): each byte is two").arg(digits.size());
    else if (digits.size() / 2 > kLongestFrame)
        out.error = QStringLiteral("%1 bytes: an MDB block holds at most %2").arg(digits.size() / 2).arg(kLongestFrame);
    else
        out.frame = QByteArray::fromHex(digits.toLatin1());
    return out;
}

std::optional<QList<Given>> splitGiven(const QStringList &words, QString *error)
{
    QList<Given> given;
    for (const QString &word : words) {
        const qsizetype eq = word.indexOf(QLatin1Char('='));
        if (eq <= 0) {
            if (error)
                *error = QStringLiteral("%1 is no parameter: write name=value").arg(word);
            return std::nullopt;
        }
        given.append({word.left(eq), word.mid(eq + 1)});
    }
    return given;
}

QString describeParams(const CommandSpec &spec, const QByteArray &frame, const Known &known)
{
    QStringList parts;
    for (const Param &p : spec.params) {
        if (p.offset + p.bytes > frame.size())
            break;
        const QString name = QLatin1String(p.name);
        switch (p.unit) {
        case Unit::Text:
            parts << QStringLiteral("%1=\"%2\"").arg(name, QString::fromLatin1(frame.mid(p.offset, p.bytes)).trimmed());
            break;
        case Unit::TypeBytes: {
            quint32 mask = 0;
            for (int t = 0; t < p.bytes; ++t)
                if (frame[p.offset + t])
                    mask |= 1u << t;
            parts << QStringLiteral("%1=%2").arg(name, hex(QByteArray(1, char(mask >> 8)) + char(mask & 0xFF)).remove(QLatin1Char(' ')));
            break;
        }
        case Unit::Money: {
            const qint64 units = qint64(readField(frame, p));
            const std::optional<MoneySetup> &setup = known.of(spec.peripheral);
            parts << (setup ? QStringLiteral("%1=%2").arg(name, moneyText(units, *setup))
                            : QStringLiteral("%1=%2 units").arg(name).arg(units));
            break;
        }
        case Unit::Mask:
            parts << QStringLiteral("%1=%2").arg(name, hex(frame.mid(p.offset, p.bytes)).remove(QLatin1Char(' ')));
            break;
        case Unit::Choice:
            parts << QStringLiteral("%1=%2").arg(name, QString::fromLatin1(p.choices).split(QLatin1Char(','))
                                                          .value(int(readField(frame, p)), QString::number(readField(frame, p))));
            break;
        case Unit::Bcd:
            parts << QStringLiteral("%1=%2").arg(name, hex(frame.mid(p.offset, p.bytes)).remove(QLatin1Char(' ')));
            break;
        default:
            parts << QStringLiteral("%1=%2").arg(name).arg(readField(frame, p));
            break;
        }
    }
    return parts.join(QLatin1Char(' '));
}

} // namespace kestrel::mdb
