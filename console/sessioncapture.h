#pragma once

#include "capture/pcapng.h"
#include "console/console.h"

#include <QObject>
#include <QTimer>

#include <optional>

namespace kestrel::console {

// Saves the console's session as a capture Wireshark opens (pcapng, link type 300): every command
// frame as it leaves, every read of the board as it is read, each with what the console made of it
// (the action-log lines it wrote, or "not recognised") in a packet comment, and the text it read
// kept exactly in another. A read that is not hex bytes (a notice, noise, a fragment) is a packet
// of no bytes with its text in the comment, so that nothing the console saw is missing. Each packet
// is flushed as it is written.
class SessionCapture : public QObject
{
    Q_OBJECT
public:
    explicit SessionCapture(Console &console, QObject *parent = nullptr);
    ~SessionCapture() override;

    // Starts a capture into the file (ending one under way). An error text, or empty.
    QString start(const QString &path);
    void stop();
    bool isCapturing() const { return m_writer.isOpen(); }
    QString path() const { return m_writer.path(); }
    int packets() const { return m_writer.packets(); }

    // The clock of the packets' timestamps, microseconds since 1970 (tests set their own).
    using Clock = qint64 (*)();
    void setClock(Clock clock) { m_clock = clock; }
    static qint64 wallClock();

signals:
    // Writing failed (a full disk, a pulled stick): the capture has stopped.
    void failed(const QString &error);

private:
    struct Read
    {
        qint64 micros;
        QString text;
        QStringList logLines;
    };
    void frameWritten(const QByteArray &frame, const QString &logLine);
    void flushRead();
    void write(qint64 micros, const QByteArray &packet, const QStringList &comments);

    Console &m_console;
    capture::PcapngWriter m_writer;
    Clock m_clock = &wallClock;
    // The read under way: its action-log lines come in the same pass of the receive path, after
    // its row; it is written once that pass has ended (or, at the latest, on the next turn of the
    // event loop).
    std::optional<Read> m_read;
    QTimer m_flush;
};

} // namespace kestrel::console
