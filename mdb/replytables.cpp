#include "mdb/replytables.h"

#include "mdb/denominations.h"

namespace kestrel::replies {

using T = ReplyRow::Tally;

// Coins taken in. Two-piece names are joined with nothing between ("Nickel " "(Tube Low)").
const ReplyRow kCoinsTakenInRows[] = {
    {"08 50 00", T::Coin, 0, "Nickel " "(Tube Low)", nullptr, "Received a Nickel, Warning Nickel Tube Low"},
    {"08 50 06", T::Coin, 0, "Nickel received", nullptr, "Received a Nickel"},
    {"08 40 4C", T::Coin, 0, "Nickel received " "(Tube Full)", nullptr, "Received a Nickel, Nickel Tube Full"},
    {"08 51 00", T::Coin, 1, "Dime " "(Tube Low)", nullptr, "Received a Dime, Warning Dime Tube Low"},
    {"08 51 08", T::Coin, 1, "Dime received ", nullptr, "Received a Dime"},
    {"08 41 6B", T::Coin, 1, "Dime received " "(Tube Full)", nullptr, "Received a Dime, Dime Tube Full"},
    {"08 52 00", T::Coin, 2, "Quarter " "(Tube Low)", nullptr, "Received a Quarter, Warning Quarter Tube Low"},
    {"08 52 06", T::Coin, 2, "Quarter ", nullptr, "Received a Quarter"},
    {"08 42 4B", T::Coin, 2, "Quarter " "(Tube Full)", nullptr, "Received a Quarter, Quarter Tube Full"},
    {"08 42 15", T::Coin, 2, "Quarter received " "(Tube Full)", nullptr, "Received a Quarter, Quarter Tube Full"},
    {"08 44 00", T::Coin, 3, "Canadian Dollar ", nullptr, "Received a Canadian Dollar Coin"},
    {"08 45 00", T::Coin, 4, "Canadian Two Dollar", nullptr, "Received a Canadian Two Dollar Coin"},
};

// Coins paid out: a notice only; a payout does not reduce the total.
const ReplyRow kCoinsPaidOutRows[] = {
    {"02", T::None, 0, nullptr, "Dispensing coin", "Dispensing coin"},
    {"08 90 00", T::None, 0, nullptr, "Dispensing Nickel", "Dispensing Nickel - Code (08 90 00) "},
    {"08 90 06", T::None, 0, nullptr, "Dispensing Nickel", "Dispensing Nickel - Code (08 90 06)"},
    {"08 90 4C", T::None, 0, nullptr, "Dispensing Nickel", "Dispensing Nickel - Code (08 90 4C)"},
    {"08 91 00", T::None, 0, nullptr, "Dispensing Dime", "Dispensing Dime - Code (08 91 00)"},
    {"08 91 08", T::None, 0, nullptr, "Dispensing Dime", "Dispensing Dime - Code (08 91 08)"},
    {"08 91 6B", T::None, 0, nullptr, "Dispensing Dime", "Dispensing Dime - Code (08 91 6B)"},
    {"08 92 00", T::None, 0, nullptr, "Dispensing Quarter", "Dispensing Quarter - Code (08 92 00)"},
    {"08 92 06", T::None, 0, nullptr, "Dispensing Quarter", "Dispensing Quarter - Code (08 92 06)"},
    {"08 92 4B", T::None, 0, nullptr, "Dispensing Quarter", "Dispensing Quarter - Code (08 92 4B)"},
    {"08 92 15", T::None, 0, nullptr, "Dispensing Quarter", "Dispensing Quarter - Code (08 92 15)"},
};

const ReplyRow kCoinsRejectedRows[] = {
    {"08 70 00", T::None, 0, nullptr, "Nickel rejected", "Nickel rejected - Code (08 70 00)"},
    {"08 70 06", T::None, 0, nullptr, "Nickel rejected", "Nickel rejected - Code (08 70 06)"},
    {"08 70 4C", T::None, 0, nullptr, "Nickel rejected", "Nickel rejected - Code (08 70 4C)"},
    {"08 71 00", T::None, 0, nullptr, "Dime rejected", "Dime rejected - Code (08 71 00)"},
    {"08 71 08", T::None, 0, nullptr, "Dime rejected", "Dime rejected - Code (08 71 08)"},
    {"08 71 6B", T::None, 0, nullptr, "Dime rejected", "Dime rejected - Code (08 71 6B)"},
    {"08 72 00", T::None, 0, nullptr, "Quarter rejected", "Quarter rejected - Code (08 72 00)"},
    {"08 72 06", T::None, 0, nullptr, "Quarter rejected", "Quarter rejected - Code (08 72 06)"},
    {"08 72 4B", T::None, 0, nullptr, "Quarter rejected", "Quarter rejected - Code (08 72 4B)"},
    {"08 74 00", T::None, 0, nullptr, "Dollar Coin rejected", "Dollar Coin rejected - Code (08 74 00)"},
    {"08 75 00", T::None, 0, nullptr, "Two Dollar Coin rejected", "Two Dollar Coin rejected - Code (08 75 00)"},
};

// Two-byte status codes: they match only when nothing but blanks follows within the first eight
// characters received.
const ReplyRow kChangerStatusRows[] = {
    {"08 01", T::None, 0, nullptr, "Coin Returned", "Coin Returned - Code (08 01)"},
    {"08 21", T::None, 0, nullptr, "Bad Coin or Slug", "Coin Returned - Code (08 21)"},
    {"08 03", T::None, 0, nullptr, "No credit", "No credit- Code (08 03)"},
    {"08 04", T::None, 0, nullptr, "Defective sensor", "Defective sensor - Code (08 04)"},
    {"08 05", T::None, 0, nullptr, "Double Arrival", "Double Arrival - Code (08 05)"},
    {"08 06", T::None, 0, nullptr, "Acceptor unplugged", "Acceptor unplugged - Code (08 06)"},
    {"08 07", T::None, 0, nullptr, "Tube Jam", "Tube Jam - Code (08 07)"},
    {"08 08", T::None, 0, nullptr, "Checksum error", "Checksum error - Code (08 08)"},
    {"08 09", T::None, 0, nullptr, "Routing error", "Routing error - Code (08 09)"},
    {"08 0A", T::None, 0, nullptr, "Changer busy", "Changer busy - Code (08 0A)"},
    {"08 0C", T::None, 0, nullptr, "Coin jam", "Coin jam - Code (08 0C)"},
};

const ReplyRow kBillsTakenInRows[] = {
    {"30 80 09", T::Bill, 0, "$1", nullptr, "Received a One Dollar Bill - ($1)"},
    {"30 81 09", T::Bill, 1, "$2", nullptr, "Received a Two Dollar Bill - ($2)"},
    {"30 82 09", T::Bill, 2, "$5", nullptr, "Received a Five Dollar Bill - ($5)"},
    {"30 83 09", T::Bill, 3, "$10", nullptr, "Received a Ten Dollar Bill - ($10)"},
    {"30 84 09", T::Bill, 4, "$20", nullptr, "Received a Twenty Dollar Bill - ($20)"},
};

const ReplyRow kValidatorStatusRows[] = {
    {"30 01", T::None, 0, nullptr, "Defective motor", "Defective motor - Code (30 01)"},
    {"30 02", T::None, 0, nullptr, "Sensor problem", "Sensor problem - Code (30 02)"},
    {"30 03", T::None, 0, nullptr, "Validator Busy", "Validator Busy - Code (30 03)"},
    {"30 04", T::None, 0, nullptr, "ROM Checksum Error", "ROM Checksum Error - Code (30 04)"},
    {"30 05", T::None, 0, nullptr, "Validator jammed", "Validator jammed - Code (30 05)"},
    {"30 06", T::None, 0, nullptr, "Validator was reset", "Validator was reset - Code (30 06)"},
    {"30 07", T::None, 0, nullptr, "Bill Removed", "Bill Removed - Code (30 07)"},
    {"30 08", T::None, 0, nullptr, "Cash box out of position", "Cash box out of position - Code (30 08)"},
    {"30 0A", T::None, 0, nullptr, "Invalid escrow request", "Invalid escrow request - Code (30 0A)"},
    {"30 0B", T::None, 0, nullptr, "Bill rejected", "Bill rejected - Code (30 0B)"},
    {"30 14", T::None, 0, nullptr, "Bill not accepted", "Bill not accepted - Code (30 14)"},
};

const core::Table<ReplyRow> kCoinsTakenIn = kCoinsTakenInRows;
const core::Table<ReplyRow> kCoinsPaidOut = kCoinsPaidOutRows;
const core::Table<ReplyRow> kCoinsRejected = kCoinsRejectedRows;
const core::Table<ReplyRow> kChangerStatus = kChangerStatusRows;
const core::Table<ReplyRow> kBillsTakenIn = kBillsTakenInRows;
const core::Table<ReplyRow> kValidatorStatus = kValidatorStatusRows;

namespace {
const core::Table<ReplyRow> kTables[] = {kCoinsTakenIn, kCoinsPaidOut, kCoinsRejected,
                                   kChangerStatus, kBillsTakenIn, kValidatorStatus};
} // namespace


const ReplyRow *find(const QString &code)
{
    if (code.size() > 8)
        return nullptr;
    for (const core::Table<ReplyRow> &table : kTables)
        for (const ReplyRow &row : table)
            if (code == QLatin1String(row.reply))
                return &row;
    return nullptr;
}

} // namespace kestrel::replies

namespace kestrel {

qint64 ReplyRow::cents() const
{
    switch (tally) {
    case Tally::Coin:
        return denominations::kCoins[std::size_t(row)].cents;
    case Tally::Bill:
        return denominations::kBills[std::size_t(row)].cents;
    case Tally::None:
        break;
    }
    return 0;
}

} // namespace kestrel
