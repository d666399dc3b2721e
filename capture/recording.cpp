#include "capture/recording.h"

#include "capture/pcapng.h"
#include "mdb/mdb.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QtEndian>

#include <cmath>

namespace kestrel::capture {

namespace {

struct Bad
{
    QString message;
};

// Reads integers of the file's byte order, each read bounded by the bytes there are.
class Bytes
{
public:
    Bytes(const QByteArray &data, bool bigEndian) : m_data(data), m_big(bigEndian) {}
    bool has(qint64 at, qint64 n) const { return at >= 0 && n >= 0 && at + n <= m_data.size(); }
    quint16 u16(qint64 at) const
    {
        need(at, 2);
        const uchar *p = reinterpret_cast<const uchar *>(m_data.constData() + at);
        return m_big ? qFromBigEndian<quint16>(p) : qFromLittleEndian<quint16>(p);
    }
    quint32 u32(qint64 at) const
    {
        need(at, 4);
        const uchar *p = reinterpret_cast<const uchar *>(m_data.constData() + at);
        return m_big ? qFromBigEndian<quint32>(p) : qFromLittleEndian<quint32>(p);
    }
    QByteArray mid(qint64 at, qint64 n) const
    {
        need(at, n);
        return m_data.mid(at, n);
    }
    void setBigEndian(bool big) { m_big = big; }
    qint64 size() const { return m_data.size(); }

private:
    void need(qint64 at, qint64 n) const
    {
        if (!has(at, n))
            throw Bad{QStringLiteral("byte %1: the file ends inside a block (truncated)").arg(at)};
    }
    const QByteArray &m_data;
    bool m_big;
};

// A packet of link type 300 read back: a peripheral's block becomes the text the board would have
// sent (the console's own capture keeps that text in a comment, exactly); the VMC's are counted.
void addPacket(Recording &r, qint64 micros, const QByteArray &packet, const QStringList &comments)
{
    for (const QString &comment : comments)
        if (comment.startsWith(QLatin1String(kReadAs))) {
            r.reads.append({micros, unescaped(comment.mid(int(qstrlen(kReadAs))))});
            if (packet.size() >= 2 && quint8(packet[1]) == 0xFF)
                ++r.commands;
            return;
        }
    if (packet.size() < 2)
        return;
    if (quint8(packet[1]) == 0xFF) {
        ++r.commands;
    } else if (quint8(packet[1]) == 0xFE && packet.size() >= 3) {
        // Address, data, checksum: the board writes the address byte and the data, as hex text.
        QByteArray bytes = packet.mid(2);
        if (bytes.size() >= 2)
            bytes.chop(1);
        r.reads.append({micros, mdb::hex(bytes) + QStringLiteral("\r\n")});
    }
}

Recording pcapng(const QByteArray &data)
{
    Recording r;
    Bytes in(data, false);
    qint64 at = 0;
    bool section = false;
    struct Interface { bool mdb; double toMicros; };
    QList<Interface> interfaces;
    while (at < data.size()) {
        if (!in.has(at, 12))
            throw Bad{QStringLiteral("byte %1: the file ends inside a block (truncated)").arg(at)};
        quint32 type = in.u32(at);
        if (type == 0x0A0D0D0A) {
            const QByteArray magic = in.mid(at + 8, 4);
            if (magic == QByteArray("\x1A\x2B\x3C\x4D", 4))
                in.setBigEndian(true);
            else if (magic == QByteArray("\x4D\x3C\x2B\x1A", 4))
                in.setBigEndian(false);
            else
                throw Bad{QStringLiteral("byte %1: a section header with no byte-order magic").arg(at + 8)};
            section = true;
            interfaces.clear();
        } else if (!section) {
            throw Bad{QStringLiteral("byte 0: not a pcapng file (no section header)")};
        }
        const quint32 total = in.u32(at + 4);
        if (total < 12 || total % 4 || !in.has(at, total))
            throw Bad{QStringLiteral("byte %1: a block of %2 bytes, %3").arg(at).arg(total)
                          .arg(in.has(at, total) ? QStringLiteral("not a whole number of 32-bit words")
                                                 : QStringLiteral("past the end of the file (truncated)"))};
        if (in.u32(at + total - 4) != total)
            throw Bad{QStringLiteral("byte %1: the block's two lengths differ").arg(at)};
        const qint64 body = at + 8, end = at + total - 4;
        // The options after a block's fixed part: each comment's text.
        const auto options = [&](qint64 from, QList<QPair<quint16, QByteArray>> &out) {
            while (from + 4 <= end) {
                const quint16 code = in.u16(from), length = in.u16(from + 2);
                if (code == 0)
                    break;
                if (from + 4 + length > end)
                    throw Bad{QStringLiteral("byte %1: an option runs past its block").arg(from)};
                out.append({code, in.mid(from + 4, length)});
                from += 4 + ((length + 3) & ~3);
            }
        };
        if (type == 1) {   // interface description
            if (end - body < 8)
                throw Bad{QStringLiteral("byte %1: an interface description too short").arg(at)};
            const quint16 link = in.u16(body);
            if (link != kLinkTypeMdb)
                throw Bad{QStringLiteral("byte %1: link type %2, not MDB (%3)").arg(body).arg(link).arg(kLinkTypeMdb)};
            QList<QPair<quint16, QByteArray>> opts;
            options(body + 8, opts);
            double toMicros = 1;
            for (const auto &o : opts)
                if (o.first == 9 && o.second.size() >= 1) {
                    const quint8 v = quint8(o.second[0]);
                    const double unitsPerSecond = (v & 0x80) ? std::ldexp(1.0, v & 0x7F) : std::pow(10.0, v);
                    toMicros = 1e6 / unitsPerSecond;
                }
            interfaces.append({true, toMicros});
        } else if (type == 6) {   // enhanced packet
            if (end - body < 20)
                throw Bad{QStringLiteral("byte %1: a packet block too short").arg(at)};
            const quint32 iface = in.u32(body);
            if (iface >= quint32(interfaces.size()))
                throw Bad{QStringLiteral("byte %1: a packet of interface %2, which is not described").arg(at).arg(iface)};
            const quint64 ticks = quint64(in.u32(body + 4)) << 32 | in.u32(body + 8);
            const quint32 length = in.u32(body + 12);
            if (body + 20 + qint64(length) > end)
                throw Bad{QStringLiteral("byte %1: a packet of %2 bytes runs past its block").arg(at).arg(length)};
            const QByteArray packet = in.mid(body + 20, length);
            QList<QPair<quint16, QByteArray>> opts;
            options(body + 20 + ((qint64(length) + 3) & ~qint64(3)), opts);
            QStringList comments;
            for (const auto &o : opts)
                if (o.first == 1)
                    comments << QString::fromUtf8(o.second);
            // Microseconds since 1970 fit 64 bits for 292,000 years; a time past that is no time.
            const double micros = double(ticks) * interfaces[int(iface)].toMicros;
            if (!(micros >= 0 && micros < 9.0e18))
                throw Bad{QStringLiteral("byte %1: a packet's time beyond any date").arg(body + 4)};
            addPacket(r, qint64(micros), packet, comments);
        }
        at += total;
    }
    if (interfaces.isEmpty())
        throw Bad{QStringLiteral("byte %1: no interface described").arg(at)};
    return r;
}

Recording pcap(const QByteArray &data)
{
    Recording r;
    const QByteArray magic = data.left(4);
    const bool big = magic == QByteArray("\xA1\xB2\xC3\xD4", 4) || magic == QByteArray("\xA1\xB2\x3C\x4D", 4);
    const bool nanos = magic == QByteArray("\xA1\xB2\x3C\x4D", 4) || magic == QByteArray("\x4D\x3C\xB2\xA1", 4);
    Bytes in(data, big);
    if (!in.has(0, 24))
        throw Bad{QStringLiteral("byte %1: the file ends inside its header (truncated)").arg(data.size())};
    const quint32 link = in.u32(20) & 0x0FFFFFFF;
    if (link != kLinkTypeMdb)
        throw Bad{QStringLiteral("byte 20: link type %1, not MDB (%2)").arg(link).arg(kLinkTypeMdb)};
    qint64 at = 24;
    while (at < data.size()) {
        if (!in.has(at, 16))
            throw Bad{QStringLiteral("byte %1: the file ends inside a packet header (truncated)").arg(at)};
        const qint64 micros = qint64(in.u32(at)) * 1000000 + (nanos ? in.u32(at + 4) / 1000 : in.u32(at + 4));
        const quint32 length = in.u32(at + 8);
        if (!in.has(at + 16, length))
            throw Bad{QStringLiteral("byte %1: a packet of %2 bytes past the end of the file (truncated)").arg(at).arg(length)};
        addPacket(r, micros, in.mid(at + 16, length), {});
        at += 16 + length;
    }
    return r;
}

// log.txt: a line per read, "MM-DD-YYYYHH:MM:SS" then the text, lines ended by CR LF.
Recording logFile(const QByteArray &data, const QString &name)
{
    Recording r;
    static const QRegularExpression line(QStringLiteral("^(\\d\\d-\\d\\d-\\d{4}\\d\\d:\\d\\d:\\d\\d)(.*)$"));
    const QList<QByteArray> lines = data.split('\n');
    for (int i = 0; i < lines.size(); ++i) {
        QByteArray raw = lines[i];
        if (raw.endsWith('\r'))
            raw.chop(1);
        if (raw.isEmpty() && i == lines.size() - 1)
            break;
        const QString text = QString::fromLatin1(raw);
        const QRegularExpressionMatch m = line.match(text);
        const QDateTime when = m.hasMatch() ? QDateTime::fromString(m.captured(1), QStringLiteral("MM-dd-yyyyHH:mm:ss"))
                                            : QDateTime();
        if (!when.isValid())
            throw Bad{QStringLiteral("%1:%2: not a line of log.txt (its date and time, then what was read)")
                          .arg(name).arg(i + 1)};
        const QString read = m.captured(2);
        if (std::any_of(read.begin(), read.end(), [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7F; }))
            throw Bad{QStringLiteral("%1:%2: not hex text: a control character in what was read").arg(name).arg(i + 1)};
        // The log keeps a reply without its line end; hex replies get it back, so that the
        // console reads each at once, as it did.
        r.reads.append({when.toMSecsSinceEpoch() * 1000,
                        replyBytes(read) ? read + QStringLiteral("\r\n") : read});
    }
    return r;
}

} // namespace

Loaded parseRecording(const QByteArray &bytes, const QString &name)
{
    if (bytes.isEmpty())
        return {std::nullopt, QStringLiteral("%1: an empty file, not a recording").arg(name)};
    try {
        const QByteArray magic = bytes.left(4);
        Recording r;
        bool log = false;
        if (magic == QByteArray("\x0A\x0D\x0D\x0A", 4)) {
            r = pcapng(bytes);
        } else if (magic == QByteArray("\xA1\xB2\xC3\xD4", 4) || magic == QByteArray("\xD4\xC3\xB2\xA1", 4)
                   || magic == QByteArray("\xA1\xB2\x3C\x4D", 4) || magic == QByteArray("\x4D\x3C\xB2\xA1", 4)) {
            r = pcap(bytes);
        } else {
            r = logFile(bytes, name);
            log = true;
        }
        if (r.reads.isEmpty())
            return {std::nullopt, QStringLiteral("%1: %2 nothing the board sent").arg(name, log ? QStringLiteral("holds") : QStringLiteral("has"))};
        return {r, {}};
    } catch (const Bad &bad) {
        return {std::nullopt, bad.message.startsWith(name + QLatin1Char(':')) ? bad.message
                                                                             : name + QStringLiteral(": ") + bad.message};
    }
}

Loaded readRecording(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isFile())
        return {std::nullopt, QStringLiteral("%1: no such file").arg(path)};
    if (info.size() > kLargestRecording)
        return {std::nullopt, QStringLiteral("%1: %2 MB is too large for a recording (at most %3 MB)")
                                  .arg(path).arg(info.size() / (1024 * 1024)).arg(kLargestRecording / (1024 * 1024))};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {std::nullopt, QStringLiteral("%1: cannot be read: %2").arg(path, file.errorString())};
    return parseRecording(file.readAll(), path);
}

} // namespace kestrel::capture
