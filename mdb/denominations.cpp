#include "mdb/denominations.h"

namespace kestrel::denominations {

namespace {

// clang-format off
const Coin kCoinRows[] = {
    {"Nickel", 5, 0, true,
     {"08 50 00", "08 50 06", "08 40 4C"}, {"08 90 00", "08 90 06", "08 90 4C"}, {"08 70 00", "08 70 06", "08 70 4C"}},
    {"Dime", 10, 1, true,
     {"08 51 00", "08 51 08", "08 41 6B"}, {"08 91 00", "08 91 08", "08 91 6B"}, {"08 71 00", "08 71 08", "08 71 6B"}},
    {"Quarter", 25, 2, true,
     {"08 52 00", "08 52 06", "08 42 4B"}, {"08 92 00", "08 92 06", "08 92 4B"}, {"08 72 00", "08 72 06", "08 72 4B"}},
    {"Canadian Dollar", 100, 4, false,
     {"08 44 00", "08 44 00", "08 44 00"}, {}, {"08 74 00", "08 74 00", "08 74 00"}},
    {"Canadian Two Dollar", 200, 5, false,
     {"08 45 00", "08 45 00", "08 45 00"}, {}, {"08 75 00", "08 75 00", "08 75 00"}},
};

const Bill kBillRows[] = {
    {"$1", 100, 0, "30 80 09", "30 90 09", "30 A0 09"},
    {"$2", 200, 1, "30 81 09", "30 91 09", "30 A1 09"},
    {"$5", 500, 2, "30 82 09", "30 92 09", "30 A2 09"},
    {"$10", 1000, 3, "30 83 09", "30 93 09", "30 A3 09"},
    {"$20", 2000, 4, "30 84 09", "30 94 09", "30 A4 09"},
};
// clang-format on

} // namespace

const core::Table<Coin> kCoins = kCoinRows;
const core::Table<Bill> kBills = kBillRows;

} // namespace kestrel::denominations
