#include "plans/plan.h"

namespace kestrel::plans {

namespace {

// The coin changer: up, identified, its tubes read, every coin enabled, one coin of each US type
// taken in, and one nickel, dime and quarter paid out and reconciled against the tubes.
const char kChanger[] = R"(plan "Coin changer check"
press changer "Reset"
expect "08 0B" within 2s
press changer "Setup"
expect "08 *" within 2s
press changer "Identify"
expect "08 *" within 2s
press changer "Enable All Coin Types"
expect "08 00" within 2s

# One coin of each US type, to the tube (or the cash box when the tube is full).
ask "Insert a nickel"
expect "08 50 *" or "08 40 *" within 60s
check tally Nickel = 1
ask "Insert a dime"
expect "08 51 *" or "08 41 *" within 60s
check tally Dime = 1
ask "Insert a quarter"
expect "08 52 *" or "08 42 *" within 60s
check tally Quarter = 1
check total = 0.40

# One of each paid out, the tubes read before and after.
press changer "Tube Status"
expect "08 *" within 2s
press changer "Dispense Nickel"
expect "08 90 *" within 5s
press changer "Dispense Dime"
expect "08 91 *" within 5s
press changer "Dispense Quarter"
expect "08 92 *" within 5s
press changer "Tube Status"
expect "08 *" within 2s
check tube Nickel -1
check tube Dime -1
check tube Quarter -1
check payout
)";

// The bill validator: up, identified, bills and escrow enabled, one bill held in escrow and
// stacked, one held and returned (the escrow button holds $1 bills), and the stacker read.
const char kValidator[] = R"(plan "Bill validator check"
press validator "Reset"
expect "30 06" within 2s
press validator "Setup"
expect "30 *" within 2s
press validator "Identify"
expect "30 *" within 2s
press validator "Enable bills"
expect "30 00" within 2s
press validator "Enable Escrow"
expect "30 00" within 2s

# A bill held in escrow, then stacked: counted.
ask "Insert a $1 bill"
expect "30 90 *" within 60s
press validator "Stack Bill"
expect "30 80 *" within 5s
check tally $1 = 1
check total = 1.00

# Another held in escrow, then returned: not counted.
ask "Insert a $1 bill"
expect "30 90 *" within 60s
press validator "Return Bill in escrow"
expect "30 A0 *" within 5s
check tally $1 = 1
check total = 1.00

press validator "Stacker Capacity Level"
expect "30 *" within 2s
press validator "Disable Escrow"
expect "30 00" within 2s
)";

// The cashless reader through one vend: reset, set up, identified, enabled, a vend requested and
// approved, the vend's success reported, and the session completed.
const char kCashless[] = R"(plan "Cashless reader check"
press cashless "Reset"
expect "10 00" within 2s
press cashless "Set-up 11 00 01 0F 02 01"
expect "10 01 *" within 2s
press cashless "Request ID"
expect "10 09 *" within 2s
press cashless "Enable"
expect "10 00" within 2s
press cashless "Request Vend"
expect "10 05 *" within 5s
press cashless "Vend Approved"
press cashless "Vend Success"
expect "10 00" within 2s
press cashless "Session Complete"
expect "10 07" within 2s
)";

// The coin changer through every command it has: set up and identified, its optional features
// enabled, its diagnostics read, coins paid out by type and by value, the payout status and value
// read back, its manual fill and payout reports, and the payout reconciled against the tubes.
const char kChangerDeep[] = R"plan(plan "Coin changer, every command"
send changer RESET
expect "08 0B"
send changer SETUP
expect "08 *"
check reply "feature level" = "3"
send changer IDENTIFICATION
expect "08 *"
check reply "manufacturer code" = "VLM"
send changer "FEATURE ENABLE" features=0x7
expect "08 00"
send changer "SEND DIAGNOSTIC STATUS"
expect "08 *"
check reply "diagnostic code 1" = "03 00: Changer OK"
send changer "COIN TYPE" enable=0xFFFF dispense=0xFFFF
expect "08 00"

# Paid out by type and by value, the tubes read before and after.
send changer "TUBE STATUS"
expect "08 *"
send changer DISPENSE coin=Quarter count=2
expect "08 92 *"
expect "08 92 *"
send changer PAYOUT value=0.15
expect "08 91 *"
expect "08 90 *"
send changer "PAYOUT STATUS"
expect "08 *"
check reply "paid out of coin type 0 (Nickel)" = "1 coins"
check reply "paid out of coin type 1 (Dime)" = "1 coins"
check reply "paid out of coin type 2 (Quarter)" = "2 coins"
send changer "PAYOUT VALUE POLL"
expect "08 *"
check reply "paid out so far" = "0.65 USD"
send changer "SEND CONTROLLED MANUAL FILL REPORT"
expect "08 *"
send changer "SEND CONTROLLED MANUAL PAYOUT REPORT"
expect "08 *"
send changer "TUBE STATUS"
expect "08 *"
check tube Nickel -1
check tube Dime -1
check tube Quarter -2
check payout
)plan";

} // namespace

const QList<BuiltIn> &builtIns()
{
    static const QList<BuiltIn> plans = {
        {"changer", kChanger},
        {"validator", kValidator},
        {"cashless", kCashless},
        {"changer-deep", kChangerDeep},
    };
    return plans;
}

} // namespace kestrel::plans
