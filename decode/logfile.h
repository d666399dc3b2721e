#pragma once

#include "core/trap.h"

#include <QDateTime>
#include <QString>

#include <functional>

namespace kestrel::decode {

// The log file beside the program: one line per reply read, appended and never truncated, so it
// grows from one run to the next. A line is the date (mm-dd-yyyy), the time (hh:mm:ss, 24-hour)
// and the reply text, with nothing between them, then CR LF. The file is opened and closed for
// every line.
class LogFile
{
public:
    using Clock = std::function<QDateTime()>;

    explicit LogFile(QString path = defaultPath(), Clock clock = &wallClock);

    // "log.txt" in the program's own directory; where the program may not write there (installed
    // for all users, under /usr/bin or Program Files), in the user's own data folder, so that no
    // reply goes unlogged.
    static QString defaultPath();
    static QString pathIn(const QString &programDir, const QString &userDir);
    // The local date and time now. The time zone's offset is looked up once a minute rather than
    // for every line (each lookup reads the system's zone file), which every change of offset
    // respects: they all fall on a minute.
    static QDateTime wallClock();
    static QByteArray line(const QDateTime &when, const QString &text);

    const QString &path() const { return m_path; }
    void setPath(const QString &path);

    // Appends one line: open, write, close, each a step of the caller's trap, so a failed open is
    // followed by a failed write, each with its own error line. Line ends inside the text are
    // dropped so that one reply stays one line. A line is written whole or not at all.
    void append(const QString &text, core::Trap &trap);

private:
    QString m_path;
    QByteArray m_encodedPath;   // the path as the file system takes it
    Clock m_clock;
};

} // namespace kestrel::decode
