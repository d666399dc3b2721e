#include "bench/benches.h"

#include "capture/recording.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <map>
#include <vector>

namespace kestrel::bench {

namespace {

double median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// A log.txt of `bytes` (at least one line): a nickel first, then twenty-dollar bills.
void writeLog(const QString &path, qint64 bytes)
{
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write("12-09-202614:00:0008 50 06\r\n");
    QByteArray block;
    for (int i = 0; i < 4096; ++i)
        block += "12-09-202614:00:0130 84 09\r\n";
    while (file.size() + block.size() <= bytes)
        file.write(block);
    const QByteArray line("12-09-202614:00:0130 84 09\r\n");
    while (file.size() + line.size() <= bytes)
        file.write(line);
}

// The peak resident memory of a running process, in kB (Linux), or 0.
qint64 peakKb(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    static const QRegularExpression hwm(QStringLiteral("VmHWM:\\s*(\\d+) kB"));
    const QRegularExpressionMatch m = hwm.match(QString::fromLatin1(status.readAll()));
    return m.hasMatch() ? m.captured(1).toLongLong() : 0;
}

struct Sample
{
    double firstReplyMs = -1;   // from the plan's start (the port just opened) to the first reply read
    double peakMb = 0;
};

Sample run(const QString &program, const QString &dir, const QString &recording)
{
    QProcess child;
    child.setWorkingDirectory(dir);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    child.setProcessEnvironment(env);
    child.start(program, {"--plan", "first.plan", "--com1", QStringLiteral("replay:%1?speed=max").arg(recording)});
    child.waitForStarted();
    qint64 peak = 0;
    while (!child.waitForFinished(50))
        peak = std::max(peak, peakKb(child.processId()));
    Sample s;
    s.peakMb = peak / 1024.0;
    static const QRegularExpression first(QStringLiteral("PASS +1  .*\\(([0-9.]+) ms\\)"));
    const QRegularExpressionMatch m = first.match(QString::fromLocal8Bit(child.readAllStandardOutput()));
    if (m.hasMatch())
        s.firstReplyMs = m.captured(1).toDouble();
    return s;
}

} // namespace

void replayStart()
{
    const QString program = QStringLiteral(KESTREL_EXECUTABLE);
    QTemporaryDir dir;
    QFile plan(dir.filePath(QStringLiteral("first.plan")));
    plan.open(QIODevice::WriteOnly);
    // The first reply, then two seconds of playing: the memory must not grow as the file plays.
    plan.write("expect \"08 50 06\" within 60s\nwait 2s\n");
    plan.close();
    const std::vector<std::pair<const char *, qint64>> sizes = {
        {"one line", 0}, {"1 MB", 1LL << 20}, {"8 MB", 8LL << 20}, {"64 MB", capture::kLargestRecording}};
    for (const auto &[name, bytes] : sizes)
        writeLog(dir.filePath(QString::fromLatin1(name).replace(QLatin1Char(' '), QLatin1Char('_'))), bytes);
    std::map<std::string, std::vector<Sample>> samples;
    constexpr int kRounds = 3;
    for (int round = 0; round < kRounds; ++round)
        for (const auto &[name, bytes] : sizes)
            samples[name].push_back(run(program, dir.path(), QString::fromLatin1(name).replace(QLatin1Char(' '), QLatin1Char('_'))));
    std::printf("\n### A log.txt replayed by the program with no window (`replay:FILE?speed=max`), %d rounds in turns\n\n"
                "| recording | first reply read, ms after the port opened (median) | peak memory, MB (median) |\n"
                "|---|---|---|\n", kRounds);
    for (const auto &[name, bytes] : sizes) {
        std::vector<double> ms, mb;
        for (const Sample &s : samples[name]) {
            ms.push_back(s.firstReplyMs);
            mb.push_back(s.peakMb);
        }
        std::printf("| %s | %.1f | %.1f |\n", name, median(ms), median(mb));
    }
}

} // namespace kestrel::bench
