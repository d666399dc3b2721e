#include "decode/logfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

namespace kestrel {

LogFile::LogFile(QString path, Clock clock)
    : m_path(std::move(path)), m_clock(std::move(clock))
{
}

QString LogFile::defaultPath()
{
    return QDir::toNativeSeparators(QCoreApplication::applicationDirPath()
                                    + QStringLiteral("/log.txt"));
}

QByteArray LogFile::line(const QDateTime &when, const QString &text)
{
    QString oneLine = text;
    oneLine.remove(QLatin1Char('\r')).remove(QLatin1Char('\n'));
    return when.toString(QStringLiteral("MM-dd-yyyy")).toLatin1()
           + when.toString(QStringLiteral("HH:mm:ss")).toLatin1() + oneLine.toLatin1() + "\r\n";
}

void LogFile::append(const QString &text, Trap &trap)
{
    QFile file(QDir::fromNativeSeparators(m_path));
    trap([&] {
        if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
            throw failures::fileAccess(m_path, file.errorString());
    });
    trap([&] {
        if (!file.isOpen())
            throw failures::badFileNumber();
        const QByteArray bytes = line(m_clock(), text);
        if (file.write(bytes) != bytes.size())
            throw failures::fileAccess(m_path, file.errorString());
    });
    trap([&] {
        if (file.isOpen()) {
            file.close();
            if (file.error() != QFileDevice::NoError)
                throw failures::fileAccess(m_path, file.errorString());
        }
    });
}

} // namespace kestrel
