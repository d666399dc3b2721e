#include "capture/pcapng.h"

#include "mdb/mdb.h"

#include <QtEndian>

namespace kestrel::capture {

namespace {

void put16(QByteArray &out, quint16 v)
{
    char b[2];
    qToLittleEndian(v, b);
    out.append(b, 2);
}

void put32(QByteArray &out, quint32 v)
{
    char b[4];
    qToLittleEndian(v, b);
    out.append(b, 4);
}

void pad(QByteArray &out)
{
    while (out.size() % 4)
        out.append('\0');
}

// An option: code, length, value padded to 32 bits.
void option(QByteArray &out, quint16 code, const QByteArray &value)
{
    put16(out, code);
    put16(out, quint16(value.size()));
    out.append(value);
    pad(out);
}

// A block: type, total length, body, total length again.
QByteArray block(quint32 type, const QByteArray &body)
{
    QByteArray out;
    const quint32 total = quint32(12 + body.size());
    put32(out, type);
    put32(out, total);
    out.append(body);
    put32(out, total);
    return out;
}

// Why a write to the file failed, in the system's words ("No space left on device"). QFile
// reports a failed write of its own as "Unknown error"; the system's error is read at once after
// the write, before anything else can change it.
QString lastWriteError(const QFile &file)
{
    const QString system = qt_error_string();
    const QString own = file.errorString();
    return own.isEmpty() || own == QLatin1String("Unknown error") ? system : own;
}

constexpr quint16 kOptEndOfOpt = 0;
constexpr quint16 kOptComment = 1;
constexpr quint16 kIfTsResol = 9;

} // namespace

QByteArray commandPacket(const QByteArray &frame)
{
    QByteArray packet("\x00\xFF", 2);
    packet.append(frame);
    packet.append(char(mdb::checksum(frame)));
    return packet;
}

QByteArray replyPacket(const QByteArray &reply)
{
    QByteArray packet("\x00\xFE", 2);
    if (reply.isEmpty())
        return packet;
    packet.append(char(quint8(reply[0]) & 0xF8));
    const QByteArray data = reply.mid(1);
    packet.append(data);
    packet.append(char(mdb::checksum(data)));
    return packet;
}

QString escaped(const QString &text)
{
    QString out;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == '\\')
            out += QLatin1String("\\\\");
        else if (u == '\r')
            out += QLatin1String("\\r");
        else if (u == '\n')
            out += QLatin1String("\\n");
        else if (u < 0x20 || u == 0x7F)
            out += QStringLiteral("\\x%1").arg(int(u), 2, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

QString unescaped(const QString &text)
{
    QString out;
    for (int i = 0; i < text.size(); ++i) {
        if (text[i] != QLatin1Char('\\') || i + 1 >= text.size()) {
            out += text[i];
            continue;
        }
        const QChar next = text[++i];
        if (next == QLatin1Char('r')) {
            out += QLatin1Char('\r');
        } else if (next == QLatin1Char('n')) {
            out += QLatin1Char('\n');
        } else if (next == QLatin1Char('x') && i + 2 < text.size()) {
            bool ok = false;
            const int code = text.mid(i + 1, 2).toInt(&ok, 16);
            if (ok) {
                out += QChar(code);
                i += 2;
            } else {
                out += QLatin1String("\\x");
            }
        } else {
            out += next;
        }
    }
    return out;
}

namespace blocks {

QByteArray sectionHeader()
{
    QByteArray body;
    put32(body, 0x1A2B3C4D);   // byte-order magic
    put16(body, 1);            // version 1.0
    put16(body, 0);
    put32(body, 0xFFFFFFFF);   // section length: not given
    put32(body, 0xFFFFFFFF);
    option(body, kOptEndOfOpt, {});
    return block(0x0A0D0D0A, body);
}

QByteArray interfaceDescription()
{
    QByteArray body;
    put16(body, kLinkTypeMdb);
    put16(body, 0);
    put32(body, 0);            // no snapshot length limit
    option(body, kIfTsResol, QByteArray(1, char(6)));   // 10^-6 s
    option(body, kOptEndOfOpt, {});
    return block(1, body);
}

QByteArray enhancedPacket(qint64 micros, const QByteArray &packet, const QStringList &comments)
{
    QByteArray body;
    put32(body, 0);            // interface 0
    put32(body, quint32(quint64(micros) >> 32));
    put32(body, quint32(quint64(micros) & 0xFFFFFFFF));
    put32(body, quint32(packet.size()));
    put32(body, quint32(packet.size()));
    body.append(packet);
    pad(body);
    for (const QString &comment : comments)
        option(body, kOptComment, comment.toUtf8());
    if (!comments.isEmpty())
        option(body, kOptEndOfOpt, {});
    return block(6, body);
}

} // namespace blocks

QString PcapngWriter::open(const QString &path)
{
    m_file.close();
    m_file.setFileName(path);
    m_packets = 0;
    m_whole = 0;
    // Unbuffered: each block goes to the file in one write as it is made, and a write that fails
    // says why at once (a full disk), not at some later flush.
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
        return QStringLiteral("cannot write the capture %1: %2").arg(path, m_file.errorString());
    const QByteArray head = blocks::sectionHeader() + blocks::interfaceDescription();
    if (m_file.write(head) != head.size()) {
        // A capture that cannot even start leaves no empty or cut file behind.
        const QString error = QStringLiteral("cannot write the capture %1: %2").arg(path, lastWriteError(m_file));
        m_file.close();
        m_file.remove();
        return error;
    }
    m_whole = head.size();
    return {};
}

QString PcapngWriter::write(qint64 micros, const QByteArray &packet, const QStringList &comments)
{
    if (!m_file.isOpen())
        return {};
    const QByteArray bytes = blocks::enhancedPacket(micros, packet, comments);
    if (m_file.write(bytes) != bytes.size()) {
        // Part of the block may have reached the file (the disk filled inside it): cut the file
        // back to its last whole block, so that it still opens in Wireshark with every packet
        // written before. Cutting a file shorter needs no space.
        const QString why = lastWriteError(m_file);
        m_file.resize(m_whole);
        m_file.close();
        return QStringLiteral("capture %1 stopped: %2; the %3 packets before are kept")
            .arg(m_file.fileName(), why).arg(m_packets);
    }
    m_whole += bytes.size();
    ++m_packets;
    return {};
}

} // namespace kestrel::capture
