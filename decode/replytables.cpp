#include "decode/replytables.h"

#include <iterator>

namespace kestrel::replies {

using T = ReplyRow::Tally;

// Coins taken in. Two-piece names are joined with nothing between ("Nickel " "(Tube Low)").
const ReplyRow kCoinsTakenIn[12] = {
    {"08 50 00", T::Coin, 0, "Nickel " "(Tube Low)", 5, nullptr, "Received a Nickel, Warning Nickel Tube Low"},
    {"08 50 06", T::Coin, 0, "Nickel received", 5, nullptr, "Received a Nickel"},
    {"08 40 4C", T::Coin, 0, "Nickel received " "(Tube Full)", 5, nullptr, "Received a Nickel, Nickel Tube Full"},
    {"08 51 00", T::Coin, 1, "Dime " "(Tube Low)", 10, nullptr, "Received a Dime, Warning Dime Tube Low"},
    {"08 51 08", T::Coin, 1, "Dime received ", 10, nullptr, "Received a Dime"},
    {"08 41 6B", T::Coin, 1, "Dime received " "(Tube Full)", 10, nullptr, "Received a Dime, Dime Tube Full"},
    {"08 52 00", T::Coin, 2, "Quarter " "(Tube Low)", 25, nullptr, "Received a Quarter, Warning Quarter Tube Low"},
    {"08 52 06", T::Coin, 2, "Quarter ", 25, nullptr, "Received a Quarter"},
    {"08 42 4B", T::Coin, 2, "Quarter " "(Tube Full)", 25, nullptr, "Received a Quarter, Quarter Tube Full"},
    {"08 42 15", T::Coin, 2, "Quarter received " "(Tube Full)", 25, nullptr, "Received a Quarter, Quarter Tube Full"},
    {"08 44 00", T::Coin, 3, "Canadian Dollar ", 100, nullptr, "Received a Canadian Dollar Coin"},
    {"08 45 00", T::Coin, 4, "Canadian Two Dollar", 200, nullptr, "Received a Canadian Two Dollar Coin"},
};

// Coins paid out: a notice only; a payout does not reduce the total.
const ReplyRow kCoinsPaidOut[11] = {
    {"02", T::None, 0, nullptr, 0, "Dispensing coin", "Dispensing coin"},
    {"08 90 00", T::None, 0, nullptr, 0, "Dispensing Nickel", "Dispensing Nickel - Code (08 90 00) "},
    {"08 90 06", T::None, 0, nullptr, 0, "Dispensing Nickel", "Dispensing Nickel - Code (08 90 06)"},
    {"08 90 4C", T::None, 0, nullptr, 0, "Dispensing Nickel", "Dispensing Nickel - Code (08 90 4C)"},
    {"08 91 00", T::None, 0, nullptr, 0, "Dispensing Dime", "Dispensing Dime - Code (08 91 00)"},
    {"08 91 08", T::None, 0, nullptr, 0, "Dispensing Dime", "Dispensing Dime - Code (08 91 08)"},
    {"08 91 6B", T::None, 0, nullptr, 0, "Dispensing Dime", "Dispensing Dime - Code (08 91 6B)"},
    {"08 92 00", T::None, 0, nullptr, 0, "Dispensing Quarter", "Dispensing Quarter - Code (08 92 00)"},
    {"08 92 06", T::None, 0, nullptr, 0, "Dispensing Quarter", "Dispensing Quarter - Code (08 92 06)"},
    {"08 92 4B", T::None, 0, nullptr, 0, "Dispensing Quarter", "Dispensing Quarter - Code (08 92 4B)"},
    {"08 92 15", T::None, 0, nullptr, 0, "Dispensing Quarter", "Dispensing Quarter - Code (08 92 15)"},
};

const ReplyRow kCoinsRejected[11] = {
    {"08 70 00", T::None, 0, nullptr, 0, "Nickel rejected", "Nickel rejected - Code (08 70 00)"},
    {"08 70 06", T::None, 0, nullptr, 0, "Nickel rejected", "Nickel rejected - Code (08 70 06)"},
    {"08 70 4C", T::None, 0, nullptr, 0, "Nickel rejected", "Nickel rejected - Code (08 70 4C)"},
    {"08 71 00", T::None, 0, nullptr, 0, "Dime rejected", "Dime rejected - Code (08 71 00)"},
    {"08 71 08", T::None, 0, nullptr, 0, "Dime rejected", "Dime rejected - Code (08 71 08)"},
    {"08 71 6B", T::None, 0, nullptr, 0, "Dime rejected", "Dime rejected - Code (08 71 6B)"},
    {"08 72 00", T::None, 0, nullptr, 0, "Quarter rejected", "Quarter rejected - Code (08 72 00)"},
    {"08 72 06", T::None, 0, nullptr, 0, "Quarter rejected", "Quarter rejected - Code (08 72 06)"},
    {"08 72 4B", T::None, 0, nullptr, 0, "Quarter rejected", "Quarter rejected - Code (08 72 4B)"},
    {"08 74 00", T::None, 0, nullptr, 0, "Dollar Coin rejected", "Dollar Coin rejected - Code (08 74 00)"},
    {"08 75 00", T::None, 0, nullptr, 0, "Two Dollar Coin rejected", "Two Dollar Coin rejected - Code (08 75 00)"},
};

// Two-byte status codes: they match only when nothing but blanks follows within the first eight
// characters received.
const ReplyRow kChangerStatus[11] = {
    {"08 01", T::None, 0, nullptr, 0, "Coin Returned", "Coin Returned - Code (08 01)"},
    {"08 21", T::None, 0, nullptr, 0, "Bad Coin or Slug", "Coin Returned - Code (08 21)"},
    {"08 03", T::None, 0, nullptr, 0, "No credit", "No credit- Code (08 03)"},
    {"08 04", T::None, 0, nullptr, 0, "Defective sensor", "Defective sensor - Code (08 04)"},
    {"08 05", T::None, 0, nullptr, 0, "Double Arrival", "Double Arrival - Code (08 05)"},
    {"08 06", T::None, 0, nullptr, 0, "Acceptor unplugged", "Acceptor unplugged - Code (08 06)"},
    {"08 07", T::None, 0, nullptr, 0, "Tube Jam", "Tube Jam - Code (08 07)"},
    {"08 08", T::None, 0, nullptr, 0, "Checksum error", "Checksum error - Code (08 08)"},
    {"08 09", T::None, 0, nullptr, 0, "Routing error", "Routing error - Code (08 09)"},
    {"08 0A", T::None, 0, nullptr, 0, "Changer busy", "Changer busy - Code (08 0A)"},
    {"08 0C", T::None, 0, nullptr, 0, "Coin jam", "Coin jam - Code (08 0C)"},
};

const ReplyRow kBillsTakenIn[5] = {
    {"30 80 09", T::Bill, 0, "$1", 100, nullptr, "Received a One Dollar Bill - ($1)"},
    {"30 81 09", T::Bill, 1, "$2", 200, nullptr, "Received a Two Dollar Bill - ($2)"},
    {"30 82 09", T::Bill, 2, "$5", 500, nullptr, "Received a Five Dollar Bill - ($5)"},
    {"30 83 09", T::Bill, 3, "$10", 1000, nullptr, "Received a Ten Dollar Bill - ($10)"},
    {"30 84 09", T::Bill, 4, "$20", 2000, nullptr, "Received a Twenty Dollar Bill - ($20)"},
};

const ReplyRow kValidatorStatus[11] = {
    {"30 01", T::None, 0, nullptr, 0, "Defective motor", "Defective motor - Code (30 01)"},
    {"30 02", T::None, 0, nullptr, 0, "Sensor problem", "Sensor problem - Code (30 02)"},
    {"30 03", T::None, 0, nullptr, 0, "Validator Busy", "Validator Busy - Code (30 03)"},
    {"30 04", T::None, 0, nullptr, 0, "ROM Checksum Error", "ROM Checksum Error - Code (30 04)"},
    {"30 05", T::None, 0, nullptr, 0, "Validator jammed", "Validator jammed - Code (30 05)"},
    {"30 06", T::None, 0, nullptr, 0, "Validator was reset", "Validator was reset - Code (30 06)"},
    {"30 07", T::None, 0, nullptr, 0, "Bill Removed", "Bill Removed - Code (30 07)"},
    {"30 08", T::None, 0, nullptr, 0, "Cash box out of position", "Cash box out of position - Code (30 08)"},
    {"30 0A", T::None, 0, nullptr, 0, "Invalid escrow request", "Invalid escrow request - Code (30 0A)"},
    {"30 0B", T::None, 0, nullptr, 0, "Bill rejected", "Bill rejected - Code (30 0B)"},
    {"30 14", T::None, 0, nullptr, 0, "Bill not accepted", "Bill not accepted - Code (30 14)"},
};

namespace {
struct Table
{
    const ReplyRow *rows;
    int count;
};
template <std::size_t N>
constexpr Table table(const ReplyRow (&rows)[N])
{
    return {rows, int(N)};
}
const Table kTables[] = {table(kCoinsTakenIn), table(kCoinsPaidOut), table(kCoinsRejected),
                         table(kChangerStatus), table(kBillsTakenIn), table(kValidatorStatus)};
} // namespace

const ReplyRow *find(const QString &code)
{
    if (code.size() > 8)
        return nullptr;
    for (const Table &t : kTables)
        for (int i = 0; i < t.count; ++i)
            if (code == QLatin1String(t.rows[i].reply))
                return &t.rows[i];
    return nullptr;
}

} // namespace kestrel::replies
