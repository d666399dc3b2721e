#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace kestrel::test {

// The program copied into a scratch folder, so that the log.txt it writes beside itself is the
// test's to read, started with no display at all: `kestrel --plan ...` as a technician's script or
// a CI job runs it.
struct Headless
{
    explicit Headless(const QString &executable)
    {
        const QString name = executable.section(QLatin1Char('/'), -1);
        program = dir.filePath(name);
        QFile::copy(executable, program);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *display : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QLatin1String(display));
        // The bench records and the settings file are the scratch folder's too.
        env.insert(QStringLiteral("XDG_DATA_HOME"), dir.filePath(QStringLiteral("data")));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(dir.path());
    }
    QString file(const QString &name) const { return dir.filePath(name); }
    // The bench records file the program made under the scratch folder's data folder, or empty.
    QString recordsFile() const
    {
        QDirIterator it(dir.filePath(QStringLiteral("data")), {QStringLiteral("bench-records.sqlite")}, QDir::Files,
                        QDirIterator::Subdirectories);
        return it.hasNext() ? it.next() : QString();
    }
    void write(const QString &name, const QByteArray &text) const
    {
        QFile f(file(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    QString read(const QString &name) const
    {
        QFile f(file(name));
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }
    // Runs to the end: the exit code, -1 when it did not end in time, -2 when it crashed.
    int run(const QStringList &arguments, int timeoutMs = 30000)
    {
        start(arguments);
        return finish(timeoutMs);
    }
    void start(const QStringList &arguments, const QString &command = {})
    {
        out.clear();
        err.clear();
        process.start(command.isEmpty() ? program : command, arguments);
    }
    // Until the program has printed `text` on its standard output (kept in `out`).
    bool waitForOutput(const QString &text, int timeoutMs = 10000)
    {
        QDeadlineTimer deadline(timeoutMs);
        while (!out.contains(text)) {
            if (deadline.hasExpired() || process.state() == QProcess::NotRunning)
                return false;
            process.waitForReadyRead(20);
            out += QString::fromLocal8Bit(process.readAllStandardOutput()).remove(QLatin1Char('\r'));
        }
        return true;
    }
    int finish(int timeoutMs = 30000)
    {
        if (!process.waitForFinished(timeoutMs)) {
            process.kill();
            process.waitForFinished();
            return -1;
        }
        out += QString::fromLocal8Bit(process.readAllStandardOutput());
        err += QString::fromLocal8Bit(process.readAllStandardError());
        // Windows writes its line ends as CR LF; the lines are the same.
        out.remove(QLatin1Char('\r'));
        err.remove(QLatin1Char('\r'));
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    }

    QTemporaryDir dir;
    QString program;
    QProcess process;
    QString out, err;
};

} // namespace kestrel::test
