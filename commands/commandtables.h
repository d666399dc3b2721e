#pragma once

#include <QByteArray>

#include <cstdint>

namespace kestrel {

// A command frame exactly as it goes on the serial line: 1 to 12 bytes, no length byte, checksum
// or terminator added; 0x00 and 0xFF may occur anywhere.
struct Frame
{
    std::uint8_t bytes[12];
    int length;

    QByteArray toBytes() const
    {
        return QByteArray(reinterpret_cast<const char *>(bytes), length);
    }
};

// One command button: the control it belongs to, the frame it parks, the line it logs and the
// error message of its trap.
struct CommandRow
{
    const char *control;
    Frame frame;
    const char *logLine;
    const char *errorMessage;
};

namespace commands {

extern const CommandRow kCoinChanger[11];
extern const CommandRow kBillValidator[8];
extern const CommandRow kCashless[15];

// The bill validator's escrow toggle: its caption tells which of two BILL TYPE frames it sends.
struct EscrowBranch
{
    const char *caption;       // caption before the press
    Frame frame;
    const char *logLine;
    const char *nextCaption;   // caption after the press
};
inline constexpr char kEscrowToggle[] = "cmdDTRtoggle";
inline constexpr char kEscrowError[] = "Error enabling/disabling escrow, ";
extern const EscrowBranch kEscrowOn;    // taken when the caption is exactly "Enable Escrow"
extern const EscrowBranch kEscrowOff;   // taken for any other caption

} // namespace commands
} // namespace kestrel
