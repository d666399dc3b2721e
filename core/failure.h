#pragma once

#include <QByteArray>
#include <QString>

#include <exception>

namespace kestrel::core {

// A run-time failure as the console reports it: a number and a description. Every failing access
// to the serial control, a list row, a tally count or the log file throws one of these; the
// handler's error trap turns it into an error line in the action log.
class Failure : public std::exception
{
public:
    Failure(int number, QString description);

    int number() const noexcept { return m_number; }
    const QString &description() const noexcept { return m_description; }
    const char *what() const noexcept override { return m_what.constData(); }

private:
    int m_number;
    QString m_description;
    QByteArray m_what;
};

// The failures the console raises itself (the serial control has its own, see link/commerrors.h).
namespace failures {
Failure overflow();          // a 16-bit tally count would pass 32767
Failure outOfMemory();
Failure typeMismatch();      // a tally count that is not a number
Failure invalidValue();      // selecting a list row that does not exist
Failure invalidIndex();      // reading or writing a list row that does not exist
Failure fileAccess(const QString &path, const QString &why);
Failure badFileNumber();     // writing to the log file that could not be opened
} // namespace failures

// Removes leading and trailing blanks (character 32 only; tabs, CR and LF stay).
QString trimSpaces(const QString &text);

// The console's error line: the handler's message (which ends in ", "), the failure's description
// with blanks trimmed, " - ", and the failure's number in decimal.
QString errorLine(const QString &message, const Failure &failure);

} // namespace kestrel::core
