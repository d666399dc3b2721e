#pragma once

#include "mdb/mdb.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>

#include <optional>

namespace kestrel::capture {

// A session on the bus as Wireshark reads it: pcapng with the link type for MDB (LINKTYPE_MDB,
// 300). Each packet starts with the link type's header: a version byte (0), then 0xFF for a block
// the VMC (here, the console) sends to a peripheral, or 0xFE and the peripheral's address for a
// block a peripheral sends; then the block's bytes and its MDB checksum.

inline constexpr quint16 kLinkTypeMdb = 300;

// A command frame as the packet that carries it: 00 FF, the frame, its checksum (the board adds the
// checksum on the bus; the console computes it here).
QByteArray commandPacket(const QByteArray &frame);
// A reply read as hex bytes (its first byte names the peripheral) as its packet: 00 FE, the
// address (the first byte masked with 0xF8), the reply's data bytes and their checksum.
QByteArray replyPacket(const QByteArray &reply);
// The reply's bytes when the text the console read is hex bytes; nothing for a notice's "CC",
// noise or a fragment.
using mdb::replyBytes;

// A read's text kept in a packet comment: line ends and control characters escaped (\r, \n, \xHH,
// and \\ for a backslash), so that the comment stays one line and the text comes back exactly.
QString escaped(const QString &text);
QString unescaped(const QString &text);
// The comment that carries the text the console read, and the one with what it made of it.
inline constexpr char kReadAs[] = "read as: ";
inline constexpr char kConsoleSaw[] = "console: ";

// The blocks of a pcapng file, little-endian, as this console writes them.
namespace blocks {
QByteArray sectionHeader();
// One interface of link type 300, timestamps in microseconds.
QByteArray interfaceDescription();
// A packet at `micros` (microseconds since 1970, UTC), with one opt_comment per comment.
QByteArray enhancedPacket(qint64 micros, const QByteArray &packet, const QStringList &comments);
} // namespace blocks

// Writes a capture as the session goes: the file's header when opened, then each packet, flushed
// as it is written, so that a crash or a pulled cable loses nothing already seen.
class PcapngWriter
{
public:
    // Creates (or empties) the file and writes its header. An error text, or empty; a file whose
    // header could not be written is removed.
    QString open(const QString &path);
    bool isOpen() const { return m_file.isOpen(); }
    QString path() const { return m_file.fileName(); }
    // An error text, or empty. A failed write is reported once, naming its cause, and the file is
    // closed ending at its last whole block.
    QString write(qint64 micros, const QByteArray &packet, const QStringList &comments);
    void close() { m_file.close(); }
    int packets() const { return m_packets; }

private:
    QFile m_file;
    int m_packets = 0;
    qint64 m_whole = 0;    // the file's size up to the end of its last whole block
};

} // namespace kestrel::capture
