#include "console/sessioncapture.h"

#include <chrono>

namespace kestrel::console {

using namespace capture;

SessionCapture::SessionCapture(Console &console, QObject *parent)
    : QObject(parent), m_console(console)
{
    m_flush.setSingleShot(true);
    m_flush.setInterval(0);
    connect(&m_flush, &QTimer::timeout, this, &SessionCapture::flushRead);
    // A read's action-log lines are those its receive pass writes; the pass ends with the event.
    connect(&m_console, &Console::eventHandled, this, &SessionCapture::flushRead);
    connect(&m_console.pendingFrames, &PendingFrames::frameWritten, this, &SessionCapture::frameWritten);
    core::LineListModel &replies = m_console.state.List1;
    connect(&replies, &QAbstractItemModel::rowsInserted, this, [this, &replies](const QModelIndex &, int first, int last) {
        if (!isCapturing())
            return;
        for (int i = first; i <= last; ++i) {
            flushRead();
            m_read = Read{m_clock(), replies.row(i), {}};
        }
        m_flush.start();
    });
    core::LineListModel &log = m_console.state.lstActionLog;
    connect(&log, &QAbstractItemModel::rowsInserted, this, [this, &log](const QModelIndex &, int first, int last) {
        if (m_read)
            for (int i = first; i <= last; ++i)
                m_read->logLines << log.row(i);
    });
}

SessionCapture::~SessionCapture()
{
    stop();
}

qint64 SessionCapture::wallClock()
{
    using namespace std::chrono;
    return duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
}

QString SessionCapture::start(const QString &path)
{
    stop();
    return m_writer.open(path);
}

void SessionCapture::stop()
{
    flushRead();
    m_writer.close();
}

void SessionCapture::frameWritten(const QByteArray &frame, const QString &logLine)
{
    if (!isCapturing())
        return;
    flushRead();
    write(m_clock(), commandPacket(frame), {QLatin1String(kConsoleSaw) + logLine});
}

void SessionCapture::flushRead()
{
    if (!m_read)
        return;
    const Read read = *std::exchange(m_read, std::nullopt);
    const QString saw = QLatin1String(kConsoleSaw)
                        + (read.logLines.isEmpty() ? QStringLiteral("not recognised") : read.logLines.join(QStringLiteral("; ")));
    const QStringList comments{saw, QLatin1String(kReadAs) + escaped(read.text)};
    const std::optional<QByteArray> bytes = replyBytes(read.text);
    write(read.micros, bytes ? replyPacket(*bytes) : QByteArray(), comments);
}

void SessionCapture::write(qint64 micros, const QByteArray &packet, const QStringList &comments)
{
    if (const QString error = m_writer.write(micros, packet, comments); !error.isEmpty())
        emit failed(error);
}

} // namespace kestrel::console
