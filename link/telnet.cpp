#include "link/telnet.h"

namespace kestrel::link::telnet {

QByteArray bytes(std::initializer_list<quint8> list)
{
    QByteArray out;
    for (quint8 b : list)
        out.append(char(b));
    return out;
}

QByteArray escaped(const QByteArray &line)
{
    QByteArray out = line;
    out.replace(QByteArray(1, char(kIac)), QByteArray(2, char(kIac)));
    return out;
}

QByteArray command(quint8 verb, quint8 option)
{
    return bytes({kIac, verb, option});
}

QByteArray comPort(quint8 command, const QByteArray &value)
{
    return bytes({kIac, kSb, kComPort, command}) + escaped(value) + bytes({kIac, kSe});
}

void Reader::read(const QByteArray &stream, const Handlers &handlers)
{
    for (char c : stream) {
        const quint8 b = quint8(c);
        switch (m_state) {
        case State::Data:
            if (b == kIac)
                m_state = State::Iac;
            else if (handlers.line)
                handlers.line(c);
            break;
        case State::Iac:
            if (b == kIac) {
                if (handlers.line)
                    handlers.line(c);   // an escaped 0xFF of the line
                m_state = State::Data;
            } else if (b >= kWill && b <= kDont) {
                m_verb = b;
                m_state = State::Verb;
            } else if (b == kSb) {
                m_sb.clear();
                m_state = State::Sb;
            } else {
                m_state = State::Data;   // NOP, go-ahead and the like
            }
            break;
        case State::Verb:
            m_state = State::Data;
            if (handlers.verb)
                handlers.verb(m_verb, b);
            break;
        case State::Sb:
            if (b == kIac)
                m_state = State::SbIac;
            else
                m_sb.append(c);
            break;
        case State::SbIac:
            if (b == kSe) {
                m_state = State::Data;
                if (handlers.subnegotiation)
                    handlers.subnegotiation(m_sb);
            } else if (b == kIac) {
                m_sb.append(c);
                m_state = State::Sb;
            } else {
                m_state = State::Data;   // a broken subnegotiation is dropped
            }
            break;
        }
    }
}

} // namespace kestrel::link::telnet
