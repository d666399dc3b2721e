#pragma once

#include "decode/replydetails.h"

#include <QList>
#include <QString>

#include <array>
#include <optional>

namespace kestrel::plans {

// The changer's payout, watched over a test plan. A TUBE STATUS read with no payout asked for
// since the last one opens a payout; one read after payouts closes it. Within it: the coins asked
// for one by one (a Dispense button, DISPENSE), the value asked for (PAYOUT), the coins the changer
// reports paid out, and each tube's count after less before. The replies are read by their fields'
// kinds (mdb::FieldId), never by the words a person reads.
class PayoutWatcher
{
public:
    static constexpr int kTubeCoins = 3;       // the coins with tubes: nickel, dime, quarter

    // Per tube coin: coins asked for, coins reported paid, and the tube's change (empty until two
    // TUBE STATUS replies frame the payout).
    struct Payout
    {
        QString coin;
        int requested = 0;
        int reported = 0;
        std::optional<int> tubeChange;
    };

    void coinsRequested(int tube, int count);
    // Coins of a coin type asked for (DISPENSE): counted on the tube of that type, if it has one.
    void coinTypeRequested(int coinType, int count);
    void valueRequested(qint64 cents);
    // A reply read whole, decoded.
    void replyRead(const decode::details::Decoded &decoded);

    QList<Payout> payouts() const;
    // The tubes' counts by the TUBE STATUS that opened the last payout and the one that closed it.
    using Tubes = std::array<int, kTubeCoins>;
    const std::optional<Tubes> &tubesBefore() const { return m_before; }
    const std::optional<Tubes> &tubesAfter() const { return m_after; }
    // The tube coin of that name (Nickel, Dime, Quarter), or -1.
    static int tubeOf(const QString &coin);
    // Empty when it holds, else why not.
    QString checkTube(const QString &coin, int change) const;
    QString checkPayout() const;

private:
    std::optional<Tubes> m_before, m_after;
    Tubes m_requested{}, m_reported{};
    qint64 m_requestedCents = 0;
    bool m_paying = false;          // a payout was asked for since the TUBE STATUS that opened it
};

} // namespace kestrel::plans
