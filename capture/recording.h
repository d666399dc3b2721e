#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <memory>
#include <optional>

class QIODevice;

namespace kestrel::capture {

// What the board sent in a recorded session, to be played back: each read the console made (or a
// peripheral's block, from another tool's capture), with the moment it came.
struct Recorded
{
    qint64 micros;     // since 1970, UTC
    QString text;      // as the board sent it ("08 50 06\r\n", "CC", a notice's text)
};

struct Recording
{
    QList<Recorded> reads;
    int commands = 0;  // frames the console (or the VMC) sent, which a replay does not send
};

struct Loaded
{
    std::optional<Recording> recording;
    QString error;     // "FILE: byte N: ..." or "FILE:LINE: ...", naming what is wrong
};

// The largest recording played.
inline constexpr qint64 kLargestRecording = 64 * 1024 * 1024;
// The largest block of a capture, or line of a log.txt, read: far more than any MDB block with
// its comments, or any read the console logs, yet a bound on what one read holds in memory.
inline constexpr qint64 kLargestBlock = 16 * 1024 * 1024;

// Reads a recording one read at a time, as it is played: a pcapng written by the console, a pcap
// or pcapng of link type 300 from another tool, or a log.txt written by the console. What it
// holds in memory is one block or line, whatever the size of the file, so a day's log.txt starts
// playing at once. A fault is found where the reading reaches it: the reads before it are given,
// then the reading ends with the error naming the byte or line.
class RecordingReader
{
public:
    RecordingReader();
    ~RecordingReader();
    RecordingReader(const RecordingReader &) = delete;
    RecordingReader &operator=(const RecordingReader &) = delete;

    // Opens a file and reads up to its first read: false, with the error, when the file is none
    // that can be played (missing, too large, of no known kind, bad at its start, or with nothing
    // the board sent).
    bool open(const QString &path);
    // The same over bytes already read; `name` names them in errors.
    bool open(const QByteArray &bytes, const QString &name);
    // Reads given in memory, played as they stand.
    bool open(const Recording &recording);

    // The next read, or nothing at the end or at a fault (error() then says which).
    std::optional<Recorded> next();
    // What is wrong with the recording, once found; empty while it reads well.
    const QString &error() const { return m_error; }
    // Frames the console sent, as far as the reading has come.
    int commands() const { return m_commands; }

private:
    enum class Kind { Pcapng, Pcap, LogFile, Memory };
    bool start(const QString &name);
    // Reads on until a read is found or the recording ends; a fault sets the error.
    void readAhead();
    void pcapngBlock();
    void pcapPacket();
    void logLine();
    QByteArray readExactly(qint64 n);
    void addPacket(qint64 micros, const QByteArray &packet, const QStringList &comments);

    std::unique_ptr<QIODevice> m_device;
    QString m_name;
    Kind m_kind = Kind::Memory;
    qint64 m_at = 0;              // the byte of the file read up to
    int m_line = 0;               // log.txt: the lines read
    bool m_ended = false;
    QString m_error;
    int m_commands = 0;
    std::optional<Recorded> m_next;
    // pcapng: the byte order of the current section and its interfaces' time units.
    bool m_bigEndian = false;
    bool m_section = false;
    QList<double> m_toMicros;
    // pcap
    bool m_nanos = false;
    // Reads given in memory.
    QList<Recorded> m_reads;
    int m_readIndex = 0;
};

// A whole recording read into memory (tests, benchmarks, the fuzzer); a replay reads as it plays.
Loaded readRecording(const QString &path);
// The same, from bytes already read; `name` names the file in errors.
Loaded parseRecording(const QByteArray &bytes, const QString &name);

} // namespace kestrel::capture
