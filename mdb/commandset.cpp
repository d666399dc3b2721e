#include "mdb/commandset.h"

#include <algorithm>

namespace kestrel::mdb {

namespace {

using U = Unit;
using L = Layout;
using P = Peripheral;

// ---- parameters, command by command ------------------------------------------------------------
// {name, offset, bytes, shift, bits, low, high, unit, meaning, fallback, choices}

const Param kCoinTypeParams[] = {
    {"enable", 1, 2, 0, 0, 0, 0xFFFF, U::Mask, "coin types accepted, bit 0 for coin type 0", nullptr, nullptr},
    {"dispense", 3, 2, 0, 0, 0, 0xFFFF, U::Mask, "coin types the changer may pay out by hand", "0xFFFF", nullptr},
};
const Param kDispenseParams[] = {
    {"coin", 1, 1, 0, 4, 0, 15, U::CoinType, "the coin type paid out", nullptr, nullptr},
    {"count", 1, 1, 4, 4, 1, 15, U::Number, "how many coins", "1", nullptr},
};
const Param kChangerFeatureParams[] = {
    {"features", 2, 4, 0, 0, 0, 0xFFFFFFFF, U::Mask,
     "optional features to use: bit 0 alternative payout, 1 extended diagnostic, 2 controlled manual "
     "fill and payout, 3 file transport layer", "0x7", nullptr},
};
const Param kPayoutParams[] = {
    {"value", 2, 1, 0, 0, 1, 255, U::Money, "the value to pay out, in the changer's coin scaling", nullptr, nullptr},
};

const Param kSecurityParams[] = {
    {"levels", 1, 2, 0, 0, 0, 0xFFFF, U::Mask, "bill types checked at high security", nullptr, nullptr},
};
const Param kBillTypeParams[] = {
    {"enable", 1, 2, 0, 0, 0, 0xFFFF, U::Mask, "bill types accepted, bit 0 for bill type 0", nullptr, nullptr},
    {"escrow", 3, 2, 0, 0, 0, 0xFFFF, U::Mask, "bill types held in escrow", "0", nullptr},
};
const Param kEscrowParams[] = {
    {"action", 1, 1, 0, 0, 0, 1, U::Choice, "what becomes of the bill held", nullptr, "return,stack"},
};
const Param kValidatorFeatureParams[] = {
    {"features", 2, 4, 0, 0, 0, 0xFFFFFFFF, U::Mask,
     "optional features to use: bit 0 file transport layer, 1 bill recycling", "0x2", nullptr},
};
const Param kRecyclerEnableParams[] = {
    {"dispense", 2, 2, 0, 0, 0, 0xFFFF, U::Mask, "bill types the recycler may pay out by hand", "0", nullptr},
    {"recycle", 4, 16, 0, 0, 0, 0xFFFF, U::TypeBytes, "bill types the recycler keeps for payouts", nullptr, nullptr},
};
const Param kDispenseBillParams[] = {
    {"bill", 2, 1, 0, 0, 0, 15, U::BillType, "the bill type paid out", nullptr, nullptr},
    {"count", 3, 2, 0, 0, 1, 0xFFFF, U::Number, "how many bills", "1", nullptr},
};
const Param kDispenseValueParams[] = {
    {"value", 2, 2, 0, 0, 1, 0xFFFF, U::Money, "the value to pay out, in the validator's bill scaling", nullptr, nullptr},
};

const Param kSetupConfigParams[] = {
    {"level", 2, 1, 0, 0, 1, 3, U::Number, "the VMC's feature level", "1", nullptr},
    {"columns", 3, 1, 0, 0, 0, 255, U::Number, "columns on the VMC's display", "0", nullptr},
    {"rows", 4, 1, 0, 0, 0, 255, U::Number, "rows on the VMC's display", "0", nullptr},
    {"display", 5, 1, 0, 0, 0, 255, U::Number, "the display's kind (0 numbers, 1 full ASCII)", "0", nullptr},
};
const Param kSetupPricesParams[] = {
    {"max", 2, 2, 0, 0, 0, 0xFFFF, U::Money, "the highest price in the machine", nullptr, nullptr},
    {"min", 4, 2, 0, 0, 0, 0xFFFF, U::Money, "the lowest price in the machine", nullptr, nullptr},
};
const Param kVendRequestParams[] = {
    {"price", 2, 2, 0, 0, 0, 0xFFFF, U::Money, "the item's price", nullptr, nullptr},
    {"item", 4, 2, 0, 0, 0, 0xFFFF, U::Number, "the item's number", nullptr, nullptr},
};
const Param kVendSuccessParams[] = {
    {"item", 2, 2, 0, 0, 0, 0xFFFF, U::Number, "the item vended", nullptr, nullptr},
};
const Param kRevalueParams[] = {
    {"amount", 2, 2, 0, 0, 1, 0xFFFF, U::Money, "the value to add to the card", nullptr, nullptr},
};
// The console's own identification, which the reader is told before it tells its own.
const Param kRequestIdParams[] = {
    {"manufacturer", 2, 3, 0, 0, 0, 0, U::Text, "the VMC's manufacturer code", "KST", nullptr},
    {"serial", 5, 12, 0, 0, 0, 0, U::Text, "the VMC's serial number", "000000000001", nullptr},
    {"model", 17, 12, 0, 0, 0, 0, U::Text, "the VMC's model", "KESTREL", nullptr},
    {"version", 29, 2, 0, 0, 0, 9999, U::Bcd, "the VMC's software version", "0301", nullptr},
};
const Param kVendApprovedParams[] = {
    {"amount", 1, 2, 0, 0, 0, 0xFFFF, U::Money, "the vend amount", nullptr, nullptr},
};

constexpr core::Table<Param> none()
{
    return {};
}

// ---- the commands --------------------------------------------------------------------------------
// {id, peripheral, name, command, sub, params, reply, replyBytes, level, feature, movesMoney, vmcCommand}

const CommandSpec kCommandRows[] = {
    // Coin changer: MDB section 5.
    {Cmd::ChangerReset, P::Changer, "RESET", 0x08, -1, none(), L::Ack, 0, 1, -1, false, true},
    {Cmd::ChangerSetup, P::Changer, "SETUP", 0x09, -1, none(), L::ChangerSetup, 23, 1, -1, false, true},
    {Cmd::TubeStatus, P::Changer, "TUBE STATUS", 0x0A, -1, none(), L::TubeStatus, 18, 1, -1, false, true},
    {Cmd::ChangerPoll, P::Changer, "POLL", 0x0B, -1, none(), L::ChangerPoll, -1, 1, -1, false, true},
    {Cmd::CoinType, P::Changer, "COIN TYPE", 0x0C, -1, kCoinTypeParams, L::Ack, 0, 1, -1, false, true},
    {Cmd::Dispense, P::Changer, "DISPENSE", 0x0D, -1, kDispenseParams, L::Ack, 0, 1, -1, true, true},
    {Cmd::ChangerIdentification, P::Changer, "IDENTIFICATION", 0x0F, 0x00, none(), L::ChangerIdentification, 33, 3, -1, false, true},
    {Cmd::ChangerFeatureEnable, P::Changer, "FEATURE ENABLE", 0x0F, 0x01, kChangerFeatureParams, L::Ack, 0, 3, -1, false, true},
    {Cmd::Payout, P::Changer, "PAYOUT", 0x0F, 0x02, kPayoutParams, L::Ack, 0, 3, 0, true, true},
    {Cmd::PayoutStatus, P::Changer, "PAYOUT STATUS", 0x0F, 0x03, none(), L::PayoutStatus, 16, 3, 0, false, true},
    {Cmd::PayoutValuePoll, P::Changer, "PAYOUT VALUE POLL", 0x0F, 0x04, none(), L::PayoutValuePoll, 1, 3, 0, false, true},
    {Cmd::SendDiagnosticStatus, P::Changer, "SEND DIAGNOSTIC STATUS", 0x0F, 0x05, none(), L::ChangerDiagnostics, -1, 3, 1, false, true},
    {Cmd::ManualFillReport, P::Changer, "SEND CONTROLLED MANUAL FILL REPORT", 0x0F, 0x06, none(), L::ManualFillReport, 16, 3, 2, false, true},
    {Cmd::ManualPayoutReport, P::Changer, "SEND CONTROLLED MANUAL PAYOUT REPORT", 0x0F, 0x07, none(), L::ManualPayoutReport, 16, 3, 2, false, true},

    // Bill validator: MDB section 6; the recycler's commands are for a level 2 validator that has
    // bill recycling among its option bits.
    {Cmd::ValidatorReset, P::Validator, "RESET", 0x30, -1, none(), L::Ack, 0, 1, -1, false, true},
    {Cmd::ValidatorSetup, P::Validator, "SETUP", 0x31, -1, none(), L::ValidatorSetup, 27, 1, -1, false, true},
    {Cmd::Security, P::Validator, "SECURITY", 0x32, -1, kSecurityParams, L::Ack, 0, 1, -1, false, true},
    {Cmd::ValidatorPoll, P::Validator, "POLL", 0x33, -1, none(), L::ValidatorPoll, -1, 1, -1, false, true},
    {Cmd::BillType, P::Validator, "BILL TYPE", 0x34, -1, kBillTypeParams, L::Ack, 0, 1, -1, false, true},
    {Cmd::Escrow, P::Validator, "ESCROW", 0x35, -1, kEscrowParams, L::Ack, 0, 1, -1, true, true},
    {Cmd::Stacker, P::Validator, "STACKER", 0x36, -1, none(), L::Stacker, 2, 1, -1, false, true},
    {Cmd::ValidatorIdentification, P::Validator, "IDENTIFICATION", 0x37, 0x00, none(), L::ValidatorIdentification, 29, 1, -1, false, true},
    {Cmd::ValidatorFeatureEnable, P::Validator, "FEATURE ENABLE", 0x37, 0x01, kValidatorFeatureParams, L::Ack, 0, 2, -1, false, true},
    {Cmd::ValidatorIdentificationOptions, P::Validator, "IDENTIFICATION WITH OPTION BITS", 0x37, 0x02, none(), L::ValidatorIdentificationOptions, 33, 2, -1, false, true},
    {Cmd::RecyclerSetup, P::Validator, "RECYCLER SETUP", 0x37, 0x03, none(), L::RecyclerSetup, 2, 2, 1, false, true},
    {Cmd::RecyclerEnable, P::Validator, "RECYCLER ENABLE", 0x37, 0x04, kRecyclerEnableParams, L::Ack, 0, 2, 1, false, true},
    {Cmd::BillDispenseStatus, P::Validator, "BILL DISPENSE STATUS", 0x37, 0x05, none(), L::DispenseStatus, 34, 2, 1, false, true},
    {Cmd::DispenseBill, P::Validator, "DISPENSE BILL", 0x37, 0x06, kDispenseBillParams, L::Ack, 0, 2, 1, true, true},
    {Cmd::DispenseValue, P::Validator, "DISPENSE VALUE", 0x37, 0x07, kDispenseValueParams, L::Ack, 0, 2, 1, true, true},
    {Cmd::RecyclerPayoutStatus, P::Validator, "PAYOUT STATUS", 0x37, 0x08, none(), L::RecyclerPayoutStatus, 32, 2, 1, false, true},
    {Cmd::RecyclerPayoutValuePoll, P::Validator, "PAYOUT VALUE POLL", 0x37, 0x09, none(), L::RecyclerPayoutValuePoll, 2, 2, 1, false, true},
    {Cmd::RecyclerPayoutCancel, P::Validator, "PAYOUT CANCEL", 0x37, 0x0A, none(), L::Ack, 0, 2, 1, false, true},

    // Cashless reader: MDB section 7; every reply is a response told by its first byte.
    {Cmd::ReaderReset, P::Reader, "RESET", 0x10, -1, none(), L::Ack, 0, 1, -1, false, true},
    {Cmd::SetupConfigData, P::Reader, "SETUP CONFIG DATA", 0x11, 0x00, kSetupConfigParams, L::ReaderResponse, 8, 1, -1, false, true},
    {Cmd::SetupPrices, P::Reader, "SETUP MAX/MIN PRICES", 0x11, 0x01, kSetupPricesParams, L::Ack, 0, 1, -1, false, true},
    {Cmd::ReaderPoll, P::Reader, "POLL", 0x12, -1, none(), L::ReaderResponse, -1, 1, -1, false, true},
    {Cmd::VendRequest, P::Reader, "VEND REQUEST", 0x13, 0x00, kVendRequestParams, L::ReaderResponse, 3, 1, -1, true, true},
    {Cmd::VendCancel, P::Reader, "VEND CANCEL", 0x13, 0x01, none(), L::ReaderResponse, 1, 1, -1, false, true},
    {Cmd::VendSuccess, P::Reader, "VEND SUCCESS", 0x13, 0x02, kVendSuccessParams, L::Ack, 0, 1, -1, false, true},
    {Cmd::VendFailure, P::Reader, "VEND FAILURE", 0x13, 0x03, none(), L::Ack, 0, 1, -1, false, true},
    {Cmd::SessionComplete, P::Reader, "SESSION COMPLETE", 0x13, 0x04, none(), L::ReaderResponse, 1, 1, -1, false, true},
    {Cmd::CashSale, P::Reader, "CASH SALE", 0x13, 0x05, kVendRequestParams, L::Ack, 0, 1, -1, false, true},
    {Cmd::ReaderDisable, P::Reader, "READER DISABLE", 0x14, 0x00, none(), L::Ack, 0, 1, -1, false, true},
    {Cmd::ReaderEnable, P::Reader, "READER ENABLE", 0x14, 0x01, none(), L::Ack, 0, 1, -1, false, true},
    {Cmd::ReaderCancel, P::Reader, "READER CANCEL", 0x14, 0x02, none(), L::ReaderResponse, 1, 1, -1, false, true},
    {Cmd::RevalueRequest, P::Reader, "REVALUE REQUEST", 0x15, 0x00, kRevalueParams, L::ReaderResponse, 1, 2, -1, true, true},
    {Cmd::RevalueLimitRequest, P::Reader, "REVALUE LIMIT REQUEST", 0x15, 0x01, none(), L::ReaderResponse, 3, 2, -1, false, true},
    {Cmd::RequestId, P::Reader, "REQUEST ID", 0x17, 0x00, kRequestIdParams, L::ReaderResponse, 30, 1, -1, false, true},
    {Cmd::TestDisplayRequest, P::Reader, "DISPLAY REQUEST (a reader's response, as a test)", 0x02, -1, none(), L::ReaderResponse, -1, 1, -1, false, false},
    {Cmd::TestBeginSession, P::Reader, "BEGIN SESSION (a reader's response, as a test)", 0x03, -1, none(), L::ReaderResponse, -1, 1, -1, false, false},
    {Cmd::TestVendApproved, P::Reader, "VEND APPROVED (a reader's response, as a test)", 0x05, -1, kVendApprovedParams, L::ReaderResponse, -1, 1, -1, false, false},
    {Cmd::TestEndSession, P::Reader, "END SESSION (a reader's response, as a test)", 0x07, -1, none(), L::ReaderResponse, -1, 1, -1, false, false},
};

// Status codes of the recycler in the validator's POLL, 0x21 to 0x2F.
const char *const kRecyclerStatusRows[] = {
    "escrow request", "dispenser payout busy", "dispenser busy", "defective dispenser sensor",
    nullptr, "dispenser did not start (motor problem)", "dispenser jam", "recycler ROM checksum error",
    "dispenser disabled", "bill waiting for customer removal", nullptr, nullptr, nullptr, nullptr,
    "filled key pressed: ask for the dispenser status",
};

struct Feature
{
    Peripheral peripheral;
    int bit;
    const char *name;
};
const Feature kFeatureRows[] = {
    {P::Changer, 0, "alternative payout"},
    {P::Changer, 1, "extended diagnostic"},
    {P::Changer, 2, "controlled manual fill and payout"},
    {P::Changer, 3, "file transport layer"},
    {P::Validator, 0, "file transport layer"},
    {P::Validator, 1, "bill recycling"},
    {P::Reader, 0, "file transport layer"},
    {P::Reader, 1, "32-bit monetary format"},
    {P::Reader, 2, "multi-currency and multi-lingual"},
    {P::Reader, 3, "negative vend"},
    {P::Reader, 4, "data entry"},
    {P::Reader, 5, "always idle"},
};

// The changer's diagnostic codes: a main code and a sub-code (-1: any).
struct Diagnostic
{
    quint8 main;
    int sub;
    const char *name;
};
const Diagnostic kDiagnosticRows[] = {
    {0x01, -1, "Changer powering up"},
    {0x02, -1, "Changer powering down"},
    {0x03, -1, "Changer OK"},
    {0x04, -1, "Keypad shifted"},
    {0x05, 0x10, "Manual fill or payout active"},
    {0x05, 0x20, "New inventory information available"},
    {0x06, -1, "Inhibited by the VMC"},
    {0x10, 0x00, "General changer error: non-specific"},
    {0x10, 0x01, "General changer error: check sum error #1"},
    {0x10, 0x02, "General changer error: check sum error #2"},
    {0x10, 0x03, "General changer error: low line voltage"},
    {0x11, 0x00, "Discriminator module error: non-specific"},
    {0x11, 0x10, "Discriminator module error: flight deck open"},
    {0x11, 0x11, "Discriminator module error: escrow return stuck open"},
    {0x11, 0x30, "Discriminator module error: coin jam in sensor"},
    {0x11, 0x41, "Discriminator module error: discrimination below specified standard"},
    {0x11, 0x50, "Discriminator module error: validation sensor A out of range"},
    {0x11, 0x51, "Discriminator module error: validation sensor B out of range"},
    {0x11, 0x52, "Discriminator module error: validation sensor C out of range"},
    {0x11, 0x53, "Discriminator module error: operating temperature exceeded"},
    {0x11, 0x54, "Discriminator module error: sizing optics failure"},
    {0x12, 0x00, "Accept gate module error: non-specific"},
    {0x12, 0x30, "Accept gate module error: coins entered the gate but did not exit"},
    {0x12, 0x31, "Accept gate module error: accept gate alarm active"},
    {0x12, 0x40, "Accept gate module error: gate open but no coin detected"},
    {0x12, 0x50, "Accept gate module error: post gate sensor covered before the gate opened"},
    {0x13, 0x00, "Separator module error: non-specific"},
    {0x13, 0x10, "Separator module error: sort sensor error"},
    {0x14, 0x00, "Dispenser module error: non-specific"},
    {0x15, 0x00, "Coin cassette or tube module error: non-specific"},
    {0x15, 0x02, "Coin cassette or tube module error: cassette removed"},
    {0x15, 0x03, "Coin cassette or tube module error: cash box sensor error"},
    {0x15, 0x04, "Coin cassette or tube module error: sunlight on the tube sensors"},
};

} // namespace

const core::Table<CommandSpec> kCommandSet = kCommandRows;

const CommandSpec *commandOf(const QByteArray &frame)
{
    if (frame.isEmpty())
        return nullptr;
    const quint8 first = quint8(frame[0]);
    const int sub = frame.size() > 1 ? quint8(frame[1]) : -1;
    // A command with subcommands is told by its subcommand; a frame without one ("0F") is the
    // first of them.
    for (const CommandSpec &c : kCommandSet)
        if (c.command == first && (c.sub < 0 || c.sub == sub))
            return &c;
    if (sub < 0)
        for (const CommandSpec &c : kCommandSet)
            if (c.command == first)
                return &c;
    return nullptr;
}

const CommandSpec *commandNamed(Peripheral peripheral, const QString &name)
{
    QString wanted = name.trimmed().toUpper();
    if (wanted.startsWith(QLatin1String("EXPANSION ")))
        wanted = wanted.mid(10);
    for (const CommandSpec &c : kCommandSet)
        if (c.peripheral == peripheral && wanted == QLatin1String(c.name))
            return &c;
    return nullptr;
}

const CommandSpec &command(Cmd id)
{
    return *std::find_if(kCommandSet.begin(), kCommandSet.end(), [id](const CommandSpec &c) { return c.id == id; });
}

QByteArray headOf(const CommandSpec &spec)
{
    QByteArray head(1, char(spec.command));
    if (spec.sub >= 0)
        head.append(char(spec.sub));
    return head;
}

int frameLength(const CommandSpec &spec)
{
    int length = int(headOf(spec).size());
    for (const Param &p : spec.params)
        length = std::max(length, p.offset + p.bytes);
    return length;
}

ReplyKind replyTo(Peripheral peripheral, const QByteArray &sent, int dataBytes)
{
    const Layout poll = peripheral == P::Changer     ? L::ChangerPoll
                        : peripheral == P::Validator ? L::ValidatorPoll
                        : peripheral == P::Reader    ? L::ReaderResponse
                                                     : L::Unknown;
    const ReplyKind unasked{peripheral == P::Reader ? "" : peripheral == P::Unknown ? "unknown" : "POLL", poll, -1, nullptr};
    if (peripheral == P::Unknown)
        return unasked;
    if (!sent.isEmpty()) {
        const CommandSpec *asked = commandOf(sent);
        if (!asked || asked->peripheral != peripheral)
            return unasked;
        // A command answered by an ACK alone may be answered by activity instead (a changer
        // reports "08 0B" after a RESET): that is read as the peripheral's POLL.
        if (asked->reply == L::Ack || asked->reply == poll)
            return {peripheral == P::Reader ? "" : "POLL", poll, -1, asked};
        return {asked->name, asked->reply, asked->replyBytes, asked};
    }
    // Nothing sent: a reply longer than any POLL (16 bytes) is told by its length when only one
    // command's reply has that many data bytes.
    if (peripheral != P::Reader && dataBytes > 16) {
        const CommandSpec *only = nullptr;
        int found = 0;
        for (const CommandSpec &c : kCommandSet)
            if (c.peripheral == peripheral && c.replyBytes == dataBytes) {
                only = &c;
                ++found;
            }
        if (found == 1)
            return {only->name, only->reply, only->replyBytes, nullptr};
    }
    return unasked;
}

QString featureName(Peripheral peripheral, int bit)
{
    for (const Feature &f : kFeatureRows)
        if (f.peripheral == peripheral && f.bit == bit)
            return QString::fromLatin1(f.name);
    return QStringLiteral("bit %1 (not named in the standard)").arg(bit);
}

QString diagnosticName(quint8 main, quint8 sub)
{
    const Diagnostic *family = nullptr;
    for (const Diagnostic &d : kDiagnosticRows) {
        if (d.main != main)
            continue;
        if (d.sub < 0 || d.sub == sub)
            return QString::fromLatin1(d.name);
        if (!family)
            family = &d;
    }
    if (family) {
        const QString name = QString::fromLatin1(family->name);
        return QStringLiteral("%1: sub-code %2").arg(name.section(QLatin1Char(':'), 0, 0), hex(sub));
    }
    return QStringLiteral("unknown diagnostic code %1 %2").arg(hex(main), hex(sub));
}

QString recyclerStatusName(quint8 status)
{
    const int index = int(status) - 0x21;
    if (index < 0 || index >= int(std::size(kRecyclerStatusRows)) || !kRecyclerStatusRows[index])
        return {};
    return QString::fromLatin1(kRecyclerStatusRows[index]);
}

} // namespace kestrel::mdb
