#include "decode/replyreading.h"

namespace kestrel::decode::details {

// The bill validator's replies: what it reports unasked (bills, status codes), its SETUP, STACKER
// and identification replies.

void validatorPoll(Reading &r)
{
    while (r.left() > 0) {
        const quint8 b = r.byte(r.at());
        if (b & 0x80)
            r.field(1, QStringLiteral("bill"), QStringLiteral("%1 %2").arg(billName(b & 0x0F), mdb::named(mdb::kBillRouting, (b >> 4) & 0x07)));
        else if ((b & 0xE0) == 0x40)
            r.field(1, QStringLiteral("attempts while disabled"), QString::number(b & 0x1F));
        else if (const QString recycler = mdb::recyclerStatusName(b); !recycler.isEmpty())
            r.field(1, QStringLiteral("recycler status"), QStringLiteral("%1: %2").arg(mdb::hex(b), recycler));
        else
            r.field(1, QStringLiteral("status"), QStringLiteral("%1: %2").arg(mdb::hex(b), mdb::named(mdb::kValidatorStatus, b)));
    }
}

void validatorSetup(Reading &r)
{
    r.expect(27);
    if (r.left() < 6) {
        r.rest();
        return;
    }
    MoneySetup setup = setupHead(r, 2, QStringLiteral("bill scaling factor"));
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
                                                           : QStringLiteral("%1 (not understood)").arg(mdb::hex(escrow)));
    }
    for (int t = 0; t < 16 && r.left() > 0; ++t) {
        const int credit = r.byte(r.at());
        setup.credits[std::size_t(t)] = credit;
        r.field(1, QStringLiteral("credit of %1").arg(billName(t)), QStringLiteral("%1: %2").arg(credit).arg(r.money(credit, setup)));
    }
    r.decoded().setup = setup;
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

void validatorIdentification(Reading &r)
{
    identification(r, 29, false);
}

void validatorIdentificationWithOptions(Reading &r)
{
    identification(r, 33, true);
}

void recyclerSetup(Reading &r)
{
    r.expect(2);
    if (r.left() < 2)
        return;
    const QStringList types = mdb::bitsSet(r.word(r.at()), 16);
    r.field(2, QStringLiteral("bills routed to the recycler"),
            types.isEmpty() ? QStringLiteral("none") : QStringLiteral("bill types ") + types.join(QStringLiteral(", ")));
}

namespace {
// A count of bills per bill type, two bytes each, bill type 0 first.
void billsPerType(Reading &r, const char *what)
{
    for (int t = 0; t < 16 && r.left() >= 2; ++t)
        r.field(2, QStringLiteral("%1 %2").arg(QLatin1String(what), billName(t)), QStringLiteral("%1 bills").arg(r.word(r.at())));
}
} // namespace

void recyclerDispenseStatus(Reading &r)
{
    r.expect(34);
    if (r.left() < 2)
        return;
    const QStringList full = mdb::bitsSet(r.word(r.at()), 16);
    r.field(2, QStringLiteral("dispensers full"),
            full.isEmpty() ? QStringLiteral("none") : QStringLiteral("bill types ") + full.join(QStringLiteral(", ")));
    billsPerType(r, "in the recycler,");
}

void recyclerPayoutStatus(Reading &r)
{
    billsPerType(r, "paid out of");
}

void recyclerPayoutValuePoll(Reading &r)
{
    r.expect(2);
    if (r.left() >= 2)
        r.field(2, QStringLiteral("paid out so far"), r.money(r.word(r.at())));
}

} // namespace kestrel::decode::details
