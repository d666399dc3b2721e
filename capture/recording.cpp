#include "capture/recording.h"

#include "capture/pcapng.h"
#include "mdb/mdb.h"

#include <QBuffer>
#include <QDate>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QTime>
#include <QtEndian>

#include <algorithm>
#include <cmath>

namespace kestrel::capture {

namespace {

struct Bad
{
    QString message;
};

// Reads integers of the file's byte order from one block held in memory, each read bounded by the
// block's bytes; `base` is the block's place in the file, so that errors name the file's byte.
class Bytes
{
public:
    Bytes(const QByteArray &data, qint64 base, bool bigEndian) : m_data(data), m_base(base), m_big(bigEndian) {}
    quint16 u16(qint64 at) const
    {
        need(at, 2);
        const uchar *p = reinterpret_cast<const uchar *>(m_data.constData() + (at - m_base));
        return m_big ? qFromBigEndian<quint16>(p) : qFromLittleEndian<quint16>(p);
    }
    quint32 u32(qint64 at) const
    {
        need(at, 4);
        const uchar *p = reinterpret_cast<const uchar *>(m_data.constData() + (at - m_base));
        return m_big ? qFromBigEndian<quint32>(p) : qFromLittleEndian<quint32>(p);
    }
    QByteArray mid(qint64 at, qint64 n) const
    {
        need(at, n);
        return m_data.mid(at - m_base, n);
    }

private:
    void need(qint64 at, qint64 n) const
    {
        if (at < m_base || n < 0 || at - m_base + n > m_data.size())
            throw Bad{QStringLiteral("byte %1: the file ends inside a block (truncated)").arg(at)};
    }
    const QByteArray &m_data;
    qint64 m_base;
    bool m_big;
};

const QByteArray kPcapngMagic("\x0A\x0D\x0D\x0A", 4);
const QByteArray kPcapMagics[] = {QByteArray("\xA1\xB2\xC3\xD4", 4), QByteArray("\xD4\xC3\xB2\xA1", 4),
                                  QByteArray("\xA1\xB2\x3C\x4D", 4), QByteArray("\x4D\x3C\xB2\xA1", 4)};

// A log.txt line's date and time, "MM-DD-YYYYHH:MM:SS", as milliseconds since 1970 (local
// time, as the console wrote it); nothing when the line does not start with one.
std::optional<qint64> logLineTime(const QByteArray &line)
{
    static constexpr char kForm[] = "NN-NN-NNNNNN:NN:NN";
    constexpr int kLength = sizeof kForm - 1;
    if (line.size() < kLength)
        return std::nullopt;
    for (int i = 0; i < kLength; ++i) {
        const bool digit = line[i] >= '0' && line[i] <= '9';
        if (kForm[i] == 'N' ? !digit : line[i] != kForm[i])
            return std::nullopt;
    }
    const auto number = [&](int at, int digits) {
        int n = 0;
        for (int i = at; i < at + digits; ++i)
            n = n * 10 + (line[i] - '0');
        return n;
    };
    const QDate date(number(6, 4), number(0, 2), number(3, 2));
    const QTime time(number(10, 2), number(13, 2), number(16, 2));
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    return QDateTime(date, time).toMSecsSinceEpoch();
}

} // namespace

RecordingReader::RecordingReader() = default;
RecordingReader::~RecordingReader() = default;

bool RecordingReader::open(const QString &path)
{
    m_name = path;
    const QFileInfo info(path);
    if (!info.isFile()) {
        m_error = QStringLiteral("%1: no such file").arg(path);
        return false;
    }
    if (info.size() > kLargestRecording) {
        m_error = QStringLiteral("%1: %2 bytes is too large for a recording (at most %3 MB, %4 bytes)")
                      .arg(path).arg(info.size()).arg(kLargestRecording / (1024 * 1024)).arg(kLargestRecording);
        return false;
    }
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::ReadOnly)) {
        m_error = QStringLiteral("%1: cannot be read: %2").arg(path, file->errorString());
        return false;
    }
    m_device = std::move(file);
    return start(path);
}

bool RecordingReader::open(const QByteArray &bytes, const QString &name)
{
    auto buffer = std::make_unique<QBuffer>();
    buffer->setData(bytes);
    buffer->open(QIODevice::ReadOnly);
    m_device = std::move(buffer);
    return start(name);
}

bool RecordingReader::open(const Recording &recording)
{
    m_kind = Kind::Memory;
    m_reads = recording.reads;
    m_commands = recording.commands;
    readAhead();
    return m_next.has_value();
}

bool RecordingReader::start(const QString &name)
{
    m_name = name;
    if (m_device->size() == 0) {
        m_error = QStringLiteral("%1: an empty file, not a recording").arg(name);
        return false;
    }
    const QByteArray magic = m_device->peek(4);
    if (magic == kPcapngMagic) {
        m_kind = Kind::Pcapng;
    } else if (std::find(std::begin(kPcapMagics), std::end(kPcapMagics), magic) != std::end(kPcapMagics)) {
        m_kind = Kind::Pcap;
        m_bigEndian = magic == kPcapMagics[0] || magic == kPcapMagics[2];
        m_nanos = magic == kPcapMagics[2] || magic == kPcapMagics[3];
        try {
            const QByteArray head = readExactly(24);
            if (head.size() < 24)
                throw Bad{QStringLiteral("byte %1: the file ends inside its header (truncated)").arg(m_device->size())};
            const quint32 link = Bytes(head, 0, m_bigEndian).u32(20) & 0x0FFFFFFF;
            if (link != kLinkTypeMdb)
                throw Bad{QStringLiteral("byte 20: link type %1, not MDB (%2)").arg(link).arg(kLinkTypeMdb)};
        } catch (const Bad &bad) {
            m_error = name + QStringLiteral(": ") + bad.message;
            m_ended = true;
            return false;
        }
    } else {
        m_kind = Kind::LogFile;
    }
    readAhead();
    if (!m_next && m_error.isEmpty())
        m_error = QStringLiteral("%1: %2 nothing the board sent")
                      .arg(name, m_kind == Kind::LogFile ? QStringLiteral("holds") : QStringLiteral("has"));
    return m_next.has_value();
}

std::optional<Recorded> RecordingReader::next()
{
    std::optional<Recorded> read = std::exchange(m_next, std::nullopt);
    if (read)
        readAhead();
    return read;
}

void RecordingReader::readAhead()
{
    if (m_kind == Kind::Memory) {
        if (m_readIndex < m_reads.size())
            m_next = m_reads[m_readIndex++];
        return;
    }
    try {
        while (!m_next && !m_ended) {
            if (m_kind == Kind::Pcapng)
                pcapngBlock();
            else if (m_kind == Kind::Pcap)
                pcapPacket();
            else
                logLine();
        }
    } catch (const Bad &bad) {
        m_next.reset();
        m_ended = true;
        m_error = bad.message.startsWith(m_name + QLatin1Char(':')) ? bad.message : m_name + QStringLiteral(": ") + bad.message;
    }
    if (m_ended)
        m_device->close();
}

QByteArray RecordingReader::readExactly(qint64 n)
{
    const QByteArray bytes = m_device->read(n);
    m_at += bytes.size();
    return bytes;
}

void RecordingReader::pcapngBlock()
{
    const qint64 at = m_at;
    const qint64 fileSize = m_device->size();
    if (at >= fileSize) {
        m_ended = true;
        if (m_toMicros.isEmpty())
            throw Bad{QStringLiteral("byte %1: no interface described").arg(at)};
        return;
    }
    if (fileSize - at < 12)
        throw Bad{QStringLiteral("byte %1: the file ends inside a block (truncated)").arg(at)};
    const QByteArray head = readExactly(12);
    const quint32 type = Bytes(head, at, m_bigEndian).u32(at);
    if (type == 0x0A0D0D0A) {
        const QByteArray magic = head.mid(8, 4);
        if (magic == QByteArray("\x1A\x2B\x3C\x4D", 4))
            m_bigEndian = true;
        else if (magic == QByteArray("\x4D\x3C\x2B\x1A", 4))
            m_bigEndian = false;
        else
            throw Bad{QStringLiteral("byte %1: a section header with no byte-order magic").arg(at + 8)};
        m_section = true;
        m_toMicros.clear();
    } else if (!m_section) {
        throw Bad{QStringLiteral("byte 0: not a pcapng file (no section header)")};
    }
    const quint32 total = Bytes(head, at, m_bigEndian).u32(at + 4);
    const bool fits = at + qint64(total) <= fileSize;
    if (total < 12 || total % 4 || !fits)
        throw Bad{QStringLiteral("byte %1: a block of %2 bytes, %3").arg(at).arg(total)
                      .arg(fits ? QStringLiteral("not a whole number of 32-bit words")
                                : QStringLiteral("past the end of the file (truncated)"))};
    if (total > kLargestBlock)
        throw Bad{QStringLiteral("byte %1: a block of %2 bytes, larger than any this console reads (at most %3 MB)")
                      .arg(at).arg(total).arg(kLargestBlock / (1024 * 1024))};
    const QByteArray data = head + readExactly(total - 12);
    if (data.size() != qint64(total))
        throw Bad{QStringLiteral("byte %1: the file ends inside a block (truncated)").arg(at + data.size())};
    const Bytes in(data, at, m_bigEndian);
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
        m_toMicros.append(toMicros);
    } else if (type == 6) {   // enhanced packet
        if (end - body < 20)
            throw Bad{QStringLiteral("byte %1: a packet block too short").arg(at)};
        const quint32 iface = in.u32(body);
        if (iface >= quint32(m_toMicros.size()))
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
        const double micros = double(ticks) * m_toMicros[int(iface)];
        if (!(micros >= 0 && micros < 9.0e18))
            throw Bad{QStringLiteral("byte %1: a packet's time beyond any date").arg(body + 4)};
        addPacket(qint64(micros), packet, comments);
    }
}

void RecordingReader::pcapPacket()
{
    const qint64 at = m_at;
    const qint64 fileSize = m_device->size();
    if (at >= fileSize) {
        m_ended = true;
        return;
    }
    if (fileSize - at < 16)
        throw Bad{QStringLiteral("byte %1: the file ends inside a packet header (truncated)").arg(at)};
    const QByteArray head = readExactly(16);
    const Bytes in(head, at, m_bigEndian);
    const qint64 micros = qint64(in.u32(at)) * 1000000 + (m_nanos ? in.u32(at + 4) / 1000 : in.u32(at + 4));
    const quint32 length = in.u32(at + 8);
    if (at + 16 + qint64(length) > fileSize)
        throw Bad{QStringLiteral("byte %1: a packet of %2 bytes past the end of the file (truncated)").arg(at).arg(length)};
    if (length > kLargestBlock)
        throw Bad{QStringLiteral("byte %1: a packet of %2 bytes, larger than any this console reads (at most %3 MB)")
                      .arg(at).arg(length).arg(kLargestBlock / (1024 * 1024))};
    addPacket(micros, readExactly(length), {});
}

// log.txt: a line per read, "MM-DD-YYYYHH:MM:SS" then the text, lines ended by CR LF.
void RecordingReader::logLine()
{
    if (m_device->atEnd()) {
        m_ended = true;
        return;
    }
    QByteArray raw = m_device->readLine(kLargestBlock + 1);
    m_at += raw.size();
    ++m_line;
    if (!raw.endsWith('\n') && raw.size() == kLargestBlock && !m_device->atEnd())
        throw Bad{QStringLiteral("%1:%2: a line longer than any this console logs (at most %3 MB)")
                      .arg(m_name).arg(m_line).arg(kLargestBlock / (1024 * 1024))};
    if (raw.endsWith('\n'))
        raw.chop(1);
    if (raw.endsWith('\r'))
        raw.chop(1);
    const std::optional<qint64> when = logLineTime(raw);
    if (!when)
        throw Bad{QStringLiteral("%1:%2: not a line of log.txt (its date and time, then what was read)")
                      .arg(m_name).arg(m_line)};
    const QString read = QString::fromLatin1(raw.mid(18));
    if (std::any_of(read.begin(), read.end(), [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7F; }))
        throw Bad{QStringLiteral("%1:%2: not hex text: a control character in what was read").arg(m_name).arg(m_line)};
    // The log keeps a reply without its line end; hex replies get it back, so that the console
    // reads each at once, as it did.
    m_next = Recorded{*when * 1000, replyBytes(read) ? read + QStringLiteral("\r\n") : read};
}

// A packet of link type 300 read back: a peripheral's block becomes the text the board would have
// sent (the console's own capture keeps that text in a comment, exactly); the VMC's are counted.
void RecordingReader::addPacket(qint64 micros, const QByteArray &packet, const QStringList &comments)
{
    for (const QString &comment : comments)
        if (comment.startsWith(QLatin1String(kReadAs))) {
            m_next = Recorded{micros, unescaped(comment.mid(int(qstrlen(kReadAs))))};
            if (packet.size() >= 2 && quint8(packet[1]) == 0xFF)
                ++m_commands;
            return;
        }
    if (packet.size() < 2)
        return;
    if (quint8(packet[1]) == 0xFF) {
        ++m_commands;
    } else if (quint8(packet[1]) == 0xFE && packet.size() >= 3) {
        // Address, data, checksum: the board writes the address byte and the data, as hex text.
        QByteArray bytes = packet.mid(2);
        if (bytes.size() >= 2)
            bytes.chop(1);
        m_next = Recorded{micros, mdb::hex(bytes) + QStringLiteral("\r\n")};
    }
}

namespace {

Loaded readAll(RecordingReader &reader, bool opened)
{
    if (!opened)
        return {std::nullopt, reader.error()};
    Recording recording;
    while (std::optional<Recorded> read = reader.next())
        recording.reads.append(std::move(*read));
    if (!reader.error().isEmpty())
        return {std::nullopt, reader.error()};
    recording.commands = reader.commands();
    return {recording, {}};
}

} // namespace

Loaded readRecording(const QString &path)
{
    RecordingReader reader;
    const bool opened = reader.open(path);
    return readAll(reader, opened);
}

Loaded parseRecording(const QByteArray &bytes, const QString &name)
{
    RecordingReader reader;
    const bool opened = reader.open(bytes, name);
    return readAll(reader, opened);
}

} // namespace kestrel::capture
