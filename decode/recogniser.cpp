#include "decode/recogniser.h"

#include "decode/tallies.h"

namespace kestrel::decode {

bool ReplyRecogniser::recognise(const QString &code, core::Trap &trap,
                                const std::function<QString()> &readMore)
{
    if (code == QLatin1String(replies::kFreeText)) {
        QString text;
        trap([&] { text = core::trimSpaces(readMore().left(replies::kFreeTextLength)); });
        trap([&] { m_s.lblSpecialInstruction.setText(text); });
        trap([&] { m_s.log.appendQuietly(m_s.lblSpecialInstruction.text()); });
        return true;
    }
    const ReplyRow *row = replies::find(code);
    if (!row)
        return false;
    if (row->tally == ReplyRow::Tally::None)
        notice(QString::fromLatin1(row->notice), QString::fromLatin1(row->message), trap);
    else
        takeIn(*row, trap);
    return true;
}

void ReplyRecogniser::takeIn(const ReplyRow &row, core::Trap &trap)
{
    const bool coin = row.tally == ReplyRow::Tally::Coin;
    core::ListRows &names = coin ? m_s.lstCoin : m_s.lstBill;
    core::ListRows &counts = coin ? m_s.lstCoinCount : m_s.lstBillCount;
    trap([&] { names.setRow(row.row, QString::fromLatin1(row.name)); });
    trap([&] { Tallies::countUp(counts, row.row); });
    trap([&] { m_s.TotalReceived.add(row.cents()); });
    trap([&] { m_s.log.appendQuietly(QString::fromLatin1(row.message)); });
}

void ReplyRecogniser::notice(const QString &notice, const QString &message, core::Trap &trap)
{
    trap([&] { m_s.lblSpecialInstruction.setText(notice); });
    trap([&] { m_s.log.appendQuietly(message); });
}

} // namespace kestrel::decode
