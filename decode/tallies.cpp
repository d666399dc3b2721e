#include "decode/tallies.h"

#include "core/trap.h"
#include "mdb/denominations.h"

#include <limits>

namespace kestrel::decode {

namespace {
const char *const kDebuggingNameRows[] = {"In Buffer Count", "Input Buffer Lenght", "Buffer Content"};
} // namespace

const core::Table<const char *> Tallies::kDebuggingNames = kDebuggingNameRows;

void Tallies::InitializeCount()
{
    core::Trap quiet;
    for (core::ListRows *list : {&m_s.lstCoin, &m_s.lstCoinCount, &m_s.lstBill, &m_s.lstBillCount,
                           &m_s.lstActionLog, &m_s.lstDebugging, &m_s.lstDebuggingValue,
                           &m_s.List1})
        quiet([&] { list->clear(); });
    for (const denominations::Coin &coin : denominations::kCoins) {
        quiet([&] { m_s.lstCoin.append(QString::fromLatin1(coin.name)); });
        quiet([&] { m_s.lstCoinCount.append(QStringLiteral("0")); });
    }
    for (const denominations::Bill &bill : denominations::kBills) {
        quiet([&] { m_s.lstBill.append(QString::fromLatin1(bill.name)); });
        quiet([&] { m_s.lstBillCount.append(QStringLiteral("0")); });
    }
    for (const char *name : kDebuggingNames)
        quiet([&] { m_s.lstDebugging.append(QString::fromLatin1(name)); });
    for (std::size_t i = 0; i < kDebuggingNames.size(); ++i)
        quiet([&] { m_s.lstDebuggingValue.append(QStringLiteral(" ")); });
    // Each selection aligns its partner list.
    for (core::ListRows *list : {&m_s.lstCoin, &m_s.lstBill, &m_s.lstDebugging})
        quiet([&] { list->select(0); });
}

void Tallies::UpdateTotalRecived()
{
    core::Trap quiet;
    quiet([&] {
        m_s.lblTotalReceived.setText(QStringLiteral("Money Received so far: ")
                             + money::currency(m_s.TotalReceived.cents()));
    });
}

void Tallies::ClearAll()
{
    core::Trap quiet;
    quiet([&] { InitializeCount(); });
    quiet([&] { m_s.lstActionLog.clear(); });
    quiet([&] { m_s.TotalReceived.reset(); });
    quiet([&] { m_s.lblTotalReceived.setText(QStringLiteral("Money Received so far: $0.00")); });
    quiet([&] { m_s.lblSpecialInstruction.setText(QStringLiteral("Special Instructions:")); });
}

void Tallies::ClearCoinTotals()
{
    m_s.lstCoin.clear();
    m_s.lstCoinCount.clear();
}

void Tallies::ClearBillTotals()
{
    m_s.lstBill.clear();
    m_s.lstBillCount.clear();
}

void Tallies::showTotalAfterReply()
{
    m_s.lblTotalReceived.setText(QStringLiteral("Total Money Received so far: ")
                         + money::plain(m_s.TotalReceived.cents()));
}

void Tallies::countUp(core::ListRows &counts, int row)
{
    const QString text = counts.row(row);
    bool numeric = false;
    const int count = text.trimmed().toInt(&numeric);
    if (!numeric)
        throw core::failures::typeMismatch();
    if (count < std::numeric_limits<qint16>::min() || count >= std::numeric_limits<qint16>::max())
        throw core::failures::overflow();
    counts.setRow(row, QString::number(count + 1));
}

} // namespace kestrel::decode
