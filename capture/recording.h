#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

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

// The largest recording read: it is read whole into memory.
inline constexpr qint64 kLargestRecording = 64 * 1024 * 1024;

// Reads a recording: a pcapng written by the console, a pcap or pcapng of link type 300 from
// another tool, or a log.txt written by the console.
Loaded readRecording(const QString &path);
// The same, from bytes already read; `name` names the file in errors.
Loaded parseRecording(const QByteArray &bytes, const QString &name);

} // namespace kestrel::capture
