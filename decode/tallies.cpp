#include "decode/tallies.h"

#include "core/trap.h"

#include <limits>

namespace kestrel {

const char *const Tallies::kCoinNames[5] = {"Nickel", "Dime", "Quarter", "Canadian Dollar",
                                            "Canadian Two Dollar"};
const char *const Tallies::kBillNames[5] = {"$1", "$2", "$5", "$10", "$20"};
const char *const Tallies::kDebuggingNames[3] = {"In Buffer Count", "Input Buffer Lenght",
                                                 "Buffer Content"};

Tallies::Tallies(Lists lists, MoneyTotal &total, Caption &totalLabel, Caption &statusLabel)
    : m_lists(lists), m_total(total), m_totalLabel(totalLabel), m_statusLabel(statusLabel)
{
}

void Tallies::InitializeCount()
{
    Trap quiet;
    for (ListRows *list : {&m_lists.coin, &m_lists.coinCount, &m_lists.bill, &m_lists.billCount,
                           &m_lists.actionLog, &m_lists.debugging, &m_lists.debuggingValue,
                           &m_lists.rawReplies})
        quiet([&] { list->clear(); });
    for (const char *name : kCoinNames) {
        quiet([&] { m_lists.coin.append(QString::fromLatin1(name)); });
        quiet([&] { m_lists.coinCount.append(QStringLiteral("0")); });
    }
    for (const char *name : kBillNames) {
        quiet([&] { m_lists.bill.append(QString::fromLatin1(name)); });
        quiet([&] { m_lists.billCount.append(QStringLiteral("0")); });
    }
    for (const char *name : kDebuggingNames)
        quiet([&] { m_lists.debugging.append(QString::fromLatin1(name)); });
    for (int i = 0; i < 3; ++i)
        quiet([&] { m_lists.debuggingValue.append(QStringLiteral(" ")); });
    // Each selection aligns its partner list.
    for (ListRows *list : {&m_lists.coin, &m_lists.bill, &m_lists.debugging})
        quiet([&] { list->select(0); });
}

void Tallies::UpdateTotalRecived()
{
    Trap quiet;
    quiet([&] {
        m_totalLabel.setText(QStringLiteral("Money Received so far: ")
                             + money::currency(m_total.cents()));
    });
}

void Tallies::ClearAll()
{
    Trap quiet;
    quiet([&] { InitializeCount(); });
    quiet([&] { m_lists.actionLog.clear(); });
    quiet([&] { m_total.reset(); });
    quiet([&] { m_totalLabel.setText(QStringLiteral("Money Received so far: $0.00")); });
    quiet([&] { m_statusLabel.setText(QStringLiteral("Special Instructions:")); });
}

void Tallies::ClearCoinTotals()
{
    m_lists.coin.clear();
    m_lists.coinCount.clear();
}

void Tallies::ClearBillTotals()
{
    m_lists.bill.clear();
    m_lists.billCount.clear();
}

void Tallies::showTotalAfterReply()
{
    m_totalLabel.setText(QStringLiteral("Total Money Received so far: ")
                         + money::plain(m_total.cents()));
}

void Tallies::countUp(ListRows &counts, int row)
{
    const QString text = counts.row(row);
    bool numeric = false;
    const int count = text.trimmed().toInt(&numeric);
    if (!numeric)
        throw failures::typeMismatch();
    if (count < std::numeric_limits<qint16>::min() || count >= std::numeric_limits<qint16>::max())
        throw failures::overflow();
    counts.setRow(row, QString::number(count + 1));
}

} // namespace kestrel
