#include "plans/payoutwatcher.h"

#include "decode/money.h"
#include "mdb/denominations.h"

#include <QLocale>

namespace kestrel::plans {

namespace {
QString coinName(int tube)
{
    return QString::fromLatin1(denominations::kCoins[std::size_t(tube)].name);
}
} // namespace

int PayoutWatcher::tubeOf(const QString &coin)
{
    for (int t = 0; t < kTubeCoins; ++t)
        if (coin == coinName(t))
            return t;
    return -1;
}

void PayoutWatcher::coinsRequested(int tube, int count)
{
    m_requested[std::size_t(tube)] += count;
    m_paying = true;
}

void PayoutWatcher::coinTypeRequested(int coinType, int count)
{
    for (int t = 0; t < kTubeCoins; ++t)
        if (denominations::kCoins[std::size_t(t)].coinType == coinType)
            m_requested[std::size_t(t)] += count;
    m_paying = true;
}

void PayoutWatcher::valueRequested(qint64 cents)
{
    m_requestedCents += cents;
    m_paying = true;
}

void PayoutWatcher::replyRead(const decode::details::Decoded &decoded)
{
    if (decoded.device != mdb::Peripheral::Changer)
        return;
    // Coins the changer reports paid out, as activity, each with its coin type and count.
    for (const decode::details::Field &field : decoded.fields)
        if (field.id == mdb::FieldId::CoinsDispensedByHand)
            for (int t = 0; t < kTubeCoins; ++t)
                if (denominations::kCoins[std::size_t(t)].coinType == field.type)
                    m_reported[std::size_t(t)] += int(field.number);
    if (decoded.layout != mdb::Layout::TubeStatus)
        return;
    // The tubes' counts from a TUBE STATUS that holds all three.
    Tubes counts{};
    for (int t = 0; t < kTubeCoins; ++t) {
        const decode::details::Field *tube = decode::details::fieldOf(decoded, mdb::FieldId::TubeCount, denominations::kCoins[std::size_t(t)].coinType);
        if (!tube)
            return;
        counts[std::size_t(t)] = int(tube->number);
    }
    if (!m_paying) {
        m_before = counts;
        m_after.reset();
        m_requested = {};
        m_reported = {};
        m_requestedCents = 0;
    } else {
        m_after = counts;
    }
}

QList<PayoutWatcher::Payout> PayoutWatcher::payouts() const
{
    QList<Payout> rows;
    for (int t = 0; t < kTubeCoins; ++t) {
        Payout p{coinName(t), m_requested[std::size_t(t)], m_reported[std::size_t(t)], std::nullopt};
        if (m_before && m_after)
            p.tubeChange = (*m_after)[std::size_t(t)] - (*m_before)[std::size_t(t)];
        rows.append(p);
    }
    return rows;
}

QString PayoutWatcher::checkTube(const QString &coin, int change) const
{
    const int tube = tubeOf(coin);
    if (!m_before || !m_after)
        return QStringLiteral("no TUBE STATUS read both before and after a payout");
    const int was = (*m_before)[std::size_t(tube)], is = (*m_after)[std::size_t(tube)];
    if (is - was == change)
        return {};
    const auto signedText = [](int n) { return (n > 0 ? QStringLiteral("+") : QString()) + QString::number(n); };
    return QStringLiteral("the %1 tube went from %2 to %3 (%4), expected %5")
        .arg(coin).arg(was).arg(is).arg(signedText(is - was), signedText(change));
}

QString PayoutWatcher::checkPayout() const
{
    // Each coin the changer says it paid must have left its tube; coins asked for one by one must
    // be the coins paid, and a payout asked for by value must come to that value.
    const bool byValue = m_requestedCents > 0;
    QStringList short_;
    qint64 requestedCents = m_requestedCents, reportedCents = 0;
    for (const Payout &p : payouts()) {
        const qint64 cents = denominations::kCoins[std::size_t(tubeOf(p.coin))].cents;
        requestedCents += p.requested * cents;
        reportedCents += p.reported * cents;
        if (p.requested == 0 && p.reported == 0 && p.tubeChange.value_or(0) == 0)
            continue;
        if ((byValue || p.reported == p.requested) && p.tubeChange && -*p.tubeChange == p.reported)
            continue;
        QString line = QStringLiteral("%1: requested %2, reported %3, tube change %4")
                           .arg(p.coin).arg(p.requested).arg(p.reported)
                           .arg(p.tubeChange ? QString::number(*p.tubeChange) : QStringLiteral("not read"));
        // Coins the changer says it paid that never left their tube: a short payout.
        if (p.tubeChange && p.reported > -*p.tubeChange)
            line += QStringLiteral(" (short payout: %1 reported paid, still in the tube)").arg(p.reported + *p.tubeChange);
        short_ << line;
    }
    if (byValue && requestedCents != reportedCents) {
        const QLocale c = QLocale::c();
        short_ << QStringLiteral("by value: requested %1, reported %2").arg(decode::money::plain(requestedCents, c), decode::money::plain(reportedCents, c));
    }
    return short_.isEmpty() ? QString() : QStringLiteral("payout does not reconcile: ") + short_.join(QStringLiteral("; "));
}

} // namespace kestrel::plans
