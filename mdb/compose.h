#pragma once

#include "mdb/commandset.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

namespace kestrel::mdb {

// A command of the table made into its frame from parameters a person wrote ("coin=2",
// "price=1.25"), and a frame read back into them. Money is written in dollars and cents and goes
// on the bus in the peripheral's own scaling, which its SETUP reply gives; coin and bill types may
// be written by their coins' and bills' names.

// What a peripheral's SETUP reply says about its money and its level: the currency (packed BCD as
// sent), the scaling factor and the decimal places (an amount is units x scaling / 10^decimals),
// the feature level, and each coin or bill type's credit in units (0: none).
struct MoneySetup
{
    quint16 currency = 0;
    int scaling = 1;
    int decimals = 0;
    int level = 0;
    std::array<int, 16> credits{};
};

// What this session has learnt of the three peripherals from their SETUP replies.
struct Known
{
    std::optional<MoneySetup> changer, validator, reader;
    const std::optional<MoneySetup> &of(Peripheral peripheral) const;
};

struct Given
{
    QString name;
    QString value;
};

struct Composed
{
    QByteArray frame;        // empty when nothing may be sent
    QString error;           // why, naming the parameter at fault
    bool needsSetup = false; // the error is only that money waits for the peripheral's SETUP reply
    QString warning;         // sendable, but the technician should know (a level not reported)
    QStringList values;      // each parameter as it goes on the bus: "value = 0.25 (5 units)"
};

// The longest frame the board takes: an MDB block of 36 bytes (the board adds the checksum).
inline constexpr int kLongestFrame = 36;

Composed compose(const CommandSpec &spec, const QList<Given> &given, const Known &known = {});
// A frame typed as hex bytes ("0F 05", "0f05"): 1 to 36 bytes of two hex digits each.
Composed composeRaw(const QString &hexText);
// "coin=2 count=3" into its parameters; a word with no '=' is an error.
std::optional<QList<Given>> splitGiven(const QStringList &words, QString *error);

// The frame's parameters read back, for a list of frames sent: "value=2 units", or with the money
// known "value=0.10".
QString describeParams(const CommandSpec &spec, const QByteArray &frame, const Known &known = {});
// An amount of units in a peripheral's money, exact: "1.25" (scaling 5, 2 decimals, 25 units).
QString moneyText(qint64 units, const MoneySetup &setup);
// The same in cents (hundredths of the currency's unit), rounded down past two decimals.
qint64 cents(qint64 units, const MoneySetup &setup);

} // namespace kestrel::mdb
