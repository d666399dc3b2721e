#include "sim/mdbnames.h"

namespace kestrel::sim {

namespace {

struct Name
{
    unsigned char command;
    int sub;               // -1: any subcommand
    const char *name;
};

// MDB command bytes by peripheral address: coin changer 08-0F, cashless reader 10-17, bill
// validator 30-37; and the cashless reader's own response codes that the console's test buttons send.
const Name kNames[] = {
    {0x08, -1, "RESET (coin changer)"},
    {0x09, -1, "SETUP (coin changer)"},
    {0x0A, -1, "TUBE STATUS"},
    {0x0B, -1, "POLL (coin changer)"},
    {0x0C, -1, "COIN TYPE"},
    {0x0D, -1, "DISPENSE"},
    {0x0F, 0x00, "EXPANSION IDENTIFICATION (coin changer)"},
    {0x0F, 0x02, "EXPANSION PAYOUT"},
    {0x10, -1, "RESET (cashless)"},
    {0x11, -1, "SETUP (cashless)"},
    {0x12, -1, "POLL (cashless)"},
    {0x13, 0x00, "VEND REQUEST"},
    {0x13, 0x02, "VEND SUCCESS"},
    {0x13, 0x04, "VEND SESSION COMPLETE"},
    {0x14, 0x00, "READER DISABLE"},
    {0x14, 0x01, "READER ENABLE"},
    {0x14, 0x02, "READER CANCEL"},
    {0x15, 0x00, "REVALUE REQUEST"},
    {0x17, 0x00, "EXPANSION REQUEST ID (cashless)"},
    {0x30, -1, "RESET (bill validator)"},
    {0x31, -1, "SETUP (bill validator)"},
    {0x33, -1, "POLL (bill validator)"},
    {0x34, -1, "BILL TYPE"},
    {0x35, 0x00, "ESCROW return bill"},
    {0x35, 0x01, "ESCROW stack bill"},
    {0x36, -1, "STACKER"},
    {0x37, 0x00, "EXPANSION IDENTIFICATION (bill validator)"},
    {0x02, -1, "DISPLAY REQUEST (reader response)"},
    {0x03, -1, "BEGIN SESSION (reader response)"},
    {0x05, -1, "VEND APPROVED (reader response)"},
    {0x07, -1, "END SESSION (reader response)"},
};

QString word(const QByteArray &frame, int at)
{
    return hex(frame.mid(at, 2)).remove(QLatin1Char(' '));
}

} // namespace

QString hex(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

QString describeFrame(const QByteArray &frame)
{
    if (frame.isEmpty())
        return QStringLiteral("(empty)");
    const unsigned char command = static_cast<unsigned char>(frame[0]);
    const int sub = frame.size() > 1 ? static_cast<unsigned char>(frame[1]) : -2;
    QString name = QStringLiteral("unknown command");
    for (const Name &n : kNames) {
        if (n.command == command && (n.sub == -1 || n.sub == sub)) {
            name = QString::fromLatin1(n.name);
            break;
        }
    }
    if (command == 0x0F && sub == 0x02)
        name += frame.size() > 2 ? QStringLiteral(" %1 units").arg(static_cast<unsigned char>(frame[2]))
                                 : QStringLiteral(" test");
    else if (command == 0x0C && frame.size() == 5)
        name += QStringLiteral(" accept %1 dispense %2").arg(word(frame, 1), word(frame, 3));
    else if (command == 0x34 && frame.size() == 5)
        name += QStringLiteral(" enable %1 escrow %2").arg(word(frame, 1), word(frame, 3));
    return hex(frame) + QStringLiteral("  ") + name;
}

} // namespace kestrel::sim
