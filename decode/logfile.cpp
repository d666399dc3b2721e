#include "decode/logfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <utility>

#ifdef Q_OS_WIN
#include <io.h>
#include <sys/stat.h>
#else
#include <unistd.h>
#endif

namespace kestrel::decode {

namespace {

QString lastError() { return QString::fromLocal8Bit(std::strerror(errno)); }

// The few calls a line needs, on the platform's own file handles: a line per reply, at the rate a
// board sends them, costs less this way than through stdio or QFile, and behaves the same: open
// for appending, write, close.
#ifdef Q_OS_WIN
int openForAppending(const QString &path, const QByteArray &)
{
    return ::_wopen(reinterpret_cast<const wchar_t *>(path.utf16()),
                    _O_WRONLY | _O_APPEND | _O_CREAT | _O_BINARY, _S_IREAD | _S_IWRITE);
}
qint64 endOf(int fd) { return ::_lseeki64(fd, 0, SEEK_END); }
qint64 writeAll(int fd, const QByteArray &bytes) { return ::_write(fd, bytes.constData(), unsigned(bytes.size())); }
void cutBack(int fd, qint64 size) { ::_chsize_s(fd, size); }
int closeFile(int fd) { return ::_close(fd); }
#else
int openForAppending(const QString &, const QByteArray &encoded)
{
    return ::open(encoded.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
}
qint64 endOf(int fd) { return ::lseek(fd, 0, SEEK_END); }
qint64 writeAll(int fd, const QByteArray &bytes) { return ::write(fd, bytes.constData(), size_t(bytes.size())); }
void cutBack(int fd, qint64 size) { (void)::ftruncate(fd, off_t(size)); }
int closeFile(int fd) { return ::close(fd); }
#endif

} // namespace

LogFile::LogFile(QString path, Clock clock)
    : m_clock(std::move(clock))
{
    setPath(path);
}

void LogFile::setPath(const QString &path)
{
    m_path = path;
    m_encodedPath = QFile::encodeName(path);
}

QString LogFile::defaultPath()
{
    return pathIn(QCoreApplication::applicationDirPath(),
                  QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation));
}

QString LogFile::pathIn(const QString &programDir, const QString &userDir)
{
    const QString beside = programDir + QStringLiteral("/log.txt");
    QFile probe(beside);
    const bool existed = probe.exists();
    if (probe.open(QIODevice::Append)) {
        probe.close();
        if (!existed)
            probe.remove();   // the first reply makes it
        return QDir::toNativeSeparators(beside);
    }
    QDir().mkpath(userDir);
    return QDir::toNativeSeparators(userDir + QStringLiteral("/log.txt"));
}

QDateTime LogFile::wallClock()
{
    static qint64 minute = -1;
    static int offset = 0;
    const QDateTime utc = QDateTime::currentDateTimeUtc();
    const qint64 now = utc.toSecsSinceEpoch() / 60;
    if (now != minute) {
        minute = now;
        offset = QDateTime::currentDateTime().offsetFromUtc();
    }
    return utc.toOffsetFromUtc(offset);
}

QByteArray LogFile::line(const QDateTime &when, const QString &text)
{
    const QDate date = when.date();
    const QTime time = when.time();
    // mm-dd-yyyyhh:mm:ss, put together digit by digit: a line is written for every reply.
    char stamp[18];
    const auto put = [&stamp](int at, int value, int digits) {
        for (int i = at + digits - 1; i >= at; --i, value /= 10)
            stamp[i] = char('0' + value % 10);
    };
    put(0, date.month(), 2);
    stamp[2] = '-';
    put(3, date.day(), 2);
    stamp[5] = '-';
    put(6, qBound(0, date.year(), 9999), 4);
    put(10, time.hour(), 2);
    stamp[12] = ':';
    put(13, time.minute(), 2);
    stamp[15] = ':';
    put(16, time.second(), 2);
    QByteArray bytes;
    bytes.reserve(int(sizeof stamp) + text.size() + 2);
    bytes.append(stamp, int(sizeof stamp));
    for (QChar c : text)
        if (c != QLatin1Char('\r') && c != QLatin1Char('\n'))
            bytes.append(c.toLatin1());
    bytes.append("\r\n", 2);
    return bytes;
}

void LogFile::append(const QString &text, core::Trap &trap)
{
    int fd = -1;
    trap([&] {
        fd = openForAppending(m_path, m_encodedPath);
        if (fd < 0)
            throw core::failures::fileAccess(m_path, lastError());
    });
    trap([&] {
        if (fd < 0)
            throw core::failures::badFileNumber();
        // The line goes in one write, whole or not at all: after a short write (a full disk) the
        // file is cut back to where the line began, so that the next line starts a line of its
        // own and no half line stays behind. Where it began is only looked up then: the file's
        // end less what went in, as the file is open for appending. A write that put nothing in
        // leaves the file as it was.
        const QByteArray bytes = line(m_clock(), text);
        const qint64 written = writeAll(fd, bytes);
        if (written != bytes.size()) {
            const QString why = written < 0 ? lastError()
                                            : QString::fromLocal8Bit(std::strerror(ENOSPC));
            if (written > 0) {
                const qint64 end = endOf(fd);
                if (end >= written)
                    cutBack(fd, end - written);
            }
            throw core::failures::fileAccess(m_path, why);
        }
    });
    trap([&] {
        if (fd >= 0 && closeFile(std::exchange(fd, -1)) != 0)
            throw core::failures::fileAccess(m_path, lastError());
    });
    if (fd >= 0)
        closeFile(fd);
}

} // namespace kestrel::decode
