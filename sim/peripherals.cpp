#include "sim/peripherals.h"

#include "decode/denominations.h"
#include "mdb/mdb.h"

namespace kestrel::sim {

namespace {

unsigned char at(const QByteArray &frame, int i)
{
    return i < frame.size() ? static_cast<unsigned char>(frame[i]) : 0;
}

quint16 word(const QByteArray &frame, int i)
{
    return quint16(at(frame, i) << 8 | at(frame, i + 1));
}

using denominations::kBills;
using denominations::kCoins;

// The changer pays out in units of 5 cents (its set-up data says so).
constexpr qint64 kScalingCents = 5;

// A three-byte reply ends with CR LF; a status code goes alone, as the console reads it.
QString line(const char *reply) { return QString::fromLatin1(reply) + QStringLiteral("\r\n"); }
QString status(const char *reply) { return QString::fromLatin1(reply); }
QString text(const char *prefix, const QByteArray &data)
{
    return QString::fromLatin1(prefix) + QLatin1Char(' ') + mdb::hex(data) + QStringLiteral("\r\n");
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
    return !frame.isEmpty() && at(frame, 0) >= 0x08 && at(frame, 0) <= 0x0F;
}

QStringList CoinChanger::handle(const QByteArray &frame)
{
    switch (at(frame, 0)) {
    case 0x08:
        return {status("08 0B")};   // just reset
    case 0x09:
        // Level 3, US dollars (telephone code 0001), 5 cents a unit, 2 decimals, nickel to quarter
        // routed to tubes, coin types 0 to 5 worth 1, 2, 5, 0, 20 and 40 units, no others.
        return {text("08", QByteArray::fromHex("03000105020007010205001428") + QByteArray(10, '\0'))};
    case 0x0A: {
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
    case 0x0C:
        if (frame.size() >= 5)
            m_accept = word(frame, 1);
        return {status("08 00")};   // ACK
    case 0x0F:
        if (at(frame, 1) == 0x00)
            // Maker, serial number, model, software version 1.02 (BCD), no optional features.
            return {text("08", QByteArray("VLM000000000001CHNG-3000   ")
                                   + QByteArray::fromHex("0102") + QByteArray(4, '\0'))};
        if (at(frame, 1) == 0x02)
            return {frame.size() > 2 ? payout(at(frame, 2)) : status("02")};
        break;
    default:
        break;
    }
    return {};
}

QString CoinChanger::payout(int units)
{
    // The tube of the coin worth that many units; an empty tube, or a value no tube holds, cannot
    // be paid: the changer reports "No credit".
    for (int tube = 0; tube < kTubes; ++tube) {
        if (kCoins[std::size_t(tube)].cents != units * kScalingCents)
            continue;
        if (m_tubes[tube] == 0)
            break;
        if (!m_shortPayout)
            --m_tubes[tube];
        return line(kCoins[std::size_t(tube)].paidOut[int(tubeState(tube))]);
    }
    return status("08 03");
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

bool BillValidator::handles(const QByteArray &frame) const
{
    return !frame.isEmpty() && at(frame, 0) >= 0x30 && at(frame, 0) <= 0x37;
}

QStringList BillValidator::handle(const QByteArray &frame)
{
    switch (at(frame, 0)) {
    case 0x30:
        m_enable = m_escrow = 0;
        m_inEscrow = -1;
        return {status("30 06")};   // validator was reset
    case 0x31:
        // Level 1, US dollars, scaling 100, 2 decimals, a stacker of 500, no high security,
        // escrow, bill types 0 to 4 worth 1, 2, 5, 10 and 20 dollars, no others.
        return {text("30", QByteArray::fromHex("010001006402" "01F4" "0000" "FF" "0102050A14")
                               + QByteArray(11, '\0'))};
    case 0x34:
        if (frame.size() >= 5) {
            m_enable = word(frame, 1);
            m_escrow = word(frame, 3);
        }
        return {status("30 00")};   // ACK
    case 0x35: {
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
    case 0x36:
        return {text("30", QByteArray(1, char(m_stacked >> 8)) + char(m_stacked & 0xFF))};
    case 0x37:
        if (at(frame, 1) == 0x00)
            return {text("30", QByteArray("VLM000000000002BILL-500    ") + QByteArray::fromHex("0100"))};
        break;
    default:
        break;
    }
    return {};
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
    return !frame.isEmpty() && at(frame, 0) >= 0x10 && at(frame, 0) <= 0x17;
}

QStringList CashlessReader::handle(const QByteArray &frame)
{
    switch (at(frame, 0)) {
    case 0x10:
        m_enabled = false;
        return {status("10 00")};   // just reset
    case 0x11:
        // Reader configuration: level 1, US dollars, 5 cents a unit, 2 decimals, answers within
        // 5 s, no options.
        return {text("10", QByteArray::fromHex("0101000105020500"))};
    case 0x13:
        if (at(frame, 1) == 0x00)
            return {m_enabled ? text("10", QByteArray::fromHex("050001")) : status("10 06")};
        if (at(frame, 1) == 0x04)
            return {status("10 07")};   // end session
        return {status("10 00")};
    case 0x14:
        if (at(frame, 1) == 0x02)
            return {status("10 08")};   // cancelled
        m_enabled = at(frame, 1) == 0x01;
        return {status("10 00")};
    case 0x15:
        return {status("10 0D")};       // revalue approved
    case 0x17:
        return {text("10", QByteArray::fromHex("09") + QByteArray("VLM000000000003CASH-10     ")
                               + QByteArray::fromHex("0100"))};
    default:
        return {};
    }
}

} // namespace kestrel::sim
