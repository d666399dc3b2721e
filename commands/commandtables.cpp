#include "commands/commandtables.h"

namespace kestrel::commands {

// Coin changer (MDB address 0x08). COIN TYPE (0C) carries the acceptance and manual dispense masks,
// high byte first; EXPANSION PAYOUT (0F 02) carries the amount in coin scaling units (1, 2, 5 are a
// nickel, a dime and a quarter at 5 cents a unit).
const CommandRow kCoinChangerRows[] = {
    {"cmdResetChanger", "Reset", frame(0x08), "Coin Changer Reset", "Error reseting changer, ", mdb::Cmd::ChangerReset},
    {"Setup", "Setup", frame(0x09), "Return Set-up Information", "Error during coin changer setup, ", mdb::Cmd::ChangerSetup},
    {"cmdTubeStatus", "Tube Status", frame(0x0A), "Tube Status", "Error getting tube status, ", mdb::Cmd::TubeStatus},
    {"enable_all_coin_types", "Enable All Coin Types", frame(0x0C, 0xFF, 0xFF, 0xFF, 0xFF), "Enable all Coins", "Error In Enabling All Coins, ", mdb::Cmd::CoinType},
    {"disable_all_coin_types", "Disable All Coin Types", frame(0x0C, 0x00, 0x00, 0x00, 0x00), "Disable all Coins", "Error In Disabling All Coins, ", mdb::Cmd::CoinType},
    {"ID", "Identify", frame(0x0F, 0x00), "Identify", "Error identifing changer, ", mdb::Cmd::ChangerIdentification},
    {"Payout", "Payout Level2", frame(0x0F, 0x02), "Payout Test", "Error running payout test, ", mdb::Cmd::Payout},
    {"cmdDispenseNickel", "Dispense Nickel", frame(0x0F, 0x02, 0x01), "Dispense Nickel", "Error In Dispensing Nickel, ", mdb::Cmd::Payout},
    {"cmdDispenseDime", "Dispense Dime", frame(0x0F, 0x02, 0x02), "Dispense Dime", "Error In Dispensing Dime, ", mdb::Cmd::Payout},
    {"cmdDispenseQuarter", "Dispense Quarter", frame(0x0F, 0x02, 0x05), "Dispense Quarter", "Error In Dispensing Quarter, ", mdb::Cmd::Payout},
    // The second enable-all button below "Disable All Coin Types"; captioned for what it sends.
    {"Command5", "Enable All Coin Types", frame(0x0C, 0xFF, 0xFF, 0xFF, 0xFF), "Enable all Coins", "Error In Enabling All Coins, ", mdb::Cmd::CoinType},
};

// Bill validator (MDB address 0x30). BILL TYPE (34) carries the bill enable and escrow enable masks,
// high byte first; ESCROW (35) returns (00) or stacks (01) the bill held.
const CommandRow kBillValidatorRows[] = {
    {"cmdResetVal", "Reset", frame(0x30), "Bill Validator Reset", "Error reseting Bill Validator, ", mdb::Cmd::ValidatorReset},
    {"BV_setup", "Setup", frame(0x31), "Return Set-up information", "Error during Bill Validator Setup, ", mdb::Cmd::ValidatorSetup},
    {"Command1", "Enable bills", frame(0x34, 0x00, 0x1F, 0x00, 0x00), "Enable bills", "Error enabling bills, ", mdb::Cmd::BillType},
    // Leaves bill type 1 enabled, as the validator expects to see it.
    {"Command4", "Disable bills", frame(0x34, 0x00, 0x02, 0x00, 0x00), "Disable bills", "Error disabling bills, ", mdb::Cmd::BillType},
    {"cmdBillReturn", "Return Bill in escrow", frame(0x35, 0x00), "Bill Returned from Escrow", "Error returning bill in escrow, ", mdb::Cmd::Escrow},
    {"Stack_bill", "Stack Bill", frame(0x35, 0x01), "Stack Bill", "Error stacking bill, ", mdb::Cmd::Escrow},
    {"cmdStacker", "Stacker Capacity Level", frame(0x36), "Stacker capacity level", "Error checking if stacker is full, ", mdb::Cmd::Stacker},
    {"BV_id", "Identify", frame(0x37, 0x00), "Identify", "Error identifying Bill Validator, ", mdb::Cmd::ValidatorIdentification},
};

const EscrowBranch kEscrowOn = {"Enable Escrow", frame(0x34, 0x00, 0x1F, 0x00, 0x01),
                                "Escrow Enabled", "Disable Escrow", mdb::Cmd::BillType};
const EscrowBranch kEscrowOff = {"Disable Escrow", frame(0x34, 0x00, 0x1F, 0x00, 0x00),
                                 "Escrow Disabled", "Enable Escrow", mdb::Cmd::BillType};

// Cashless reader (MDB address 0x10): seven reader commands, then eight test buttons whose frames
// are steps of a vend sequence, several of them the reader's own response codes. A failing test
// button reports in the action log like every other button.
const CommandRow kCashlessRows[] = {
    {"cmdResetCashless", "Reset", frame(0x10), "Cashless device reset", "Error reseting cashless device, ", mdb::Cmd::ReaderReset},
    {"EnableCashless", "Enable", frame(0x14, 0x01), "Reader Enabled", "Error enabling cashless device, ", mdb::Cmd::ReaderEnable},
    {"DisableCashless", "Disable", frame(0x14, 0x00), "Reader Disabled", "Error disabling cashless device, ", mdb::Cmd::ReaderDisable},
    {"cmdReadercancel", "Cancel Reader", frame(0x14, 0x02), "Cashless device canceled", "Error canceling reader, ", mdb::Cmd::ReaderCancel},
    {"cmdVendRequest", "Request Vend", frame(0x13, 0x00), "Vend requested", "Error during vend request, ", mdb::Cmd::VendRequest},
    {"cmdRevalReq", "Request Revalue", frame(0x15, 0x00), "Request Revalue", "Error requesting revalue, ", mdb::Cmd::RevalueRequest},
    {"cmdRequestID", "Request ID", frame(0x17, 0x00), "Request ID", "Error requesting Cashless Device's ID, ", mdb::Cmd::RequestId},
    {"Command2", "Set-up 11 00 01 0F 02 01", frame(0x11, 0x00, 0x01, 0x0F, 0x02, 0x01), "Send Set-up", "Error sending test frame, ", mdb::Cmd::SetupConfigData},
    {"Command9", "17 00", frame(0x17, 0x00), "17 00", "Error sending test frame, ", mdb::Cmd::RequestId},
    {"Command10", "Begin Session", frame(0x03), "Begin Session", "Error sending test frame, ", mdb::Cmd::TestBeginSession},
    {"Command11", "Vend Approved", frame(0x05, 0x00, 0x01), "Vend Approved", "Error sending test frame, ", mdb::Cmd::TestVendApproved},
    {"Command12", "Vend Success", frame(0x13, 0x02), "Vend Success", "Error sending test frame, ", mdb::Cmd::VendSuccess},
    {"Command13", "Session Complete", frame(0x13, 0x04), "Session Complete", "Error sending test frame, ", mdb::Cmd::SessionComplete},
    {"Command8", "End session", frame(0x07), "End session", "Error ending session, ", mdb::Cmd::TestEndSession},
    {"Command14", "write to lcd", frame(0x02, 0x01, 0x41, 0x41, 0x41, 0x41, 0x41, 0x41, 0x41, 0x41, 0x41, 0x41),
     "write to lcd", "Error sending test frame, ", mdb::Cmd::TestDisplayRequest},
};

const core::Table<CommandRow> kCoinChanger = kCoinChangerRows;
const core::Table<CommandRow> kBillValidator = kBillValidatorRows;
const core::Table<CommandRow> kCashless = kCashlessRows;

} // namespace kestrel::commands
