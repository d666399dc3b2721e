#include "core/failure.h"

namespace kestrel::core {

Failure::Failure(int number, QString description)
    : m_number(number)
    , m_description(std::move(description))
    , m_what(QByteArray::number(number) + ' ' + m_description.toUtf8())
{
}

namespace failures {
Failure overflow() { return Failure(6, QStringLiteral("Overflow")); }
Failure outOfMemory() { return Failure(7, QStringLiteral("Out of memory")); }
Failure typeMismatch() { return Failure(13, QStringLiteral("Type mismatch")); }
Failure invalidValue() { return Failure(380, QStringLiteral("Invalid property value")); }
Failure invalidIndex() { return Failure(381, QStringLiteral("Invalid property array index")); }
Failure fileAccess(const QString &path, const QString &why)
{
    return Failure(75, QStringLiteral("Path/File access error: %1 (%2)").arg(path, why));
}
Failure badFileNumber() { return Failure(52, QStringLiteral("Bad file name or number")); }
} // namespace failures

QString trimSpaces(const QString &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin) == QLatin1Char(' '))
        ++begin;
    while (end > begin && text.at(end - 1) == QLatin1Char(' '))
        --end;
    return text.mid(begin, end - begin);
}

QString errorLine(const QString &message, const Failure &failure)
{
    return message + trimSpaces(failure.description()) + QStringLiteral(" - ")
           + QString::number(failure.number());
}

} // namespace kestrel::core
