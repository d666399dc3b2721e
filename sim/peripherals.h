#pragma once

#include <QByteArray>
#include <QStringList>

#include <array>
#include <cstddef>

namespace kestrel::sim {

// The three peripherals behind the virtual board. Each takes the frames addressed to it and answers
// every command of the command set (mdb/commandset.h) as a real one would, with reply texts in the
// board's form ("08 91 08"); the operator's actions on the board (a coin or a bill inserted, a
// fault) give replies too. Money replies are the ones the console's tables know.

class CoinChanger
{
public:
    // The coins in the order of the console's denominations (mdb/denominations.h).
    enum Coin { Nickel, Dime, Quarter, CanadianDollar, CanadianTwoDollar, CoinCount };
    enum class Tube { Low, Normal, Full };

    static constexpr int kTubes = 3;                       // the first three coins have tubes
    static constexpr std::array<int, kTubes> kCapacity{76, 107, 75};
    static constexpr int kLowBelow = 5;

    CoinChanger();

    bool handles(const QByteArray &frame) const;
    QStringList handle(const QByteArray &frame);
    // A coin dropped into the changer: counted (and kept in its tube unless full) or returned
    // when its type is not accepted.
    QString insert(Coin coin);

    int tubeCount(int tube) const { return m_tubes[tube]; }
    void setTubeCount(int tube, int count) { m_tubes[tube] = count; }
    Tube tubeState(int tube) const;
    quint16 acceptMask() const { return m_accept; }

    // Faults to provoke on the bench. Jammed: every coin dropped in reports a coin jam and is
    // neither counted nor kept. Short payout: a coin asked for is reported as dispensed but stays
    // in its tube (stuck in the payout path), so the tube count does not go down.
    void setJammed(bool jammed) { m_jammed = jammed; }
    bool jammed() const { return m_jammed; }
    void setShortPayout(bool shortPayout) { m_shortPayout = shortPayout; }
    bool shortPayout() const { return m_shortPayout; }

    // Coins paid out since the last PAYOUT STATUS, by coin type.
    int paidOut(int type) const { return m_paidOut[std::size_t(type)]; }

private:
    // One coin of a tube paid out: its reply, or nothing when the tube is empty.
    QString payOne(int tube);
    QStringList payValue(int units);
    QStringList dispense(int type, int count);
    QString diagnostics() const;

    std::array<int, kTubes> m_tubes;
    quint16 m_accept = 0;      // nothing accepted until COIN TYPE says so
    quint16 m_manualDispense = 0;
    quint32 m_features = 0;
    std::array<int, 16> m_paidOut{};
    int m_paidValue = 0;       // units paid out since the last PAYOUT VALUE POLL
    bool m_jammed = false;
    bool m_shortPayout = false;
};

class BillValidator
{
public:
    // The bills in the order of the console's denominations (mdb/denominations.h).
    enum Bill { One, Two, Five, Ten, Twenty, BillCount };

    BillValidator();

    bool handles(const QByteArray &frame) const;
    QStringList handle(const QByteArray &frame);
    // A bill fed into the validator: stacked, held in escrow, or rejected when not enabled.
    QString insert(Bill bill);

    quint16 enableMask() const { return m_enable; }
    quint16 escrowMask() const { return m_escrow; }
    int inEscrow() const { return m_inEscrow; }            // -1: none
    int stacked() const { return m_stacked; }

    // A fault to provoke: the validator stays disabled whatever BILL TYPE says, and answers every
    // bill fed in with "validator disabled".
    void setDisabled(bool disabled) { m_disabled = disabled; }
    bool disabled() const { return m_disabled; }

    // The recycler (bill types 0 and 2, the $1 and $5 bills): the bills it holds for payouts.
    static constexpr quint16 kRecycled = 0x0005;
    int recyclerCount(int type) const { return m_recycler[std::size_t(type)]; }

private:
    QStringList payBills(int type, int count);

    bool m_disabled = false;
    quint16 m_enable = 0;
    quint16 m_escrow = 0;
    quint16 m_security = 0;
    quint16 m_recycleEnabled = 0;
    quint32 m_features = 0;
    int m_inEscrow = -1;
    int m_stacked = 0;
    std::array<int, 16> m_recycler{};
    std::array<int, 16> m_paidOut{};
    int m_paidValue = 0;
};

class CashlessReader
{
public:
    bool handles(const QByteArray &frame) const;
    QStringList handle(const QByteArray &frame);
    bool enabled() const { return m_enabled; }

    // The card's funds and the most it may hold, in the reader's units of 5 cents.
    static constexpr int kStartingFunds = 100;      // $5.00
    static constexpr int kRevalueLimit = 400;       // $20.00
    int funds() const { return m_funds; }

private:
    bool m_enabled = false;
    int m_funds = kStartingFunds;
    int m_vending = 0;          // the price of the vend approved and not yet ended
};

} // namespace kestrel::sim
