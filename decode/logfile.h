#pragma once

#include "core/trap.h"

#include <QDateTime>
#include <QString>

#include <functional>

namespace kestrel {

// The log file beside the program: one line per reply read, appended and never truncated, so it
// grows from one run to the next. A line is the date (mm-dd-yyyy), the time (hh:mm:ss, 24-hour)
// and the reply text, with nothing between them, then CR LF. The file is opened and closed for
// every line.
class LogFile
{
public:
    using Clock = std::function<QDateTime()>;

    explicit LogFile(QString path = defaultPath(), Clock clock = &QDateTime::currentDateTime);

    // "log.txt" in the program's own directory.
    static QString defaultPath();
    static QByteArray line(const QDateTime &when, const QString &text);

    const QString &path() const { return m_path; }
    void setPath(const QString &path) { m_path = path; }

    // Appends one line: open, write, close, each a step of the caller's trap, so a failed open is
    // followed by a failed write, each with its own error line. Line ends inside the text are
    // dropped so that one reply stays one line.
    void append(const QString &text, Trap &trap);

private:
    QString m_path;
    Clock m_clock;
};

} // namespace kestrel
