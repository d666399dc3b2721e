#pragma once

#include "core/table.h"
#include "decode/replystate.h"

namespace kestrel::decode {

// The coin and bill tallies, the debugging panel's labels and the money total with its label: how
// they start, how the Clear buttons reset them, and how a coin or bill counts up.
class Tallies
{
public:
    explicit Tallies(ReplyState &state) : m_s(state) {}

    // Empties every list, then fills the five coin rows and five bill rows with count "0" and the
    // three debugging labels with blank values, and selects row 0 of each pair. Failing steps are
    // skipped quietly.
    void InitializeCount();
    // The money label as the window first shows it: the total in the locale's currency format.
    void UpdateTotalRecived();
    // Everything back to its start: lists, action log, total, money label, status line.
    void ClearAll();
    // The per-device Clear buttons: empty both lists of the device and put no rows back.
    void ClearCoinTotals();
    void ClearBillTotals();

    // The money label after a reply: "Total Money Received so far: " and the plain total.
    void showTotalAfterReply();

    // Reads the count in `row`, adds one as a 16-bit count and writes it back. Throws a Failure for
    // a missing row, a count that is not a number, or one that would pass 32767; the row then keeps
    // its old count.
    static void countUp(core::ListRows &counts, int row);

    // The debugging panel's three labels.
    static const core::Table<const char *> kDebuggingNames;

private:
    ReplyState &m_s;
};

} // namespace kestrel::decode
