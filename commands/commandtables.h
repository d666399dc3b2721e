#pragma once

#include "core/table.h"
#include "mdb/commandset.h"

#include <QByteArray>

#include <cstdint>

namespace kestrel::commands {

// A command frame exactly as it goes on the serial line: 1 to 12 bytes, no length byte, checksum
// or terminator added; 0x00 and 0xFF may occur anywhere.
struct Frame
{
    static constexpr int kLongest = 12;

    std::uint8_t bytes[kLongest];
    int length;

    QByteArray toBytes() const
    {
        return QByteArray(reinterpret_cast<const char *>(bytes), length);
    }
};

// A frame of the bytes given, counted by the compiler: frame(0x0F, 0x02, 0x02).
template <class... Bytes>
constexpr Frame frame(Bytes... bytes)
{
    static_assert(sizeof...(bytes) >= 1 && sizeof...(bytes) <= Frame::kLongest,
                  "a command frame has 1 to 12 bytes");
    return Frame{{std::uint8_t(bytes)...}, int(sizeof...(bytes))};
}

// One command button: the control it belongs to, its caption on its tab, the frame it parks, the
// line it logs, the error message of its trap, and the command of the bus it is (mdb/commandset.h),
// so that a button and the command composer cannot disagree about its frame.
struct CommandRow
{
    const char *control;
    const char *caption;
    Frame frame;
    const char *logLine;
    const char *errorMessage;
    mdb::Cmd command;
};

extern const core::Table<CommandRow> kCoinChanger;
extern const core::Table<CommandRow> kBillValidator;
extern const core::Table<CommandRow> kCashless;

// The bill validator's escrow toggle: its caption tells which of two BILL TYPE frames it sends.
struct EscrowBranch
{
    const char *caption;       // caption before the press
    Frame frame;
    const char *logLine;
    const char *nextCaption;   // caption after the press
    mdb::Cmd command;
};
inline constexpr char kEscrowToggle[] = "cmdDTRtoggle";
inline constexpr char kEscrowError[] = "Error enabling/disabling escrow, ";
extern const EscrowBranch kEscrowOn;    // taken when the caption is exactly "Enable Escrow"
extern const EscrowBranch kEscrowOff;   // taken for any other caption

} // namespace kestrel::commands
