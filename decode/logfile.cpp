#include "decode/logfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

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

namespace {
QString lastError() { return QString::fromLocal8Bit(std::strerror(errno)); }
} // namespace

void LogFile::append(const QString &text, Trap &trap)
{
    // Plain C stdio: a line per reply, at the rate a board sends them, is cheaper this way than
    // through QFile's engine, and behaves the same: open for appending, write, close.
    std::FILE *file = nullptr;
    trap([&] {
#ifdef Q_OS_WIN
        file = ::_wfopen(reinterpret_cast<const wchar_t *>(m_path.utf16()), L"ab");
#else
        file = std::fopen(QFile::encodeName(m_path).constData(), "ab");
#endif
        if (!file)
            throw failures::fileAccess(m_path, lastError());
    });
    trap([&] {
        if (!file)
            throw failures::badFileNumber();
        const QByteArray bytes = line(m_clock(), text);
        if (std::fwrite(bytes.constData(), 1, size_t(bytes.size()), file) != size_t(bytes.size()))
            throw failures::fileAccess(m_path, lastError());
    });
    trap([&] {
        if (file && std::fclose(std::exchange(file, nullptr)) != 0)
            throw failures::fileAccess(m_path, lastError());
    });
    if (file)
        std::fclose(file);
}

} // namespace kestrel
