#include "sim/peripherals.h"

#include "mdb/commandset.h"
#include "mdb/denominations.h"
#include "mdb/mdb.h"

namespace kestrel::sim {

namespace {

using mdb::Cmd;

unsigned char at(const QByteArray &frame, int i)
{
    return i < frame.size() ? static_cast<unsigned char>(frame[i]) : 0;
}

quint16 word(const QByteArray &frame, int i)
{
    return quint16(at(frame, i) << 8 | at(frame, i + 1));
}

// The command a frame is, when it is one of this peripheral's.
const mdb::CommandSpec *commandFor(const QByteArray &frame, mdb::Peripheral peripheral)
{
    const mdb::CommandSpec *spec = mdb::commandOf(frame);
    return spec && spec->peripheral == peripheral ? spec : nullptr;
}

using denominations::kBills;
using denominations::kCoins;

// The changer pays out in units of 5 cents (its set-up data says so).
constexpr qint64 kScalingCents = 5;

// A reply of data bytes ends with CR LF; a status code goes alone, as the console reads it.
QString line(const char *reply) { return QString::fromLatin1(reply) + QStringLiteral("\r\n"); }
QString status(const char *reply) { return QString::fromLatin1(reply); }
QString text(const char *prefix, const QByteArray &data)
{
    return QString::fromLatin1(prefix) + QLatin1Char(' ') + mdb::hex(data) + QStringLiteral("\r\n");
}
QByteArray words(const std::array<int, 16> &counts)
{
    QByteArray data;
    for (int count : counts)
        data.append(char(count >> 8)).append(char(count & 0xFF));
    return data;
}
QByteArray bytes(const std::array<int, 16> &counts)
{
    QByteArray data;
    for (int count : counts)
        data.append(char(qMin(count, 255)));
    return data;
}
QByteArray be32(quint32 v)
{
    return QByteArray(1, char(v >> 24)) + char(v >> 16) + char(v >> 8) + char(v);
}

} // namespace

// ---- coin changer ----------------------------------------------------------------------------

CoinChanger::CoinChanger()
    : m_tubes{20, 20, 20}
{
}

CoinChanger::Tube CoinChanger::tubeState(int tube) const
{
    if (m_tubes[tube] >= kCapacity[tube])
        return Tube::Full;
    return m_tubes[tube] < kLowBelow ? Tube::Low : Tube::Normal;
}

bool CoinChanger::handles(const QByteArray &frame) const
{
    return commandFor(frame, mdb::Peripheral::Changer) != nullptr;
}

QStringList CoinChanger::handle(const QByteArray &frame)
{
    const mdb::CommandSpec *spec = commandFor(frame, mdb::Peripheral::Changer);
    if (!spec)
        return {};
    switch (spec->id) {
    case Cmd::ChangerReset:
        return {status("08 0B")};   // just reset
    case Cmd::ChangerSetup:
        // Level 3, US dollars (telephone code 0001), 5 cents a unit, 2 decimals, nickel to quarter
        // routed to tubes, coin types 0 to 5 worth 1, 2, 5, 0, 20 and 40 units, no others.
        return {text("08", QByteArray::fromHex("03000105020007010205001428") + QByteArray(10, '\0'))};
    case Cmd::TubeStatus: {
        QByteArray data(18, '\0');
        quint16 full = 0;
        for (int t = 0; t < kTubes; ++t) {
            if (tubeState(t) == Tube::Full)
                full |= quint16(1u << t);
            data[2 + t] = char(qMin(m_tubes[t], 255));
        }
        data[0] = char(full >> 8);
        data[1] = char(full & 0xFF);
        return {text("08", data)};
    }
    case Cmd::ChangerPoll:
        return {status("08 00")};   // nothing to report: the board reports activity as it comes
    case Cmd::CoinType:
        if (frame.size() >= 5) {
            m_accept = word(frame, 1);
            m_manualDispense = word(frame, 3);
        }
        return {status("08 00")};   // ACK
    case Cmd::Dispense:
        if (frame.size() < 2)
            return {status("08 03")};
        return dispense(at(frame, 1) & 0x0F, at(frame, 1) >> 4);
    case Cmd::ChangerIdentification:
        // Maker, serial number, model, software version 1.02 (BCD), and its optional features:
        // alternative payout, extended diagnostic, controlled manual fill and payout.
        return {text("08", QByteArray("VLM000000000001CHNG-3000   ") + QByteArray::fromHex("0102") + be32(0x00000007))};
    case Cmd::ChangerFeatureEnable:
        m_features = quint32(word(frame, 2)) << 16 | word(frame, 4);
        return {status("08 00")};
    case Cmd::Payout:
        // The console's "Payout Level2" button sends the command with no value.
        if (frame.size() <= 2)
            return {status("02")};
        return payValue(at(frame, 2));
    case Cmd::PayoutStatus: {
        const QString reply = text("08", bytes(m_paidOut));
        m_paidOut = {};
        return {reply};
    }
    case Cmd::PayoutValuePoll: {
        const QString reply = text("08", QByteArray(1, char(qMin(m_paidValue, 255))));
        m_paidValue = 0;
        return {reply};
    }
    case Cmd::SendDiagnosticStatus:
        return {diagnostics()};
    case Cmd::ManualFillReport:
    case Cmd::ManualPayoutReport:
        return {text("08", QByteArray(16, '\0'))};   // nothing filled or paid out by hand
    default:
        return {};
    }
}

QString CoinChanger::diagnostics() const
{
    // The faults switched on on the board, as the changer's diagnostic codes; else all is well.
    QByteArray codes;
    if (m_jammed)
        codes += QByteArray::fromHex("1130");   // discriminator: coin jam in sensor
    if (m_shortPayout)
        codes += QByteArray::fromHex("1400");   // dispenser module error
    if (codes.isEmpty())
        codes = QByteArray::fromHex("0300");    // changer OK
    return text("08", codes);
}

QString CoinChanger::payOne(int tube)
{
    if (m_tubes[tube] == 0)
        return {};
    if (!m_shortPayout)
        --m_tubes[tube];
    ++m_paidOut[std::size_t(kCoins[std::size_t(tube)].coinType)];
    m_paidValue += int(kCoins[std::size_t(tube)].cents / kScalingCents);
    return line(kCoins[std::size_t(tube)].paidOut[int(tubeState(tube))]);
}

QStringList CoinChanger::dispense(int type, int count)
{
    // A coin type with a tube pays out its coins, each reported as it goes; an empty tube, or a type
    // with no tube, cannot: the changer reports "No credit".
    QStringList replies;
    for (int tube = 0; tube < kTubes; ++tube) {
        if (kCoins[std::size_t(tube)].coinType != type)
            continue;
        for (int i = 0; i < count; ++i) {
            const QString paid = payOne(tube);
            if (paid.isEmpty())
                break;
            replies << paid;
        }
    }
    return replies.isEmpty() ? QStringList{status("08 03")} : replies;
}

QStringList CoinChanger::payValue(int units)
{
    // The value paid from the tubes, the largest coins first, each coin reported as it goes. What
    // the tubes cannot make up is not paid; with nothing paid at all the changer says "No credit".
    QStringList replies;
    int left = units;
    for (int tube = kTubes - 1; tube >= 0; --tube) {
        const int worth = int(kCoins[std::size_t(tube)].cents / kScalingCents);
        while (left >= worth) {
            const QString paid = payOne(tube);
            if (paid.isEmpty())
                break;
            replies << paid;
            left -= worth;
        }
    }
    return replies.isEmpty() ? QStringList{status("08 03")} : replies;
}

QString CoinChanger::insert(Coin coin)
{
    if (m_jammed)
        return status("08 0C");   // coin jam
    const denominations::Coin &kind = kCoins[std::size_t(coin)];
    const bool accepted = m_accept & (1u << kind.coinType);
    if (!kind.hasTube)
        return line(accepted ? kind.takenIn[denominations::Normal] : kind.rejected[denominations::Normal]);
    const int tube = coin;
    if (!accepted)
        return line(kind.rejected[int(tubeState(tube))]);
    if (tubeState(tube) != Tube::Full)
        ++m_tubes[tube];   // a full tube sends the coin to the cash box
    return line(kind.takenIn[int(tubeState(tube))]);
}

// ---- bill validator --------------------------------------------------------------------------

BillValidator::BillValidator()
{
    m_recycler[std::size_t(kBills[One].billType)] = 20;
    m_recycler[std::size_t(kBills[Five].billType)] = 10;
}

bool BillValidator::handles(const QByteArray &frame) const
{
    return commandFor(frame, mdb::Peripheral::Validator) != nullptr;
}

QStringList BillValidator::handle(const QByteArray &frame)
{
    const mdb::CommandSpec *spec = commandFor(frame, mdb::Peripheral::Validator);
    if (!spec)
        return {};
    switch (spec->id) {
    case Cmd::ValidatorReset:
        m_enable = m_escrow = 0;
        m_inEscrow = -1;
        return {status("30 06")};   // validator was reset
    case Cmd::ValidatorSetup:
        // Level 2, US dollars, scaling 100, 2 decimals, a stacker of 500, no high security,
        // escrow, bill types 0 to 4 worth 1, 2, 5, 10 and 20 dollars, no others.
        return {text("30", QByteArray::fromHex("020001006402" "01F4" "0000" "FF" "0102050A14") + QByteArray(11, '\0'))};
    case Cmd::Security:
        m_security = word(frame, 1);
        return {status("30 00")};
    case Cmd::ValidatorPoll:
        return {status("30 00")};
    case Cmd::BillType:
        if (frame.size() >= 5) {
            m_enable = word(frame, 1);
            m_escrow = word(frame, 3);
        }
        return {status("30 00")};   // ACK
    case Cmd::Escrow: {
        if (m_inEscrow < 0)
            return {status("30 0A")};   // invalid escrow request: nothing is held
        const int bill = m_inEscrow;
        m_inEscrow = -1;
        if (at(frame, 1) == 0x01) {
            ++m_stacked;
            return {line(kBills[std::size_t(bill)].stacked)};
        }
        return {line(kBills[std::size_t(bill)].returned)};
    }
    case Cmd::Stacker:
        return {text("30", QByteArray(1, char(m_stacked >> 8)) + char(m_stacked & 0xFF))};
    case Cmd::ValidatorIdentification:
        return {text("30", QByteArray("VLM000000000002BILL-500    ") + QByteArray::fromHex("0100"))};
    case Cmd::ValidatorFeatureEnable:
        m_features = quint32(word(frame, 2)) << 16 | word(frame, 4);
        return {status("30 00")};
    case Cmd::ValidatorIdentificationOptions:
        // Level 2 with bill recycling among its optional features.
        return {text("30", QByteArray("VLM000000000002BILL-500    ") + QByteArray::fromHex("0100") + be32(0x00000002))};
    case Cmd::RecyclerSetup:
        return {text("30", QByteArray(1, char(kRecycled >> 8)) + char(kRecycled & 0xFF))};
    case Cmd::RecyclerEnable:
        m_recycleEnabled = 0;
        for (int t = 0; t < 16; ++t)
            if (at(frame, 4 + t))
                m_recycleEnabled |= quint16(1u << t);
        return {status("30 00")};
    case Cmd::BillDispenseStatus:
        return {text("30", QByteArray(2, '\0') + words(m_recycler))};
    case Cmd::DispenseBill:
        return payBills(at(frame, 2) & 0x0F, word(frame, 3));
    case Cmd::DispenseValue: {
        // The value paid from the recycler, the largest bills first.
        int left = word(frame, 2);
        QStringList replies;
        for (int b = BillCount - 1; b >= 0 && left > 0; --b) {
            const int type = kBills[std::size_t(b)].billType;
            const int worth = int(kBills[std::size_t(b)].cents / 100);
            const int count = qMin(left / worth, m_recycler[std::size_t(type)]);
            if (count > 0 && (m_recycleEnabled & (1u << type))) {
                replies << payBills(type, count);
                left -= count * worth;
            }
        }
        return replies.isEmpty() ? QStringList{status("30 29")} : QStringList{status("30 00")};
    }
    case Cmd::RecyclerPayoutStatus: {
        const QString reply = text("30", words(m_paidOut));
        m_paidOut = {};
        return {reply};
    }
    case Cmd::RecyclerPayoutValuePoll: {
        const QString reply = text("30", QByteArray(1, char(m_paidValue >> 8)) + char(m_paidValue & 0xFF));
        m_paidValue = 0;
        return {reply};
    }
    case Cmd::RecyclerPayoutCancel:
        return {status("30 00")};
    default:
        return {};
    }
}

QStringList BillValidator::payBills(int type, int count)
{
    // Bills of a type the recycler keeps and has been enabled for; else the dispenser is disabled.
    if (!(kRecycled & m_recycleEnabled & (1u << type)) || m_recycler[std::size_t(type)] < count || count < 1)
        return {status("30 29")};
    m_recycler[std::size_t(type)] -= count;
    m_paidOut[std::size_t(type)] += count;
    for (const denominations::Bill &bill : kBills)
        if (bill.billType == type)
            m_paidValue += count * int(bill.cents / 100);
    return {status("30 00")};
}

QString BillValidator::insert(Bill bill)
{
    if (m_disabled)
        return status("30 09");   // validator disabled
    const quint16 bit = quint16(1u << kBills[std::size_t(bill)].billType);
    if (!(m_enable & bit) || ((m_escrow & bit) && m_inEscrow >= 0))
        return status("30 0B");   // bill rejected
    if (m_escrow & bit) {
        m_inEscrow = bill;
        return line(kBills[std::size_t(bill)].inEscrow);
    }
    ++m_stacked;
    return line(kBills[std::size_t(bill)].stacked);
}

// ---- cashless reader -------------------------------------------------------------------------

bool CashlessReader::handles(const QByteArray &frame) const
{
    return commandFor(frame, mdb::Peripheral::Reader) != nullptr;
}

QStringList CashlessReader::handle(const QByteArray &frame)
{
    const mdb::CommandSpec *spec = commandFor(frame, mdb::Peripheral::Reader);
    if (!spec)
        return {};
    const auto amount = [](int units) { return QByteArray(1, char(units >> 8)) + char(units & 0xFF); };
    switch (spec->id) {
    case Cmd::ReaderReset:
        m_enabled = false;
        m_vending = 0;
        return {status("10 00")};   // just reset
    case Cmd::SetupConfigData:
        // Reader configuration: level 2, US dollars, 5 cents a unit, 2 decimals, answers within
        // 5 s, no options.
        return {text("10", QByteArray::fromHex("0102000105020500"))};
    case Cmd::SetupPrices:
    case Cmd::ReaderPoll:
    case Cmd::CashSale:
        return {status("10 00")};
    case Cmd::VendRequest: {
        if (!m_enabled)
            return {status("10 06")};   // vend denied
        // The console's "Request Vend" button sends no price: a vend of one unit is approved.
        const int price = frame.size() >= 4 ? word(frame, 2) : 1;
        if (price > m_funds)
            return {status("10 06")};
        m_vending = price;
        return {text("10", QByteArray(1, '\x05') + amount(price))};
    }
    case Cmd::VendCancel:
        m_vending = 0;
        return {status("10 06")};
    case Cmd::VendSuccess:
        m_funds -= m_vending;       // the vend approved is taken from the card
        m_vending = 0;
        return {status("10 00")};
    case Cmd::VendFailure:
        m_vending = 0;              // nothing taken
        return {status("10 00")};
    case Cmd::SessionComplete:
        return {status("10 07")};   // end session
    case Cmd::ReaderDisable:
    case Cmd::ReaderEnable:
        m_enabled = spec->id == Cmd::ReaderEnable;
        return {status("10 00")};
    case Cmd::ReaderCancel:
        return {status("10 08")};   // cancelled
    case Cmd::RevalueRequest: {
        // The console's "Request Revalue" button sends no amount: it is approved.
        const int value = frame.size() >= 4 ? word(frame, 2) : 0;
        if (m_funds + value > kRevalueLimit)
            return {status("10 0E")};   // revalue denied
        m_funds += value;
        return {status("10 0D")};       // revalue approved
    }
    case Cmd::RevalueLimitRequest:
        return {text("10", QByteArray(1, '\x0F') + amount(kRevalueLimit - m_funds))};
    case Cmd::RequestId:
        return {text("10", QByteArray::fromHex("09") + QByteArray("VLM000000000003CASH-10     ") + QByteArray::fromHex("0100"))};
    default:
        return {};
    }
}

} // namespace kestrel::sim
