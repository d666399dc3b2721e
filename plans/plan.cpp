#include "plans/plan.h"

#include <QCryptographicHash>

#include "core/shown.h"
#include "mdb/denominations.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <cmath>

namespace kestrel::plans {

namespace {

// A plan's line in words: bare words split at blanks, and "quoted" texts kept whole.
struct Token
{
    QString text;
    bool quoted = false;
};

struct Tabs
{
    Device device;
    const char *word;
    const core::Table<commands::CommandRow> *rows;
};
const Tabs kTabs[] = {
    {Device::Changer, "changer", &commands::kCoinChanger},
    {Device::Validator, "validator", &commands::kBillValidator},
    {Device::Cashless, "cashless", &commands::kCashless},
};

// A word of the plan as an error shows it: escaped, and cut to about sixty characters.
QString echo(const QString &text)
{
    return core::escapedText(text, 60);
}

// A fault in the plan's text, at its line.
struct PlanError
{
    QString message;
};

QList<Token> tokenize(const QString &line)
{
    QList<Token> tokens;
    int i = 0;
    while (i < line.size()) {
        const QChar c = line[i];
        if (c.isSpace()) {
            ++i;
        } else if (c == QLatin1Char('#')) {
            break;
        } else if (c == QLatin1Char('"')) {
            const int close = line.indexOf(QLatin1Char('"'), i + 1);
            if (close < 0)
                throw PlanError{QStringLiteral("unclosed quote")};
            tokens.append({line.mid(i + 1, close - i - 1), true});
            i = close + 1;
        } else {
            int end = i;
            while (end < line.size() && !line[end].isSpace() && line[end] != QLatin1Char('"')
                   && line[end] != QLatin1Char('#'))
                ++end;
            tokens.append({line.mid(i, end - i), false});
            i = end;
        }
    }
    return tokens;
}

// The words of a step, read from the left; each read names what it wanted when it fails.
class Words
{
public:
    explicit Words(QList<Token> tokens) : m_tokens(std::move(tokens)) {}

    bool atEnd() const { return m_at >= m_tokens.size(); }
    const Token *peek() const { return atEnd() ? nullptr : &m_tokens[m_at]; }
    bool nextIs(const char *word) const
    {
        const Token *t = peek();
        return t && !t->quoted && t->text == QLatin1String(word);
    }
    Token take(const QString &what)
    {
        if (atEnd())
            throw PlanError{QStringLiteral("%1 expected").arg(what)};
        return m_tokens[m_at++];
    }
    QString quoted(const QString &what)
    {
        const Token t = take(what);
        if (!t.quoted)
            throw PlanError{QStringLiteral("%1 expected in double quotes, not %2").arg(what, echo(t.text))};
        return t.text;
    }
    QString word(const QString &what) { return take(what).text; }
    void expectWord(const char *word)
    {
        const Token t = take(QStringLiteral("\"%1\"").arg(QLatin1String(word)));
        if (t.quoted || t.text != QLatin1String(word))
            throw PlanError{QStringLiteral("\"%1\" expected, not %2").arg(QLatin1String(word), echo(t.text))};
    }
    void end()
    {
        if (!atEnd())
            throw PlanError{QStringLiteral("unexpected %1 at the end of the step").arg(echo(m_tokens[m_at].text))};
    }

private:
    QList<Token> m_tokens;
    int m_at = 0;
};

Milliseconds duration(const QString &text)
{
    static const QRegularExpression form(QStringLiteral("^([0-9]+(?:\\.[0-9]+)?)(ms|s)$"));
    const QRegularExpressionMatch m = form.match(text);
    if (!m.hasMatch())
        throw PlanError{QStringLiteral("bad time %1 (write it as 500ms or 2s)").arg(echo(text))};
    const double value = m.captured(1).toDouble() * (m.captured(2) == QLatin1String("s") ? 1000 : 1);
    if (value < 1 || value > double(kLongestWait.count()))
        throw PlanError{QStringLiteral("bad time %1 (from 1ms to %2s)").arg(echo(text)).arg(kLongestWait.count() / 1000)};
    return Milliseconds(qint64(std::llround(value)));
}

ReplyPattern pattern(const QString &text)
{
    ReplyPattern tokens;
    for (const QString &part : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        bool ok = false;
        const uint byte = part.toUInt(&ok, 16);
        if (part == QLatin1String("*"))
            tokens.append({true, 0});
        else if (part.size() == 2 && ok)
            tokens.append({false, quint8(byte)});
        else
            throw PlanError{QStringLiteral("reply pattern \"%1\" is not hex bytes (two hex digits each, "
                                           "or * for any bytes)").arg(echo(text))};
    }
    if (tokens.isEmpty())
        throw PlanError{QStringLiteral("empty reply pattern")};
    return tokens;
}

QString captionsOf(const Tabs &tab)
{
    QStringList captions;
    for (const commands::CommandRow &row : *tab.rows)
        if (!captions.contains(QString::fromLatin1(row.caption)))
            captions << QString::fromLatin1(row.caption);
    if (tab.device == Device::Validator)
        captions << QString::fromLatin1(commands::kEscrowOn.caption)
                 << QString::fromLatin1(commands::kEscrowOff.caption);
    return QStringLiteral("\"") + captions.join(QStringLiteral("\", \"")) + QStringLiteral("\"");
}

// The button a `press` names: by its caption on one tab, or on the tab named before it.
Button button(Words &words)
{
    const Tabs *only = nullptr;
    if (const Token *t = words.peek(); t && !t->quoted) {
        for (const Tabs &tab : kTabs)
            if (t->text == QLatin1String(tab.word))
                only = &tab;
        if (!only)
            throw PlanError{QStringLiteral("unknown device %1 (changer, validator or cashless)").arg(echo(t->text))};
        words.take({});
    }
    const QString caption = words.quoted(QStringLiteral("a button's caption"));
    QList<Button> found;
    for (const Tabs &tab : kTabs) {
        if (only && only != &tab)
            continue;
        const auto row = std::find_if(tab.rows->begin(), tab.rows->end(), [&](const commands::CommandRow &r) {
            return caption == QLatin1String(r.caption);
        });
        if (row != tab.rows->end())
            found.append({tab.device, row, caption});
        else if (tab.device == Device::Validator
                 && (caption == QLatin1String(commands::kEscrowOn.caption)
                     || caption == QLatin1String(commands::kEscrowOff.caption)))
            found.append({tab.device, nullptr, caption});
    }
    if (found.size() > 1) {
        QStringList tabs;
        for (const Tabs &tab : kTabs)
            for (const Button &b : found)
                if (b.device == tab.device)
                    tabs << QString::fromLatin1(tab.word);
        throw PlanError{QStringLiteral("\"%1\" is on more than one tab: name the device (%2)")
                            .arg(echo(caption), tabs.join(QStringLiteral(", ")))};
    }
    if (found.isEmpty()) {
        if (only)
            throw PlanError{QStringLiteral("no button \"%1\" on the %2 tab (its buttons: %3)")
                                .arg(echo(caption), QLatin1String(only->word), captionsOf(*only))};
        throw PlanError{QStringLiteral("no button \"%1\" on any tab").arg(echo(caption))};
    }
    return found.first();
}

QString tallyName(Words &words)
{
    const QString name = words.word(QStringLiteral("a coin or bill"));
    for (const auto &coin : denominations::kCoins)
        if (name.compare(QLatin1String(coin.name), Qt::CaseInsensitive) == 0)
            return QString::fromLatin1(coin.name);
    for (const auto &bill : denominations::kBills)
        if (name == QLatin1String(bill.name))
            return QString::fromLatin1(bill.name);
    QStringList names;
    for (const auto &coin : denominations::kCoins)
        names << QString::fromLatin1(coin.name);
    for (const auto &bill : denominations::kBills)
        names << QString::fromLatin1(bill.name);
    throw PlanError{QStringLiteral("no tally %1 (the tallies: %2)").arg(echo(name), names.join(QStringLiteral(", ")))};
}

QString tubeCoin(Words &words)
{
    const QString name = words.word(QStringLiteral("a coin with a tube"));
    for (const auto &coin : denominations::kCoins)
        if (coin.hasTube && name.compare(QLatin1String(coin.name), Qt::CaseInsensitive) == 0)
            return QString::fromLatin1(coin.name);
    throw PlanError{QStringLiteral("no tube for %1 (the tubes: Nickel, Dime, Quarter)").arg(echo(name))};
}

int whole(const QString &text, bool signedChange)
{
    static const QRegularExpression count(QStringLiteral("^[0-9]{1,5}$"));
    static const QRegularExpression change(QStringLiteral("^[+-]?[0-9]{1,5}$"));
    if (!(signedChange ? change : count).match(text).hasMatch())
        throw PlanError{QStringLiteral("%1 is not a %2").arg(echo(text), signedChange ? QStringLiteral("change such as -1 or +2")
                                                                              : QStringLiteral("count"))};
    return text.toInt();
}

qint64 cents(const QString &text)
{
    static const QRegularExpression amount(QStringLiteral("^([0-9]{1,9})(?:\\.([0-9]{2}))?$"));
    const QRegularExpressionMatch m = amount.match(text);
    if (!m.hasMatch())
        throw PlanError{QStringLiteral("%1 is not an amount such as 0.25 or 5.00").arg(echo(text))};
    return m.captured(1).toLongLong() * 100 + m.captured(2).toLongLong();
}

// `send DEVICE NAME name=value...` or `send "RAW BYTES"`: the names and the form of the values are
// checked now, the frame made when the step runs.
Send send(Words &words)
{
    Send s;
    const Token *t = words.peek();
    if (t && t->quoted) {
        const mdb::Composed raw = mdb::composeRaw(words.quoted({}));
        if (!raw.error.isEmpty())
            throw PlanError{raw.error};
        if (mdb::peripheralOf(quint8(raw.frame[0])) == mdb::Peripheral::Unknown)
            throw PlanError{QStringLiteral("%1 addresses no peripheral of the console (08 to 0F, 10 to 17, 30 to 37)")
                                .arg(mdb::hex(raw.frame))};
        s.raw = raw.frame;
        return s;
    }
    const QString device = words.word(QStringLiteral("a device (changer, validator or cashless) or a raw frame in quotes"));
    const Tabs *tab = nullptr;
    for (const Tabs &each : kTabs)
        if (device == QLatin1String(each.word))
            tab = &each;
    if (!tab)
        throw PlanError{QStringLiteral("unknown device %1 (changer, validator or cashless)").arg(echo(device))};
    const mdb::Peripheral peripheral = tab->device == Device::Changer     ? mdb::Peripheral::Changer
                                       : tab->device == Device::Validator ? mdb::Peripheral::Validator
                                                                          : mdb::Peripheral::Reader;
    const QString name = words.take(QStringLiteral("a command's name")).text;
    s.command = mdb::commandNamed(peripheral, name);
    if (!s.command || !s.command->vmcCommand) {
        QStringList names;
        for (const mdb::CommandSpec &c : mdb::kCommandSet)
            if (c.peripheral == peripheral && c.vmcCommand)
                names << QString::fromLatin1(c.name);
        throw PlanError{QStringLiteral("the %1 has no command %2 (its commands: %3)")
                            .arg(mdb::nameOf(peripheral), echo(name), names.join(QStringLiteral(", ")))};
    }
    QStringList rest;
    while (!words.atEnd())
        rest << words.take({}).text;
    QString error;
    const std::optional<QList<mdb::Given>> given = mdb::splitGiven(rest, &error);
    if (!given)
        throw PlanError{echo(error)};
    s.given = *given;
    // Everything but money can be checked now; money waits for the peripheral's SETUP reply.
    const mdb::Composed trial = mdb::compose(*s.command, s.given);
    if (!trial.error.isEmpty() && !trial.needsSetup)
        throw PlanError{echo(trial.error)};
    return s;
}

Action check(Words &words)
{
    const QString what = words.word(QStringLiteral("what to check (tally, total, status, tube, payout or reply)"));
    if (what == QLatin1String("tally")) {
        CheckTally c{tallyName(words), 0};
        words.expectWord("=");
        c.count = whole(words.word(QStringLiteral("a count")), false);
        return c;
    }
    if (what == QLatin1String("total")) {
        words.expectWord("=");
        return CheckTotal{cents(words.word(QStringLiteral("an amount")))};
    }
    if (what == QLatin1String("status")) {
        words.expectWord("=");
        return CheckStatus{words.quoted(QStringLiteral("the status text"))};
    }
    if (what == QLatin1String("tube")) {
        CheckTube c{tubeCoin(words), 0};
        c.change = whole(words.word(QStringLiteral("the tube's change")), true);
        return c;
    }
    if (what == QLatin1String("payout"))
        return CheckPayout{};
    if (what == QLatin1String("reply")) {
        CheckReply c{words.quoted(QStringLiteral("the reply field's name")), {}};
        words.expectWord("=");
        c.value = words.quoted(QStringLiteral("the field's value"));
        return c;
    }
    throw PlanError{QStringLiteral("cannot check %1 (tally, total, status, tube, payout or reply)").arg(echo(what))};
}

// One step, or nothing for a `plan` title line (which sets `title`).
std::optional<Action> step(Words &words, QString &title)
{
    const Token verb = words.take(QStringLiteral("a step"));
    if (verb.quoted)
        throw PlanError{QStringLiteral("a step begins with a verb (press, send, expect, ask, wait, check), not \"%1\"").arg(echo(verb.text))};
    std::optional<Action> action;
    if (verb.text == QLatin1String("plan")) {
        title = words.quoted(QStringLiteral("the plan's title"));
    } else if (verb.text == QLatin1String("press")) {
        action = Press{button(words)};
    } else if (verb.text == QLatin1String("expect")) {
        Expect e{{pattern(words.quoted(QStringLiteral("a reply pattern")))}, kDefaultWithin};
        while (words.nextIs("or")) {
            words.take({});
            e.patterns.append(pattern(words.quoted(QStringLiteral("a reply pattern"))));
        }
        if (words.nextIs("within")) {
            words.take({});
            e.within = duration(words.word(QStringLiteral("a time")));
        }
        action = e;
    } else if (verb.text == QLatin1String("ask")) {
        action = Ask{words.quoted(QStringLiteral("what to ask"))};
    } else if (verb.text == QLatin1String("wait")) {
        action = Wait{duration(words.word(QStringLiteral("a time")))};
    } else if (verb.text == QLatin1String("check")) {
        action = check(words);
    } else if (verb.text == QLatin1String("send")) {
        action = send(words);
    } else {
        throw PlanError{QStringLiteral("unknown verb %1 (press, send, expect, ask, wait, check)").arg(echo(verb.text))};
    }
    words.end();
    return action;
}

} // namespace

bool matches(const ReplyPattern &pattern, const QString &replyText)
{
    QList<int> bytes;
    for (const QString &part : replyText.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts)) {
        bool ok = false;
        const uint byte = part.toUInt(&ok, 16);
        if (part.size() != 2 || !ok)
            return false;   // not hex bytes: a notice, noise
        bytes.append(int(byte));
    }
    // Byte by byte, a `*` taking any run: the classic wildcard walk with one point to go back to.
    int p = 0, b = 0, star = -1, resume = 0;
    while (b < bytes.size()) {
        if (p < pattern.size() && !pattern[p].any && pattern[p].byte == bytes[b]) {
            ++p;
            ++b;
        } else if (p < pattern.size() && pattern[p].any) {
            star = p++;
            resume = b;
        } else if (star >= 0) {
            p = star + 1;
            b = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p].any)
        ++p;
    return p == pattern.size();
}

QString patternText(const ReplyPattern &pattern)
{
    QStringList parts;
    for (const PatternToken &t : pattern)
        parts << (t.any ? QStringLiteral("*") : QStringLiteral("%1").arg(t.byte, 2, 16, QLatin1Char('0')).toUpper());
    return parts.join(QLatin1Char(' '));
}

Parsed parse(const QString &text, const QString &fileName)
{
    Plan plan;
    plan.name = fileName;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        QString line = lines[i];
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        try {
            Words words(tokenize(line));
            if (words.atEnd())
                continue;
            if (std::optional<Action> action = step(words, plan.title))
                plan.steps.append({i + 1, line.trimmed(), *action});
        } catch (const PlanError &error) {
            return {std::nullopt, QStringLiteral("%1:%2: %3").arg(fileName).arg(i + 1).arg(error.message)};
        }
    }
    if (plan.steps.isEmpty())
        return {std::nullopt, QStringLiteral("%1:%2: the plan has no steps").arg(fileName).arg(lines.size())};
    if (plan.title.isEmpty())
        plan.title = fileName;
    plan.digest = QString::fromLatin1(QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Sha256).toHex().left(16));
    return {plan, {}};
}

Parsed load(const QString &nameOrPath)
{
    for (const BuiltIn &builtIn : builtIns())
        if (nameOrPath == QLatin1String(builtIn.name))
            return parse(QString::fromUtf8(builtIn.text), nameOrPath);
    QFile file(nameOrPath);
    if (!QFileInfo(nameOrPath).isFile()) {
        QStringList names;
        for (const BuiltIn &builtIn : builtIns())
            names << QLatin1String(builtIn.name);
        return {std::nullopt, QStringLiteral("%1:1: no such plan file, and no built-in plan of that name (%2)")
                                  .arg(nameOrPath, names.join(QStringLiteral(", ")))};
    }
    // A plan is a few dozen lines; anything far larger is not one.
    constexpr qint64 kLargest = 1 << 20;
    if (file.size() > kLargest)
        return {std::nullopt, QStringLiteral("%1:1: too large for a plan (over 1 MB)").arg(nameOrPath)};
    if (!file.open(QIODevice::ReadOnly))
        return {std::nullopt, QStringLiteral("%1:1: cannot be read: %2").arg(nameOrPath, file.errorString())};
    return parse(QString::fromUtf8(file.readAll()), nameOrPath);
}

} // namespace kestrel::plans
