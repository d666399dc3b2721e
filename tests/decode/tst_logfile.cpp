#include "tests/support/consolerig.h"

#include <QTest>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#endif

using namespace kestrel;
using namespace kestrel::test;

#ifdef Q_OS_UNIX
namespace {
// While it lives, files may grow to `bytes`: a limit on file sizes stands for the full disk, and
// the signal it would raise is set aside.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes) : m_previous(std::signal(SIGXFSZ, SIG_IGN))
    {
        ::getrlimit(RLIMIT_FSIZE, &m_saved);
        rlimit limit = m_saved;
        limit.rlim_cur = bytes;
        m_set = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_previous);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;
    bool isSet() const { return m_set; }

private:
    void (*m_previous)(int);
    rlimit m_saved{};
    bool m_set = false;
};
} // namespace
#endif

class LogFileTest : public QObject
{
    Q_OBJECT
private slots:
    void lineLayout_data()
    {
        QTest::addColumn<QDateTime>("when");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("empty text: 18 characters and CR LF")
            << QDateTime(QDate(2026, 3, 7), QTime(9, 5, 3)) << "" << QByteArray("03-07-202609:05:03\r\n");
        QTest::newRow("afternoon, 24-hour clock")
            << QDateTime(QDate(2026, 12, 31), QTime(23, 59, 59)) << "08 50 06"
            << QByteArray("12-31-202623:59:5908 50 06\r\n");
        QTest::newRow("line ends dropped, blanks kept")
            << QDateTime(QDate(2004, 1, 2), QTime(0, 0, 0)) << " 08 01\r\n x"
            << QByteArray("01-02-200400:00:00 08 01 x\r\n");
        QTest::newRow("bytes kept as they came")
            << QDateTime(QDate(2026, 3, 7), QTime(9, 5, 3)) << QString::fromLatin1("\xff\x00z", 3)
            << QByteArray("03-07-202609:05:03\xff\x00z\r\n", 23);
    }
    void lineLayout()
    {
        QFETCH(QDateTime, when);
        QFETCH(QString, text);
        QFETCH(QByteArray, line);
        QCOMPARE(decode::LogFile::line(when, text), line);
    }

    void defaultPathIsBesideTheProgram()
    {
        QCOMPARE(QDir::fromNativeSeparators(decode::LogFile::defaultPath()),
                 QCoreApplication::applicationDirPath() + "/log.txt");
        // Looking whether the program's folder takes the file makes no file there.
        QTemporaryDir program, user;
        QCOMPARE(QDir::fromNativeSeparators(decode::LogFile::pathIn(program.path(), user.path())),
                 program.filePath("log.txt"));
        QVERIFY(!QFile::exists(program.filePath("log.txt")));
    }

    void aProgramDirectoryNoOneMayWriteSendsTheLogToTheUsersFolder()
    {
        QTemporaryDir user;
        // Not even root may make a file in /proc.
        QCOMPARE(QDir::fromNativeSeparators(decode::LogFile::pathIn(QStringLiteral("/proc"), user.filePath("data"))),
                 user.filePath("data/log.txt"));
        QVERIFY(QDir(user.filePath("data")).exists());
    }

    void firstReplyCreatesTheFileAndLaterRunsAppend()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("log.txt");
        {
            ConsoleRig rig;
            rig.console.logFile.setPath(path);
            QVERIFY(!QFile::exists(path));
            rig.reply("08 50 06\r\n");
            QVERIFY(QFile::exists(path));
            rig.reply("99 99");                    // not recognised: still a line
        }
        {
            ConsoleRig rig;                        // the next run of the program
            rig.console.logFile.setPath(path);
            rig.now = QDateTime(QDate(2026, 3, 8), QTime(14, 0, 1));
            rig.reply("30 80 09");
            QCOMPARE(rig.logFileLines(), QStringList({"03-07-202609:05:0308 50 06",
                                                      "03-07-202609:05:0399 99",
                                                      "03-08-202614:00:0130 80 09"}));
        }
    }

#ifdef Q_OS_UNIX
    void aFullDiskKeepsOnlyWholeLines()
    {
        // The file may grow to 100 bytes: three lines of 28 fit, the fourth does not.
        ConsoleRig rig;
        rig.reply("08 50 06\r\n");
        {
            const FileSizeLimit small(100);
            QVERIFY(small.isSet());
            for (int i = 0; i < 4; ++i)
                rig.reply("08 51 08\r\n");
        }

        QFile file(rig.console.logFile.path());
        QCOMPARE(file.size(), 84);                         // three whole lines, no part of a fourth
        QCOMPARE(rig.logLines().count(QStringLiteral("Received a Dime")), 4);   // decoding went on
        const QStringList errors = rig.logLines().filter(QStringLiteral("Communications Error"));
        QCOMPARE(errors.size(), 2);
        QVERIFY(errors.first().startsWith(QStringLiteral("Communications Error, Path/File access error: ")));
        QVERIFY(errors.first().endsWith(QStringLiteral(" - 75")));

        // Space again: the next line starts a line of its own.
        rig.reply("08 52 06\r\n");
        QCOMPARE(rig.logFileLines(), QStringList({"03-07-202609:05:0308 50 06", "03-07-202609:05:0308 51 08",
                                                  "03-07-202609:05:0308 51 08", "03-07-202609:05:0308 52 06"}));
    }

    void aWriteThatPutsNothingInKeepsTheLinesBefore()
    {
        // The file already at its limit: the next line cannot go in at all, and what the file
        // held stays.
        ConsoleRig rig;
        for (int i = 0; i < 3; ++i)
            rig.reply("08 51 08\r\n");
        {
            const FileSizeLimit full(84);
            QVERIFY(full.isSet());
            rig.reply("08 52 06\r\n");
        }

        QCOMPARE(QFile(rig.console.logFile.path()).size(), 84);
        QCOMPARE(rig.logFileLines().size(), 3);
        QCOMPARE(rig.logLines().filter(QStringLiteral("Path/File access error")).size(), 1);
        QCOMPARE(rig.state.TotalReceived.cents(), 55);   // decoding went on
    }
#endif

    void unwritableDirectoryGivesErrorLinesAndDecodingGoesOn()
    {
        ConsoleRig rig;
        rig.console.logFile.setPath(rig.dir.filePath("no-such-directory/log.txt"));
        rig.reply("08 52 06\r\n");
        rig.reply("30 82 09");
        const QStringList lines = rig.logLines();
        QCOMPARE(lines.size(), 6);
        QCOMPARE(lines[0], QStringLiteral("Received a Quarter"));
        QVERIFY(lines[1].startsWith(QStringLiteral("Communications Error, Path/File access error: ")));
        QVERIFY(lines[1].contains(QStringLiteral("no-such-directory")));
        QVERIFY(lines[1].endsWith(QStringLiteral(" - 75")));
        QCOMPARE(lines[2], QStringLiteral("Communications Error, Bad file name or number - 52"));
        QCOMPARE(lines[3], QStringLiteral("Received a Five Dollar Bill - ($5)"));
        QCOMPARE(rig.state.TotalReceived.cents(), 525);
        QCOMPARE(rig.state.lstCoinCount.row(2), QStringLiteral("1"));
        QCOMPARE(rig.state.lstBillCount.row(2), QStringLiteral("1"));
    }
};

QTEST_GUILESS_MAIN(LogFileTest)
#include "tst_logfile.moc"
