#include "commands/commandtables.h"

namespace kestrel::commands {

// Coin changer (MDB address 0x08). COIN TYPE (0C) carries the acceptance and manual dispense masks,
// high byte first; EXPANSION PAYOUT (0F 02) carries the amount in coin scaling units (1, 2, 5 are a
// nickel, a dime and a quarter at 5 cents a unit).
const CommandRow kCoinChanger[11] = {
    {"cmdResetChanger", {{0x08}, 1}, "Coin Changer Reset", "Error reseting changer, "},
    {"Setup", {{0x09}, 1}, "Return Set-up Information", "Error during coin changer setup, "},
    {"cmdTubeStatus", {{0x0A}, 1}, "Tube Status", "Error getting tube status, "},
    {"enable_all_coin_types", {{0x0C, 0xFF, 0xFF, 0xFF, 0xFF}, 5}, "Enable all Coins", "Error In Enabling All Coins, "},
    {"disable_all_coin_types", {{0x0C, 0x00, 0x00, 0x00, 0x00}, 5}, "Disable all Coins", "Error In Disabling All Coins, "},
    {"ID", {{0x0F, 0x00}, 2}, "Identify", "Error identifing changer, "},
    {"Payout", {{0x0F, 0x02}, 2}, "Payout Test", "Error running payout test, "},
    {"cmdDispenseNickel", {{0x0F, 0x02, 0x01}, 3}, "Dispense Nickel", "Error In Dispensing Nickel, "},
    {"cmdDispenseDime", {{0x0F, 0x02, 0x02}, 3}, "Dispense Dime", "Error In Dispensing Dime, "},
    {"cmdDispenseQuarter", {{0x0F, 0x02, 0x05}, 3}, "Dispense Quarter", "Error In Dispensing Quarter, "},
    // The second enable-all button below "Disable All Coin Types"; captioned for what it sends.
    {"Command5", {{0x0C, 0xFF, 0xFF, 0xFF, 0xFF}, 5}, "Enable all Coins", "Error In Enabling All Coins, "},
};

// Bill validator (MDB address 0x30). BILL TYPE (34) carries the bill enable and escrow enable masks,
// high byte first; ESCROW (35) returns (00) or stacks (01) the bill held.
const CommandRow kBillValidator[8] = {
    {"cmdResetVal", {{0x30}, 1}, "Bill Validator Reset", "Error reseting Bill Validator, "},
    {"BV_setup", {{0x31}, 1}, "Return Set-up information", "Error during Bill Validator Setup, "},
    {"Command1", {{0x34, 0x00, 0x1F, 0x00, 0x00}, 5}, "Enable bills", "Error enabling bills, "},
    // Leaves bill type 1 enabled, as the validator expects to see it.
    {"Command4", {{0x34, 0x00, 0x02, 0x00, 0x00}, 5}, "Disable bills", "Error disabling bills, "},
    {"cmdBillReturn", {{0x35, 0x00}, 2}, "Bill Returned from Escrow", "Error returning bill in escrow, "},
    {"Stack_bill", {{0x35, 0x01}, 2}, "Stack Bill", "Error stacking bill, "},
    {"cmdStacker", {{0x36}, 1}, "Stacker capacity level", "Error checking if stacker is full, "},
    {"BV_id", {{0x37, 0x00}, 2}, "Identify", "Error identifying Bill Validator, "},
};

const EscrowBranch kEscrowOn = {"Enable Escrow", {{0x34, 0x00, 0x1F, 0x00, 0x01}, 5},
                                "Escrow Enabled", "Disable Escrow"};
const EscrowBranch kEscrowOff = {"Disable Escrow", {{0x34, 0x00, 0x1F, 0x00, 0x00}, 5},
                                 "Escrow Disabled", "Enable Escrow"};

// Cashless reader (MDB address 0x10): seven reader commands, then eight test buttons whose frames
// are steps of a vend sequence, several of them the reader's own response codes. A failing test
// button reports in the action log like every other button.
const CommandRow kCashless[15] = {
    {"cmdResetCashless", {{0x10}, 1}, "Cashless device reset", "Error reseting cashless device, "},
    {"EnableCashless", {{0x14, 0x01}, 2}, "Reader Enabled", "Error enabling cashless device, "},
    {"DisableCashless", {{0x14, 0x00}, 2}, "Reader Disabled", "Error disabling cashless device, "},
    {"cmdReadercancel", {{0x14, 0x02}, 2}, "Cashless device canceled", "Error canceling reader, "},
    {"cmdVendRequest", {{0x13, 0x00}, 2}, "Vend requested", "Error during vend request, "},
    {"cmdRevalReq", {{0x15, 0x00}, 2}, "Request Revalue", "Error requesting revalue, "},
    {"cmdRequestID", {{0x17, 0x00}, 2}, "Request ID", "Error requesting Cashless Device's ID, "},
    {"Command2", {{0x11, 0x00, 0x01, 0x0F, 0x02, 0x01}, 6}, "Send Set-up", "Error sending test frame, "},
    {"Command9", {{0x17, 0x00}, 2}, "17 00", "Error sending test frame, "},
    {"Command10", {{0x03}, 1}, "Begin Session", "Error sending test frame, "},
    {"Command11", {{0x05, 0x00, 0x01}, 3}, "Vend Approved", "Error sending test frame, "},
    {"Command12", {{0x13, 0x02}, 2}, "Vend Success", "Error sending test frame, "},
    {"Command13", {{0x13, 0x04}, 2}, "Session Complete", "Error sending test frame, "},
    {"Command8", {{0x07}, 1}, "End session", "Error ending session, "},
    {"Command14", {{0x02, 0x01, 0x41, 0x41, 0x41, 0x41, 0x41, 0x41, 0x41, 0x41, 0x41, 0x41}, 12},
     "write to lcd", "Error sending test frame, "},
};

} // namespace kestrel::commands
