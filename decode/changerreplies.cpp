#include "decode/replyreading.h"

namespace kestrel::decode::details {

// The coin changer's replies: what it reports unasked (coins in and out, status codes), its SETUP,
// TUBE STATUS, identification and payout replies.

namespace {
// A coin event of a POLL reply: its byte, then the count now in the coin's tube.
void withTubeCount(Reading &r, const QString &name, const QString &what)
{
    if (r.left() < 2) {
        r.field(1, name, what + QStringLiteral(", tube count missing"));
        r.decoded().cutShort = true;
    }
    else
        r.field(2, name, what + QStringLiteral("; coins now in the tube: %1").arg(r.byte(r.at() + 1)));
}
} // namespace

void changerPoll(Reading &r)
{
    while (r.left() > 0) {
        const quint8 b = r.byte(r.at());
        if (b & 0x80) {
            const int count = (b >> 4) & 0x07;
            const int before = int(r.decoded().fields.size());
            withTubeCount(r, QStringLiteral("coins dispensed by hand"),
                          QStringLiteral("%1 coin(s) of %2").arg(count).arg(coinName(b & 0x0F)));
            Field &paid = r.decoded().fields[before];
            paid.id = mdb::FieldId::CoinsDispensedByHand;
            paid.type = b & 0x0F;
            paid.number = count;
        } else if (b & 0x40) {
            withTubeCount(r, QStringLiteral("coin deposited"),
                          QStringLiteral("%1 to the %2").arg(coinName(b & 0x0F),
                                                            mdb::named(mdb::kCoinRouting, (b >> 4) & 0x03)));
        } else if (b & 0x20) {
            r.field(1, QStringLiteral("slug"), QStringLiteral("%1 slug(s)").arg(b & 0x1F));
        } else {
            r.field(1, QStringLiteral("status"), QStringLiteral("%1: %2").arg(mdb::hex(b), mdb::named(mdb::kChangerStatus, b)));
        }
    }
}

void changerTubeStatus(Reading &r)
{
    r.expect(18);
    if (r.left() < 2)
        return;
    const quint16 full = r.word(r.at());
    const QStringList fullTubes = mdb::bitsSet(full, 16);
    r.field(2, QStringLiteral("tubes full"), fullTubes.isEmpty() ? QStringLiteral("none")
                                                                  : QStringLiteral("coin types ") + fullTubes.join(QStringLiteral(", ")));
    for (int t = 0; t < 16 && r.left() > 0; ++t) {
        const int count = r.byte(r.at());
        QString value = QStringLiteral("%1 coins").arg(count);
        if ((full & (1u << t)) && count == 0)
            value += QStringLiteral(": flagged full with none in it, a faulty tube sensor");
        r.field(1, QStringLiteral("tube of %1").arg(coinName(t)), value, mdb::FieldId::TubeCount, t, count);
    }
}

void changerSetup(Reading &r)
{
    r.expect(23);
    if (r.left() < 5) {
        r.rest();
        return;
    }
    MoneySetup setup = setupHead(r, 1, QStringLiteral("coin scaling factor"));
    if (r.left() >= 2) {
        const quint16 routing = r.word(r.at());
        const QStringList types = mdb::bitsSet(routing, 16);
        r.field(2, QStringLiteral("coins routed to tubes"),
                types.isEmpty() ? QStringLiteral("none") : QStringLiteral("coin types ") + types.join(QStringLiteral(", ")));
    }
    for (int t = 0; t < 16 && r.left() > 0; ++t) {
        const int credit = r.byte(r.at());
        if (credit != 0xFF)
            setup.credits[std::size_t(t)] = credit;
        r.field(1, QStringLiteral("credit of %1").arg(coinName(t)),
                credit == 0xFF ? QStringLiteral("a token") : QStringLiteral("%1: %2").arg(credit).arg(r.money(credit, setup)));
    }
    r.decoded().setup = setup;
}

void changerIdentification(Reading &r)
{
    identification(r, 33, true);
}

namespace {
// A count of coins per coin type, coin type 0 first; a reply may end before coin type 15.
void coinsPerType(Reading &r, const char *what, mdb::FieldId id = mdb::FieldId::Other)
{
    if (r.left() == 0)
        r.decoded().notes << QStringLiteral("No coins reported (no data bytes).");
    for (int t = 0; t < 16 && r.left() > 0; ++t) {
        const int coins = r.byte(r.at());
        r.field(1, QStringLiteral("%1 %2").arg(QLatin1String(what), coinName(t)), QStringLiteral("%1 coins").arg(coins), id, t, coins);
    }
}
} // namespace

void changerPayoutStatus(Reading &r)
{
    coinsPerType(r, "paid out of", mdb::FieldId::CoinsPaidOut);
}

void changerPayoutValuePoll(Reading &r)
{
    if (r.left() > 0)
        r.field(1, QStringLiteral("paid out so far"), r.money(r.byte(r.at())));
}

void changerManualFillReport(Reading &r)
{
    coinsPerType(r, "filled into the tube of");
}

void changerManualPayoutReport(Reading &r)
{
    coinsPerType(r, "paid out by hand of");
}

void changerDiagnostics(Reading &r)
{
    // Up to eight codes of two bytes: a main code and a sub-code.
    if (r.left() < 2)
        r.decoded().notes << QStringLiteral("Too short: a diagnostic status has at least one code of 2 bytes.");
    for (int n = 1; r.left() >= 2 && n <= 8; ++n)
        r.field(2, QStringLiteral("diagnostic code %1").arg(n),
                QStringLiteral("%1 %2: %3").arg(mdb::hex(r.byte(r.at())), mdb::hex(r.byte(r.at() + 1)),
                                                mdb::diagnosticName(r.byte(r.at()), r.byte(r.at() + 1))),
                mdb::FieldId::DiagnosticCode, -1, r.word(r.at()));
}

} // namespace kestrel::decode::details
