#pragma once

#include "core/table.h"

#include <QtGlobal>

namespace kestrel {

// The coins and bills the console counts: how the tally lists name them, what each is worth, the
// type the peripheral reports it as, and the replies the board sends for it. The tallies, the reply
// rows, the virtual board and its window all read them here.
namespace denominations {

// The changer's tubes report a coin as low, normal or full; a coin without a tube (the Canadian
// dollar coins, which go to the cash box) has the same reply in every state.
enum Tube { Low, Normal, Full, TubeStates };

struct Coin
{
    const char *name;                   // as the coin tally lists it
    qint64 cents;
    int coinType;                       // the changer's coin type (0 to 15)
    bool hasTube;
    const char *takenIn[TubeStates];    // the reply for the coin taken in, by its tube's state
    const char *paidOut[TubeStates];    // the reply for the coin paid out (tube coins only)
    const char *rejected[TubeStates];   // the reply for the coin returned, not accepted
};

struct Bill
{
    const char *name;       // as the bill tally lists it
    qint64 cents;
    int billType;           // the validator's bill type (0 to 15)
    const char *stacked;    // the reply for the bill taken in
    const char *inEscrow;   // held in escrow (shown raw only)
    const char *returned;   // returned from escrow (shown raw only)
};

// In tally order: row i of the tally lists is coin or bill i.
extern const core::Table<Coin> kCoins;
extern const core::Table<Bill> kBills;

} // namespace denominations
} // namespace kestrel
