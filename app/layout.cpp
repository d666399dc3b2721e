#include "app/layout.h"

#include "app/weblinks.h"

namespace kestrel::app::layout {

const char kWindowCaption[] = "KESTREL Interface ";

namespace {

const Panel kPanelRows[] = {
    {"Pictab0", "Setup", ""},
    {"Pictab1", "Bill Validator", ""},
    {"Pictab2", "Cashless Device", ""},
    {"Pictab3", "Coin Changer", "Set Payout Level to 2"},
    {"Pictab4", "USB", ""},
    {"Pictab5", "Other", "Visit our website " KESTREL_WEB_HOME},
};

// clang-format off
const Control kControlRows[] = {
    // Left column and bottom row.
    {"List1", Kind::List, "frmKestrel", "", "", 120, 0, 4935, 3630, None},
    {"Command3", Kind::Button, "frmKestrel", "Clear", "Clear above log", 4200, 3360, 855, 375, None},
    {"fraDebugging", Kind::Frame, "frmKestrel", "Debugging Information", "", 120, 3720, 4935, 3495, None},
    {"cmdClearAll", Kind::Button, "frmKestrel", "Clear All", "Clear above logs", 240, 7320, 1695, 375, None},
    {"lblTotalReceived", Kind::Label, "frmKestrel", "Total Money Received:", "", 2160, 7320, 2895, 375, None},
    {"lblSpecialInstruction", Kind::Label, "frmKestrel", "Special Instructions:", "", 120, 7800, 4935, 375, None},
    {"TabStrip1", Kind::TabStrip, "frmKestrel", "", "", 5040, 0, 6015, 8175, None},

    // Inside the debugging frame.
    {"lblActionLog", Kind::Label, "fraDebugging", "Action Log", "", 120, 240, 4695, 375, Centred},
    {"lstActionLog", Kind::List, "fraDebugging", "", "", 120, 600, 4695, 1530, None},
    {"lblDebugging", Kind::Label, "fraDebugging", "Comm Port Property Information", "", 120, 2160, 4695, 375, Centred},
    {"lstDebugging", Kind::List, "fraDebugging", "", "", 120, 2520, 2055, 900, None},
    {"lstDebuggingValue", Kind::List, "fraDebugging", "", "", 2160, 2520, 2655, 900, None},

    // Setup panel.
    {"Frame2", Kind::Frame, "Pictab0", "CommPort Selection", "", 1200, 480, 1695, 2295, None},
    {"Option1", Kind::Option, "Frame2", "Comm1", "Use Comm Port 1 for communication", 120, 240, 1095, 375, None},
    {"Option2", Kind::Option, "Frame2", "Comm2", "Use Comm Port 2 for communication", 120, 555, 1095, 375, None},
    {"Option3", Kind::Option, "Frame2", "Comm3", "Use Comm Port 3 for communication", 120, 870, 1095, 375, None},
    {"Option4", Kind::Option, "Frame2", "Comm4", "Use Comm Port 4 for communication", 120, 1170, 1095, 375, None},
    {"Option5", Kind::Option, "Frame2", "USB", "", 120, 1485, 975, 375, Disabled},
    {"Option6", Kind::Option, "Frame2", "802.11b", "", 120, 1800, 975, 375, None},
    {"Text1", Kind::TextBox, "Pictab0", "Text1", "", 120, 7200, 1695, 495, Disabled},
    {"TransHex", Kind::Button, "Pictab0", "Transmit Hex", "", 1920, 7200, 1695, 495, Disabled},
    {"cmdExitSetup", Kind::Button, "Pictab0", "Exit", "Exit KESTREL", 4200, 7320, 1215, 375, None},

    // Bill Validator panel.
    {"BV_setup", Kind::Button, "Pictab1", "Setup", "Setup Bill Validator", 240, 360, 1695, 375, None},
    {"cmdResetVal", Kind::Button, "Pictab1", "Reset", "Reset Bill Validator", 2160, 360, 1695, 375, None},
    {"BV_id", Kind::Button, "Pictab1", "Identify", "Identify the Bill Validator", 240, 840, 1695, 375, None},
    {"cmdDTRtoggle", Kind::Button, "Pictab1", "Enable Escrow", "Enable/Disable Escrow", 2160, 840, 1695, 375, None},
    {"Stack_bill", Kind::Button, "Pictab1", "Stack Bill", "Stack Bill", 240, 1320, 1695, 375, None},
    {"cmdBillReturn", Kind::Button, "Pictab1", "Return Bill in escrow", "Return bill in escrow position", 2160, 1320, 1695, 375, None},
    {"cmdStacker", Kind::Button, "Pictab1", "Stacker Capacity Level", "Check the number of bills in the stacker", 240, 1800, 1695, 495, None},
    {"cmdBillPDF", Kind::Button, "Pictab1", "NAMA Bill Validator Specs", "View NAMA specs for Bill Validators", 2160, 1800, 1695, 495, None},
    {"Command1", Kind::Button, "Pictab1", "Enable bills", "", 240, 2400, 1695, 495, None},
    {"Command4", Kind::Button, "Pictab1", "Disable bills", "", 2160, 2400, 1695, 495, None},
    {"lblBill", Kind::Label, "Pictab1", "Bill Totals ", "", 240, 5520, 2295, 375, Centred},
    {"lstBill", Kind::List, "Pictab1", "", "", 240, 5880, 1215, 1110, None},
    {"lstBillCount", Kind::List, "Pictab1", "", "", 1440, 5880, 1095, 1110, None},
    {"cmdClearBillTotals", Kind::Button, "Pictab1", "Clear", "Clear Bill Totals", 240, 7080, 1695, 375, None},
    {"cmdExitBillVal", Kind::Button, "Pictab1", "Exit", "Exit KESTREL", 4200, 7320, 1215, 375, None},

    // Cashless Device panel.
    {"EnableCashless", Kind::Button, "Pictab2", "Enable", "Enable Cashless Device", 240, 360, 1695, 375, None},
    {"cmdResetCashless", Kind::Button, "Pictab2", "Reset", "Reset Cashless Device", 2160, 360, 1695, 375, None},
    {"DisableCashless", Kind::Button, "Pictab2", "Disable", "Disable Cashless Device", 240, 840, 1695, 375, None},
    {"cmdRequestID", Kind::Button, "Pictab2", "Request ID", "Request ID", 2160, 840, 1695, 375, None},
    {"cmdReadercancel", Kind::Button, "Pictab2", "Cancel Reader", "Abort payment media activities", 240, 1320, 1695, 375, None},
    {"cmdVendRequest", Kind::Button, "Pictab2", "Request Vend", "Request Item Vend", 2160, 1320, 1695, 375, None},
    {"cmdRevalReq", Kind::Button, "Pictab2", "Request Revalue", "Revalue Request", 240, 1800, 1695, 375, None},
    {"Command13", Kind::Button, "Pictab2", "Session Complete", "", 2160, 1800, 1695, 375, None},
    {"Command9", Kind::Button, "Pictab2", "17 00", "", 240, 2280, 1695, 375, None},
    {"Command11", Kind::Button, "Pictab2", "Vend Approved", "", 2160, 2280, 1695, 375, None},
    {"Command8", Kind::Button, "Pictab2", "End session", "", 240, 2760, 1695, 375, None},
    {"Command14", Kind::Button, "Pictab2", "write to lcd", "", 2160, 2760, 1695, 375, None},
    {"Command10", Kind::Button, "Pictab2", "Begin Session", "", 240, 3240, 1695, 375, None},
    {"cmdCashlessPDF", Kind::Button, "Pictab2", "NAMA Cashless Device Specs", "View NAMA specs for Cashless devices", 2160, 3240, 2535, 375, None},
    {"Command12", Kind::Button, "Pictab2", "Vend Success", "", 240, 3720, 1695, 375, None},
    {"Command2", Kind::Button, "Pictab2", "Set-up 11 00 01 0F 02 01", "", 2160, 3720, 2535, 375, None},
    {"List2", Kind::List, "Pictab2", "", "", 240, 4800, 2055, 1110, None},
    {"cmdExitCashless", Kind::Button, "Pictab2", "Exit", "Exit KESTERL", 4200, 7320, 1215, 375, None},

    // Coin Changer panel. Command5 sends the enable-all frame, so its caption says so.
    {"Setup", Kind::Button, "Pictab3", "Setup", "Setup coin changer", 240, 360, 1695, 375, None},
    {"cmdResetChanger", Kind::Button, "Pictab3", "Reset", "Reset coin changer", 2160, 360, 1695, 375, None},
    {"ID", Kind::Button, "Pictab3", "Identify", "Identify Changer", 240, 840, 1695, 375, None},
    {"cmdDispenseNickel", Kind::Button, "Pictab3", "Dispense Nickel", "Dispense Nickel from changer", 2160, 840, 1695, 375, None},
    {"Payout", Kind::Button, "Pictab3", "Payout Level2", "Run Payout Level test", 240, 1320, 1695, 375, None},
    {"cmdDispenseDime", Kind::Button, "Pictab3", "Dispense Dime", "Dispense Dime from changer", 2160, 1320, 1695, 375, None},
    {"cmdTubeStatus", Kind::Button, "Pictab3", "Tube Status", "Obtain Tube Status", 240, 1800, 1695, 375, None},
    {"cmdDispenseQuarter", Kind::Button, "Pictab3", "Dispense Quarter", "Dispense Quarter from changer", 2160, 1800, 1695, 375, None},
    {"enable_all_coin_types", Kind::Button, "Pictab3", "Enable All Coin Types", "Signifie coins accepted", 240, 2280, 1695, 375, None},
    {"disable_all_coin_types", Kind::Button, "Pictab3", "Disable All Coin Types", "Disable all coin types", 2160, 2280, 1695, 495, None},
    {"cmdCoinPDF", Kind::Button, "Pictab3", "NAMA Specs for Coin Changer", "Open NAMA Coin Changer PDF File", 240, 2760, 1695, 495, None},
    {"Command5", Kind::Button, "Pictab3", "Enable All Coin Types", "", 2160, 2880, 1695, 495, None},
    {"lblCoin", Kind::Label, "Pictab3", "Coin Totals", "", 240, 5520, 2295, 375, Centred},
    {"lstCoin", Kind::List, "Pictab3", "", "", 240, 5880, 1695, 1110, None},
    {"lstCoinCount", Kind::List, "Pictab3", "", "", 1920, 5880, 615, 1110, None},
    {"cmdClearCoinTotals", Kind::Button, "Pictab3", "Clear", "Clear Coin Totals", 240, 7080, 1695, 375, None},
    {"cmdExitChanger", Kind::Button, "Pictab3", "Exit", "Exit KESTREL", 4200, 7320, 1215, 375, None},

    // USB panel.
    {"lstUSBResults", Kind::List, "Pictab4", "", "", 600, 2160, 4335, 1740, None},
    {"ConnectHID", Kind::Button, "Pictab4", "Connect to HID", "", 600, 3960, 1335, 375, None},
    {"clearUSBResults", Kind::Button, "Pictab4", "Clear", "Clear above log", 2160, 3960, 1095, 375, None},
    {"cmdExitUSB", Kind::Button, "Pictab4", "Exit", "Exit KESTREL", 4200, 7320, 1215, 375, None},

    // Other panel.
    {"cmdShowLEDjump", Kind::Button, "Pictab5", "Show Tessard board layout", "View Tessard board layout", 240, 360, 1695, 615, None},
    {"cmdshowfrmConnector", Kind::Button, "Pictab5", "Show Tessard Connector Screen", "View Tessard connector screen", 240, 1080, 1695, 615, None},
    {"cmdShowQuillonLayout", Kind::Button, "Pictab5", "Show Quillon board layout", "View Quillon board layout", 240, 1800, 1695, 615, None},
    {"cmdShowQuillonConnectorScreen", Kind::Button, "Pictab5", "Show Quillon Connector Screen", "Show Quillon connector screen", 240, 2520, 1695, 615, None},
    {"VLMOnline", Kind::Link, "Pictab5", KESTREL_WEB_HOME, "Visit our website " KESTREL_WEB_HOME " by clicking here", 240, 3360, 2655, 375, None},
    {"cmdExitother", Kind::Button, "Pictab5", "Exit", "Exit KESTREL", 4200, 7320, 1215, 375, None},
};
// clang-format on

// Named after the heading above the list where it has one.
const ListName kListNameRows[] = {
    {"List1", "Replies received"},
    {"lstActionLog", "Action Log"},
    {"lstDebugging", "Comm Port Property Information"},
    {"lstDebuggingValue", "Comm Port Property values"},
    {"lstBill", "Bill Totals"},
    {"lstBillCount", "Bill counts"},
    {"List2", "Cashless device list"},
    {"lstCoin", "Coin Totals"},
    {"lstCoinCount", "Coin counts"},
    {"lstUSBResults", "USB results"},
};
const ExitButton kExitRows[] = {
    {"cmdExitSetup", session::OnExitFailure::Stop},
    {"cmdExitBillVal", session::OnExitFailure::Continue},
    {"cmdExitCashless", session::OnExitFailure::Continue},
    {"cmdExitChanger", session::OnExitFailure::End},
    {"cmdExitUSB", session::OnExitFailure::Stop},
    {"cmdExitother", session::OnExitFailure::End},
};

const ScreenButton kScreenButtonRows[] = {
    {"cmdShowLEDjump", screens::BoardScreen::Which::LedsAndJumpers},
    {"cmdshowfrmConnector", screens::BoardScreen::Which::Connectors},
    {"cmdShowQuillonLayout", screens::BoardScreen::Which::QuillonLayout},
    {"cmdShowQuillonConnectorScreen", screens::BoardScreen::Which::QuillonConnectors},
};

const MenuItem kHelpItemRows[] = {
    {"mnuVLMOnline", "VLM Online"},
    {"mnuhelpabout", "About"},
    {"mnuOrder", "Order"},
};

} // namespace

const core::Table<Control> kControls = kControlRows;
const core::Table<Panel> kPanels = kPanelRows;
const core::Table<ListName> kListNames = kListNameRows;
const core::Table<ExitButton> kExits = kExitRows;
const core::Table<ScreenButton> kScreenButtons = kScreenButtonRows;
const core::Table<MenuItem> kHelpItems = kHelpItemRows;

} // namespace kestrel::app::layout
