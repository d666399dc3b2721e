#pragma once

#include <QByteArray>

#include <functional>
#include <initializer_list>

namespace kestrel::link::telnet {

// Telnet (RFC 854) as a serial device server speaks it, with its COM Port Control option (RFC 2217):
// the codes, the commands and subnegotiations as bytes, and a reader that takes a stream apart
// into the line's own bytes, commands and subnegotiations. The console's RFC 2217 port and the
// tests' board on the network both speak through it.

constexpr quint8 kSe = 240, kSb = 250, kWill = 251, kWont = 252, kDo = 253, kDont = 254, kIac = 255;
constexpr quint8 kBinary = 0, kSuppressGoAhead = 3, kComPort = 44;

// The COM Port Control option's commands (the client's; a server answers with each plus 100).
namespace comport {
constexpr quint8 kSetBaudRate = 1, kSetDataSize = 2, kSetParity = 3, kSetStopSize = 4, kSetControl = 5,
                 kSetLineStateMask = 10, kSetModemStateMask = 11;
constexpr quint8 kServerOffset = 100;
constexpr quint8 kNotifyLineState = 106, kNotifyModemState = 107;
constexpr quint8 kParityNone = 1, kStopOne = 1, kNoFlowControl = 1, kDtrOn = 8, kDtrOff = 9;
constexpr quint8 kDeltaCts = 0x01, kCts = 0x10;
} // namespace comport

QByteArray bytes(std::initializer_list<quint8> list);
// The line's bytes with each 0xFF doubled, as Telnet carries them.
QByteArray escaped(const QByteArray &line);
// IAC VERB OPTION.
QByteArray command(quint8 verb, quint8 option);
// IAC SB COM-PORT-OPTION COMMAND VALUE IAC SE, with the value's 0xFF doubled.
QByteArray comPort(quint8 command, const QByteArray &value);

// Reads a Telnet stream as it comes, a read at a time: a command or subnegotiation cut between two
// reads is taken up where it stopped.
class Reader
{
public:
    struct Handlers
    {
        std::function<void(char)> line;                          // a byte of the serial line
        std::function<void(quint8 verb, quint8 option)> verb;    // WILL, WONT, DO or DONT
        std::function<void(const QByteArray &)> subnegotiation;  // what stood between SB and SE
    };
    void read(const QByteArray &stream, const Handlers &handlers);
    void reset() { m_state = State::Data; }

private:
    enum class State { Data, Iac, Verb, Sb, SbIac } m_state = State::Data;
    quint8 m_verb = 0;
    QByteArray m_sb;
};

} // namespace kestrel::link::telnet
